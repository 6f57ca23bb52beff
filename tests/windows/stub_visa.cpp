// A stand-in visa32.dll just big enough for the binding's tests: it opens
// resource managers, counts closes, keeps one installed handler and raises an
// event on request. Every other VISA name is exported as notSupported (see
// the module definition made by CMakeLists.txt).
#include <atomic>

#include "driver/kavrel_visatype.h"

namespace {
typedef ViStatus(_VI_FUNCH* Handler)(ViSession, ViUInt32, ViObject, void*);
std::atomic<ViSession> g_nextSession{100};
int g_closed = 0;
Handler g_handler = nullptr;
void* g_handlerHandle = nullptr;
constexpr ViStatus kNotSupported = _VI_ERROR + 0x3FFF0067L;  // VI_ERROR_NSUP_OPER
}  // namespace

extern "C" {
ViStatus _VI_FUNC notSupported() { return kNotSupported; }

ViStatus _VI_FUNC viOpenDefaultRM(ViSession* session) {
  *session = g_nextSession++;
  return VI_SUCCESS;
}

ViStatus _VI_FUNC viClose(ViObject) {
  ++g_closed;
  return VI_SUCCESS;
}

ViStatus _VI_FUNC viInstallHandler(ViSession, ViUInt32, Handler handler, void* userHandle) {
  g_handler = handler;
  g_handlerHandle = userHandle;
  return VI_SUCCESS;
}

ViStatus _VI_FUNC viUninstallHandler(ViSession, ViUInt32, Handler, void*) {
  g_handler = nullptr;
  return VI_SUCCESS;
}

// Test controls.
ViStatus stubRaiseEvent(ViSession session, ViUInt32 eventType) {
  return g_handler != nullptr ? g_handler(session, eventType, 7, g_handlerHandle) : kNotSupported;
}
int stubClosed() { return g_closed; }
}
