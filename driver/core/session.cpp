// Session lifecycle: open, default setup, reset, options, close.
#include <memory>
#include <new>

#include "driver/core/frame.h"
#include "driver/core/framing.h"
#include "driver/core/session.h"
#include "visa_binding/visa_api.h"

namespace {

using namespace kavrel;

// Free a session's record (null is nothing), its status-check switch set back first.
void freeRecord(ViAddr record) {
  if (record == nullptr) return;
  auto* data = static_cast<InstrumentData*>(record);
  setSkipStatusCheck(*data, false);
  delete data;
}

constexpr std::string_view kIdentify = "*IDN?";
constexpr std::string_view kIdentityPrefix = "OVR,410";
constexpr std::string_view kSessionStatusSetup = "*CLS;*ESE 1;*SRE 32";
constexpr ViUInt32 kTimeoutMs = 10000;
constexpr ViUInt32 kBufferSize = 4000;

ViStatus configureSession(ViSession vi) {
  KAVREL_RETURN_IF_ERROR(viSetAttribute(vi, VI_ATTR_TMO_VALUE, kTimeoutMs));
  KAVREL_RETURN_IF_ERROR(viSetBuf(vi, VI_READ_BUF | VI_WRITE_BUF, kBufferSize));
  KAVREL_RETURN_IF_ERROR(viSetAttribute(vi, VI_ATTR_WR_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS));
  return viSetAttribute(vi, VI_ATTR_RD_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS);
}

ViStatus checkIdentity(ViSession vi) {
  Reply reply;
  KAVREL_RETURN_IF_ERROR(query(vi, kIdentify, reply));
  Scan scan = reply.scan();
  scan.literal(kIdentityPrefix);
  return scan.consumed() == kIdentityPrefix.size() ? VI_SUCCESS : VI_ERROR_FAIL_ID_QUERY;
}

// What kavrel_init does on the session it opened; the caller cleans up a failure.
ViStatus setUpOpened(ViSession vi, ViBoolean idQuery, ViBoolean resetDevice) {
  KAVREL_RETURN_IF_ERROR(configureSession(vi));
  KAVREL_RETURN_IF_ERROR(setUpFraming(vi));
  if (idQuery == VI_TRUE) KAVREL_RETURN_IF_ERROR(checkIdentity(vi));
  return resetDevice == VI_TRUE ? kavrel_reset(vi) : kavrel_defaultInstrSetup(vi);
}

// "*OPT?" and the status check by `rule`; selector 16 keeps the whole word,
// any other n only bit n (modulo 32, also for negative selectors).
ViStatus readOptions(ViSession vi, ViInt32 selector, ViPInt32 options, StatusRule rule) {
  KAVREL_RETURN_IF_ERROR(Checks().present(options, VI_ERROR_PARAMETER3));
  Reply reply;
  KAVREL_RETURN_IF_ERROR(query(vi, "*OPT?", reply, 50));
  if (!reply.scan().integer(*options)) return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
  if (selector != 16) {
    std::uint32_t bit = static_cast<std::uint32_t>(selector) % 32u;
    *options = static_cast<ViInt32>(static_cast<std::uint32_t>(*options) & (1u << bit));
  }
  return kavrel_checkStatus(vi, rule);
}

}  // namespace

ViStatus kavrel_initCleanUp(ViSession rm, ViPSession vi, ViStatus status) {
  ViAddr record = nullptr;
  if (viGetAttribute(*vi, VI_ATTR_USER_DATA, &record) >= VI_SUCCESS && record != nullptr)
    freeRecord(record);
  viClose(*vi);
  viClose(rm);
  *vi = VI_NULL;
  return status;
}

ViStatus kavrel_defaultInstrSetup(ViSession vi) {
  ViAddr attached = nullptr;
  KAVREL_RETURN_IF_ERROR(viGetAttribute(vi, VI_ATTR_USER_DATA, &attached));
  // A new record stays owned here until it is attached to the session.
  std::unique_ptr<InstrumentData> created;
  InstrumentData* record = static_cast<InstrumentData*>(attached);
  if (record == nullptr) {
    created.reset(new (std::nothrow) InstrumentData{});
    if (!created) return VI_ERROR_ALLOC;
    record = created.get();
  }

  Reply reply;
  KAVREL_RETURN_IF_ERROR(query(vi, kIdentify, reply));
  Scan scan = reply.scan();
  ViInt32 modelNumber = 0;
  if (!(scan.literal("OVR,") && scan.integer(modelNumber))) return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
  const Model* model = findModel(modelNumber);
  if (model == nullptr) return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
  record->maxFrequency = model->maxFrequency;

  ViInt32 options = 0;
  KAVREL_RETURN_IF_ERROR(readOptions(vi, 16, &options, StatusRule::secondAnswer));
  record->options = options;
  record->minLevel = minLevelFor(options);
  copyText(kDriverRevision, record->revision, sizeof record->revision);

  if (created) {
    const ViStatus status = viSetAttribute(vi, VI_ATTR_USER_DATA, reinterpret_cast<ViAttrState>(record));
    // A VISA may keep the address and still report an error: the session
    // then owns the record and init's clean-up frees it. When the session
    // cannot say, it keeps the record too: a leak, never a second free.
    ViAddr stored = nullptr;
    if (status >= VI_SUCCESS || viGetAttribute(vi, VI_ATTR_USER_DATA, &stored) < VI_SUCCESS || stored == record)
      created.release();
    KAVREL_RETURN_IF_ERROR(status);
  }
  return writeLine(vi, kSessionStatusSetup);
}

KAVREL_API ViStatus kavrel_init(ViRsrc resourceName, ViBoolean idQuery, ViBoolean resetDevice, ViPSession vi) try {
  // The session variable is VI_NULL after every failure, refusals included.
  if (vi != VI_NULL) *vi = VI_NULL;
  KAVREL_RETURN_IF_ERROR(Checks()
                             .flag(idQuery, VI_ERROR_PARAMETER2)
                             .flag(resetDevice, VI_ERROR_PARAMETER3)
                             .present(resourceName, VI_ERROR_PARAMETER1)
                             .present(vi, VI_ERROR_PARAMETER4));

  ViSession rm = VI_NULL;
  KAVREL_RETURN_IF_ERROR(viOpenDefaultRM(&rm));
  ViStatus status = viOpen(rm, resourceName, VI_NULL, VI_NULL, vi);
  if (status < VI_SUCCESS) {
    viClose(rm);
    *vi = VI_NULL;
    return status;
  }

  SessionGuard guard(*vi, SessionGuard::Opened{});
  status = guard.ok() ? setUpOpened(*vi, idQuery, resetDevice) : VI_ERROR_ALLOC;
  if (status >= VI_SUCCESS) return status;
  // Nobody else has the handle yet: the lock can go before the session does.
  guard.closed(*vi);
  return kavrel_initCleanUp(rm, vi, status);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reset(ViSession vi) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(writeLine(vi, "*RST"));
  return kavrel_defaultInstrSetup(vi);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_instrOptions(ViSession vi, ViInt32 selector, ViPInt32 options) try {
  const SessionGuard guard(vi);
  return readOptions(vi, selector, options, StatusRule::bothAnswers);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_close(ViSession vi) try {
  SessionGuard guard(vi);
  ViSession rm = VI_NULL;
  KAVREL_RETURN_IF_ERROR(viGetAttribute(vi, VI_ATTR_RM_SESSION, &rm));
  ViAddr record = nullptr;
  KAVREL_RETURN_IF_ERROR(viGetAttribute(vi, VI_ATTR_USER_DATA, &record));
  // Detached first: should viClose fail, the session keeps no pointer to freed memory.
  if (record != nullptr) KAVREL_RETURN_IF_ERROR(viSetAttribute(vi, VI_ATTR_USER_DATA, 0));
  freeRecord(record);
  ViStatus status = viClose(vi);
  guard.closed(vi);
  viClose(rm);
  return status;
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_skipStatusCheck(ViSession vi, ViBoolean skip) try {
  using namespace kavrel;
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(skip, VI_ERROR_PARAMETER2));
  const InstrumentData* data = nullptr;
  KAVREL_RETURN_IF_ERROR(fetchData(vi, data));
  // The record is the session's own; its users read their limits through const.
  setSkipStatusCheck(*const_cast<InstrumentData*>(data), skip == VI_TRUE);
  return VI_SUCCESS;
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_checkInstrStatus(ViSession vi) try {
  const kavrel::SessionGuard guard(vi);
  return kavrel::queryStatus(vi, kavrel::StatusRule::bothAnswers);
} KAVREL_CATCH_ALL
