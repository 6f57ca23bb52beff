// The exported VISA operations of the stand-in. Each one counts its call,
// answers an injected fault if one is due, and otherwise works on the session.
#define KAVREL_NO_GETDEFAULTRM_MACRO  // viGetDefaultRM is defined here as a function
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "testbed/visa/discovery.h"
#include "testbed/visa/session.h"
#include "testbed/visa/standin_internal.h"
#include "testbed/visa/trace.h"

namespace {

using kavrel::standin::ArgList;
using kavrel::standin::Session;

// How long viFindRsrc listens for instruments announced on the network.
constexpr int kFindBrowseMs = 1500;

template <typename Body>
ViStatus runOperation(standin_op op, Body&& body) {
  const auto fault = kavrel::standin::enterOperation(op);
  if (fault && !fault->afterWork) return fault->status;
  ViStatus status = VI_ERROR_ALLOC;
  try {
    status = body();
  } catch (const std::bad_alloc&) {
  }
  return fault ? fault->status : status;
}

template <typename Body>
ViStatus onSession(standin_op op, ViSession vi, Body&& body) {
  return runOperation(op, [&]() -> ViStatus {
    const std::shared_ptr<Session> session = kavrel::standin::findSession(vi);
    if (session == nullptr) return VI_ERROR_INV_OBJECT;
    return body(*session);
  });
}

// With the trace on, an I/O operation's outcome goes to it; the status passes through.
ViStatus traced(ViSession vi, std::string_view name, ViStatus status, std::string_view detail = {}) {
  if (kavrel::standin::trace::enabled()) {
    std::string what(name);
    if (!detail.empty()) what.append(" ").append(detail);
    kavrel::standin::trace::operation(vi, what, status);
  }
  return status;
}

std::string byteCount(ViUInt32 count) {
  char digits[16];
  const auto printed = std::to_chars(digits, digits + sizeof digits, count);
  return std::string(digits, printed.ptr).append(" bytes");
}

// Operations the scripted instrument has no use for: a valid session answers NSUP_OPER.
ViStatus unsupported(ViSession vi) {
  return onSession(STANDIN_OTHER, vi, [](Session&) -> ViStatus { return VI_ERROR_NSUP_OPER; });
}

ViStatus openDefaultRM(ViPSession vi) {
  return runOperation(STANDIN_OPEN_DEFAULT_RM, [&]() -> ViStatus {
    if (vi == nullptr) return VI_ERROR_USER_BUF;
    kavrel::standin::trace::configure();
    return kavrel::standin::openResourceManager(*vi);
  });
}

ViStatus printThrough(ViSession vi, ViConstString writeFmt, va_list params) {
  return traced(vi, "viPrintf", onSession(STANDIN_PRINTF, vi, [&](Session& s) -> ViStatus {
    ArgList args;
    va_copy(args.ap, params);
    const ViStatus status = s.printFormatted(writeFmt, args);
    va_end(args.ap);
    return status;
  }));
}

ViStatus scanThrough(ViSession vi, ViConstString readFmt, va_list params) {
  return traced(vi, "viScanf", onSession(STANDIN_SCANF, vi, [&](Session& s) -> ViStatus {
    ArgList args;
    va_copy(args.ap, params);
    const ViStatus status = s.scanFormatted(readFmt, args);
    va_end(args.ap);
    return status;
  }));
}

ViStatus queryThrough(ViSession vi, ViConstString writeFmt, ViConstString readFmt, va_list params) {
  return traced(vi, "viQueryf", onSession(STANDIN_QUERYF, vi, [&](Session& s) -> ViStatus {
    ArgList args;
    va_copy(args.ap, params);
    const ViStatus status = s.queryFormatted(writeFmt, readFmt, args);
    va_end(args.ap);
    return status;
  }));
}

ViStatus printToString(ViSession vi, ViPBuf buf, ViConstString writeFmt, va_list params) {
  return onSession(STANDIN_OTHER, vi, [&](Session&) -> ViStatus {
    if (buf == nullptr) return VI_ERROR_USER_BUF;
    ArgList args;
    va_copy(args.ap, params);
    kavrel::standin::FormattedText text;
    const ViStatus status = kavrel::standin::formatWrite(writeFmt, args, text);
    va_end(args.ap);
    if (status < VI_SUCCESS) return status;
    std::memcpy(buf, text.bytes.data(), text.bytes.size());
    buf[text.bytes.size()] = '\0';
    return VI_SUCCESS;
  });
}

ViStatus scanFromString(ViSession vi, ViConstBuf buf, ViConstString readFmt, va_list params) {
  return onSession(STANDIN_OTHER, vi, [&](Session&) -> ViStatus {
    if (buf == nullptr) return VI_ERROR_USER_BUF;
    ArgList args;
    va_copy(args.ap, params);
    kavrel::standin::StringInput input(reinterpret_cast<const char*>(buf));
    const ViStatus status = kavrel::standin::formatRead(readFmt, args, input);
    va_end(args.ap);
    return status;
  });
}

}  // namespace

extern "C" {

// ---- resource manager and sessions ---------------------------------------------
ViStatus viOpenDefaultRM(ViPSession vi) { return openDefaultRM(vi); }
ViStatus viGetDefaultRM(ViPSession vi) { return openDefaultRM(vi); }

ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout, ViPSession vi) {
  return runOperation(STANDIN_OPEN, [&]() -> ViStatus {
    if (vi == nullptr) return VI_ERROR_USER_BUF;
    constexpr ViAccessMode kModes = VI_EXCLUSIVE_LOCK | VI_SHARED_LOCK | VI_LOAD_CONFIG;
    if ((mode & ~kModes) != 0 || (mode & (VI_EXCLUSIVE_LOCK | VI_SHARED_LOCK)) == (VI_EXCLUSIVE_LOCK | VI_SHARED_LOCK)) {
      return VI_ERROR_INV_ACC_MODE;
    }
    kavrel::standin::trace::configure();
    ViSession opened = VI_NULL;
    const ViStatus status = kavrel::standin::openInstrument(sesn, name, timeout, opened);
    if (status >= VI_SUCCESS) *vi = opened;
    return name != nullptr ? traced(opened, "viOpen", status, name) : status;
  });
}

// The stand-in keeps no aliases: the name parsed is the name to open.
ViStatus viParseRsrcEx(ViSession sesn, ViConstRsrc name, ViPUInt16 intfType, ViPUInt16 intfNum, ViChar rsrcClass[],
                       ViChar expandedUnaliasedName[], ViChar aliasIfExists[]) {
  return onSession(STANDIN_OTHER, sesn, [&](Session& s) -> ViStatus {
    if (!s.isResourceManager()) return VI_ERROR_INV_OBJECT;
    kavrel::standin::ParsedResource parsed;
    if (name == nullptr) return VI_ERROR_INV_RSRC_NAME;
    if (ViStatus status = kavrel::standin::parseResource(name, parsed); status < VI_SUCCESS) return status;
    if (intfType != nullptr) *intfType = parsed.interfaceType;
    if (intfNum != nullptr) *intfNum = parsed.board;
    if (rsrcClass != nullptr) kavrel::standin::writeString(rsrcClass, parsed.resourceClass);
    if (expandedUnaliasedName != nullptr) kavrel::standin::writeString(expandedUnaliasedName, name);
    if (aliasIfExists != nullptr) kavrel::standin::writeString(aliasIfExists, "");
    return VI_SUCCESS;
  });
}
ViStatus viParseRsrc(ViSession sesn, ViConstRsrc name, ViPUInt16 intfType, ViPUInt16 intfNum) {
  return viParseRsrcEx(sesn, name, intfType, intfNum, nullptr, nullptr, nullptr);
}

ViStatus viClose(ViObject vi) {
  return runOperation(STANDIN_CLOSE, [&]() -> ViStatus {
    if (kavrel::standin::isFindList(vi)) return kavrel::standin::closeFindList(vi);
    return traced(vi, "viClose", kavrel::standin::closeSession(vi));
  });
}

// Instruments announced on the network (mDNS); the scripted instrument is never listed.
ViStatus viFindRsrc(ViSession sesn, ViConstString expr, ViPFindList list, ViPUInt32 count, ViChar desc[]) {
  return onSession(STANDIN_OTHER, sesn, [&](Session& s) -> ViStatus {
    if (!s.isResourceManager()) return VI_ERROR_INV_OBJECT;
    bool valid = expr != nullptr;
    if (valid) kavrel::standin::matchesExpression(expr, {}, valid);
    if (!valid) return VI_ERROR_INV_EXPR;
    std::vector<std::string> found;
    for (std::string& resource : kavrel::standin::discoverInstruments(kFindBrowseMs)) {
      if (kavrel::standin::matchesExpression(expr, resource, valid)) found.push_back(std::move(resource));
    }
    if (count != nullptr) *count = static_cast<ViUInt32>(found.size());
    if (list != nullptr) *list = VI_NULL;
    if (found.empty()) return VI_ERROR_RSRC_NFOUND;
    if (desc != nullptr) kavrel::standin::writeString(desc, found.front());
    found.erase(found.begin());
    if (list != nullptr) *list = kavrel::standin::openFindList(std::move(found));
    return VI_SUCCESS;
  });
}
ViStatus viFindNext(ViFindList vi, ViChar desc[]) {
  return runOperation(STANDIN_OTHER, [&] { return kavrel::standin::findNext(vi, desc); });
}

// ---- attributes and status texts -------------------------------------------------
ViStatus viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue) {
  return onSession(STANDIN_SET_ATTRIBUTE, vi, [&](Session& s) { return s.setAttribute(attrName, attrValue); });
}

ViStatus viGetAttribute(ViObject vi, ViAttr attrName, void* attrValue) {
  return onSession(STANDIN_GET_ATTRIBUTE, vi, [&](Session& s) { return s.getAttribute(attrName, attrValue); });
}

ViStatus viStatusDesc(ViObject, ViStatus status, ViChar desc[]) {
  return runOperation(STANDIN_STATUS_DESC, [&]() -> ViStatus {
    if (desc == nullptr) return VI_ERROR_USER_BUF;
    const std::string_view text = kavrel::standin::statusText(status);
    if (text.empty()) {
      std::snprintf(desc, 32, "Unknown status value 0x%08X", static_cast<unsigned>(static_cast<ViUInt32>(status)));
      return VI_WARN_UNKNOWN_STATUS;
    }
    std::memcpy(desc, text.data(), text.size());
    desc[text.size()] = '\0';
    return VI_SUCCESS;
  });
}

ViStatus viTerminate(ViObject vi, ViUInt16, ViJobId) { return unsupported(vi); }
ViStatus viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, ViConstKeyId requestedKey, ViChar accessKey[]) {
  return traced(vi, "viLock", onSession(STANDIN_OTHER, vi, [&](Session& s) {
    return s.lock(lockType, timeout, requestedKey, accessKey);
  }));
}
ViStatus viUnlock(ViSession vi) {
  return traced(vi, "viUnlock", onSession(STANDIN_OTHER, vi, [](Session& s) { return s.unlock(); }));
}

// ---- events ---------------------------------------------------------------
ViStatus viEnableEvent(ViSession vi, ViEventType, ViUInt16, ViEventFilter) {
  return onSession(STANDIN_OTHER, vi, [](Session&) -> ViStatus { return VI_SUCCESS; });
}
ViStatus viDisableEvent(ViSession vi, ViEventType, ViUInt16) {
  return onSession(STANDIN_OTHER, vi, [](Session&) -> ViStatus { return VI_SUCCESS; });
}
ViStatus viDiscardEvents(ViSession vi, ViEventType, ViUInt16) {
  return onSession(STANDIN_OTHER, vi, [](Session&) -> ViStatus { return VI_SUCCESS; });
}
ViStatus viWaitOnEvent(ViSession vi, ViEventType, ViUInt32, ViPEventType, ViPEvent) {
  return onSession(STANDIN_OTHER, vi, [](Session&) -> ViStatus { return VI_ERROR_TMO; });
}
ViStatus viInstallHandler(ViSession vi, ViEventType eventType, ViHndlr handler, ViAddr userHandle) {
  return onSession(STANDIN_OTHER, vi, [&](Session& s) { return s.installHandler(eventType, handler, userHandle); });
}
ViStatus viUninstallHandler(ViSession vi, ViEventType eventType, ViHndlr handler, ViAddr userHandle) {
  return onSession(STANDIN_OTHER, vi, [&](Session& s) { return s.uninstallHandler(eventType, handler, userHandle); });
}

// ---- basic I/O ------------------------------------------------------------
ViStatus viRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) {
  ViUInt32 received = 0;
  const ViStatus status = onSession(STANDIN_READ, vi, [&](Session& s) {
    const ViStatus readStatus = s.read(buf, cnt, received);
    if (retCnt != nullptr) *retCnt = received;
    return readStatus;
  });
  return traced(vi, "viRead", status, kavrel::standin::trace::enabled() ? byteCount(received) : std::string());
}

ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) {
  const ViStatus status = onSession(STANDIN_WRITE, vi, [&](Session& s) {
    const ViStatus writeStatus = s.write(buf, cnt);
    if (retCnt != nullptr) *retCnt = writeStatus < VI_SUCCESS ? 0 : cnt;
    return writeStatus;
  });
  return traced(vi, "viWrite", status, kavrel::standin::trace::enabled() ? byteCount(cnt) : std::string());
}

ViStatus viReadAsync(ViSession vi, ViPBuf, ViUInt32, ViPJobId) { return unsupported(vi); }
ViStatus viWriteAsync(ViSession vi, ViConstBuf, ViUInt32, ViPJobId) { return unsupported(vi); }
ViStatus viAssertTrigger(ViSession vi, ViUInt16 protocol) {
  return traced(vi, "viAssertTrigger", onSession(STANDIN_OTHER, vi, [&](Session& s) { return s.assertTrigger(protocol); }));
}

ViStatus viReadSTB(ViSession vi, ViPUInt16 status) {
  return traced(vi, "viReadSTB", onSession(STANDIN_OTHER, vi, [&](Session& s) -> ViStatus {
    if (status == nullptr) return VI_ERROR_USER_BUF;
    return s.readStatusByte(*status);
  }));
}

ViStatus viClear(ViSession vi) {
  return traced(vi, "viClear", onSession(STANDIN_OTHER, vi, [](Session& s) { return s.clear(); }));
}

// ---- formatted I/O ------------------------------------------------------------
ViStatus viSetBuf(ViSession vi, ViUInt16 mask, ViUInt32 size) {
  return onSession(STANDIN_SET_BUF, vi, [&](Session& s) { return s.setBuf(mask, size); });
}

ViStatus viFlush(ViSession vi, ViUInt16 mask) {
  return onSession(STANDIN_OTHER, vi, [&](Session& s) { return s.flush(mask); });
}

ViStatus viBufWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) {
  return onSession(STANDIN_OTHER, vi, [&](Session& s) {
    const ViStatus status = s.bufWrite(buf, cnt);
    if (retCnt != nullptr) *retCnt = status < VI_SUCCESS ? 0 : cnt;
    return status;
  });
}

ViStatus viBufRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) {
  return onSession(STANDIN_OTHER, vi, [&](Session& s) {
    ViUInt32 received = 0;
    const ViStatus status = s.bufRead(buf, cnt, received);
    if (retCnt != nullptr) *retCnt = received;
    return status;
  });
}

ViStatus viVPrintf(ViSession vi, ViConstString writeFmt, ViVAList params) { return printThrough(vi, writeFmt, params); }
ViStatus viPrintf(ViSession vi, ViConstString writeFmt, ...) {
  va_list params;
  va_start(params, writeFmt);
  const ViStatus status = printThrough(vi, writeFmt, params);
  va_end(params);
  return status;
}

ViStatus viVScanf(ViSession vi, ViConstString readFmt, ViVAList params) { return scanThrough(vi, readFmt, params); }
ViStatus viScanf(ViSession vi, ViConstString readFmt, ...) {
  va_list params;
  va_start(params, readFmt);
  const ViStatus status = scanThrough(vi, readFmt, params);
  va_end(params);
  return status;
}

ViStatus viVQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt, ViVAList params) {
  return queryThrough(vi, writeFmt, readFmt, params);
}
ViStatus viQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt, ...) {
  va_list params;
  va_start(params, readFmt);
  const ViStatus status = queryThrough(vi, writeFmt, readFmt, params);
  va_end(params);
  return status;
}

ViStatus viVSPrintf(ViSession vi, ViPBuf buf, ViConstString writeFmt, ViVAList params) {
  return printToString(vi, buf, writeFmt, params);
}
ViStatus viSPrintf(ViSession vi, ViPBuf buf, ViConstString writeFmt, ...) {
  va_list params;
  va_start(params, writeFmt);
  const ViStatus status = printToString(vi, buf, writeFmt, params);
  va_end(params);
  return status;
}

ViStatus viVSScanf(ViSession vi, ViConstBuf buf, ViConstString readFmt, ViVAList params) {
  return scanFromString(vi, buf, readFmt, params);
}
ViStatus viSScanf(ViSession vi, ViConstBuf buf, ViConstString readFmt, ...) {
  va_list params;
  va_start(params, readFmt);
  const ViStatus status = scanFromString(vi, buf, readFmt, params);
  va_end(params);
  return status;
}

// ---- register-based and interface-specific operations: not served -----------------
ViStatus viIn8(ViSession vi, ViUInt16, ViBusAddress, ViPUInt8) { return unsupported(vi); }
ViStatus viOut8(ViSession vi, ViUInt16, ViBusAddress, ViUInt8) { return unsupported(vi); }
ViStatus viIn16(ViSession vi, ViUInt16, ViBusAddress, ViPUInt16) { return unsupported(vi); }
ViStatus viOut16(ViSession vi, ViUInt16, ViBusAddress, ViUInt16) { return unsupported(vi); }
ViStatus viIn32(ViSession vi, ViUInt16, ViBusAddress, ViPUInt32) { return unsupported(vi); }
ViStatus viOut32(ViSession vi, ViUInt16, ViBusAddress, ViUInt32) { return unsupported(vi); }
ViStatus viMoveIn8(ViSession vi, ViUInt16, ViBusAddress, ViBusSize, ViAUInt8) { return unsupported(vi); }
ViStatus viMoveOut8(ViSession vi, ViUInt16, ViBusAddress, ViBusSize, ViAUInt8) { return unsupported(vi); }
ViStatus viMoveIn16(ViSession vi, ViUInt16, ViBusAddress, ViBusSize, ViAUInt16) { return unsupported(vi); }
ViStatus viMoveOut16(ViSession vi, ViUInt16, ViBusAddress, ViBusSize, ViAUInt16) { return unsupported(vi); }
ViStatus viMoveIn32(ViSession vi, ViUInt16, ViBusAddress, ViBusSize, ViAUInt32) { return unsupported(vi); }
ViStatus viMoveOut32(ViSession vi, ViUInt16, ViBusAddress, ViBusSize, ViAUInt32) { return unsupported(vi); }
#ifndef STANDIN_OMIT_VIMOVE  // builds a partial library for the binding's tests
ViStatus viMove(ViSession vi, ViUInt16, ViBusAddress, ViUInt16, ViUInt16, ViBusAddress, ViUInt16, ViBusSize) {
  return unsupported(vi);
}
#endif
ViStatus viMoveAsync(ViSession vi, ViUInt16, ViBusAddress, ViUInt16, ViUInt16, ViBusAddress, ViUInt16, ViBusSize,
                     ViPJobId) {
  return unsupported(vi);
}
ViStatus viMapAddress(ViSession vi, ViUInt16, ViBusAddress, ViBusSize, ViBoolean, ViAddr, ViPAddr) {
  return unsupported(vi);
}
ViStatus viUnmapAddress(ViSession vi) { return unsupported(vi); }
void viPeek8(ViSession, ViAddr, ViPUInt8 val8) {
  if (val8 != nullptr) *val8 = 0;
}
void viPoke8(ViSession, ViAddr, ViUInt8) {}
void viPeek16(ViSession, ViAddr, ViPUInt16 val16) {
  if (val16 != nullptr) *val16 = 0;
}
void viPoke16(ViSession, ViAddr, ViUInt16) {}
void viPeek32(ViSession, ViAddr, ViPUInt32 val32) {
  if (val32 != nullptr) *val32 = 0;
}
void viPoke32(ViSession, ViAddr, ViUInt32) {}
ViStatus viMemAlloc(ViSession vi, ViBusSize, ViPBusAddress) { return unsupported(vi); }
#ifndef STANDIN_OMIT_VIMEMFREE  // builds an incomplete library for the binding's tests
ViStatus viMemFree(ViSession vi, ViBusAddress) { return unsupported(vi); }
#endif
ViStatus viGpibControlREN(ViSession vi, ViUInt16 mode) {
  return traced(vi, "viGpibControlREN", onSession(STANDIN_OTHER, vi, [&](Session& s) { return s.controlRen(mode); }));
}
ViStatus viVxiCommandQuery(ViSession vi, ViUInt16, ViUInt32, ViPUInt32) { return unsupported(vi); }

}  // extern "C"
