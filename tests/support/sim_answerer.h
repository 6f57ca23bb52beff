// The simulated instrument answering the stand-in's scripted session in
// process: every query of every driver call gets a sound reply, while the
// stand-in still logs each message and injects faults. "*ESR?" stays with
// the script (0 unless a test queues another value).
#ifndef KAVREL_TESTS_SUPPORT_SIM_ANSWERER_H
#define KAVREL_TESTS_SUPPORT_SIM_ANSWERER_H

#include <memory>
#include <string>
#include <string_view>

#include "testbed/sim/instrument.h"
#include "testbed/visa/standin.h"

namespace kavrel::test {

class SimAnswerer {
 public:
  // Answer from now on (again after every standin_reset), with a fresh client session.
  void attach() {
    session_ = std::make_unique<sim::Session>(instrument_);
    standin_answer(&SimAnswerer::answer, this);
  }

 private:
  static const void* answer(void* self, const char* message, size_t len, size_t* replyLen) {
    auto* answerer = static_cast<SimAnswerer*>(self);
    const std::string_view text(message, len);
    if (text.substr(0, 5) == "*ESR?") return nullptr;
    answerer->reply_ = answerer->session_->query(text);
    if (answerer->reply_.empty()) return nullptr;
    *replyLen = answerer->reply_.size();
    return answerer->reply_.data();
  }

  sim::Instrument instrument_;
  std::unique_ptr<sim::Session> session_;
  std::string reply_;
};

}  // namespace kavrel::test

#endif
