// Error reporting, revisions, self-test and direct instrument I/O.
#include <cstdint>
#include <cstring>

#include "driver/core/frame.h"
#include "driver/core/framing.h"
#include "visa_binding/visa_api.h"

namespace {

using namespace kavrel;

struct Message {
  ViStatus code;
  std::string_view text;
};

// The driver's own texts; VISA's codes get VISA's descriptions.
constexpr std::array<Message, 27> kMessages{{
    {VI_WARN_NSUP_ID_QUERY, "WARNING: ID Query not supported"},
    {VI_WARN_NSUP_RESET, "WARNING: Reset not supported"},
    {VI_WARN_NSUP_SELF_TEST, "WARNING: Self-test not supported"},
    {VI_WARN_NSUP_ERROR_QUERY, "WARNING: Error Query not supported"},
    {VI_WARN_NSUP_REV_QUERY, "WARNING: Revision Query not supported"},
    {VI_ERROR_PARAMETER1, "ERROR: Parameter 1 out of range"},
    {VI_ERROR_PARAMETER2, "ERROR: Parameter 2 out of range"},
    {VI_ERROR_PARAMETER3, "ERROR: Parameter 3 out of range"},
    {VI_ERROR_PARAMETER4, "ERROR: Parameter 4 out of range"},
    {VI_ERROR_PARAMETER5, "ERROR: Parameter 5 out of range"},
    {VI_ERROR_PARAMETER6, "ERROR: Parameter 6 out of range"},
    {VI_ERROR_PARAMETER7, "ERROR: Parameter 7 out of range"},
    {VI_ERROR_PARAMETER8, "ERROR: Parameter 8 out of range"},
    {VI_ERROR_FAIL_ID_QUERY, "ERROR: Identification query failed"},
    {VI_ERROR_INV_RESPONSE, "ERROR: Interpreting instrument response"},
    {VI_ERROR_INSTR_FILE_OPEN, "ERROR: Opening the specified file"},
    {VI_ERROR_INSTR_FILE_WRITE, "ERROR: Writing to the specified file"},
    {VI_ERROR_INSTR_INTERPRETING_RESPONSE, "ERROR: Interpreting the instrument's response"},
    {VI_ERROR_INSTR_PARAMETER9, "ERROR: Parameter 9 out of range"},
    {VI_ERROR_INSTR_PARAMETER10, "ERROR: Parameter 10 out of range"},
    {VI_ERROR_INSTR_PARAMETER11, "ERROR: Parameter 11 out of range"},
    {VI_WARN_INSTR_SEARCH_NFOUND, "WARNING: The Search value is not found."},
    {VI_ERROR_INSTR_START_GT_STOP, "ERROR: The start value is higher than the stop value."},
    {VI_ERROR_INSTR_SPECIFIC, "ERROR: Instrument specific error"},
    {VI_ERROR_INSTR_MIN_GT_MAX, "ERROR: Minimum value is higher than maximum."},
    {VI_ERROR_INSTR_SAME_CHANNELS, "ERROR: The nominator and denominator channels must be different."},
    {VI_ERROR_INSTR_CENTER_SPAN_RANGE,
     "ERROR: The center and span values yield a range value which is out of the limits"},
}};

// Caller buffers hold 256 characters by the VISA rule for descriptions.
constexpr std::size_t kTextSize = 256;

}  // namespace

// No instrument I/O, so no waiting for a call in progress on the session.
KAVREL_API ViStatus kavrel_error_message(ViSession vi, ViStatus statusCode, ViChar message[]) try {
  if (message == VI_NULL) return VI_ERROR_PARAMETER3;
  // A failing VISA wrote nothing: the driver's own texts answer, as for a code VISA does not know.
  const ViStatus described = viStatusDesc(vi, statusCode, message);
  if (described >= VI_SUCCESS && described != VI_WARN_UNKNOWN_STATUS) return VI_SUCCESS;
  for (const Message& row : kMessages) {
    if (row.code == statusCode) {
      copyText(row.text, message, kTextSize);
      return VI_SUCCESS;
    }
  }
  copyText(line("Unknown Error 0x", hex8(static_cast<std::uint32_t>(statusCode))), message, kTextSize);
  return VI_WARN_UNKNOWN_STATUS;
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_error_query(ViSession vi, ViPInt32 errorCode, ViChar errorMessage[]) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().present(errorCode, VI_ERROR_PARAMETER2).present(errorMessage, VI_ERROR_PARAMETER3));
  KAVREL_RETURN_IF_ERROR(writeLine(vi, ":SYST:ERR?"));
  // The instrument's text may be longer than the caller's 256 characters:
  // scan at most 255 into a local buffer (room for the terminator whether
  // or not VISA counts it in the width), then hand over at most 255.
  // VISA ends a scan that does not match with success and the targets as
  // they were: a number no reply holds tells that apart.
  ViInt32 code = INT32_MIN;
  ViChar text[kTextSize + 1] = "";
  ViStatus status = viScanf(vi, "%ld,\"%255[^\"]", &code, text);
  KAVREL_RETURN_IF_ERROR(status);
  if (code == INT32_MIN) return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
  *errorCode = code;
  copyText(text, errorMessage, kTextSize);
  return status;
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_revision_query(ViSession vi, ViChar driverRev[], ViChar instrRev[]) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().present(driverRev, VI_ERROR_PARAMETER2).present(instrRev, VI_ERROR_PARAMETER3));
  Reply reply;
  ViStatus status = query(vi, "*IDN?", reply, 100);
  KAVREL_RETURN_IF_ERROR(status);
  // Manufacturer, model and serial number are skipped; the firmware is kept.
  Scan scan = reply.scan();
  scan.skipField() && scan.literal(",") && scan.skipField() && scan.literal(",") && scan.skipField() &&
      scan.literal(",") && scan.fieldToLineFeed(instrRev, kTextSize);
  if (scan.matched() != 4) return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
  copyText(kDriverRevision, driverRev, kTextSize);
  return status;
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_self_test(ViSession vi, ViPInt16 testResult, ViChar testMessage[]) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().present(testResult, VI_ERROR_PARAMETER2));
  KAVREL_RETURN_IF_ERROR(writeLine(vi, "*TST?"));
  ViInt16 result = INT16_MIN;  // left as it is by a reply that is not a number
  ViStatus status = viScanf(vi, "%hd", &result);
  KAVREL_RETURN_IF_ERROR(status);
  if (result == INT16_MIN) return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
  *testResult = result;
  if (testMessage != VI_NULL) testMessage[0] = '\0';
  return status;
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_writeInstrData(ViSession vi, ViString writeBuffer) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().present(writeBuffer, VI_ERROR_PARAMETER2));
  // Without END the line feed ends the message; one already there is not doubled.
  const std::size_t length = std::strlen(writeBuffer);
  if (framingOf(vi) == Framing::lineFeed && (length == 0 || writeBuffer[length - 1] != '\n'))
    return viPrintf(vi, "%s\n", writeBuffer);
  return viPrintf(vi, "%s", writeBuffer);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_readInstrData(ViSession vi, ViInt32 numberBytesToRead, ViChar readBuffer[],
                                         ViPInt32 numBytesRead) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks()
                             .integer(numberBytesToRead, 0, INT32_MAX, VI_ERROR_PARAMETER2)
                             .rule(readBuffer != VI_NULL || numberBytesToRead == 0, VI_ERROR_PARAMETER3));
  if (numBytesRead != VI_NULL) *numBytesRead = 0;
  ViUInt32 count = 0;
  ViStatus status =
      viRead(vi, reinterpret_cast<ViPBuf>(readBuffer), static_cast<ViUInt32>(numberBytesToRead), &count);
  KAVREL_RETURN_IF_ERROR(status);
  if (numBytesRead != VI_NULL) *numBytesRead = static_cast<ViInt32>(count);
  return status;
} KAVREL_CATCH_ALL
