#pragma once
// A message-box stand-in that records every question and gives a set answer.
#include <functional>
#include <vector>

#include "platform/host.h"

namespace keyloom::keys::testing {

class FakePrompter : public host::Prompter {
 public:
  explicit FakePrompter(host::Answer answer = host::Answer::Yes) : answer_(answer) {
    host::SetPrompter(this);
  }
  ~FakePrompter() override { host::SetPrompter(nullptr); }

  host::Answer Ask(const host::MessageBoxRequest& request) override {
    requests.push_back(request);
    if (onAsk) onAsk();
    return answer_;
  }

  std::vector<host::MessageBoxRequest> requests;
  std::function<void()> onAsk;  // runs while the question is open

 private:
  host::Answer answer_;
};

}  // namespace keyloom::keys::testing
