// I/O trace of the stand-in: when KAVREL_VISA_TRACE names a file, every
// message exchanged with a network instrument and every I/O operation with
// its status is appended there, one line each, with a time stamp and the
// session. Off when the variable is unset or empty.
#ifndef KAVREL_STANDIN_TRACE_H
#define KAVREL_STANDIN_TRACE_H

#include <cstdint>
#include <string>
#include <string_view>

#include "visa_binding/visa_api.h"

namespace kavrel::standin::trace {

// Read KAVREL_VISA_TRACE again (done at every viOpen and viOpenDefaultRM).
void configure();
bool enabled();

// "<time> session <vi> <text>".
void line(ViSession vi, std::string_view text);

// "<time> session <vi> <what> -> 0x<status> <status text>".
void operation(ViSession vi, std::string_view what, ViStatus status);

// Data for a trace line: in double quotes, printable ASCII as it is, the rest
// escaped; data past a limit is left out and counted.
std::string quoted(std::string_view bytes);

// "0x" and eight upper-case hex digits.
std::string hex32(std::uint32_t value);

}  // namespace kavrel::standin::trace

#endif
