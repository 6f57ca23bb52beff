// The simulated instrument's settings and stores (everything "*RST" restores).
#ifndef KAVREL_SIM_STATE_H
#define KAVREL_SIM_STATE_H

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kavrel::sim {

// ---- keyword tables (pattern form: the upper-case part is the short form) ----

inline constexpr std::array<std::string_view, 8> kSourceModes = {"CW", "FREQuency", "POWer", "VOLTage",
                                                                 "CURRent", "LIST", "WAVeguide", "LOWPass"};
enum SourceMode { modeCw, modeFreq, modePow, modeVolt, modeCurr, modeList, modeWav, modeLowp };
inline constexpr std::array<std::string_view, 4> kLevelling = {"INTernal", "POSitive", "NEGative", "PMETer"};
inline constexpr std::array<std::string_view, 3> kFreqStandards = {"INTernal", "EX1", "EX10"};
inline constexpr std::array<std::string_view, 3> kCwFilters = {"OFF", "ON", "AUTO"};
inline constexpr std::array<std::string_view, 3> kSourceBandwidths = {"LOW", "HIGH", "AUTO"};
inline constexpr std::array<std::string_view, 2> kSourceSelections = {"INTernal", "EXTernal"};
inline constexpr std::array<std::string_view, 5> kDcModes = {"VGHZ", "CVOL", "CCUR", "VRAM", "CREC"};
inline constexpr std::array<std::string_view, 2> kSystemModes = {"MTS", "SOURce"};
inline constexpr std::array<std::string_view, 4> kChannelModes = {"SCALar", "READout", "FLOCation",
                                                                  "REFLection"};
enum ChannelMode { chanScalar, chanReadout, chanFloc, chanRefl };
inline constexpr std::array<std::string_view, 4> kInputs = {"A", "B", "C", "D"};
inline constexpr std::array<std::string_view, 4> kScalarFormats = {"LOG", "WATT", "VSWR", "VOLT"};
enum ScalarFormat { fmtLog, fmtWatt, fmtVswr, fmtVolt };
inline constexpr std::array<std::string_view, 3> kAutoScale = {"OFF", "ONCE", "CONTinuous"};
inline constexpr std::array<std::string_view, 2> kDetectorUse = {"PMETer", "SCALar"};
inline constexpr std::array<std::string_view, 3> kFreqSources = {"FREQuency", "COUNter", "SOURce"};
inline constexpr std::array<std::string_view, 4> kReadoutFormats = {"LOG", "WATT", "PERCent", "VOLT"};
enum ReadoutFormat { routLog, routWatt, routPercent, routVolt };
inline constexpr std::array<std::string_view, 3> kResolutions = {"HIGH", "MEDium", "LOW"};
inline constexpr std::array<std::string_view, 2> kFlocMedia = {"COAXial", "WAVeguide"};
inline constexpr std::array<std::string_view, 2> kDistanceUnits = {"FEET", "METR"};
inline constexpr std::array<std::string_view, 3> kFlocWindows = {"LOW", "MEDium", "HIGH"};
inline constexpr std::array<std::string_view, 2> kFlocFormats = {"VSWR", "LOG"};
inline constexpr std::array<std::string_view, 12> kReflFormats = {
    "LOG", "LINear", "PHASe", "VSWR", "RE", "IM", "IMPedance", "PLINear", "PLOG", "REIM", "SMITh", "INVSmith"};
enum ReflFormat { rfLog, rfLin, rfPhase, rfVswr, rfRe, rfIm, rfImp, rfPlin, rfPlog, rfReim, rfSmith, rfInvs };
inline constexpr std::array<std::string_view, 2> kReflMedia = {"WAVeguide", "COAXial"};
inline constexpr std::array<std::string_view, 2> kTransforms = {"LOW", "BANDpass"};
inline constexpr std::array<std::string_view, 2> kResponses = {"STEP", "IMPulse"};
inline constexpr std::array<std::string_view, 3> kExtrapolations = {"AUTO", "MATC", "MANual"};
inline constexpr std::array<std::string_view, 4> kWindowShapes = {"MINimum", "NORMal", "WIDE", "USER"};
inline constexpr std::array<std::string_view, 2> kDomainDisplays = {"TIME", "DISTance"};
inline constexpr std::array<std::string_view, 2> kGateTypes = {"FENCe", "GATE"};
inline constexpr std::array<std::string_view, 4> kGateShapes = {"MINimum", "NORMal", "WIDE", "MAXimum"};
inline constexpr std::array<std::string_view, 5> kCalTypes = {"CSOF", "CSOS", "WSOL", "WS12", "WSOS"};
inline constexpr std::array<std::string_view, 3> kSexes = {"NEUTral", "MALE", "FEMale"};
inline constexpr std::array<std::string_view, 5> kConnectors = {"C35", "CN", "C7", "WG", "USER"};
inline constexpr std::array<std::string_view, 6> kCalStandards = {"FLO", "OPEN", "OSH", "SHOR", "SLO", "TPOR"};
enum CalStandard { stdFlo, stdOpen, stdOsh, stdShort, stdSlo, stdTport };
inline constexpr std::array<std::string_view, 5> kTrackings = {"OFF", "MINimum", "MAXimum", "PKPK", "BANDwidth"};
inline constexpr std::array<std::string_view, 3> kSlopes = {"OFF", "DBO", "DBD"};
inline constexpr std::array<std::string_view, 2> kBandReferences = {"ACTive", "MAXM"};
inline constexpr std::array<std::string_view, 2> kSearchDirections = {"LEFT", "RIGHt"};
inline constexpr std::array<std::string_view, 3> kLimitSegmentTypes = {"FLAT", "SLOPe", "POINt"};

// ---- settings -------------------------------------------------------------------

struct ListSegment {
  double start = 0.0;
  double stop = 0.0;
  int points = 0;
};

struct SourceState {
  int mode = modeFreq;
  double cw = 0.0;  // set from the model
  double start = 10e6;
  double stop = 0.0;  // set from the model
  double level = 0.0;
  double powStart = -10.0;
  double powStop = 0.0;
  double voltStart = 0.0, voltStop = 10.0;
  double currStart = 0.0, currStop = 0.1;
  int points = 401;
  bool autoTime = true;
  double sweepTime = 0.1;
  int levelling = 0;
  int freqStandard = 0;
  int cwFilter = 2;
  int bandwidth = 2;
  bool blanking = false;
  bool rf = true;
  int selection = 0;
  int dcMode = 0;
  double voltsPerGhz = 1.0;
  double dcVolt = 0.0;
  double dcCurr = 0.0;
  int calSelected = 0;
  std::vector<ListSegment> list;
};

struct LimitSegment {
  std::array<double, 6> values{};
  int type = 0;
};

struct MeasState {
  // scalar
  int scalDef = 0;  // 0 power, 1 ratio, 2 counter
  int scalIn1 = 1, scalIn2 = 0;
  int scalFormat = fmtLog;
  bool scalAvg = false;
  int scalAvgN = 16;
  int scalAuto = 0;
  double scalDiv = 10.0, scalRlev = 0.0;
  int scalPos = 5;
  bool smooth = false;
  double smoothAper = 1.0;
  int mopMem = 1;
  bool mopOn = false;
  int shownMem = 0;  // a memory shown as the measured trace, 0 = live data
  // display range and limits
  double dispStart = 0.0, dispStop = 0.0;
  int limSel = 1;
  bool limOn = false;
  // power-meter readout
  int routDef = 0;  // 0 power, 1 ratio, 2 difference, 3 counter
  int routIn1 = 0, routIn2 = 1;
  bool relOn = false;
  double relRef = 0.0;
  bool dcycOn = false;
  double dcyc = 100.0;
  bool routLimOn = false;
  double routLimMax = 10.0, routLimMin = -10.0;
  bool peakHold = false;
  bool peakValid = false;
  double peakMax = 0.0, peakMin = 0.0;
  int routFormat = routLog;
  double countRes = 1.0;
  // fault-location display
  int flocAuto = 0;
  double flocDiv = 10.0, flocRlev = 0.0;
  int flocPos = 5;
  int flocFormat = 1;
  // reflection
  int reflDef = 0;  // 0 S11, 1 ratio, 2 difference
  int reflOperand = 1;
  bool lcor = false, tcon = false;
  int reflFormat = rfLog;
  bool delayLength = false;
  double delay = 0.0;
  double phaseOffset = 0.0;
  bool tdom = false;
  int transform = 1, response = 1;
  int extrapolation = 0;
  double rco = 0.0;
  int windowShape = 1, windowUser = 0;
  int domainDisplay = 0;
  int domainUnit = 1;  // index into kDistanceUnits: metres
  bool gateOn = false;
  double gateStart = -0.5e-9, gateStop = 2e-9;
  int gateType = 1;
  bool gateCoupled = false;
  int gateShape = 1;
  double zoomStart = 0.0, zoomStop = 0.0;
  bool reflAutoScale = false;
  double reflDiv = 10.0, reflRlev = 0.0;
  int reflPos = 5;
  int reflShownMem = 0;
};

struct FlocState {
  bool coax = true;
  double rvel = 0.66;
  double wgc = 0.0;
  double att = 0.0;
  bool rangeEntry = false;
  double rangeValue = 30.0;
  double centre = 0.0;
  double start = 0.0, stop = 0.0;
  int points = 401;
  bool metres = true;
  bool avg = false;
  int avgN = 16;
  int window = 1;
  bool mask = false;
  bool enhance = false;
};

struct ChannelState {
  int mode = chanScalar;
  int measShown = 1;
  int activeMeas = 1;
  std::array<MeasState, 2> meas;
  FlocState floc;
  int fmode = 0;  // 0 user, else 5831 or 5832
  double fOffset = 0.0, fScale = 1.0, pOffset = 0.0;
};

struct InputState {
  double offset = 0.0;
  bool autoDet = true;
  int detNumber = 1;
  bool tempCorr = false;
  bool flatCorr = false;
  int flatFrom = -1;  // -1 none, else index into kFreqSources
  double flatFreq = 1e9;
  bool routAvg = false;
  bool routAvgAuto = true;
  int routAvgN = 16;
  int routRes = 1;
};

struct Marker {
  bool on = false;
  double position = 0.0;
};

struct MarkerState {
  std::array<Marker, 8> markers{};
  int active = 1;
  bool activeOn = false;
  bool deltaOn = false;
  double deltaPos = 0.0;
  int tracking = 0;
  int slope = 0;
  double bandTarget = -3.0;
  bool bandCfdf = false;
  int bandFrom = 0;
  double pkpkLimit = 1.0;
  bool pkpkLimitOn = false;
  bool coupled = false;
  double searchTarget = -3.0;
  int searchDir = 1;
  bool lastSearchFound = false;
};

struct KitState {  // the definitions of one calibration kit
  int connector = 0;
  std::string identity;
  int sex = 1;
  std::array<std::string, 7> serials;  // SHOR OPEN FIX SLID OFF1 OFF2 LOAD
  double shortOlen = 0.0, openOlen = 0.0, fixOlen = 0.0, loadOlen = 0.0;
  std::array<double, 4> fco{};
  double fixBfr = 0.0, slidBfr = 0.0;
  double wgc = 0.0;
  std::array<double, 2> offOlen{}, offMin{}, offMax{};
};
inline constexpr std::array<std::string_view, 7> kKitStandards = {"SHOR", "OPEN", "FIX", "SLID", "OFF1", "OFF2",
                                                                  "LOAD"};

struct CalDescription {  // what a reflection calibration store says about itself
  int cable = 0;
  int connector = 0;
  std::array<int, 3> date{2024, 1, 1};
  std::array<int, 3> time{12, 0, 0};
  int sex = 1;
  std::string title;
  int type = 0;
};

// A store's bytes as the instrument sends them inside a definite-length block.
struct Store {
  std::string bytes;
};

struct CalProcedure {
  bool active = false;
  int kit = 1;
  int type = 0;
  int sex = 1;
  bool cable = false;
  std::array<bool, 6> measured{};
  std::array<bool, 2> offsetShorts{};
};

struct AppState {
  std::string loaded;
  int running = 0;
  std::array<double, 8> params{0.0, 0.5, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
};

struct Limits {
  double maxFrequency = 8e9;
  double minLevel = -70.0;
};

inline constexpr int kScalarMemories = 8;
inline constexpr int kPathCals = 4;
inline constexpr int kSensorStores = 20;
inline constexpr int kReflCalStores = 8;
inline constexpr int kKits = 4;
inline constexpr int kSourceCals = 4;
inline constexpr int kSettingsStores = 10;
inline constexpr int kReflMemories = 4;

struct State {
  SourceState source;
  int systemMode = 0;  // 0 MTS, 1 SOURce
  std::array<ChannelState, 2> channels;
  int activeChannel = 1;
  bool coupled = false;
  int channelsShown = 1;
  std::array<InputState, 4> inputs;
  bool detectorsScalar = true;
  double cfacValue = 100.0, lfacValue = 1.0;
  int cfacStore = 1;
  int cfacFrom = 2;
  double cfacFreq = 1e9;
  bool acDetect = false;
  bool autoZero = false;
  bool powerRef = false;
  bool pathCalOn = false;
  int pathCalSel = 1;
  std::vector<LimitSegment> limitSpec;
  MarkerState markers;
  // reflection medium and calibration
  double impedance = 50.0;
  int reflMedium = 1;
  double reflRvel = 1.0, reflDcon = 1.0, reflWgc = 0.0;
  bool reflAvg = false;
  int reflAvgN = 16;
  bool calCable = false;
  int calInUse = 1;
  bool calValid = true;
  CalProcedure cal;
  int kitSelected = 1;
  std::array<KitState, kKits> kits;
  std::array<CalDescription, kReflCalStores> calDescriptions;
  AppState app;
  // stores, numbered from 1 (index 0 is store 1)
  std::array<Store, kScalarMemories> scalarMemories;
  std::array<Store, kPathCals> pathCals;
  std::array<Store, kSensorStores> sensorStores;
  Store flocCal;
  std::array<Store, kReflCalStores> reflCals;
  std::array<Store, kKits> kitStores;
  Store sourcePpst, sourceFst;
  std::array<Store, kSourceCals> sourceUpst;
  std::array<std::vector<float>, kReflMemories> reflMemories;  // value pairs
  std::uint64_t sweepCount = 0;  // advances with each measured trace or reading
};

// Kit and calibration descriptions travel inside their stores as "KEY=value" lines.
std::string kitSerialize(const KitState& kit);
void kitParse(std::string_view bytes, KitState& kit);  // keeps fields it cannot read
std::string calSerialize(const CalDescription& cal, std::string_view terms);
void calParse(std::string_view bytes, CalDescription& cal);

// Every setting and store at its default for a model.
State stateDefault(const Limits& limits);

}  // namespace kavrel::sim

#endif
