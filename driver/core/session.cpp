// Session lifecycle: open, default setup, reset, options, close.
#include <memory>
#include <new>

#include "driver/core/frame.h"
#include "driver/core/framing.h"
#include "driver/core/session.h"
#include "visa_binding/visa_api.h"

namespace {

using namespace kavrel;

struct Model {
  ViInt32 number;
  ViReal64 maxFrequency;  // Hz
};
// 4103 reaches 26.5 GHz and 4104 26 GHz, not the other way round.
constexpr std::array<Model, 5> kModels{{
    {4100, 20e9},
    {4101, 8e9},
    {4102, 2e9},
    {4103, 26.5e9},
    {4104, 26e9},
}};

const Model* findModel(ViInt32 number) {
  for (const Model& model : kModels)
    if (model.number == number) return &model;
  return nullptr;
}

// Lowest source level from the option word; the first matching bit wins.
ViReal64 minLevelFor(ViInt32 options) {
  if (options & 0x20) return -90.0;
  if (options & 0x200) return -110.0;
  return -70.0;
}

constexpr std::string_view kIdentify = "*IDN?";
constexpr std::string_view kIdentityPrefix = "OVR,410";
constexpr std::string_view kSessionStatusSetup = "*CLS;*ESE 1;*SRE 32";
constexpr ViUInt32 kTimeoutMs = 10000;
constexpr ViUInt32 kBufferSize = 4000;

ViStatus configureSession(ViSession vi) {
  ViStatus status = viSetAttribute(vi, VI_ATTR_TMO_VALUE, kTimeoutMs);
  if (status >= VI_SUCCESS) status = viSetBuf(vi, VI_READ_BUF | VI_WRITE_BUF, kBufferSize);
  if (status >= VI_SUCCESS) status = viSetAttribute(vi, VI_ATTR_WR_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS);
  if (status >= VI_SUCCESS) status = viSetAttribute(vi, VI_ATTR_RD_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS);
  return status;
}

ViStatus checkIdentity(ViSession vi) {
  Reply reply;
  ViStatus status = query(vi, kIdentify, reply);
  if (status < VI_SUCCESS) return status;
  Scan scan = reply.scan();
  scan.literal(kIdentityPrefix);
  return scan.consumed() == kIdentityPrefix.size() ? VI_SUCCESS : VI_ERROR_FAIL_ID_QUERY;
}

// "*OPT?" and the status check by `rule`; selector 16 keeps the whole word,
// any other n only bit n (modulo 32, also for negative selectors).
ViStatus readOptions(ViSession vi, ViInt32 selector, ViPInt32 options, StatusRule rule) {
  if (ViStatus status = Checks().present(options, VI_ERROR_PARAMETER3)) return status;
  Reply reply;
  ViStatus status = query(vi, "*OPT?", reply, 50);
  if (status < VI_SUCCESS) return status;
  if (!reply.scan().integer(*options)) return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
  if (selector != 16) {
    std::uint32_t bit = static_cast<std::uint32_t>(selector) % 32u;
    *options = static_cast<ViInt32>(static_cast<std::uint32_t>(*options) & (1u << bit));
  }
  return checkStatus(vi, rule);
}

}  // namespace

ViStatus kavrel_initCleanUp(ViSession rm, ViPSession vi, ViStatus status) {
  ViAddr record = nullptr;
  if (viGetAttribute(*vi, VI_ATTR_USER_DATA, &record) >= VI_SUCCESS && record != nullptr)
    delete static_cast<InstrumentData*>(record);
  viClose(*vi);
  viClose(rm);
  forgetFraming(*vi);
  *vi = VI_NULL;
  return status;
}

ViStatus kavrel_defaultInstrSetup(ViSession vi) {
  ViAddr attached = nullptr;
  ViStatus status = viGetAttribute(vi, VI_ATTR_USER_DATA, &attached);
  if (status < VI_SUCCESS) return status;
  // A new record stays owned here until it is attached to the session.
  std::unique_ptr<InstrumentData> created;
  InstrumentData* record = static_cast<InstrumentData*>(attached);
  if (record == nullptr) {
    created.reset(new (std::nothrow) InstrumentData{});
    if (!created) return VI_ERROR_ALLOC;
    record = created.get();
  }

  Reply reply;
  status = query(vi, kIdentify, reply);
  if (status < VI_SUCCESS) return status;
  Scan scan = reply.scan();
  ViInt32 modelNumber = 0;
  if (!(scan.literal("OVR,") && scan.integer(modelNumber))) return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
  const Model* model = findModel(modelNumber);
  if (model == nullptr) return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
  record->maxFrequency = model->maxFrequency;

  ViInt32 options = 0;
  status = readOptions(vi, 16, &options, StatusRule::secondAnswer);
  if (status < VI_SUCCESS) return status;
  record->options = options;
  record->minLevel = minLevelFor(options);
  copyText(kDriverRevision, record->revision, sizeof record->revision);

  if (created) {
    status = viSetAttribute(vi, VI_ATTR_USER_DATA, reinterpret_cast<ViAttrState>(record));
    if (status < VI_SUCCESS) return status;
    created.release();
  }
  return writeLine(vi, kSessionStatusSetup);
}

KAVREL_API ViStatus kavrel_init(ViRsrc resourceName, ViBoolean idQuery, ViBoolean resetDevice, ViPSession vi) {
  if (ViStatus status = Checks()
                            .flag(idQuery, VI_ERROR_PARAMETER2)
                            .flag(resetDevice, VI_ERROR_PARAMETER3)
                            .present(resourceName, VI_ERROR_PARAMETER1)
                            .present(vi, VI_ERROR_PARAMETER4))
    return status;

  ViSession rm = VI_NULL;
  ViStatus status = viOpenDefaultRM(&rm);
  if (status < VI_SUCCESS) return status;
  *vi = VI_NULL;
  status = viOpen(rm, resourceName, VI_NULL, VI_NULL, vi);
  if (status < VI_SUCCESS) {
    viClose(rm);
    *vi = VI_NULL;
    return status;
  }

  status = configureSession(*vi);
  if (status >= VI_SUCCESS) status = setUpFraming(*vi);
  if (status >= VI_SUCCESS && idQuery == VI_TRUE) status = checkIdentity(*vi);
  if (status >= VI_SUCCESS) status = resetDevice == VI_TRUE ? kavrel_reset(*vi) : kavrel_defaultInstrSetup(*vi);
  if (status < VI_SUCCESS) return kavrel_initCleanUp(rm, vi, status);
  return status;
}

KAVREL_API ViStatus kavrel_reset(ViSession vi) {
  ViStatus status = writeLine(vi, "*RST");
  if (status < VI_SUCCESS) return status;
  return kavrel_defaultInstrSetup(vi);
}

KAVREL_API ViStatus kavrel_instrOptions(ViSession vi, ViInt32 selector, ViPInt32 options) {
  return readOptions(vi, selector, options, StatusRule::bothAnswers);
}

KAVREL_API ViStatus kavrel_close(ViSession vi) {
  ViSession rm = VI_NULL;
  ViStatus status = viGetAttribute(vi, VI_ATTR_RM_SESSION, &rm);
  if (status < VI_SUCCESS) return status;
  ViAddr record = nullptr;
  status = viGetAttribute(vi, VI_ATTR_USER_DATA, &record);
  if (status < VI_SUCCESS) return status;
  delete static_cast<InstrumentData*>(record);
  status = viClose(vi);
  viClose(rm);
  forgetFraming(vi);
  return status;
}
