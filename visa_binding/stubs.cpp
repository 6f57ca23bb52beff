// One stub per VISA operation, under VISA's name and signature: load VISA on
// first use, then forward. The stubs with bookkeeping of their own
// (viOpenDefaultRM, viClose, viStatusDesc and the handler pair) live beside
// the binding state.
#define KAVREL_NO_GETDEFAULTRM_MACRO  // viGetDefaultRM is defined here as a function
#include "visa_binding/binding.h"

using kavrel::binding::bindingEntries;
using kavrel::binding::loadVisaLibrary;

// Forward to a required entry point once VISA is loaded.
#define KAVREL_FORWARD(name, ...)                                             \
  do {                                                                        \
    if (ViStatus loadStatus = loadVisaLibrary(); loadStatus < VI_SUCCESS)     \
      return loadStatus;                                                      \
    return bindingEntries().name(__VA_ARGS__);                                \
  } while (0)

// Forward to an optional entry point; a library without it answers NIMPL_OPER.
#define KAVREL_FORWARD_OPTIONAL(name, ...)                                    \
  do {                                                                        \
    if (ViStatus loadStatus = loadVisaLibrary(); loadStatus < VI_SUCCESS)     \
      return loadStatus;                                                      \
    if (bindingEntries().name == nullptr) return VI_ERROR_NIMPL_OPER;         \
    return bindingEntries().name(__VA_ARGS__);                                \
  } while (0)

// The peek and poke operations return nothing; without VISA they do nothing.
#define KAVREL_FORWARD_VOID(name, ...)                                        \
  do {                                                                        \
    if (loadVisaLibrary() < VI_SUCCESS) return;                               \
    bindingEntries().name(__VA_ARGS__);                                       \
  } while (0)

ViStatus viGetDefaultRM(ViPSession vi) { return viOpenDefaultRM(vi); }

ViStatus viFindRsrc(ViSession sesn, ViConstString expr, ViPFindList vi, ViPUInt32 retCnt, ViChar desc[]) {
  KAVREL_FORWARD(viFindRsrc, sesn, expr, vi, retCnt, desc);
}
ViStatus viFindNext(ViFindList vi, ViChar desc[]) { KAVREL_FORWARD(viFindNext, vi, desc); }
ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout, ViPSession vi) {
  KAVREL_FORWARD(viOpen, sesn, name, mode, timeout, vi);
}
ViStatus viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue) {
  KAVREL_FORWARD(viSetAttribute, vi, attrName, attrValue);
}
ViStatus viGetAttribute(ViObject vi, ViAttr attrName, void* attrValue) {
  KAVREL_FORWARD(viGetAttribute, vi, attrName, attrValue);
}
ViStatus viTerminate(ViObject vi, ViUInt16 degree, ViJobId jobId) { KAVREL_FORWARD(viTerminate, vi, degree, jobId); }
ViStatus viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, ViConstKeyId requestedKey, ViChar accessKey[]) {
  KAVREL_FORWARD(viLock, vi, lockType, timeout, requestedKey, accessKey);
}
ViStatus viUnlock(ViSession vi) { KAVREL_FORWARD(viUnlock, vi); }
ViStatus viEnableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism, ViEventFilter context) {
  KAVREL_FORWARD(viEnableEvent, vi, eventType, mechanism, context);
}
ViStatus viDisableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism) {
  KAVREL_FORWARD(viDisableEvent, vi, eventType, mechanism);
}
ViStatus viDiscardEvents(ViSession vi, ViEventType eventType, ViUInt16 mechanism) {
  KAVREL_FORWARD(viDiscardEvents, vi, eventType, mechanism);
}
ViStatus viWaitOnEvent(ViSession vi, ViEventType inEventType, ViUInt32 timeout, ViPEventType outEventType,
                       ViPEvent outContext) {
  KAVREL_FORWARD(viWaitOnEvent, vi, inEventType, timeout, outEventType, outContext);
}
ViStatus viRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) { KAVREL_FORWARD(viRead, vi, buf, cnt, retCnt); }
ViStatus viReadAsync(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPJobId jobId) {
  KAVREL_FORWARD(viReadAsync, vi, buf, cnt, jobId);
}
ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) {
  KAVREL_FORWARD(viWrite, vi, buf, cnt, retCnt);
}
ViStatus viWriteAsync(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPJobId jobId) {
  KAVREL_FORWARD(viWriteAsync, vi, buf, cnt, jobId);
}
ViStatus viAssertTrigger(ViSession vi, ViUInt16 protocol) { KAVREL_FORWARD(viAssertTrigger, vi, protocol); }
ViStatus viReadSTB(ViSession vi, ViPUInt16 status) { KAVREL_FORWARD(viReadSTB, vi, status); }
ViStatus viClear(ViSession vi) { KAVREL_FORWARD(viClear, vi); }
ViStatus viSetBuf(ViSession vi, ViUInt16 mask, ViUInt32 size) { KAVREL_FORWARD(viSetBuf, vi, mask, size); }
ViStatus viFlush(ViSession vi, ViUInt16 mask) { KAVREL_FORWARD(viFlush, vi, mask); }

// ---- formatted I/O: the variadic forms build a va_list for the V entry point ----
ViStatus viVPrintf(ViSession vi, ViConstString writeFmt, ViVAList params) {
  KAVREL_FORWARD(viVPrintf, vi, writeFmt, params);
}
ViStatus viPrintf(ViSession vi, ViConstString writeFmt, ...) {
  va_list params;
  va_start(params, writeFmt);
  const ViStatus status = viVPrintf(vi, writeFmt, params);
  va_end(params);
  return status;
}
ViStatus viVScanf(ViSession vi, ViConstString readFmt, ViVAList arglist) { KAVREL_FORWARD(viVScanf, vi, readFmt, arglist); }
ViStatus viScanf(ViSession vi, ViConstString readFmt, ...) {
  va_list arglist;
  va_start(arglist, readFmt);
  const ViStatus status = viVScanf(vi, readFmt, arglist);
  va_end(arglist);
  return status;
}
ViStatus viVQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt, ViVAList arglist) {
  KAVREL_FORWARD(viVQueryf, vi, writeFmt, readFmt, arglist);
}
ViStatus viQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt, ...) {
  va_list arglist;
  va_start(arglist, readFmt);
  const ViStatus status = viVQueryf(vi, writeFmt, readFmt, arglist);
  va_end(arglist);
  return status;
}
ViStatus viVSPrintf(ViSession vi, ViPBuf buf, ViConstString writeFmt, ViVAList parms) {
  KAVREL_FORWARD_OPTIONAL(viVSPrintf, vi, buf, writeFmt, parms);
}
ViStatus viSPrintf(ViSession vi, ViPBuf buf, ViConstString writeFmt, ...) {
  va_list parms;
  va_start(parms, writeFmt);
  const ViStatus status = viVSPrintf(vi, buf, writeFmt, parms);
  va_end(parms);
  return status;
}
ViStatus viVSScanf(ViSession vi, ViConstBuf buf, ViConstString readFmt, ViVAList arglist) {
  KAVREL_FORWARD_OPTIONAL(viVSScanf, vi, buf, readFmt, arglist);
}
ViStatus viSScanf(ViSession vi, ViConstBuf buf, ViConstString readFmt, ...) {
  va_list arglist;
  va_start(arglist, readFmt);
  const ViStatus status = viVSScanf(vi, buf, readFmt, arglist);
  va_end(arglist);
  return status;
}
ViStatus viBufWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) {
  KAVREL_FORWARD_OPTIONAL(viBufWrite, vi, buf, cnt, retCnt);
}
ViStatus viBufRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) {
  KAVREL_FORWARD_OPTIONAL(viBufRead, vi, buf, cnt, retCnt);
}

// ---- register-based I/O -----------------------------------------------------
ViStatus viIn8(ViSession vi, ViUInt16 space, ViBusAddress offset, ViPUInt8 val8) {
  KAVREL_FORWARD(viIn8, vi, space, offset, val8);
}
ViStatus viOut8(ViSession vi, ViUInt16 space, ViBusAddress offset, ViUInt8 val8) {
  KAVREL_FORWARD(viOut8, vi, space, offset, val8);
}
ViStatus viIn16(ViSession vi, ViUInt16 space, ViBusAddress offset, ViPUInt16 val16) {
  KAVREL_FORWARD(viIn16, vi, space, offset, val16);
}
ViStatus viOut16(ViSession vi, ViUInt16 space, ViBusAddress offset, ViUInt16 val16) {
  KAVREL_FORWARD(viOut16, vi, space, offset, val16);
}
ViStatus viIn32(ViSession vi, ViUInt16 space, ViBusAddress offset, ViPUInt32 val32) {
  KAVREL_FORWARD(viIn32, vi, space, offset, val32);
}
ViStatus viOut32(ViSession vi, ViUInt16 space, ViBusAddress offset, ViUInt32 val32) {
  KAVREL_FORWARD(viOut32, vi, space, offset, val32);
}
ViStatus viMoveIn8(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length, ViAUInt8 buf8) {
  KAVREL_FORWARD(viMoveIn8, vi, space, offset, length, buf8);
}
ViStatus viMoveOut8(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length, ViAUInt8 buf8) {
  KAVREL_FORWARD(viMoveOut8, vi, space, offset, length, buf8);
}
ViStatus viMoveIn16(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length, ViAUInt16 buf16) {
  KAVREL_FORWARD(viMoveIn16, vi, space, offset, length, buf16);
}
ViStatus viMoveOut16(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length, ViAUInt16 buf16) {
  KAVREL_FORWARD(viMoveOut16, vi, space, offset, length, buf16);
}
ViStatus viMoveIn32(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length, ViAUInt32 buf32) {
  KAVREL_FORWARD(viMoveIn32, vi, space, offset, length, buf32);
}
ViStatus viMoveOut32(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length, ViAUInt32 buf32) {
  KAVREL_FORWARD(viMoveOut32, vi, space, offset, length, buf32);
}
ViStatus viMove(ViSession vi, ViUInt16 srcSpace, ViBusAddress srcOffset, ViUInt16 srcWidth, ViUInt16 destSpace,
                ViBusAddress destOffset, ViUInt16 destWidth, ViBusSize srcLength) {
  KAVREL_FORWARD_OPTIONAL(viMove, vi, srcSpace, srcOffset, srcWidth, destSpace, destOffset, destWidth, srcLength);
}
ViStatus viMoveAsync(ViSession vi, ViUInt16 srcSpace, ViBusAddress srcOffset, ViUInt16 srcWidth, ViUInt16 destSpace,
                     ViBusAddress destOffset, ViUInt16 destWidth, ViBusSize srcLength, ViPJobId jobId) {
  KAVREL_FORWARD_OPTIONAL(viMoveAsync, vi, srcSpace, srcOffset, srcWidth, destSpace, destOffset, destWidth, srcLength,
                          jobId);
}
ViStatus viMapAddress(ViSession vi, ViUInt16 mapSpace, ViBusAddress mapOffset, ViBusSize mapSize, ViBoolean access,
                      ViAddr suggested, ViPAddr address) {
  KAVREL_FORWARD(viMapAddress, vi, mapSpace, mapOffset, mapSize, access, suggested, address);
}
ViStatus viUnmapAddress(ViSession vi) { KAVREL_FORWARD(viUnmapAddress, vi); }
void viPeek8(ViSession vi, ViAddr address, ViPUInt8 val8) { KAVREL_FORWARD_VOID(viPeek8, vi, address, val8); }
void viPoke8(ViSession vi, ViAddr address, ViUInt8 val8) { KAVREL_FORWARD_VOID(viPoke8, vi, address, val8); }
void viPeek16(ViSession vi, ViAddr address, ViPUInt16 val16) { KAVREL_FORWARD_VOID(viPeek16, vi, address, val16); }
void viPoke16(ViSession vi, ViAddr address, ViUInt16 val16) { KAVREL_FORWARD_VOID(viPoke16, vi, address, val16); }
void viPeek32(ViSession vi, ViAddr address, ViPUInt32 val32) { KAVREL_FORWARD_VOID(viPeek32, vi, address, val32); }
void viPoke32(ViSession vi, ViAddr address, ViUInt32 val32) { KAVREL_FORWARD_VOID(viPoke32, vi, address, val32); }
ViStatus viMemAlloc(ViSession vi, ViBusSize size, ViPBusAddress offset) { KAVREL_FORWARD(viMemAlloc, vi, size, offset); }
ViStatus viMemFree(ViSession vi, ViBusAddress offset) { KAVREL_FORWARD(viMemFree, vi, offset); }

// ---- interface-specific ---------------------------------------------------------
ViStatus viGpibControlREN(ViSession vi, ViUInt16 mode) { KAVREL_FORWARD_OPTIONAL(viGpibControlREN, vi, mode); }
ViStatus viVxiCommandQuery(ViSession vi, ViUInt16 mode, ViUInt32 cmd, ViPUInt32 response) {
  KAVREL_FORWARD_OPTIONAL(viVxiCommandQuery, vi, mode, cmd, response);
}
