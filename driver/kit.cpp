// Calibration kits: selecting a kit and describing its connector, identity,
// standards' serial numbers and the electrical model of coaxial and
// waveguide standards. The definitions carry no kit number: they apply to
// the kit the instrument has selected.
#include "driver/core/frame.h"
#include "driver/core/quoted.h"

namespace {

using namespace kavrel;

constexpr Keywords<5> kConnectors{"C35", "CN", "C7", "WG", "USER"};
// "NEUT" is never sent: a neutral kit gets no sex command.
constexpr Keywords<3> kKitSexes{"NEUT", "MALE", "FEM"};
constexpr Keywords<7> kKitStandards{"SHOR", "OPEN", "FIX", "SLID", "OFF1", "OFF2", "LOAD"};
// The waveguide offset short a call describes: VI_FALSE the first, VI_TRUE the second.
constexpr Keywords<2> kWaveguideShorts{"OFF1", "OFF2"};

constexpr ViInt32 kNeutral = 0;

constexpr ViReal64 kMaxOffsetLength = 1.0e8;
constexpr ViReal64 kMaxOpenCoefficient = 999999.0;
// Load BFR values, the waveguide cut-off and the offset shorts' frequency range.
constexpr ViReal64 kMaxKitValue = 999999000000.0;

// A sex command of its own ahead of the definition; a neutral kit sends none.
// The status check after the definition covers both.
ViStatus writeKitSex(ViSession vi, ViInt32 sex) {
  if (sex == kNeutral) return VI_SUCCESS;
  return writeLine(vi, line(":REFL:CAL:KIT:SEX ", keyword(kKitSexes, sex)));
}

}  // namespace

KAVREL_API ViStatus kavrel_reflSelectKit(ViSession vi, ViInt32 kitNumber) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(checkStoreNumber(vi, ":REFL:CAL:KIT:MAX?", kitNumber, VI_ERROR_PARAMETER2));
  return send(vi, line(":REFL:CAL:KIT ", kitNumber));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflConfKit(ViSession vi, ViInt32 connector, ViString kitIdentity) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks()
                             .index(connector, kConnectors, VI_ERROR_PARAMETER2)
                             .text(kitIdentity, kTextMax, VI_ERROR_PARAMETER3)
                             .rule(quotable(kitIdentity), VI_ERROR_PARAMETER3));
  return send(vi, line(":REFL:CAL:KIT:CONN ", keyword(kConnectors, connector), ";IDEN \"", kitIdentity, "\""));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflSetSerNumb(ViSession vi, ViInt32 kitStandard, ViInt32 connectorSex,
                                          ViString serialNumber) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks()
                             .index(kitStandard, kKitStandards, VI_ERROR_PARAMETER2)
                             .index(connectorSex, kKitSexes, VI_ERROR_PARAMETER3)
                             .text(serialNumber, kTextMax, VI_ERROR_PARAMETER4)
                             .rule(quotable(serialNumber), VI_ERROR_PARAMETER4));
  KAVREL_RETURN_IF_ERROR(writeKitSex(vi, connectorSex));
  return send(vi, line(":REFL:CAL:KIT:", keyword(kKitStandards, kitStandard), " \"", serialNumber, "\""));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflConfCoaxial(ViSession vi, ViInt32 connectorSex, ViReal64 shortOffsetLength,
                                           ViReal64 openOffsetLength, ViReal64 openCoefficient0,
                                           ViReal64 openCoefficient1, ViReal64 openCoefficient2,
                                           ViReal64 openCoefficient3, ViReal64 fixedLoadOffsetLength,
                                           ViReal64 fixedLoadBfr, ViReal64 slidingLoadBfr) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks()
                             .index(connectorSex, kKitSexes, VI_ERROR_PARAMETER2)
                             .real(shortOffsetLength, 0.0, kMaxOffsetLength, VI_ERROR_PARAMETER3)
                             .real(openOffsetLength, 0.0, kMaxOffsetLength, VI_ERROR_PARAMETER4)
                             .real(openCoefficient0, -kMaxOpenCoefficient, kMaxOpenCoefficient, VI_ERROR_PARAMETER5)
                             .real(openCoefficient1, -kMaxOpenCoefficient, kMaxOpenCoefficient, VI_ERROR_PARAMETER6)
                             .real(openCoefficient2, -kMaxOpenCoefficient, kMaxOpenCoefficient, VI_ERROR_PARAMETER7)
                             .real(openCoefficient3, -kMaxOpenCoefficient, kMaxOpenCoefficient, VI_ERROR_PARAMETER8)
                             .real(fixedLoadOffsetLength, 0.0, kMaxOffsetLength, VI_ERROR_INSTR_PARAMETER9)
                             .real(fixedLoadBfr, 0.0, kMaxKitValue, VI_ERROR_INSTR_PARAMETER10)
                             .real(slidingLoadBfr, 0.0, kMaxKitValue, VI_ERROR_INSTR_PARAMETER11));
  KAVREL_RETURN_IF_ERROR(writeKitSex(vi, connectorSex));
  return send(vi, line(":REFL:CAL:KIT:SHOR:OLEN ", real(shortOffsetLength),                                   //
                       ";:REFL:CAL:KIT:OPEN:OLEN ", real(openOffsetLength),                                   //
                       ";FCO ", sci(openCoefficient0), ",", sci(openCoefficient1), ",",                       //
                       sci(openCoefficient2), ",", sci(openCoefficient3),                                     //
                       ";:REFL:CAL:KIT:FIX:OLEN ", real(fixedLoadOffsetLength), ";BFR ", real(fixedLoadBfr),  //
                       ";:REFL:CAL:KIT:SLID:BFR ", real(slidingLoadBfr)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflConfWaveguide(ViSession vi, ViReal64 cutoffFrequency, ViReal64 shortOffsetLength,
                                             ViReal64 loadOffsetLength, ViBoolean offsetShort,
                                             ViReal64 offsetShortLength, ViReal64 minFrequency,
                                             ViReal64 maxFrequency) try {
  const SessionGuard guard(vi);
  // The offset short's frequency range is the instrument's to judge: no
  // relation between minimum and maximum is checked.
  KAVREL_RETURN_IF_ERROR(Checks()
                             .real(cutoffFrequency, 0.0, kMaxKitValue, VI_ERROR_PARAMETER2)
                             .real(shortOffsetLength, 0.0, kMaxOffsetLength, VI_ERROR_PARAMETER3)
                             .real(loadOffsetLength, 0.0, kMaxOffsetLength, VI_ERROR_PARAMETER4)
                             .flag(offsetShort, VI_ERROR_PARAMETER5)
                             .real(offsetShortLength, 0.0, kMaxOffsetLength, VI_ERROR_PARAMETER6)
                             .real(minFrequency, 0.0, kMaxKitValue, VI_ERROR_PARAMETER7)
                             .real(maxFrequency, 0.0, kMaxKitValue, VI_ERROR_PARAMETER8));
  return send(vi, line(":REFL:CAL:KIT:WGC ", sci(cutoffFrequency), ";SHOR:OLEN ", real(shortOffsetLength),            //
                       ";:REFL:CAL:KIT:LOAD:OLEN ", real(loadOffsetLength),                                           //
                       ";:REFL:CAL:KIT:", keyword(kWaveguideShorts, offsetShort), ":OLEN ", real(offsetShortLength),  //
                       ";MINF ", sci(minFrequency), ";MAXF ", sci(maxFrequency)));
} KAVREL_CATCH_ALL
