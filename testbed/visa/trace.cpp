// The stand-in's I/O trace file.
#include "testbed/visa/trace.h"

#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include <fcntl.h>
#include <unistd.h>

#include "testbed/visa/standin_internal.h"

namespace kavrel::standin::trace {
namespace {

constexpr std::size_t kShownBytes = 512;  // of one message's data
constexpr std::string_view kHexDigits = "0123456789ABCDEF";

struct TraceFile {
  std::mutex lock;
  std::string path;
  std::FILE* file = nullptr;
  std::atomic<bool> on{false};
};

TraceFile& traceFile() {
  static TraceFile instance;
  return instance;
}

// Local time with microseconds: "2024-05-01 13:45:07.123456".
std::string timeStamp() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  ::localtime_r(&now.tv_sec, &local);
  char text[32];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  std::string stamp(text, length);
  char micros[8];
  const auto printed = std::to_chars(micros, micros + sizeof micros, now.tv_nsec / 1000 + 1000000);
  stamp.append(".").append(micros + 1, printed.ptr);  // the leading 1 keeps the zeros
  return stamp;
}

// Appends to the file, creating it readable by its owner only: it holds
// every byte exchanged with the instrument.
std::FILE* openForOwner(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "a");
  if (file == nullptr) ::close(fd);
  return file;
}

}  // namespace

void configure() {
  TraceFile& t = traceFile();
  const char* variable = std::getenv("KAVREL_VISA_TRACE");
  const std::string path = variable != nullptr ? variable : "";
  std::lock_guard guard(t.lock);
  if (path == t.path) return;
  if (t.file != nullptr) std::fclose(t.file);
  t.path = path;
  t.file = path.empty() ? nullptr : openForOwner(path);
  t.on = t.file != nullptr;
}

bool enabled() { return traceFile().on; }

void line(ViSession vi, std::string_view text) {
  TraceFile& t = traceFile();
  if (!t.on) return;
  char number[16];
  const auto printed = std::to_chars(number, number + sizeof number, vi);
  std::string entry = timeStamp();
  entry.append(" session ").append(number, printed.ptr).append(" ").append(text).append("\n");
  std::lock_guard guard(t.lock);
  if (t.file == nullptr) return;
  std::fwrite(entry.data(), 1, entry.size(), t.file);
  std::fflush(t.file);  // the trace survives a crash
}

void operation(ViSession vi, std::string_view what, ViStatus status) {
  if (!enabled()) return;
  std::string text(what);
  text.append(" -> ").append(hex32(static_cast<std::uint32_t>(status)));
  if (const std::string_view meaning = statusText(status); !meaning.empty()) text.append(" ").append(meaning);
  line(vi, text);
}

std::string quoted(std::string_view bytes) {
  std::string text = "\"";
  for (const char c : bytes.substr(0, kShownBytes)) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\n': text += "\\n"; break;
      case '\r': text += "\\r"; break;
      case '\t': text += "\\t"; break;
      case '"': text += "\\\""; break;
      case '\\': text += "\\\\"; break;
      default:
        if (byte >= 0x20 && byte < 0x7F) {
          text += c;
        } else {
          text.append("\\x").append(1, kHexDigits[byte >> 4]).append(1, kHexDigits[byte & 0x0F]);
        }
    }
  }
  text += "\"";
  if (bytes.size() > kShownBytes) {
    char count[24];
    const auto printed = std::to_chars(count, count + sizeof count, bytes.size() - kShownBytes);
    text.append(" (").append(count, printed.ptr).append(" more bytes)");
  }
  return text;
}

std::string hex32(std::uint32_t value) {
  std::string text = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) text += kHexDigits[(value >> shift) & 0x0F];
  return text;
}

}  // namespace kavrel::standin::trace
