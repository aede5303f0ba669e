#pragma once
// A message-box stand-in that records every question and gives a set answer.
// Hand it to the code under test (a session's SetPrompter, or directly).
#include <functional>
#include <vector>

#include "platform/host.h"

namespace keyloom::keys::testing {

class FakePrompter : public host::Prompter {
 public:
  explicit FakePrompter(host::Answer answer = host::Answer::Yes) : answer(answer) {}

  host::Answer Ask(const host::MessageBoxRequest& request) override {
    requests.push_back(request);
    if (onAsk) onAsk();
    return answer;
  }

  host::Answer answer;
  std::vector<host::MessageBoxRequest> requests;
  std::function<void()> onAsk;  // runs while the question is open
};

}  // namespace keyloom::keys::testing
