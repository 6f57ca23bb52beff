// VISA formatted I/O: the viPrintf and viScanf conversions, independent of
// sessions and transports.
#ifndef KAVREL_STANDIN_FORMAT_H
#define KAVREL_STANDIN_FORMAT_H

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "visa_binding/visa_api.h"

namespace kavrel::standin {

// A copy of the caller's variable arguments, walked by the conversions.
struct ArgList {
  va_list ap;
};

// The bytes one write format produced, and where END goes: after each
// offset in `endAfter` (a line feed in the format ends a message).
struct FormattedText {
  std::string bytes;
  std::vector<std::size_t> endAfter;
};

// Format `fmt` with the arguments; VI_SUCCESS or VI_ERROR_INV_FMT /
// VI_ERROR_NSUP_FMT / VI_ERROR_USER_BUF, with `out` then meaningless.
ViStatus formatWrite(const char* fmt, ArgList& args, FormattedText& out);

// Where a formatted read takes its bytes from.
class FormatInput {
 public:
  static constexpr int kEnd = -1;
  virtual ~FormatInput() = default;
  // The next byte without taking it, or kEnd once the byte carrying END was taken.
  virtual ViStatus peek(int& byte) = 0;
  // Take the byte peek returned.
  virtual void advance() = 0;
  // The bytes at hand after a peek, to be taken in bulk without further
  // reads; empty where the input offers only byte by byte.
  virtual std::string_view ready() { return {}; }
  // Take `count` of the bytes ready() showed.
  virtual void skip(std::size_t /*count*/) {}
};

// Scan the input by `fmt`, storing through the argument pointers. The scan
// stops early, still with VI_SUCCESS, at END or at the first input that does
// not match; later targets are left untouched. Device errors come back as
// their status.
ViStatus formatRead(const char* fmt, ArgList& args, FormatInput& in);

// Formatted read from a fixed buffer, ended by its NUL (viSScanf).
class StringInput : public FormatInput {
 public:
  explicit StringInput(const char* text) : text_(text) {}
  ViStatus peek(int& byte) override;
  void advance() override;
  std::string_view ready() override { return text_; }
  void skip(std::size_t count) override { text_ += count; }

 private:
  const char* text_;
};

}  // namespace kavrel::standin

#endif
