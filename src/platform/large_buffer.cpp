#include "platform/large_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <limits>
#include <utility>

namespace keyloom::platform {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t value, std::size_t unit) { return (value + unit - 1) / unit * unit; }

}  // namespace

LargeBuffer::LargeBuffer(std::size_t bytes) {
  const long page_size = sysconf(_SC_PAGESIZE);
  const std::size_t page = page_size > 0 ? static_cast<std::size_t>(page_size) : 4096;
  if (bytes == 0 || bytes > std::numeric_limits<std::size_t>::max() / 2 - kHugePage) return;
  const std::size_t length = RoundUp(bytes, page);
  // Below one huge page there is nothing to align.
  const std::size_t reserve = length >= kHugePage ? length + kHugePage : length;
  void* mapping = mmap(nullptr, reserve, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) return;
  auto* start = static_cast<std::uint8_t*>(mapping);
  if (reserve != length) {
    // Keep the stretch that starts on a huge-page boundary; give back what
    // lies before and after it.
    const auto address = reinterpret_cast<std::uintptr_t>(start);
    const std::size_t head = RoundUp(address, kHugePage) - address;
    if (head > 0) munmap(start, head);
    const std::size_t tail = reserve - head - length;
    if (tail > 0) munmap(start + head + length, tail);
    start += head;
    // Only whole huge pages can be huge; the rest stays in small pages.
    madvise(start, length / kHugePage * kHugePage, MADV_HUGEPAGE);
  }
  data_ = start;
  size_ = bytes;
  mapped_ = length;
}

LargeBuffer::~LargeBuffer() { Release(); }

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, 0)) {}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = std::exchange(other.mapped_, 0);
  }
  return *this;
}

void LargeBuffer::Release() {
  if (data_ != nullptr) munmap(data_, mapped_);
  data_ = nullptr;
  size_ = mapped_ = 0;
}

}  // namespace keyloom::platform
