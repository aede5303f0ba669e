#pragma once
// A HID backend in front of another that shows every output report to a hook
// before passing it on, so that a test can arm a keyboard fault at the exact
// request where a transfer should fail.
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "device/hid_backend.h"

namespace keyloom::device::testing {

class RequestHookBackend final : public HidBackend {
 public:
  // Sees the report (report id first) before it is written.
  using Hook = std::function<void(const std::uint8_t* report, std::size_t length)>;

  explicit RequestHookBackend(std::shared_ptr<HidBackend> inner) : inner_(std::move(inner)) {}

  void SetHook(Hook hook) { *hook_ = std::move(hook); }

  bool Enumerate(std::vector<HidInterfaceInfo>& out) override { return inner_->Enumerate(out); }
  bool Probe(const std::string& path) override { return inner_->Probe(path); }
  std::unique_ptr<HidChannel> Open(const std::string& path, bool read, bool write, bool exclusive) override {
    std::unique_ptr<HidChannel> channel = inner_->Open(path, read, write, exclusive);
    if (!channel) return nullptr;
    return std::make_unique<Channel>(std::move(channel), hook_);
  }

 private:
  class Channel final : public HidChannel {
   public:
    Channel(std::unique_ptr<HidChannel> inner, std::shared_ptr<Hook> hook)
        : inner_(std::move(inner)), hook_(std::move(hook)) {}
    HidAttributes Attributes() const override { return inner_->Attributes(); }
    std::vector<std::uint8_t> ReportDescriptor() const override { return inner_->ReportDescriptor(); }
    IoResult Read(std::uint8_t* buffer, std::size_t length, std::size_t& transferred, SteadyTime deadline,
                  AbortEvent& abort) override {
      return inner_->Read(buffer, length, transferred, deadline, abort);
    }
    IoResult Write(const std::uint8_t* buffer, std::size_t length, std::size_t& transferred, SteadyTime deadline,
                   AbortEvent& abort) override {
      if (*hook_) (*hook_)(buffer, length);
      return inner_->Write(buffer, length, transferred, deadline, abort);
    }

   private:
    std::unique_ptr<HidChannel> inner_;
    std::shared_ptr<Hook> hook_;
  };

  std::shared_ptr<HidBackend> inner_;
  std::shared_ptr<Hook> hook_ = std::make_shared<Hook>();
};

}  // namespace keyloom::device::testing
