// The scripted instrument: answers reads from the replies a test queued,
// answers "*ESR?" from its own queue, and logs every message it receives.
#include <algorithm>
#include <charconv>
#include <deque>
#include <mutex>
#include <string>

#include "testbed/visa/standin_internal.h"

namespace kavrel::standin {
namespace {

struct Script {
  std::mutex lock;
  std::deque<std::string> replies;  // queued by the test, read in order
  std::deque<std::string> esr;      // answers to "*ESR?"
  std::deque<std::string> answers;  // answers the instrument produced itself, read before replies
  std::string current;              // the message being read
  std::size_t currentPos = 0;
  bool reading = false;
  std::string incoming;        // received since the last END
  std::deque<std::string> log;  // a deque keeps the logged bytes in place while it grows
  standin_answerer answerer = nullptr;
  void* answererContext = nullptr;
};

Script& script() {
  static Script instance;
  return instance;
}

bool isEsrQuery(std::string_view message) {
  constexpr std::string_view kBlank = " \t\r\n";
  const std::size_t first = message.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return false;
  message = message.substr(first, message.find_last_not_of(kBlank) - first + 1);
  return message.size() == 5 && startsWithNoCase(message, "*ESR?");
}

class ScriptedTransport : public Transport {
 public:
  ViStatus write(std::string_view bytes, bool end, ViUInt32 /*timeoutMs*/) override {
    Script& s = script();
    std::lock_guard guard(s.lock);
    s.incoming.append(bytes);
    if (!end) return VI_SUCCESS;
    std::size_t answerLength = 0;
    const void* answer =
        s.answerer != nullptr ? s.answerer(s.answererContext, s.incoming.data(), s.incoming.size(), &answerLength)
                              : nullptr;
    if (answer != nullptr) {
      s.answers.emplace_back(static_cast<const char*>(answer), answerLength);
    } else if (isEsrQuery(s.incoming)) {
      s.answers.push_back(s.esr.empty() ? std::string("0\n") : std::move(s.esr.front()));
      if (!s.esr.empty()) s.esr.pop_front();
    }
    s.log.push_back(std::move(s.incoming));
    s.incoming.clear();
    return VI_SUCCESS;
  }

  ViStatus read(ViByte* buf, std::size_t capacity, ViUInt32 /*timeoutMs*/, std::size_t& received, bool& end) override {
    Script& s = script();
    std::lock_guard guard(s.lock);
    received = 0;
    end = false;
    if (!s.reading) {
      std::deque<std::string>& source = s.answers.empty() ? s.replies : s.answers;
      if (source.empty()) return VI_ERROR_TMO;  // nothing will come: time out at once
      s.current = std::move(source.front());
      source.pop_front();
      s.currentPos = 0;
      s.reading = true;
    }
    received = std::min(capacity, s.current.size() - s.currentPos);
    s.current.copy(reinterpret_cast<char*>(buf), received, s.currentPos);
    s.currentPos += received;
    end = s.currentPos == s.current.size();
    if (end) {
      s.reading = false;
      s.current.clear();
    }
    return VI_SUCCESS;
  }

  ViStatus clear(ViUInt32 /*timeoutMs*/) override {
    Script& s = script();
    std::lock_guard guard(s.lock);
    s.reading = false;
    s.current.clear();
    s.answers.clear();
    s.incoming.clear();
    return VI_SUCCESS;
  }

  ViStatus readStatusByte(ViUInt32 /*timeoutMs*/, ViUInt16& stb) override {
    stb = 0;
    return VI_SUCCESS;
  }
};

}  // namespace

std::unique_ptr<Transport> makeScriptedTransport() { return std::make_unique<ScriptedTransport>(); }

void scriptReset() {
  Script& s = script();
  std::lock_guard guard(s.lock);
  s.replies.clear();
  s.esr.clear();
  s.answers.clear();
  s.current.clear();
  s.currentPos = 0;
  s.reading = false;
  s.incoming.clear();
  s.log.clear();
  s.answerer = nullptr;
  s.answererContext = nullptr;
}

}  // namespace kavrel::standin

using kavrel::standin::Script;
using kavrel::standin::script;

extern "C" {

void standin_reply(const void* data, size_t len) {
  if (data == nullptr && len > 0) return;
  Script& s = script();
  std::lock_guard guard(s.lock);
  s.replies.emplace_back(static_cast<const char*>(data), len);
}

void standin_reply_text(const char* text) {
  if (text != nullptr) standin_reply(text, std::char_traits<char>::length(text));
}

void standin_esr(ViInt32 value) {
  char digits[16];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  Script& s = script();
  std::lock_guard guard(s.lock);
  s.esr.push_back(std::string(digits, result.ptr) + "\n");
}

void standin_answer(standin_answerer answerer, void* context) {
  Script& s = script();
  std::lock_guard guard(s.lock);
  s.answerer = answerer;
  s.answererContext = context;
}

size_t standin_write_count(void) {
  Script& s = script();
  std::lock_guard guard(s.lock);
  return s.log.size();
}

const char* standin_written(size_t index, size_t* len) {
  Script& s = script();
  std::lock_guard guard(s.lock);
  if (index >= s.log.size()) {
    if (len != nullptr) *len = 0;
    return nullptr;
  }
  if (len != nullptr) *len = s.log[index].size();
  return s.log[index].c_str();
}

}  // extern "C"
