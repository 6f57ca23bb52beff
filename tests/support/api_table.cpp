#include "tests/support/api_table.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "visa_binding/visa_api.h"

namespace kavrel::test {
namespace {

// Output buffers for every row: larger than any trace, text or count.
ViInt32 gInt[4];
ViInt16 gShort;
ViReal64 gReal[3];
ViReal64 gTrace[2][2048];
ViChar gText[2][1024];
ViSession gOpened;
ViVersion gVersion[2];

// One list or limit segment.
ViReal64 gSegmentStart[] = {1e9};
ViReal64 gSegmentStop[] = {2e9};
ViInt32 gSegmentPoints[] = {11};
ViInt32 gSegmentType[] = {0};
ViReal64 gLimit[] = {0.0};

ViChar gResource[] = "GPIB0::7::INSTR";
ViChar gName[] = "SWR_TEST";
ViChar gTitle[] = "CAL 1";
ViChar gQuery[] = "*IDN?";

std::string& filePath(bool loaded) {
  static std::string paths[2] = {
      std::string("/tmp/kavrel_api_store_") + std::to_string(::getpid()) + ".bin",
      std::string("/tmp/kavrel_api_load_") + std::to_string(::getpid()) + ".bin"};
  return paths[loaded ? 1 : 0];
}
ViString storeFile() { return filePath(false).data(); }  // a store copied into it
ViString loadFile() { return filePath(true).data(); }    // loaded into a store

// Init as a row (it opens its own session; closeApiSessions closes it).
ViStatus initRow(ViSession, ViRsrc resource, ViBoolean idQuery, ViBoolean reset, ViPSession vi) {
  return kavrel_init(resource, idQuery, reset, vi);
}

ArgKind declaredKind(const std::string& type, const std::string& name) {
  if (name.find('[') != std::string::npos || type.rfind("ViP", 0) == 0 || type.find('*') != std::string::npos)
    return ArgKind::pointer;
  if (type == "ViString" || type == "ViRsrc" || type == "ViConstString") return ArgKind::text;
  if (type == "ViBoolean") return ArgKind::boolean;
  if (type == "ViReal64" || type == "ViReal32") return ArgKind::real;
  return ArgKind::integer;
}

void queryIdentity(ViSession vi) { kavrel_writeInstrData(vi, gQuery); }

#define ROW(fn, ...) apiFunction(#fn, fn, __VA_ARGS__)

std::vector<ApiFunction> buildTable() {
  std::vector<ApiFunction> rows = {
      apiFunction("kavrel_init", initRow, gResource, VI_TRUE, VI_TRUE, &gOpened),
      {"kavrel_close", {}, nullptr, [](ViSession vi, const Replacement&) { return kavrel_close(vi); }},
      {"kavrel_reset", {}, nullptr, [](ViSession vi, const Replacement&) { return kavrel_reset(vi); }},
      ROW(kavrel_instrOptions, 16, gInt),
      ROW(kavrel_skipStatusCheck, VI_FALSE),
      apiFunction("kavrel_checkInstrStatus", kavrel_checkInstrStatus),
      ROW(kavrel_error_message, VI_ERROR_TMO, gText[0]),
      ROW(kavrel_error_query, gInt, gText[0]),
      ROW(kavrel_revision_query, gText[0], gText[1]),
      ROW(kavrel_self_test, &gShort, gText[0]),
      ROW(kavrel_writeInstrData, gQuery),
      ROW(kavrel_readInstrData, 100, gText[0], gInt),
      ROW(kavrel_srcContWave, 1e9, 0.0),
      ROW(kavrel_srcFreqSweep, VI_TRUE, 1e9, 2e9, 0.0),
      ROW(kavrel_srcPowSweep, -10.0, 0.0, 1e9),
      ROW(kavrel_srcVoltSweep, -1.0, 1.0),
      ROW(kavrel_srcCurrSweep, -0.01, 0.01),
      ROW(kavrel_srcLinListFreqSweep, 0.0),
      ROW(kavrel_srcCreateLinList, gSegmentStart, gSegmentStop, gSegmentPoints, 1),
      ROW(kavrel_srcWaveGuideSweep, 2e9, 3e9, 1e9, 0.0),
      ROW(kavrel_srcLowPassSweep, 2e9, 0.0),
      ROW(kavrel_srcSweepConfig, 401, 0.0),
      ROW(kavrel_srcLevFreqStd, 0, 0),
      ROW(kavrel_srcRFBlanking, VI_TRUE),
      ROW(kavrel_srcSelect, 0),
      ROW(kavrel_srcVIOutput, 2, 1.0),
      ROW(kavrel_srcFilterAndBW, 2, 2),
      ROW(kavrel_srcRFOutput, VI_TRUE),
      ROW(kavrel_sourCal, 0),
      ROW(kavrel_chanMode, VI_FALSE, 0),
      ROW(kavrel_chanCoupling, VI_FALSE),
      ROW(kavrel_dualChanDisp, VI_FALSE),
      ROW(kavrel_meas12OnOff, VI_FALSE, 0),
      ROW(kavrel_dispSetActMeas, VI_FALSE, VI_FALSE),
      ROW(kavrel_measDispRange, VI_TRUE, 1e9, 2e9),
      ROW(kavrel_measLimCheck, VI_FALSE, VI_FALSE, VI_TRUE, 1),
      ROW(kavrel_measCreateLimSpec, gLimit, gSegmentType, gLimit, gLimit, gLimit, gLimit, gLimit, 1),
      ROW(kavrel_dispDomScaleOffset, VI_FALSE, 0, 0.0, 1.0, 0.0),
      ROW(kavrel_markSetActive, 1, VI_TRUE),
      ROW(kavrel_markConfig, 1, 1e9, VI_TRUE),
      ROW(kavrel_markDelta, 1e9, VI_TRUE),
      ROW(kavrel_markTracking, 2),
      ROW(kavrel_markSlope, 1),
      ROW(kavrel_markBandwidth, -3.0, VI_TRUE, 0),
      ROW(kavrel_markPkPk, 1.0, VI_TRUE),
      ROW(kavrel_markCoup, VI_TRUE),
      ROW(kavrel_markSearchValue, -3.0),
      ROW(kavrel_markSearchFunction, 0),
      ROW(kavrel_markSearchPkPk, gInt, gReal),
      ROW(kavrel_markSearchBandwidth, gReal, gReal + 1, gReal + 2),
      ROW(kavrel_readActMarker, gReal, gReal + 1, gReal + 2),
      ROW(kavrel_appLoad, gName),
      ROW(kavrel_appRun, 1),
      ROW(kavrel_appParam, 1, 1.5),
      ROW(kavrel_appParamQuery, 1, gReal),
      ROW(kavrel_appExample, 1, 1e9, 2e9, 0.0, 101, VI_TRUE, 1.0, VI_TRUE, gInt, gTrace[0]),
      ROW(kavrel_scalPower, VI_FALSE, VI_FALSE, 1),
      ROW(kavrel_scalRatio, VI_FALSE, VI_FALSE, 0, 1),
      ROW(kavrel_scalCounter, VI_FALSE, VI_FALSE),
      ROW(kavrel_scalAveraging, VI_FALSE, VI_FALSE, 1, 16),
      ROW(kavrel_scalSmooth, VI_FALSE, VI_FALSE, VI_TRUE, 1.0),
      ROW(kavrel_scalScaling, VI_FALSE, VI_FALSE, 2, 10.0, 5, 0.0),
      ROW(kavrel_scalFormat, VI_FALSE, VI_FALSE, 0),
      ROW(kavrel_scalCal, 0, 1),
      ROW(kavrel_scalCalState, VI_TRUE),
      ROW(kavrel_scalMemOp, VI_FALSE, VI_FALSE, VI_TRUE, 1),
      ROW(kavrel_scalMem, VI_FALSE, VI_FALSE, 0, 1),
      ROW(kavrel_inpDConfig, VI_TRUE),
      ROW(kavrel_inpOffset, 0, 1.0),
      ROW(kavrel_inpDetCorr, 0, 0),
      ROW(kavrel_inpTempCorr, 0, VI_TRUE),
      ROW(kavrel_inpFlatCorr, 0, VI_TRUE, 1, 1e9),
      ROW(kavrel_inpPwrSensorCorr, 1, 0.0, 0.0, 1e9, 1),
      ROW(kavrel_inpACdetect, VI_TRUE),
      ROW(kavrel_inpDetZero, 2),
      ROW(kavrel_inpPwrRef, VI_TRUE),
      ROW(kavrel_inpCalibration, VI_TRUE, 0),
      ROW(kavrel_routPwrSglIn, VI_FALSE, VI_FALSE, 0),
      ROW(kavrel_routPwrRatio, VI_FALSE, VI_FALSE, 0, 1),
      ROW(kavrel_routPwrDiff, VI_FALSE, VI_FALSE, 0, 1),
      ROW(kavrel_routCounter, VI_FALSE, VI_FALSE),
      ROW(kavrel_routRelMeas, VI_FALSE, VI_FALSE, 1),
      ROW(kavrel_routAveraging, 0, 5, 16),
      ROW(kavrel_routDutyCyclCorr, VI_FALSE, VI_FALSE, VI_TRUE, 50.0),
      ROW(kavrel_routLimCheck, VI_FALSE, VI_FALSE, VI_TRUE, 0.0, 10.0),
      ROW(kavrel_routMaxMinHold, VI_FALSE, VI_FALSE, 1),
      ROW(kavrel_routFormat, VI_FALSE, VI_FALSE, 0),
      ROW(kavrel_routCountRes, VI_FALSE, VI_FALSE, 1000.0),
      {"kavrel_routPeakReset", {}, nullptr, [](ViSession vi, const Replacement&) { return kavrel_routPeakReset(vi); }},
      ROW(kavrel_flocMedium, VI_FALSE, VI_TRUE, 1e9, 0.7, 0.1),
      ROW(kavrel_flocRange, VI_FALSE, VI_TRUE, 10.0, 2e9, 1e9, 3e9),
      ROW(kavrel_flocNumOfPoints, VI_FALSE, 101),
      ROW(kavrel_flocDispUnit, VI_FALSE, VI_TRUE),
      ROW(kavrel_flocAveraging, VI_FALSE, 1, 16),
      ROW(kavrel_flocWindowing, VI_FALSE, 1),
      ROW(kavrel_flocMaskCorr, VI_FALSE, VI_TRUE),
      ROW(kavrel_flocEnhMode, VI_FALSE, VI_TRUE),
      ROW(kavrel_flocScaling, VI_FALSE, VI_FALSE, 2, 10.0, 5, 0.0),
      ROW(kavrel_flocFormat, VI_FALSE, VI_FALSE, VI_TRUE),
      ROW(kavrel_flocCalibration, VI_FALSE),
      ROW(kavrel_scalReadData, gInt, gTrace[0]),
      ROW(kavrel_flocReadData, gInt, gTrace[0]),
      ROW(kavrel_routData, 0, gReal),
      ROW(kavrel_readMax, 2, gInt),
      ROW(kavrel_reflS11, VI_FALSE, VI_FALSE),
      ROW(kavrel_reflRatio, VI_FALSE, VI_FALSE, 1),
      ROW(kavrel_reflDiffer, VI_FALSE, VI_FALSE, 1),
      ROW(kavrel_reflDetector, VI_FALSE, VI_FALSE, VI_TRUE, VI_FALSE),
      ROW(kavrel_reflAveraging, 1, 16),
      ROW(kavrel_reflSmooth, VI_FALSE, VI_FALSE, VI_TRUE, 1.0),
      ROW(kavrel_reflFormat, VI_FALSE, VI_FALSE, 0),
      ROW(kavrel_reflElDelay, VI_FALSE, VI_FALSE, VI_FALSE, 1e-9),
      ROW(kavrel_reflPhaseOffset, VI_FALSE, VI_FALSE, 10.0),
      ROW(kavrel_reflDevChar, 50.0, 0, 0.7, 2.0, 1e9),
      ROW(kavrel_reflTimeDomain, VI_FALSE, VI_FALSE),
      ROW(kavrel_reflTDomFunc, VI_FALSE, VI_FALSE, VI_FALSE),
      ROW(kavrel_reflDCextrapol, VI_FALSE, VI_FALSE, 2, 50.0),
      ROW(kavrel_reflWindowing, VI_FALSE, VI_FALSE, 1, 0),
      ROW(kavrel_reflDomDisp, VI_FALSE, 1),
      ROW(kavrel_reflGateNFence, VI_TRUE, VI_TRUE, 0.0, 1.0, VI_TRUE, VI_FALSE, 0),
      ROW(kavrel_reflDispZoom, VI_FALSE, VI_TRUE, 1e9, 2e9),
      ROW(kavrel_reflScaling, VI_FALSE, VI_FALSE, VI_FALSE, 10.0, 5, 0.0),
      ROW(kavrel_reflReadData, gInt, gTrace[0], gTrace[1]),
      ROW(kavrel_reflReadCalData, 1, gInt, gInt + 1, gInt + 2, gText[0], gInt + 3, gText[1], gInt),
      ROW(kavrel_reflMem, VI_FALSE, VI_FALSE, 0, 1),
      ROW(kavrel_reflConfigCal, 1, 0, VI_TRUE),
      ROW(kavrel_reflCalMeas, 0, VI_FALSE, 1),
      ROW(kavrel_reflPerformCal, 1, 1, gTitle),
      {"kavrel_reflAbortCal", {}, nullptr, [](ViSession vi, const Replacement&) { return kavrel_reflAbortCal(vi); }},
      ROW(kavrel_reflConfigCab, VI_TRUE),
      ROW(kavrel_reflCalVal, gInt),
      ROW(kavrel_reflSelectKit, 1),
      ROW(kavrel_reflConfKit, 0, gTitle),
      ROW(kavrel_reflSetSerNumb, 0, 1, gTitle),
      ROW(kavrel_reflConfCoaxial, 1, 0.01, 0.01, 1.0, 1.0, 1.0, 1.0, 0.01, 1e9, 1e9),
      ROW(kavrel_reflConfWaveguide, 1e9, 0.01, 0.01, VI_FALSE, 0.01, 1e9, 2e9),
      ROW(kavrel_scalTranData, VI_TRUE, 1, storeFile()),
      ROW(kavrel_scalTranCal, VI_FALSE, 1, loadFile()),
      ROW(kavrel_inpTranSen, VI_TRUE, 1, storeFile()),
      ROW(kavrel_flocTranCal, VI_FALSE, loadFile()),
      ROW(kavrel_reflTranCal, VI_TRUE, 1, storeFile()),
      ROW(kavrel_reflTranCalKit, VI_FALSE, 1, loadFile()),
      ROW(kavrel_sourTranCal, 0, 1, storeFile()),
      ROW(kavrel_visa_library, 1024, gText[0]),
      ROW(kavrel_visa_identity, gText[0], &gVersion[0], &gVersion[1]),
  };
  for (ApiFunction& row : rows)
    if (std::string(row.name) == "kavrel_readInstrData") row.prepare = queryIdentity;
  return rows;
}

}  // namespace

const std::vector<ApiFunction>& apiFunctions() {
  static const std::vector<ApiFunction> table = buildTable();
  return table;
}

void prepareApiFiles() {
  if (std::FILE* file = std::fopen(loadFile(), "wb")) {
    std::fputs("#0STOREBYTES", file);
    std::fclose(file);
  }
}

void closeApiSessions() {
  if (gOpened != VI_NULL) kavrel_close(gOpened);
  gOpened = VI_NULL;
}

std::vector<DeclaredFunction> declaredFunctions(const std::string& headerPath) {
  std::ifstream file(headerPath);
  std::stringstream text;
  text << file.rdbuf();
  const std::string header = text.str();
  const auto identifier = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; };
  const auto trimmed = [](std::string item) {
    const std::size_t first = item.find_first_not_of(" \t\n");
    const std::size_t last = item.find_last_not_of(" \t\n");
    return first == std::string::npos ? std::string() : item.substr(first, last - first + 1);
  };
  constexpr std::string_view kDeclaration = "KAVREL_API ViStatus ";
  std::vector<DeclaredFunction> functions;
  for (std::size_t at = header.find(kDeclaration); at != std::string::npos; at = header.find(kDeclaration, at + 1)) {
    std::size_t pos = at + kDeclaration.size();
    std::size_t nameEnd = pos;
    while (nameEnd < header.size() && identifier(header[nameEnd])) ++nameEnd;
    const std::size_t open = header.find('(', nameEnd);
    const std::size_t close = header.find(')', open);
    if (open == std::string::npos || close == std::string::npos) break;
    DeclaredFunction function{header.substr(pos, nameEnd - pos), {}, {}};
    std::stringstream list(header.substr(open + 1, close - open - 1));
    for (std::string item; std::getline(list, item, ',');) {
      item = trimmed(item);
      if (item.rfind("const ", 0) == 0) item = trimmed(item.substr(6));
      std::size_t split = item.size();
      while (split > 0 && (identifier(item[split - 1]) || item[split - 1] == '[' || item[split - 1] == ']')) --split;
      const std::string type = trimmed(item.substr(0, split));
      const std::string name = item.substr(split);
      if (type == "ViSession" && function.kinds.empty() && function.name != "kavrel_init") continue;
      function.kinds.push_back(declaredKind(type, name));
      function.parameters.push_back(name);
    }
    functions.push_back(std::move(function));
  }
  return functions;
}

void removeApiFiles() {
  std::remove(storeFile());
  std::remove(loadFile());
}

}  // namespace kavrel::test
