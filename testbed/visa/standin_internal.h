// Pieces of the VISA stand-in shared between its source files.
#ifndef KAVREL_STANDIN_INTERNAL_H
#define KAVREL_STANDIN_INTERNAL_H

#include <memory>
#include <optional>
#include <string_view>

#include "testbed/visa/standin.h"
#include "testbed/visa/transport.h"

namespace kavrel::standin {

// VISA codes the shared header leaves out.
inline constexpr ViStatus kSuccessNestedShared = 0x3FFF0099L;
inline constexpr ViStatus kSuccessNestedExclusive = 0x3FFF009AL;
inline constexpr ViStatus kErrorInvLockType = _VI_ERROR + 0x3FFF0020L;
inline constexpr ViStatus kErrorInvAccessKey = _VI_ERROR + 0x3FFF0021L;
inline constexpr ViStatus kErrorInvProt = _VI_ERROR + 0x3FFF0079L;
inline constexpr ViStatus kErrorSesnNlocked = _VI_ERROR + 0x3FFF009CL;
inline constexpr ViUInt16 kTrigProtDefault = 0;  // VI_TRIG_PROT_DEFAULT
inline constexpr ViUInt16 kLastRenMode = 6;      // VI_GPIB_REN_ADDRESS_GTL

// Case-insensitive ASCII prefix test, as VISA matches resource names.
bool startsWithNoCase(std::string_view text, std::string_view prefix);
// A VISA string out: at most 255 characters and the NUL.
void writeString(void* out, std::string_view text);

// Standard text for a VISA status; empty for a code VISA does not know.
std::string_view statusText(ViStatus status);

// A fault due now: the status the call returns, and whether the call does
// its work first (otherwise it does nothing else).
struct InjectedFault {
  ViStatus status;
  bool afterWork;
};
// Count one call of `op`; a fault injected for this call comes back.
std::optional<InjectedFault> enterOperation(standin_op op);

// The scripted instrument: every resource that no network transport serves.
std::unique_ptr<Transport> makeScriptedTransport();
// Forget the instrument's replies, queued answers and write log.
void scriptReset();

// Close every session (control reset).
void closeAllSessions();
unsigned openSessionCount();

// Deliver an event to the handlers installed on a session.
ViStatus fireEvent(ViSession vi, ViEventType eventType);

}  // namespace kavrel::standin

#endif
