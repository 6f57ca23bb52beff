/* Run-time VISA binding: internal interface of the stubs and the hooks
 * that tests use. Nothing here leaves the driver library (hidden
 * visibility and the version script keep only kavrel_* exported). */
#ifndef KAVREL_BINDING_H
#define KAVREL_BINDING_H

#include <cstddef>
#include <string>
#include <vector>

#include "visa_binding/visa_api.h"

/* Entry points every usable VISA library provides, in the order they are resolved. */
#define KAVREL_BINDING_REQUIRED(X)                                                                           \
  X(viOpenDefaultRM) X(viFindRsrc) X(viFindNext) X(viOpen) X(viClose) X(viSetAttribute) X(viGetAttribute)   \
  X(viStatusDesc) X(viTerminate) X(viLock) X(viUnlock) X(viEnableEvent) X(viDisableEvent)                   \
  X(viDiscardEvents) X(viWaitOnEvent) X(viInstallHandler) X(viUninstallHandler) X(viRead) X(viReadAsync)    \
  X(viWrite) X(viWriteAsync) X(viAssertTrigger) X(viReadSTB) X(viClear) X(viSetBuf) X(viFlush)              \
  X(viVPrintf) X(viVScanf) X(viVQueryf) X(viIn8) X(viOut8) X(viIn16) X(viOut16) X(viIn32) X(viOut32)        \
  X(viMoveIn8) X(viMoveOut8) X(viMoveIn16) X(viMoveOut16) X(viMoveIn32) X(viMoveOut32) X(viMapAddress)      \
  X(viUnmapAddress) X(viPeek8) X(viPoke8) X(viPeek16) X(viPoke16) X(viPeek32) X(viPoke32) X(viMemAlloc)     \
  X(viMemFree)

/* Entry points an older or partial library may lack; their stubs then answer VI_ERROR_NIMPL_OPER. */
#define KAVREL_BINDING_OPTIONAL(X)                                                                           \
  X(viMove) X(viMoveAsync) X(viBufWrite) X(viBufRead) X(viVSPrintf) X(viVSScanf) X(viGpibControlREN)        \
  X(viVxiCommandQuery)

#pragma GCC visibility push(hidden)

namespace kavrel::binding {

/* Addresses resolved from the loaded VISA library; empty before loading. */
struct EntryPoints {
#define KAVREL_BINDING_ENTRY(name) decltype(&::name) name = nullptr;
  KAVREL_BINDING_REQUIRED(KAVREL_BINDING_ENTRY)
  KAVREL_BINDING_OPTIONAL(KAVREL_BINDING_ENTRY)
#undef KAVREL_BINDING_ENTRY
};

/* The table; valid to read once bindingLoaded() or loadVisaLibrary() said so. */
const EntryPoints& bindingEntries();
bool bindingLoaded();

/* Load VISA unless it is loaded already: VI_SUCCESS or the negative status of the failed load. */
ViStatus loadVisaLibrary();
/* Forget the loaded library, its entry points, the recorded sessions and handlers and the load mutex. */
void unloadVisaLibrary();
/* What VISA calls for every event a client handler was installed for through the binding. */
ViStatus handlerTrampoline(ViSession vi, ViEventType eventType, ViEvent event, ViAddr userHandle);
/* Host run-time notification: 4 = client program stops, 5 = resumes handler calls, 6 = holds them back. */
void runStateChanged(ViInt32 state);

/* What the last load attempt found: the path of the VISA library in use, or,
 * when none could be used, each library tried and why it was refused
 * ("name: not found; path: lacks viMemFree"). Empty before the first attempt. */
std::string bindingLoadReport();

/* ---- Test hooks ---------------------------------------------------------- */
/* Replace the built-in library names tried in order (names, absolute paths, or glob patterns);
 * KAVREL_VISA_LIBRARY still comes first. */
void bindingSetCandidates(std::vector<std::string> candidates);
/* Back to the built-in search list. */
void bindingRestoreCandidates();
/* The built-in search list. */
std::vector<std::string> bindingDefaultCandidates();
/* How often a library was loaded and its entry points stored. */
unsigned bindingLoadCount();
/* Resource-manager sessions recorded for closing at stop. */
std::size_t bindingRecordedManagers();
/* Client handlers installed now. */
std::size_t bindingInstalledHandlers();

}  // namespace kavrel::binding

#pragma GCC visibility pop

#endif
