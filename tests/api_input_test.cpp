// Bad input in every parameter that driver/kavrel.h declares, one parameter
// at a time, the others sound: numbers that are not numbers or lie at the
// ends of their type, Booleans that are neither 0 nor 1, null pointers, and
// texts that are empty, huge, break out of quotes or are not UTF-8. No call
// may crash (the sanitizer build runs this too) or put a non-finite number
// on the wire; a refused call sends no setting (it may have asked the
// instrument for its limits); and a call that succeeds with a value no range
// holds must be listed below with the reason its outcome is sound.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "tests/support/api_fixture.h"

namespace kavrel::test {
namespace {

struct BadValue {
  const char* label;
  double number = 0;
  ViBoolean flag = 0;
  const char* text = nullptr;
};

const std::string kLongText(10000, 'A');

std::vector<BadValue> badValues(ArgKind kind) {
  switch (kind) {
    case ArgKind::integer:
      return {{"INT32_MIN", INT32_MIN}, {"INT32_MAX", INT32_MAX}, {"-1", -1}};
    case ArgKind::real:
      return {{"NaN", std::numeric_limits<double>::quiet_NaN()},
              {"+Inf", std::numeric_limits<double>::infinity()},
              {"-Inf", -std::numeric_limits<double>::infinity()},
              {"INT32_MIN", INT32_MIN},
              {"INT32_MAX", INT32_MAX},
              {"-1", -1},
              {"1e308", 1e308},
              {"denormal", std::numeric_limits<double>::denorm_min()}};
    case ArgKind::boolean:
      return {{"2", 0, 2}, {"0xFFFF", 0, 0xFFFF}};
    case ArgKind::text:
      return {{"NULL"},
              {"empty", 0, 0, ""},
              {"10000 characters", 0, 0, kLongText.c_str()},
              {"quote and line feed", 0, 0, "a\"\n*RST"},
              {"not UTF-8", 0, 0, "\xFF\xFE\xC3("}};
    case ArgKind::pointer:
      return {{"NULL"}};
  }
  return {};
}

// Outcomes that are not refusals and are sound: what the function does with
// such a value. "*" stands for every bad value of that parameter.
struct Accepted {
  const char* function;
  const char* parameter;
  const char* value;
  const char* reason;
};
const Accepted kAccepted[] = {
    {"kavrel_init", "resourceName", "*", "VISA decides what a resource name opens"},
    {"kavrel_instrOptions", "selector", "*", "any selector but 16 picks bit (selector modulo 32)"},
    {"kavrel_error_message", "statusCode", "*", "every code has a text: VISA's, the driver's or Unknown"},
    {"kavrel_writeInstrData", "writeBuffer", "*", "raw text goes to the instrument unchanged"},
    {"kavrel_appLoad", "applicationName", "*", "the instrument knows its programs; only a quote or control character is refused"},
    {"kavrel_reflPerformCal", "title", "*", "any text of at most 20 bytes without quote or control character"},
    {"kavrel_reflConfKit", "kitIdentity", "*", "any text of at most 20 bytes without quote or control character"},
    {"kavrel_reflSetSerNumb", "serialNumber", "*", "any text of at most 20 bytes without quote or control character"},
    {"kavrel_scalTranData", "fileName", "*", "a host file name may hold any byte"},
    {"kavrel_scalTranCal", "fileName", "*", "a host file name may hold any byte"},
    {"kavrel_inpTranSen", "fileName", "*", "a host file name may hold any byte"},
    {"kavrel_flocTranCal", "fileName", "*", "a host file name may hold any byte"},
    {"kavrel_reflTranCal", "fileName", "*", "a host file name may hold any byte"},
    {"kavrel_reflTranCalKit", "fileName", "*", "a host file name may hold any byte"},
    {"kavrel_sourTranCal", "fileName", "*", "a host file name may hold any byte"},
    // Outputs the header marks as optional.
    {"kavrel_self_test", "testMessage[]", "NULL", "the message may be VI_NULL"},
    {"kavrel_readInstrData", "numBytesRead", "NULL", "the count may be VI_NULL"},
    {"kavrel_markSearchPkPk", "*", "NULL", "each output may be VI_NULL"},
    {"kavrel_markSearchBandwidth", "*", "NULL", "each output may be VI_NULL"},
    {"kavrel_visa_identity", "*", "NULL", "each output may be VI_NULL"},
    {"kavrel_readActMarker", "*", "NULL", "each output may be VI_NULL"},
    {"kavrel_appParamQuery", "value", "NULL", "the value may be VI_NULL"},
    {"kavrel_appExample", "numberOfPoints", "NULL", "the count may be VI_NULL"},
    {"kavrel_scalReadData", "*", "NULL", "either output may be VI_NULL"},
    {"kavrel_flocReadData", "*", "NULL", "either output may be VI_NULL"},
    {"kavrel_reflReadData", "*", "NULL", "each output may be VI_NULL"},
    {"kavrel_reflReadCalData", "*", "NULL", "every output may be VI_NULL"},
    {"kavrel_reflCalVal", "validity", "NULL", "a VI_NULL validity asks nothing"},
    // Values the chosen mode does not use: checked for nothing, sent nowhere.
    {"kavrel_scalScaling", "*", "*", "auto-scaling (mode 2) uses neither scale nor level"},
    {"kavrel_flocScaling", "*", "*", "auto-scaling (mode 2) uses neither scale nor level"},
    {"kavrel_inpPwrSensorCorr", "*", "*", "a correction store (source 1) uses neither fixed factor"},
    {"kavrel_flocMedium", "cutoffFrequency", "*", "a coaxial medium has no cut-off"},
    {"kavrel_flocRange", "*", "*", "range entry by distance uses neither start nor stop"},
    // Refusals after a setting that the check needs.
    {"kavrel_flocMedium", "attenuation", "*", "its limit follows the channel's unit: the channel is selected, then asked"},
    {"kavrel_reflDispZoom", "*", "*", "its limits follow the channel's axis: the channel is selected, then asked"},
    {"kavrel_appExample", "startFrequency", "INT32_MAX",
     "start above stop is found by the frequency sweep step, after display, channel and measurement are set"},
};

bool accepted(const std::string& function, const std::string& parameter, const std::string& value) {
  for (const Accepted& a : kAccepted)
    if (function == a.function && (std::string(a.parameter) == "*" || parameter == a.parameter) &&
        (std::string(a.value) == "*" || value == a.value))
      return true;
  return false;
}

bool refusal(ViStatus status) {
  const ViStatus codes[] = {VI_ERROR_PARAMETER1,       VI_ERROR_PARAMETER2,          VI_ERROR_PARAMETER3,
                            VI_ERROR_PARAMETER4,       VI_ERROR_PARAMETER5,          VI_ERROR_PARAMETER6,
                            VI_ERROR_PARAMETER7,       VI_ERROR_PARAMETER8,          VI_ERROR_INSTR_PARAMETER9,
                            VI_ERROR_INSTR_PARAMETER10, VI_ERROR_INSTR_PARAMETER11, VI_ERROR_INSTR_START_GT_STOP,
                            VI_ERROR_INSTR_CENTER_SPAN_RANGE, VI_ERROR_INSTR_SAME_CHANNELS,
                            VI_ERROR_INSTR_MIN_GT_MAX};
  for (ViStatus code : codes)
    if (status == code) return true;
  return false;
}

// A finite number may lie inside a parameter's range (-1 dBm, a denormal
// hertz): taking it is the range checks' business, tested family by family.
bool inSomeRange(ArgKind kind, const BadValue& bad) {
  return (kind == ArgKind::integer || kind == ArgKind::real) && std::isfinite(bad.number);
}

// "nan", "inf" or "infinity" standing as a number, not inside a keyword ("MINF").
bool holdsNonFinite(const std::string& message) {
  std::string lower(message);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const auto letter = [&](std::size_t i) { return i < lower.size() && std::isalpha(static_cast<unsigned char>(lower[i])); };
  for (std::string_view word : {"nan", "infinity", "inf"}) {
    for (std::size_t at = lower.find(word); at != std::string::npos; at = lower.find(word, at + 1))
      if ((at == 0 || !letter(at - 1)) && !letter(at + word.size())) return true;
  }
  return false;
}

using ApiInput = ApiTest;

TEST_F(ApiInput, BadValuesInEveryParameterAreRefusedOrListed) {
  const std::vector<DeclaredFunction> declared = declaredFunctions(KAVREL_PUBLIC_HEADER);
  ASSERT_GT(declared.size(), 100u);
  unsigned inputs = 0;
  for (const DeclaredFunction& function : declared) {
    const ApiFunction* row = nullptr;
    for (const ApiFunction& candidate : apiFunctions())
      if (function.name == candidate.name) row = &candidate;
    ASSERT_NE(nullptr, row) << function.name << " has no row in the table";
    for (std::size_t i = 0; i < function.kinds.size(); ++i) {
      for (const BadValue& bad : badValues(function.kinds[i])) {
        const std::string where = function.name + " " + function.parameters[i] + " = " + bad.label;
        SCOPED_TRACE(where);
        openAnswered(*row);
        Replacement replacement;
        replacement.position = i + 2;
        replacement.number = bad.number;
        replacement.flag = bad.flag;
        replacement.text = bad.text;
        const ViStatus status = row->call(vi_, replacement);
        ++inputs;
        // A text taken as a host file name may have made that file here.
        if (function.kinds[i] == ArgKind::text && bad.text != nullptr && *bad.text != '\0') std::remove(bad.text);
        for (const std::string& message : writes()) {
          EXPECT_FALSE(holdsNonFinite(message)) << message.substr(0, 200);
        }
        const bool listed = accepted(function.name, function.parameters[i], bad.label);
        if (refusal(status)) {
          for (const std::string& message : writes())
            EXPECT_TRUE(listed || message.find('?') != std::string::npos) << "a refused call sent a setting: " << message;
        } else if (status >= VI_SUCCESS && !inSomeRange(function.kinds[i], bad)) {
          EXPECT_TRUE(listed) << "not refused (status " << status << ") and not listed as sound";
        }
      }
    }
  }
  std::printf("bad inputs tried: %u over %zu functions\n", inputs, declared.size());
  RecordProperty("inputs", static_cast<int>(inputs));
}

}  // namespace
}  // namespace kavrel::test
