// Every command line the driver's templates produce, formatted as the driver
// formats it, must be accepted by the simulated instrument without setting
// an error bit; each query must be answered.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testbed/sim/instrument.h"
#include "testbed/sim/tests/test_util.h"

namespace kavrel::sim {
namespace {

using test::fx;
using test::sci;

struct Step {
  std::string message;
  bool answers = false;  // a query: one response is expected
};

std::string repeat(const std::string& head, const std::string& piece, int times) {
  std::string out = head;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

std::vector<Step> driverSequence() {
  const std::string coaxKit = ":REFL:CAL:KIT:SHOR:OLEN " + fx(0.0) + ";:REFL:CAL:KIT:OPEN:OLEN " + fx(1e8) +
                              ";FCO " + sci(-999999.0) + "," + sci(0.0) + "," + sci(1.0) + "," + sci(999999.0) +
                              ";:REFL:CAL:KIT:FIX:OLEN " + fx(0.0) + ";BFR " + fx(999999000000.0) +
                              ";:REFL:CAL:KIT:SLID:BFR " + fx(0.0);
  const std::string guideKit = ":REFL:CAL:KIT:WGC " + sci(6.557e9) + ";SHOR:OLEN " + fx(0.0) +
                               ";:REFL:CAL:KIT:LOAD:OLEN " + fx(0.0) + ";:REFL:CAL:KIT:OFF2:OLEN " + fx(0.0075) +
                               ";MINF " + sci(12.4e9) + ";MAXF " + sci(8e9);
  return {
      // session spine
      {"*IDN?", true}, {"*RST"}, {"*OPT?", true}, {"*CLS;*ESE 1;*SRE 32"}, {"*TST?", true}, {":SYST:ERR?", true},
      // source modes and sweeps
      {":SOUR:MODE CW;:SOUR:FREQ " + fx(1e9) + ";POW:LEV " + fx(-10.0, 2)},
      {":SOUR:MODE FREQ;:SOUR:FREQ:STAR " + fx(10e6) + ";STOP " + fx(8e9) + ";:SOUR:POW:LEV " + fx(0.0, 2)},
      {":SOUR:MODE FREQ;:SOUR:FREQ:CENT " + fx(4e9) + ";SPAN " + fx(1e9) + ";:SOUR:POW:LEV " + fx(-70.0, 2)},
      {":SOUR:MODE FREQ;:SOUR:FREQ:CENT " + fx(505e6) + ";SPAN " + fx(990e6) + ";:SOUR:POW:LEV " + fx(20.0, 2)},
      {":SOUR:MODE POW;:SOUR:POW:STAR " + fx(-20.0, 2) + ";STOP " + fx(10.0, 2) + ";:SOUR:FREQ " + fx(2e9)},
      {":SOUR:MODE VOLT;:SOUR:VIO:VOLT:STAR " + fx(-15.0, 3) + ";STOP " + fx(15.0, 3)},
      {":SOUR:MODE CURR;:SOUR:VIO:CURR:STAR " + fx(-0.15, 3) + ";STOP " + fx(0.15, 3)},
      {":SOUR:MODE LIST;:SOUR:POW:LEV " + fx(0.0, 2)},
      {repeat(":SOUR:LLIS:RES", ";SEGM " + fx(1e9) + ", " + fx(2e9) + ", 101", 12)},
      {":SOUR:MODE WAV;:SOUR:FREQ:STAR " + fx(7e9) + ";STOP " + fx(8e9) + ";:REFL:WGC " + fx(6.557e9) +
       ";:SOUR:POW:LEV " + fx(0.0, 2)},
      {":SOUR:MODE LOWP;:SOUR:FREQ:STOP " + fx(8e9) + ";:SOUR:POW:LEV " + fx(0.0, 2)},
      {":SOUR:MODE FREQ;:SOUR:FREQ:STAR " + fx(10e6) + ";STOP " + fx(8e9) + ";:SOUR:POW:LEV " + fx(0.0, 2)},
      // source configuration
      {":SOUR:SWE:POIN 401"}, {":SOUR:SWE:AUTO ON"}, {":SOUR:SWE:AUTO OFF;TIME " + fx(500.0, 2)},
      {":SOUR:SWE:AUTO OFF;TIME " + fx(0.04, 2)}, {":SOUR:LEV PMET;:SOUR:FREQ:STAN EX10"},
      {":SOUR:LEV INT;:SOUR:FREQ:STAN INT"}, {":SOUR:BLAN ON"}, {":SOUR:BLAN OFF"}, {":SYST:MODE?", true},
      {":SYST:MODE SOUR;"}, {":SYST:MODE MTS;:SOUR:SEL EXT"}, {":SOUR:SEL INT"},
      {":SOUR:VIO:MODE VGHZ;:SOUR:VIO:VPGS 1.0"}, {":SOUR:VIO:MODE VGHZ;:SOUR:VIO:VPGS 0.5"},
      {":SOUR:VIO:MODE CVOL;:SOUR:VIO:VOLT:CONS " + fx(15.0, 3)},
      {":SOUR:VIO:MODE CCUR;:SOUR:VIO:CURR:CONS " + fx(-0.15, 3)}, {":SOUR:VIO:MODE VRAM"},
      {":SOUR:VIO:MODE CREC"}, {":SOUR:CWF AUTO;:SOUR:SBAN HIGH"}, {":SOUR:CWF OFF;:SOUR:SBAN LOW"},
      {":SOUR:RF OFF"}, {":SOUR:RF ON"}, {":SOUR:CAL:MAX?", true}, {":SOUR:CAL:SEL 4"}, {":SOUR:CAL:SEL 0"},
      // channels and measurements
      {":CHAN:ACT 2;MODE READ"}, {":CHAN:ACT 1;MODE SCAL"}, {":CHAN:COUP ON"}, {":CHAN:NCH 2"}, {":CHAN:NCH 1"},
      {":CHAN:ACT 1;:MEAS:NME 1;ACT 2"}, {":CHAN:ACT 1;:MEAS:NME 2;ACT 1"}, {":CHAN:ACT 2;:MEAS:ACT 2"},
      {":CHAN:ACT 1;:MEAS:ACT 1"}, {":CHAN:MODE?", true},
      {":MEAS:DISP:START " + fx(1e9) + ";STOP " + fx(2e9)}, {":MEAS:DISP:CENT " + fx(4e9) + ";SPAN " + fx(1e8)},
      {":MEAS:LIM:SEL 4;STAT ON"}, {":MEAS:LIM:STAT OFF"},
      {repeat(":MEAS:LIM:RES", ";SEGM " + fx(1e9) + ", " + fx(2e9) + ", SLOP, " + fx(-3.0) + ", " + fx(-1.0) +
                                   ", " + fx(0.5) + ", " + fx(1.5),
              12)},
      {":CHAN:ACT 1;:SYST:DISP:FMOD USER;FOFF " + fx(-200e9) + ";FSC " + fx(30.0)},
      {":CHAN:ACT 2;:SYST:DISP:FMOD USER;POFF " + fx(99.99)}, {":CHAN:ACT 1;:SYST:DISP:FMOD 5831"},
      {":CHAN:ACT 2;:SYST:DISP:FMOD 5832"}, {":CHAN:ACT 1;:MEAS:ACT 1"},
      // markers on the scalar trace of channel 1
      {":MARK:ACT ON;ACT:ASS 3"}, {":MARK:ACT OFF"}, {":MARK 3,ON;:MARK:POS 3," + fx(1e9)}, {":MARK 2,OFF"},
      {":MARK:ACT ON;ACT:ASS 3"}, {":MARK:DELT:STAT ON;POS " + fx(2e9)}, {":MARK:DELT:STAT OFF"},
      {":MARK:TRAC BAND"}, {":MARK:TRAC OFF"}, {":MARK:SLOP DBD"}, {":MARK:SLOP OFF"},
      {":MARK:BAND:TARG " + fx(-3.0) + ";CFDF ON;FROM MAXM"}, {":MARK:BAND:TARG " + fx(99.99) + ";CFDF OFF;FROM ACT"},
      {":MARK:PKPK:LIM:VAL " + fx(99.99) + ";STAT ON"}, {":MARK:COUP ON"}, {":MARK:SEAR:TARG " + fx(-10.0)},
      {":MARK:MAX"}, {":MARK:MIN"}, {":MARK:LPE"}, {":MARK:RPE"}, {":MARK:SEAR:DIR LEFT;RES?", true},
      {":MARK:SEAR:DIR RIGH;RES?", true}, {":MARK:PKPK?", true}, {":MARK:BAND?", true}, {":MARK:ACT:POS?", true},
      {":MARK:ACT:DATA?", true},
      // applications
      {":SYST:APPL:LOAD \"TESTAPP\""}, {":SYST:APPL:RUN 2"}, {":SYST:APPL:PAR 1, " + fx(-99.99)},
      {":SYST:APPL:PAR 2, " + fx(1.0)}, {":SYST:APPL:PAR 3, " + fx(-20.0)}, {":SYST:APPL:PAR 4, " + fx(99.99)},
      {":SYST:APPL:PAR 5, " + fx(1.0)}, {":SYST:APPL:PAR 6, " + fx(0.0)}, {":SYST:APPL:PAR? 1", true},
      {":SYST:APPL:PAR? 8", true},
      // scalar measurement
      {":CHAN:ACT 1;:MEAS:ACT 1"}, {":SCAL:MEAS:POW D"}, {":SCAL:MEAS:RAT B,A"}, {":SCAL:MEAS:FREQ"},
      {":SCAL:MEAS:POW B"}, {":SCAL:AVER OFF"}, {":SCAL:AVER ON;:SCAL:AVER:NUMB 1000"}, {":SCAL:AVER:REST"},
      {":MEAS:SMO ON;SMO:APER " + fx(20.0, 2)}, {":MEAS:SMO OFF"}, {":SCAL:FORM?", true},
      {":SCAL:SCAL:AUTO ONCE"}, {":SCAL:SCAL:AUTO CONT"}, {":SCAL:SCAL:DIV " + fx(20.0, 2) + ";POS 10;RLEV " + fx(-200.0, 2)},
      {":SCAL:FORM VSWR"}, {":SCAL:SCAL:DIV " + fx(10.0, 2) + ";POS 0;RLEV " + fx(1.0, 2)}, {":SCAL:FORM WATT"},
      {":SCAL:FORM VOLT"}, {":SCAL:FORM LOG"},
      // scalar memories and path calibration
      {":SCAL:PCAL:THR 1"}, {":SCAL:PCAL:OPEN 2"}, {":SCAL:PCAL:OPEN:SEIL 3"}, {":SCAL:PCAL:OPEN:MERG 4"},
      {":SCAL:PCAL:OPEN:MERG:SEIL 1"}, {":SCAL:PCAL:SHOR 1"}, {":SCAL:PCAL:SHOR:SEIL 2"},
      {":SCAL:PCAL:SHOR:MERG 3"}, {":SCAL:PCAL:SHOR:MERG:SEIL 4"}, {":SCAL:PCAL:SEL 4"}, {":SCAL:PCAL ON"},
      {":SCAL:PCAL OFF"}, {":SCAL:MEM:MAX?", true}, {":SCAL:MOP:SEL 8;STAT ON"}, {":SCAL:MOP:SEL 1;STAT OFF"},
      {":SCAL:SAV 8"}, {":SCAL:MEAS:MEM 8"}, {":SCAL:MEAS:MEM:SETT 1"}, {":SCAL:MEAS:POW B"},
      // inputs
      {":INP:DCON PMET"}, {":INP:DCON SCAL"}, {":INP:OFFS A," + fx(-99.99)}, {":INP:OFFS A," + fx(0.0)},
      {":INP:SCAL:AUTO B"}, {":INP:SCAL:DET C,16"}, {":INP:SCAL:TCOR D,ON"}, {":INP:FCOR A,ON"},
      {":INP:FCOR A,ON;:INP:FCOR:FREQ:FROM A,FREQ;:INP:FCOR:FREQ A," + sci(1e9, 9)},
      {":INP:FCOR B,OFF;:INP:FCOR:FREQ:FROM B,COUN"}, {":INP:FCOR C,ON;:INP:FCOR:FREQ:FROM C,SOUR"},
      {":INP:CFAC:VAL " + fx(200.0) + ";:INP:LFAC:VAL " + fx(0.1)}, {":INP:CFAC:STOR:MAX?", true},
      {":INP:CFAC:STOR:NUMB 20;:INP:CFAC:FREQ:FROM FREQ;:INP:CFAC:FREQ " + fx(999999000000.0)},
      {":INP:CFAC:STOR:NUMB 1;:INP:CFAC:FREQ:FROM COUN"}, {":INP:ACD ON"}, {":INP:ZERO:AUTO OFF"},
      {":INP:ZERO:AUTO ON"}, {":INP:ZERO:DET"}, {":INP:ZERO:SENS"}, {":INP:REF ON"}, {":INP:CAL"},
      {":INP:CAL:DET D"},
      // power-meter readout on channel 2
      {":CHAN:ACT 2;MODE READ"}, {":CHAN:ACT 2;:MEAS:ACT 1"}, {":ROUT:MEAS:POW A"}, {":ROUT:MEAS:RAT B,B"},
      {":ROUT:MEAS:DIFF A,C"}, {":ROUT:MEAS:FREQ"}, {":ROUT:MEAS:DEF?", true},
      {":ROUT:LIM ON;LIM:MAX " + fx(999999000000.0) + ";MIN " + fx(0.0)}, {":ROUT:MEAS:POW A"},
      {":ROUT:MEAS:DEF?", true}, {":ROUT:LIM ON;LIM:MAX " + fx(999.999) + ";MIN " + fx(-999.999)},
      {":ROUT:LIM OFF"}, {":ROUT:REL:STATE OFF"}, {":ROUT:REL:STATE ON"}, {":ROUT:REL:SAVE"},
      {":ROUT:REL:STATE OFF"}, {":ROUT:AVER A,OFF"}, {":ROUT:AVER B,ON;:ROUT:AVER:AUTO B,ON"},
      {":ROUT:AVER:AUTO C,OFF;:ROUT:AVER C,ON;:ROUT:RES:PMET C,HIGH"},
      {":ROUT:AVER:AUTO C,OFF;:ROUT:AVER C,ON;:ROUT:RES:PMET C,MED"},
      {":ROUT:AVER:AUTO C,OFF;:ROUT:AVER C,ON;:ROUT:RES:PMET C,LOW"},
      {":ROUT:AVER:AUTO D,OFF;:ROUT:AVER D,ON;:ROUT:AVER:NUMB D,16"}, {":ROUT:AVER:REST A"},
      {":ROUT:DCYC ON;DCYC:VAL " + fx(0.001, 3)}, {":ROUT:DCYC ON;DCYC:VAL " + fx(100.0, 3)}, {":ROUT:DCYC OFF"},
      {":ROUT:PEAK ON"}, {":ROUT?", true}, {":ROUT:PEAK:MIN?", true}, {":ROUT:PEAK:MAX?", true},
      {":ROUT:PEAK:RES"}, {":ROUT:PEAK OFF"}, {":ROUT:FORM PERC"}, {":ROUT:FORM WATT"}, {":ROUT:FORM VOLT"},
      {":ROUT:FORM LOG"}, {":ROUT:RES:COUN " + fx(100000000.0)}, {":ROUT:RES:COUN " + fx(1.0)}, {":ROUT:PIR"},
      // fault location on channel 1
      {":CHAN:ACT 1;MODE FLOC"}, {":CHAN:ACT 1;:MEAS:ACT 1"}, {":FLOC:UNIT?", true},
      {":FLOC:MED COAX;RVEL " + fx(1.0, 3) + ";:FLOC:ATT " + fx(100.0, 3)},
      {":FLOC:MED WAV;WGC " + fx(8e9) + ";:FLOC:ATT " + fx(0.0, 3)},
      {":FLOC:MED COAX;RVEL " + fx(0.66, 3) + ";:FLOC:ATT " + fx(1.0, 3)},
      {":FLOC:RANG:ENTRY ON;:FLOC:RANG:VAL " + fx(25000.0) + ";:FLOC:FREQ:CENT " + fx(4e9)},
      {":FLOC:RANG:ENTRY OFF;:FLOC:FREQ:STAR " + fx(2e9) + ";STOP " + fx(1e9)},
      {":FLOC:RANG:ENTRY OFF;:FLOC:FREQ:STAR " + fx(10e6) + ";STOP " + fx(1.5e9)}, {":FLOC:POIN 1024"},
      {":FLOC:POIN 51"}, {":FLOC:UNIT FEET"}, {":FLOC:UNIT METR"}, {":FLOC:AVER OFF"},
      {":FLOC:AVER ON;:FLOC:AVER:NUMB 5"}, {":FLOC:AVER:REST"}, {":FLOC:WIND LOW"}, {":FLOC:WIND HIGH"},
      {":FLOC:MCOR ON"}, {":FLOC:ENH ON"}, {":FLOC:FORM?", true}, {":FLOC:SCAL:AUTO CONT"},
      {":FLOC:FORM VSWR"}, {":FLOC:SCAL:DIV " + fx(10.0, 2) + ";POS 5;RLEV " + fx(1.0, 2)}, {":FLOC:FORM LOG"},
      {":FLOC:SCAL:DIV " + fx(20.0, 2) + ";POS 0;RLEV " + fx(-0.5, 2)}, {":FLOC:CAL:SAVE"}, {":FLOC:CAL:REST"},
      {":FLOC:POIN?", true}, {":FLOC:DATA:BIN?", true},
      // trace data and store counts
      {":SOUR:SWE:POIN?", true}, {":SCAL:DATA:BIN?", true}, {":INP:CFAC:STOR:MAX?", true},
      {":REFL:CAL:DATA:MAX?", true}, {":REFL:CAL:KIT:MAX?", true}, {":SCAL:MEM:MAX?", true},
      {":SOUR:CAL:MAX?", true}, {":SYST:SETT:MAX?", true},
      // reflection on channel 1
      {":CHAN:ACT 1;MODE REFL"}, {":CHAN:ACT 1;:MEAS:ACT 1"}, {":REFL:MEAS:S11"}, {":REFL:MEAS:RAT 3"},
      {":REFL:MEAS:DIFF 4"}, {":REFL:MEAS:S11"}, {":REFL:DET:LCOR ON;TCON OFF"}, {":REFL:AVER OFF"},
      {":REFL:AVER ON;AVER:NUMB 1000"}, {":REFL:AVER:REST"}, {":MEAS:SMO ON;SMO:APER " + fx(0.01, 2)},
      {":REFL:DISP:FORM LOG"}, {":REFL:DISP:FORM LIN"}, {":REFL:DISP:FORM PHAS"}, {":REFL:DISP:FORM VSWR"},
      {":REFL:DISP:FORM RE"}, {":REFL:DISP:FORM IM"}, {":REFL:DISP:FORM IMP"}, {":REFL:DISP:FORM PLIN"},
      {":REFL:DISP:FORM PLOG"}, {":REFL:DISP:FORM REIM"}, {":REFL:DISP:FORM SMIT"}, {":REFL:DISP:FORM INVS"},
      {":REFL:DEL:TIME " + fx(-1.0)}, {":REFL:DEL:LENG " + fx(3e8)}, {":REFL:DEL:TIME " + fx(0.0)},
      {":REFL:POFF " + fx(360.0)}, {":REFL:POFF " + fx(0.0)},
      {":REFL:CIMP " + fx(50.0) + ";MED COAX;RVEL " + fx(0.66)},
      {":REFL:CIMP " + fx(75.0) + ";MED COAX;DCON " + fx(2.2)},
      {":REFL:CIMP " + fx(10000.0) + ";MED WAV;WGC " + fx(1e7)},
      // time domain
      {":REFL:TDOM ON"}, {":REFL:TDOM:TRAN BAND;RESP IMP"}, {":REFL:TDOM:TRAN LOW;RESP STEP"},
      {":REFL:TDOM:EMOD MAN;RCO " + fx(12.3, 1)}, {":REFL:TDOM:EMOD MATC;RCO " + fx(1000.0, 1)},
      {":REFL:TDOM:EMOD AUTO;RCO " + fx(0.0, 1)}, {":REFL:TDOM:WIND:SHAP MIN;USER 13"},
      {":REFL:TDOM:WIND:SHAP USER;USER 0"}, {":REFL:TDOM:DISP DIST;UNIT METR"}, {":REFL:TDOM:DISP DIST;UNIT FEET"},
      {":REFL:TDOM:DISP TIME"}, {":REFL:TDOM:STAT?", true},
      {":REFL:TDOM:GAT:STAT ON;:REFL:TDOM:GAT:CENT " + fx(0.8) + ";SPAN " + fx(0.4) + ";TYPE GATE;COUP ON;SHAP MAX"},
      {":REFL:TDOM:GAT:STAT OFF;:REFL:TDOM:GAT:STAR " + fx(-1.0) + ";STOP " + fx(1.0) + ";TYPE FENC;COUP OFF;SHAP MIN"},
      // display and scaling, time domain on then off
      {":REFL:TDOM:DISP?", true}, {":REFL:DISP:STAR " + fx(-1.0) + ";STOP " + fx(1.0)},
      {":REFL:DISP:CENT " + fx(0.0) + ";SPAN " + fx(1.0)}, {":REFL:TDOM:DISP DIST;UNIT FEET"},
      {":REFL:TDOM:UNIT?", true}, {":REFL:DISP:STAR " + fx(-983570000.0) + ";STOP " + fx(983570000.0)},
      {":REFL:TDOM OFF"}, {":REFL:DISP:CENT " + fx(4e9) + ";SPAN " + fx(7e9)},
      {":REFL:DISP:STAR " + fx(1e9) + ";STOP " + fx(1e9)}, {":REFL:SCAL:AUT"},
      {":REFL:SCAL:DIV " + fx(-5.0) + ";POS 10;RLEV " + fx(0.0)},
      // reflection data and memories
      {":REFL:DATA:BIN?", true}, {":REFL:CAL:DATA:CABL? 1", true}, {":REFL:CAL:DATA:CONN? 1", true},
      {":REFL:CAL:DATA:DATE? 1", true}, {":REFL:CAL:DATA:TIME? 1", true}, {":REFL:CAL:DATA:SEX? 1", true},
      {":REFL:CAL:DATA:TITL? 1", true}, {":REFL:CAL:DATA:TYPE? 1", true}, {":REFL:MEAS:SAV 1"},
      {":REFL:MEAS:MEM 4"}, {":REFL:MEAS:MEM:SETT 2"}, {":REFL:MEAS:S11"},
      // calibration procedure
      {":REFL:CAL:KIT 1;:REFL:CAL:TYPE CSOF;SEX MALE"}, {":REFL:CAL:MEAS:OPEN"}, {":REFL:CAL:MEAS:SHOR"},
      {":REFL:CAL:MEAS:FLO"}, {":REFL:CAL:PROC 8,\"12345678901234567890\""},
      {":REFL:CAL:KIT 2;:REFL:CAL:TYPE CSOS;SEX FEM"}, {":REFL:CAL:MEAS:SLO 8"}, {":REFL:CAL:MEAS:TPOR"},
      {":REFL:CAL:ABOR"}, {":REFL:CAL:KIT 4;:REFL:CAL:TYPE WS12"}, {":REFL:CAL:MEAS:OSH 1"},
      {":REFL:CAL:MEAS:OSH 2"}, {":REFL:CAL:MEAS:FLO"}, {":REFL:CAL:PROC 1,\"\""}, {":REFL:ZERO"},
      {":REFL:CAL:REST 8"}, {":REFL:CAL:CABL ON"}, {":REFL:CAL:CABL OFF"}, {":REFL:CAL:VAL?", true},
      // calibration kits
      {":REFL:CAL:KIT 2"}, {":REFL:CAL:KIT:CONN USER;IDEN \"12345678901234567890\""},
      {":REFL:CAL:KIT:CONN C35;IDEN \"\""}, {":REFL:CAL:KIT:SEX MALE"}, {":REFL:CAL:KIT:SEX FEM"},
      {":REFL:CAL:KIT:SHOR \"S1\""}, {":REFL:CAL:KIT:OPEN \"S2\""}, {":REFL:CAL:KIT:FIX \"S3\""},
      {":REFL:CAL:KIT:SLID \"S4\""}, {":REFL:CAL:KIT:OFF1 \"S5\""}, {":REFL:CAL:KIT:OFF2 \"S6\""},
      {":REFL:CAL:KIT:LOAD \"12345678901234567890\""}, {coaxKit}, {guideKit},
      // stores as the file transfer reads them
      {":SCAL:MEM:DATA? 1", true}, {":SCAL:PCAL:STOR? 4", true}, {":INP:CFAC:STOR:DATA? 20", true},
      {":FLOC:CAL:STOR?", true}, {":REFL:CAL:DATA:STOR? 2", true}, {":REFL:CAL:KIT:STOR? 4", true},
      {":SOUR:CAL:PPST?", true}, {":SOUR:CAL:FST?", true}, {":SOUR:CAL:UPST? 4", true},
      // power-meter readings with the channel set back to readout
      {":CHAN:ACT 2;:MEAS:ACT 1"}, {":ROUT?", true}, {":ROUT:PEAK:MIN?", true}, {":ROUT:PEAK:MAX?", true},
  };
}

TEST(DriverCommands, EveryTemplateIsAcceptedWithoutAnErrorBit) {
  Instrument instrument;
  Session session(instrument);
  for (const Step& step : driverSequence()) {
    SCOPED_TRACE(step.message);
    session.execute(step.message);
    EXPECT_EQ(session.responsePending(), step.answers);
    if (session.responsePending()) (void)session.read();
    std::string esr = session.query("*ESR?");
    if (esr != "0\n") {
      std::string errors;
      for (std::string e = session.query(":SYST:ERR?"); e.rfind("0,", 0) != 0; e = session.query(":SYST:ERR?"))
        errors += e;
      ADD_FAILURE() << "ESR " << esr << "errors " << errors;
    }
  }
}

// File transfers send the store's reply back after the store command and a comma.
TEST(DriverCommands, EveryStoreLoadsWhatItSent) {
  struct Transfer {
    std::string query;     // read into the file
    std::string prefix;    // sent before the file's bytes
    std::string readBack;  // the store that was loaded
  };
  const std::vector<Transfer> transfers = {
      {":SCAL:MEM:DATA? 3", ":SCAL:MEM:DATA 5,", ":SCAL:MEM:DATA? 5"},
      {":SCAL:PCAL:STOR? 1", ":SCAL:PCAL:STOR 4,", ":SCAL:PCAL:STOR? 4"},
      {":INP:CFAC:STOR:DATA? 2", ":INP:CFAC:STOR 19,", ":INP:CFAC:STOR:DATA? 19"},
      {":FLOC:CAL:STOR?", ":FLOC:CAL:STOR ", ":FLOC:CAL:STOR?"},
      {":REFL:CAL:DATA:STOR? 2", ":REFL:CAL:DATA:STOR 3,", ":REFL:CAL:DATA:STOR? 3"},
      {":REFL:CAL:KIT:STOR? 1", ":REFL:CAL:KIT:STOR 2,", ":REFL:CAL:KIT:STOR? 2"},
      {":SOUR:CAL:PPST?", ":SOUR:CAL:UPST 1,", ":SOUR:CAL:UPST? 1"},
      {":SOUR:CAL:UPST? 2", ":SOUR:CAL:UPST 3,", ":SOUR:CAL:UPST? 3"},
  };
  Instrument instrument;
  Session session(instrument);
  for (const Transfer& t : transfers) {
    SCOPED_TRACE(t.query);
    std::string file = session.query(t.query);
    ASSERT_GT(file.size(), 3u);
    session.execute(t.prefix + file);
    EXPECT_EQ(session.query("*ESR?"), "0\n");
    EXPECT_EQ(session.query(t.readBack), file);
  }
}

}  // namespace
}  // namespace kavrel::sim
