#pragma once
// Memory for large, short-lived buffers such as decoded pictures: an
// anonymous mapping of its own, given back to the system when the buffer
// goes, laid out so that the kernel may back each whole 2 MB stretch of it
// with one huge page. Fresh memory costs a page fault for every 4 KB page
// touched; with huge pages one for every 2 MB, which on virtual machines is
// most of the time a decoded picture takes.
#include <cstddef>
#include <cstdint>

namespace keyloom::platform {

class LargeBuffer {
 public:
  // A zeroed buffer of `bytes` (at least one); empty (Data() null) when the
  // system has no memory for it.
  explicit LargeBuffer(std::size_t bytes);
  ~LargeBuffer();
  LargeBuffer(LargeBuffer&& other) noexcept;
  LargeBuffer& operator=(LargeBuffer&& other) noexcept;
  LargeBuffer(const LargeBuffer&) = delete;
  LargeBuffer& operator=(const LargeBuffer&) = delete;

  std::uint8_t* Data() const { return data_; }
  std::size_t Size() const { return size_; }

 private:
  void Release();
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t mapped_ = 0;
};

}  // namespace keyloom::platform
