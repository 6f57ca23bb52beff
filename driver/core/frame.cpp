#include "driver/core/frame.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "driver/core/framing.h"
#include "visa_binding/visa_api.h"

ViBoolean kavrel_invalidViBooleanRange(ViBoolean value) { return (value != VI_FALSE && value != VI_TRUE) ? VI_TRUE : VI_FALSE; }

ViBoolean kavrel_invalidViInt32Range(ViInt32 value, ViInt32 min, ViInt32 max) {
  return (value < min || value > max) ? VI_TRUE : VI_FALSE;
}

ViBoolean kavrel_invalidViReal64Range(ViReal64 value, ViReal64 min, ViReal64 max) {
  // Written so that a NaN fails: every comparison with it is false.
  return (min > value || !(max >= value)) ? VI_TRUE : VI_FALSE;
}

ViBoolean kavrel_invalidViStringRange(ViConstString text, ViInt32 maxLength) {
  if (text == VI_NULL) return VI_TRUE;
  return std::strlen(text) > static_cast<ViUInt32>(maxLength) ? VI_TRUE : VI_FALSE;
}

namespace {

// The instrument's error bits: query, device-dependent, execution and command error.
constexpr ViInt32 kEsrErrorBits = 0x3C;
// No event status register reads this: a reply that did not scan leaves it.
constexpr ViInt32 kEsrUnread = INT32_MIN;

ViStatus readEsr(ViSession vi, ViInt32& esr) {
  esr = kEsrUnread;
  const char* query = kavrel::framingOf(vi) == kavrel::Framing::lineFeed ? "*ESR?\n" : "*ESR?";
  ViStatus status = viQueryf(vi, query, "%ld", &esr);
  KAVREL_RETURN_IF_ERROR(status);
  if (esr == kEsrUnread) return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
  return status;
}

}  // namespace

// The two "*ESR?" queries and the test of their error bits, whatever the switch.
ViStatus kavrel::queryStatus(ViSession vi, StatusRule rule) {
  ViInt32 first = 0, second = 0;
  KAVREL_RETURN_IF_ERROR(readEsr(vi, first));
  ViStatus status = readEsr(vi, second);
  KAVREL_RETURN_IF_ERROR(status);
  // Reading the register clears it, so an error of the command just sent
  // shows in the first answer; the second holds only what came in between.
  ViInt32 seen = rule == kavrel::StatusRule::bothAnswers ? (first | second) : second;
  return (seen & kEsrErrorBits) ? VI_ERROR_INSTR_SPECIFIC : status;
}

namespace {
// Records whose session skips the check. While there are none, the check
// does not look at the record, so a default call makes the same VISA calls
// it always made.
std::atomic<int> g_skippingRecords{0};
}  // namespace

ViStatus kavrel_checkStatus(ViSession vi, kavrel::StatusRule rule) {
  // A session without a record (never set up) is always checked.
  const InstrumentData* data = nullptr;
  if (rule == kavrel::StatusRule::bothAnswers && g_skippingRecords.load(std::memory_order_relaxed) > 0 &&
      kavrel::fetchData(vi, data) >= VI_SUCCESS && data->skipStatusCheck) {
    return VI_SUCCESS;
  }
  return kavrel::queryStatus(vi, rule);
}

void kavrel::setSkipStatusCheck(InstrumentData& record, bool skip) {
  if (record.skipStatusCheck != skip) g_skippingRecords.fetch_add(skip ? 1 : -1, std::memory_order_relaxed);
  record.skipStatusCheck = skip;
}

ViStatus kavrel_SetActiveMeas(ViSession vi, ViBoolean channel, ViBoolean measurement) {
  using namespace kavrel;
  return writeLine(vi, line(":CHAN:ACT ", selectorNumber(channel), ";:MEAS:ACT ", selectorNumber(measurement)));
}

namespace kavrel {

ViStatus fetchData(ViSession vi, const InstrumentData*& out) {
  ViAddr record = nullptr;
  KAVREL_RETURN_IF_ERROR(viGetAttribute(vi, VI_ATTR_USER_DATA, &record));
  if (record == nullptr) return VI_ERROR_INV_OBJECT;
  out = static_cast<const InstrumentData*>(record);
  return VI_SUCCESS;
}

ViStatus writeLine(ViSession vi, std::string_view text) {
  if (framingOf(vi) == Framing::lineFeed) {
    std::string message;
    try {
      message.reserve(text.size() + 1);
    } catch (const std::bad_alloc&) {
      return VI_ERROR_ALLOC;
    }
    message.append(text).push_back('\n');
    return viWrite(vi, reinterpret_cast<ViConstBuf>(message.data()), static_cast<ViUInt32>(message.size()), VI_NULL);
  }
  return viWrite(vi, reinterpret_cast<ViConstBuf>(text.data()), static_cast<ViUInt32>(text.size()), VI_NULL);
}

ViStatus send(ViSession vi, std::string_view text) {
  KAVREL_RETURN_IF_ERROR(writeLine(vi, text));
  return kavrel_checkStatus(vi);
}

ViStatus sendMeas(ViSession vi, ViBoolean channel, ViBoolean measurement, std::string_view text) {
  KAVREL_RETURN_IF_ERROR(kavrel_SetActiveMeas(vi, channel, measurement));
  return send(vi, text);
}

ViStatus readReply(ViSession vi, Reply& reply, ViUInt32 maxBytes) {
  if (maxBytes > kReplySize) maxBytes = kReplySize;
  auto* bytes = reinterpret_cast<ViPBuf>(reply.bytes.data());
  reply.size = 0;
  if (framingOf(vi) == Framing::lineFeed) {
    // The reply is whole at its line feed, however many reads it took.
    ViUInt32 count = 0;
    KAVREL_RETURN_IF_ERROR(readBytes(vi, bytes, maxBytes, count, true));
    reply.size = count;
    return count > 0 && count == maxBytes && bytes[count - 1] != '\n' ? VI_SUCCESS_MAX_CNT : VI_SUCCESS;
  }
  ViUInt32 count = 0;
  ViStatus status = viRead(vi, bytes, maxBytes, &count);
  reply.size = status < VI_SUCCESS ? 0 : (count < maxBytes ? count : maxBytes);
  return status;
}

ViStatus query(ViSession vi, std::string_view text, Reply& reply, ViUInt32 maxBytes) {
  KAVREL_RETURN_IF_ERROR(writeLine(vi, text));
  return readReply(vi, reply, maxBytes);
}

ViStatus queryInteger(ViSession vi, std::string_view text, ViInt32& out) {
  Reply reply;
  ViStatus status = query(vi, text, reply);
  KAVREL_RETURN_IF_ERROR(status);
  ViInt32 value = 0;
  if (!reply.scan().integer(value)) return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
  out = value;
  return status;
}

ViStatus queryReal(ViSession vi, std::string_view text, ViReal64& out) {
  Reply reply;
  ViStatus status = query(vi, text, reply);
  KAVREL_RETURN_IF_ERROR(status);
  ViReal64 value = 0;
  if (!reply.scan().real(value)) return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
  out = value;
  return status;
}

ViStatus queryBeginsWith(ViSession vi, std::string_view text, std::string_view prefix, bool& begins,
                         ViUInt32 maxBytes) {
  Reply reply;
  ViStatus status = query(vi, text, reply, maxBytes);
  KAVREL_RETURN_IF_ERROR(status);
  begins = reply.scan().literal(prefix);
  return status;
}

ViStatus checkStoreNumber(ViSession vi, std::string_view maxQuery, ViInt32 number, ViStatus code, ViInt32 lowest) {
  ViInt32 highest = 0;
  KAVREL_RETURN_IF_ERROR(queryInteger(vi, maxQuery, highest));
  return Checks().integer(number, lowest, highest, code);
}

}  // namespace kavrel
