#include "support/inprocess_keyboard.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <thread>

#include "emulator/descriptors.h"

namespace keyloom::device {

namespace {
constexpr char kPathPrefix[] = "inproc:";
constexpr auto kSpinWindow = std::chrono::microseconds(200);

int InterfaceOfPath(const std::string& path) {
  if (path == "inproc:0") return emulator::kConsumerInterface;
  if (path == "inproc:1") return emulator::kCommandInterface;
  return -1;
}

struct TimedReport {
  SteadyTime ready;
  std::vector<std::uint8_t> bytes;
};
}  // namespace

struct InProcessKeyboard::ChannelState {
  std::mutex mutex;
  std::deque<TimedReport> queue;
  bool dead = false;
  int interface = 0;
  int wake[2] = {-1, -1};  // a byte per queued report or state change

  ChannelState() {
    if (::pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) wake[0] = wake[1] = -1;
  }
  ~ChannelState() {
    if (wake[0] >= 0) ::close(wake[0]);
    if (wake[1] >= 0) ::close(wake[1]);
  }
  void Wake() {
    const char one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake[1], &one, 1);
  }
  void Drain() {
    char buf[64];
    while (::read(wake[0], buf, sizeof buf) > 0) {
    }
  }
};

class InProcessChannel final : public HidChannel {
 public:
  InProcessChannel(std::shared_ptr<InProcessKeyboard> owner, std::shared_ptr<InProcessKeyboard::ChannelState> state,
                   emulator::InterfaceInfo info)
      : owner_(std::move(owner)), state_(std::move(state)), info_(std::move(info)) {}

  HidAttributes Attributes() const override { return {info_.vendor, info_.product, 0x0100}; }
  std::vector<std::uint8_t> ReportDescriptor() const override { return info_.descriptor; }

  IoResult Read(std::uint8_t* buffer, std::size_t length, std::size_t& transferred, SteadyTime deadline,
                AbortEvent& abort) override {
    transferred = 0;
    for (;;) {
      SteadyTime wait_until = deadline;
      {
        std::lock_guard lock(state_->mutex);
        state_->Drain();
        const auto now = std::chrono::steady_clock::now();
        if (!state_->queue.empty() && state_->queue.front().ready <= now) {
          const std::vector<std::uint8_t>& r = state_->queue.front().bytes;
          const std::size_t n = std::min(length, r.size());
          std::memcpy(buffer, r.data(), n);
          transferred = n;
          state_->queue.pop_front();
          return IoResult::Ok;
        }
        if (state_->dead && state_->queue.empty()) return IoResult::Failed;
        if (!state_->queue.empty()) wait_until = std::min(wait_until, state_->queue.front().ready);
      }
      // The last stretch before a due report is spun rather than slept, so
      // that the answer arrives when the latency says and not a timer
      // wake-up later.
      if (wait_until != deadline && wait_until - std::chrono::steady_clock::now() < kSpinWindow) {
        while (std::chrono::steady_clock::now() < wait_until) std::this_thread::yield();
        continue;
      }
      const SteadyTime sleep_until = wait_until == deadline ? deadline : wait_until - kSpinWindow;
      switch (WaitReadable(state_->wake[0], abort, sleep_until)) {
        case WaitResult::Ready: continue;
        case WaitResult::Aborted: return IoResult::Aborted;
        case WaitResult::Failed: return IoResult::Failed;
        case WaitResult::TimedOut:
          if (wait_until == deadline || std::chrono::steady_clock::now() >= deadline) {
            // One last look: a report due exactly now is still delivered.
            std::lock_guard lock(state_->mutex);
            if (state_->queue.empty() || state_->queue.front().ready > std::chrono::steady_clock::now()) {
              return IoResult::TimedOut;
            }
          }
          continue;
      }
    }
  }

  IoResult Write(const std::uint8_t* buffer, std::size_t length, std::size_t& transferred, SteadyTime deadline,
                 AbortEvent& abort) override {
    transferred = 0;
    if (info_.outputLength == 0) return IoResult::Failed;
    {
      std::lock_guard lock(state_->mutex);
      if (state_->dead) return IoResult::Failed;
    }
    // The report reaches the keyboard one latency after it was written and
    // the answer comes back one latency later. The write itself returns at
    // once (the host only sees when the answer arrives), so one wait covers
    // both ways.
    const SteadyTime arrival = std::chrono::steady_clock::now() + owner_->latency_;
    (void)deadline;
    (void)abort;
    const emulator::RequestOutcome outcome = owner_->model_.Transact({buffer, length});
    {
      std::lock_guard lock(owner_->mutex_);
      ++owner_->writes_;
    }
    {
      std::lock_guard lock(state_->mutex);
      if (state_->dead) return IoResult::Failed;
      if (outcome.hasReply) {
        const SteadyTime ready = arrival + owner_->latency_ + std::chrono::milliseconds(outcome.delayMs);
        TimedReport r{ready, std::vector<std::uint8_t>(outcome.reply.begin(), outcome.reply.end())};
        // Replies keep their order; a delayed one holds back those after it.
        if (!state_->queue.empty()) r.ready = std::max(r.ready, state_->queue.back().ready);
        state_->queue.push_back(std::move(r));
        state_->Wake();
      }
    }
    transferred = length;
    if (outcome.unplugAfter) owner_->KillChannels(false);
    return IoResult::Ok;
  }

 private:
  std::shared_ptr<InProcessKeyboard> owner_;
  std::shared_ptr<InProcessKeyboard::ChannelState> state_;
  emulator::InterfaceInfo info_;
};

std::shared_ptr<InProcessKeyboard> InProcessKeyboard::Create(emulator::FirmwareModel& model,
                                                             std::chrono::microseconds latency) {
  std::shared_ptr<InProcessKeyboard> kb(new InProcessKeyboard(model, latency));
  std::weak_ptr<InProcessKeyboard> weak = kb;
  model.SetInputListener([weak](std::span<const std::uint8_t> report) {
    if (auto self = weak.lock()) self->OnInput(report.data(), report.size());
  });
  return kb;
}

InProcessKeyboard::InProcessKeyboard(emulator::FirmwareModel& model, std::chrono::microseconds latency)
    : model_(model), latency_(latency) {}

InProcessKeyboard::~InProcessKeyboard() { model_.SetInputListener(nullptr); }

bool InProcessKeyboard::Enumerate(std::vector<HidInterfaceInfo>& out) {
  out.clear();
  if (!model_.Plugged()) return true;
  for (const emulator::InterfaceInfo& i : emulator::KeyboardInterfaces(model_.Model().vendor, model_.Model().product)) {
    out.push_back({kPathPrefix + std::to_string(i.number), i.vendor, i.product, i.usagePage, i.usage});
  }
  return true;
}

std::unique_ptr<HidChannel> InProcessKeyboard::Open(const std::string& path, bool, bool, bool) {
  const int number = InterfaceOfPath(path);
  if (number < 0 || !model_.Plugged()) return nullptr;
  for (emulator::InterfaceInfo& i : emulator::KeyboardInterfaces(model_.Model().vendor, model_.Model().product)) {
    if (i.number != number) continue;
    auto state = std::make_shared<ChannelState>();
    state->interface = number;
    {
      std::lock_guard lock(mutex_);
      channels_.erase(std::remove_if(channels_.begin(), channels_.end(), [](const auto& w) { return w.expired(); }),
                      channels_.end());
      channels_.push_back(state);
    }
    return std::make_unique<InProcessChannel>(shared_from_this(), std::move(state), std::move(i));
  }
  return nullptr;
}

bool InProcessKeyboard::Probe(const std::string& path) { return InterfaceOfPath(path) >= 0 && model_.Plugged(); }

void InProcessKeyboard::OnInput(const std::uint8_t* bytes, std::size_t length) {
  const SteadyTime ready = std::chrono::steady_clock::now() + latency_;
  std::lock_guard lock(mutex_);
  for (const auto& w : channels_) {
    auto state = w.lock();
    if (!state || state->interface != emulator::kConsumerInterface) continue;
    std::lock_guard s(state->mutex);
    if (state->dead) continue;
    state->queue.push_back({ready, std::vector<std::uint8_t>(bytes, bytes + length)});
    state->Wake();
  }
}

void InProcessKeyboard::KillChannels(bool drop_queued) {
  std::lock_guard lock(mutex_);
  for (const auto& w : channels_) {
    auto state = w.lock();
    if (!state) continue;
    std::lock_guard s(state->mutex);
    state->dead = true;
    if (drop_queued) state->queue.clear();
    state->Wake();
  }
  channels_.clear();
}

void InProcessKeyboard::Unplug() {
  model_.SetPlugged(false);
  KillChannels(true);
}

void InProcessKeyboard::Plug() { model_.SetPlugged(true); }

bool InProcessKeyboard::Plugged() const { return model_.Plugged(); }

std::uint64_t InProcessKeyboard::WriteCount() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

}  // namespace keyloom::device
