/* kavrel: remote-control driver for the 4100-family microwave test sets.
 *
 * Every function takes the VISA session first and returns a ViStatus:
 * negative is an error, positive a warning, zero success.
 * Usable from C99 and C++; may be included before or after a vendor's
 * visa.h / visatype.h (same include guards, identical typedefs). */
#ifndef KAVREL_H
#define KAVREL_H

/* ---- VISA types, as the standard visatype.h defines them ---------------- */
#ifndef __VISATYPE_HEADER__
#define __VISATYPE_HEADER__

#include <limits.h>

#if !defined(_VI_INT64_UINT64_DEFINED)
#if defined(_WIN64) || ((defined(_WIN32) || defined(_CVI_)) && !defined(_NI_mswin16_))
typedef unsigned __int64 ViUInt64;
typedef signed __int64 ViInt64;
#else
typedef unsigned long long ViUInt64;
typedef signed long long ViInt64;
#endif
#define _VI_INT64_UINT64_DEFINED
#endif

#if defined(_WIN64) || (defined(LONG_MAX) && LONG_MAX > 0x7FFFFFFFL)
#define _VISA_ENV_IS_64_BIT
#endif

#define _VI_FAR
#define _VI_FUNC
#define _VI_FUNCC
#define _VI_FUNCH
#define _VI_SIGNED signed
#define _VI_ERROR (-2147483647L - 1)
#define _VI_PTR *

#if defined(LONG_MAX) && LONG_MAX > 0x7FFFFFFFL
typedef unsigned int ViUInt32;
typedef _VI_SIGNED int ViInt32;
#else
typedef unsigned long ViUInt32;
typedef _VI_SIGNED long ViInt32;
#endif

typedef ViUInt32 _VI_PTR ViPUInt32;
typedef ViUInt32 _VI_PTR ViAUInt32;
typedef ViInt32 _VI_PTR ViPInt32;
typedef ViInt32 _VI_PTR ViAInt32;
typedef unsigned short ViUInt16;
typedef ViUInt16 _VI_PTR ViPUInt16;
typedef ViUInt16 _VI_PTR ViAUInt16;
typedef _VI_SIGNED short ViInt16;
typedef ViInt16 _VI_PTR ViPInt16;
typedef ViInt16 _VI_PTR ViAInt16;
typedef unsigned char ViUInt8;
typedef ViUInt8 _VI_PTR ViPUInt8;
typedef ViUInt8 _VI_PTR ViAUInt8;
typedef _VI_SIGNED char ViInt8;
typedef ViInt8 _VI_PTR ViPInt8;
typedef ViInt8 _VI_PTR ViAInt8;
typedef char ViChar;
typedef ViChar _VI_PTR ViPChar;
typedef ViChar _VI_PTR ViAChar;
typedef unsigned char ViByte;
typedef ViByte _VI_PTR ViPByte;
typedef ViByte _VI_PTR ViAByte;
typedef void _VI_PTR ViAddr;
typedef ViAddr _VI_PTR ViPAddr;
typedef ViAddr _VI_PTR ViAAddr;
typedef float ViReal32;
typedef ViReal32 _VI_PTR ViPReal32;
typedef ViReal32 _VI_PTR ViAReal32;
typedef double ViReal64;
typedef ViReal64 _VI_PTR ViPReal64;
typedef ViReal64 _VI_PTR ViAReal64;
typedef ViPByte ViBuf;
typedef const ViByte _VI_PTR ViConstBuf;
typedef ViPByte ViPBuf;
typedef ViPByte _VI_PTR ViABuf;
typedef ViPChar ViString;
#ifndef _VI_CONST_STRING_DEFINED
typedef const ViChar _VI_PTR ViConstString;
#define _VI_CONST_STRING_DEFINED
#endif
typedef ViPChar ViPString;
typedef ViPChar _VI_PTR ViAString;
typedef ViString ViRsrc;
typedef ViConstString ViConstRsrc;
typedef ViString ViPRsrc;
typedef ViString _VI_PTR ViARsrc;
typedef ViUInt16 ViBoolean;
typedef ViBoolean _VI_PTR ViPBoolean;
typedef ViBoolean _VI_PTR ViABoolean;
typedef ViInt32 ViStatus;
typedef ViStatus _VI_PTR ViPStatus;
typedef ViStatus _VI_PTR ViAStatus;
typedef ViUInt32 ViVersion;
typedef ViVersion _VI_PTR ViPVersion;
typedef ViVersion _VI_PTR ViAVersion;
typedef ViUInt32 ViObject;
typedef ViObject _VI_PTR ViPObject;
typedef ViObject _VI_PTR ViAObject;
typedef ViObject ViSession;
typedef ViSession _VI_PTR ViPSession;
typedef ViSession _VI_PTR ViASession;
typedef ViUInt32 ViAttr;


#define VI_SUCCESS (0L)
#define VI_NULL (0)
#define VI_TRUE (1)
#define VI_FALSE (0)

#endif /* __VISATYPE_HEADER__ */

/* ---- Status codes the driver returns ------------------------------------ */
#define VI_INSTR_WARNING_OFFSET (0x3FFC0800L)
#define VI_INSTR_ERROR_OFFSET (_VI_ERROR + 0x3FFC0800L)

#define VI_WARN_NSUP_ID_QUERY (0x3FFC0101L)
#define VI_WARN_NSUP_RESET (0x3FFC0102L)
#define VI_WARN_NSUP_SELF_TEST (0x3FFC0103L)
#define VI_WARN_NSUP_ERROR_QUERY (0x3FFC0104L)
#define VI_WARN_NSUP_REV_QUERY (0x3FFC0105L)

#define VI_ERROR_PARAMETER1 (_VI_ERROR + 0x3FFC0001L)
#define VI_ERROR_PARAMETER2 (_VI_ERROR + 0x3FFC0002L)
#define VI_ERROR_PARAMETER3 (_VI_ERROR + 0x3FFC0003L)
#define VI_ERROR_PARAMETER4 (_VI_ERROR + 0x3FFC0004L)
#define VI_ERROR_PARAMETER5 (_VI_ERROR + 0x3FFC0005L)
#define VI_ERROR_PARAMETER6 (_VI_ERROR + 0x3FFC0006L)
#define VI_ERROR_PARAMETER7 (_VI_ERROR + 0x3FFC0007L)
#define VI_ERROR_PARAMETER8 (_VI_ERROR + 0x3FFC0008L)
#define VI_ERROR_FAIL_ID_QUERY (_VI_ERROR + 0x3FFC0011L)
#define VI_ERROR_INV_RESPONSE (_VI_ERROR + 0x3FFC0012L)

#define VI_ERROR_INSTR_FILE_OPEN (VI_INSTR_ERROR_OFFSET + 0x00L)
#define VI_ERROR_INSTR_FILE_WRITE (VI_INSTR_ERROR_OFFSET + 0x01L)
#define VI_ERROR_INSTR_INTERPRETING_RESPONSE (VI_INSTR_ERROR_OFFSET + 0x03L)
#define VI_ERROR_INSTR_PARAMETER9 (VI_INSTR_ERROR_OFFSET + 0x09L)
#define VI_ERROR_INSTR_PARAMETER10 (VI_INSTR_ERROR_OFFSET + 0x0AL)
#define VI_ERROR_INSTR_PARAMETER11 (VI_INSTR_ERROR_OFFSET + 0x0BL)

#define VI_WARN_INSTR_SEARCH_NFOUND (VI_INSTR_WARNING_OFFSET + 0x101L)
#define VI_ERROR_INSTR_START_GT_STOP (VI_INSTR_ERROR_OFFSET + 0x101L)
#define VI_ERROR_INSTR_CENTER_SPAN_RANGE (VI_INSTR_ERROR_OFFSET + 0x102L)
#define VI_ERROR_INSTR_SAME_CHANNELS (VI_INSTR_ERROR_OFFSET + 0x103L)
#define VI_ERROR_INSTR_MIN_GT_MAX (VI_INSTR_ERROR_OFFSET + 0x104L)
#define VI_ERROR_INSTR_SPECIFIC (VI_INSTR_ERROR_OFFSET + 0x1F0L)

/* VISA's own codes that the driver itself returns. */
#ifndef VI_WARN_UNKNOWN_STATUS
#define VI_WARN_UNKNOWN_STATUS (0x3FFF0085L)
#endif
#ifndef VI_ERROR_ALLOC
#define VI_ERROR_ALLOC (_VI_ERROR + 0x3FFF003CL)
#endif

#if defined(__GNUC__)
#define KAVREL_API __attribute__((visibility("default")))
#else
#define KAVREL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Session lifecycle ---------------------------------------------------- */
/* Open a session, optionally check the identification, then reset or set up. */
KAVREL_API ViStatus kavrel_init(ViRsrc resourceName, ViBoolean idQuery, ViBoolean resetDevice, ViPSession vi);
/* Free the session record and close the session and its resource manager. */
KAVREL_API ViStatus kavrel_close(ViSession vi);
/* Reset the instrument ("*RST") and run the default setup again. */
KAVREL_API ViStatus kavrel_reset(ViSession vi);
/* Read the option word (selector 16) or one bit of it (selector n, modulo 32). */
KAVREL_API ViStatus kavrel_instrOptions(ViSession vi, ViInt32 selector, ViPInt32 options);

/* ---- Error reporting and direct I/O --------------------------------------- */
/* Describe a status code: VISA's text first, else the driver's own. */
KAVREL_API ViStatus kavrel_error_message(ViSession vi, ViStatus statusCode, ViChar message[]);
/* Read one entry of the instrument's error queue (number and unquoted text, at most 255 characters). */
KAVREL_API ViStatus kavrel_error_query(ViSession vi, ViPInt32 errorCode, ViChar errorMessage[]);
/* Driver revision and the instrument's firmware revision. */
KAVREL_API ViStatus kavrel_revision_query(ViSession vi, ViChar driverRev[], ViChar instrRev[]);
/* Run the instrument's self-test; the message (may be VI_NULL) is set empty. */
KAVREL_API ViStatus kavrel_self_test(ViSession vi, ViPInt16 testResult, ViChar testMessage[]);
/* Send text to the instrument unchanged. */
KAVREL_API ViStatus kavrel_writeInstrData(ViSession vi, ViString writeBuffer);
/* Read raw bytes from the instrument (not terminated); count may be VI_NULL. */
KAVREL_API ViStatus kavrel_readInstrData(ViSession vi, ViInt32 numberBytesToRead, ViChar readBuffer[], ViPInt32 numBytesRead);

/* ---- Source: modes and sweeps --------------------------------------------- */
/* CW at a frequency (Hz) and level (dBm). */
KAVREL_API ViStatus kavrel_srcContWave(ViSession vi, ViReal64 frequency, ViReal64 level);
/* Frequency sweep: VI_TRUE start/stop, VI_FALSE centre/span (Hz), at a level (dBm). */
KAVREL_API ViStatus kavrel_srcFreqSweep(ViSession vi, ViBoolean representation, ViReal64 startOrCenter, ViReal64 stopOrSpan, ViReal64 level);
/* Power sweep between two levels (dBm) at one frequency (Hz). */
KAVREL_API ViStatus kavrel_srcPowSweep(ViSession vi, ViReal64 startLevel, ViReal64 stopLevel, ViReal64 frequency);
/* DC voltage sweep (V, -15..15). */
KAVREL_API ViStatus kavrel_srcVoltSweep(ViSession vi, ViReal64 startVoltage, ViReal64 stopVoltage);
/* DC current sweep (A, -0.15..0.15). */
KAVREL_API ViStatus kavrel_srcCurrSweep(ViSession vi, ViReal64 startCurrent, ViReal64 stopCurrent);
/* List frequency sweep through the loaded segments, at a level (dBm). */
KAVREL_API ViStatus kavrel_srcLinListFreqSweep(ViSession vi, ViReal64 level);
/* Replace the list-sweep segments: start and stop (Hz) and points of 1..12 segments; a bad count is VI_ERROR_PARAMETER2. */
KAVREL_API ViStatus kavrel_srcCreateLinList(ViSession vi, ViReal64 segmentStart[], ViReal64 segmentStop[], ViInt32 segmentPoints[], ViInt32 segmentCount);
/* Waveguide sweep: start, stop and cut-off (0..start) frequencies (Hz), level (dBm). */
KAVREL_API ViStatus kavrel_srcWaveGuideSweep(ViSession vi, ViReal64 startFrequency, ViReal64 stopFrequency, ViReal64 cutoffFrequency, ViReal64 level);
/* Low-pass sweep up to a stop frequency (Hz), at a level (dBm). */
KAVREL_API ViStatus kavrel_srcLowPassSweep(ViSession vi, ViReal64 stopFrequency, ViReal64 level);

/* ---- Source: configuration and outputs ------------------------------------ */
/* Sweep points (2..800) and time (0.04..500 s; within 1e-6 of zero: automatic). */
KAVREL_API ViStatus kavrel_srcSweepConfig(ViSession vi, ViInt32 numberOfPoints, ViReal64 sweepTime);
/* Levelling (INT, POS, NEG, PMET) and frequency standard (INT, EX1, EX10). */
KAVREL_API ViStatus kavrel_srcLevFreqStd(ViSession vi, ViInt32 levelling, ViInt32 frequencyStandard);
/* RF blanking off or on. */
KAVREL_API ViStatus kavrel_srcRFBlanking(ViSession vi, ViBoolean blanking);
/* Internal (0) or external (1) source, or the plain source mode (2). */
KAVREL_API ViStatus kavrel_srcSelect(ViSession vi, ViInt32 selection);
/* DC output mode 0..5; the value is a constant voltage (mode 2) or current (mode 3). */
KAVREL_API ViStatus kavrel_srcVIOutput(ViSession vi, ViInt32 outputMode, ViReal64 value);
/* CW filter (OFF, ON, AUTO) and source bandwidth (LOW, HIGH, AUTO). */
KAVREL_API ViStatus kavrel_srcFilterAndBW(ViSession vi, ViInt32 cwFilter, ViInt32 sourceBandwidth);
/* RF output off or on. */
KAVREL_API ViStatus kavrel_srcRFOutput(ViSession vi, ViBoolean rfOutput);
/* Select source calibration 0..the highest the instrument reports. */
KAVREL_API ViStatus kavrel_sourCal(ViSession vi, ViInt32 calibrationNumber);

/* ---- Channels and active measurement -------------------------------------- */

/* ---- Display ranges and limit lines --------------------------------------- */

/* ---- Markers --------------------------------------------------------------- */

/* ---- Application programs -------------------------------------------------- */

/* ---- Scalar measurement setup ---------------------------------------------- */

/* ---- Scalar memory and path calibration ------------------------------------ */

/* ---- Inputs and detectors -------------------------------------------------- */

/* ---- Power meter readout --------------------------------------------------- */

/* ---- Fault location -------------------------------------------------------- */

/* ---- Trace data and readings ----------------------------------------------- */
/* Number of sweep points and the scalar trace (at most 800 values); either may be VI_NULL. */
KAVREL_API ViStatus kavrel_scalReadData(ViSession vi, ViPInt32 numberOfPoints, ViReal64 traceValues[]);
/* Number of fault-location points and the trace (at most 1024 values); either may be VI_NULL. */
KAVREL_API ViStatus kavrel_flocReadData(ViSession vi, ViPInt32 numberOfPoints, ViReal64 traceValues[]);
/* One power-meter reading: current (0), held minimum (1) or held maximum (2). */
KAVREL_API ViStatus kavrel_routData(ViSession vi, ViInt32 readingKind, ViPReal64 reading);
/* Highest store number of a kind: sensor correction, calibration data, kit, scalar memory, source calibration, settings (0..5). */
KAVREL_API ViStatus kavrel_readMax(ViSession vi, ViInt32 storeKind, ViPInt32 count);

/* ---- Reflection measurement setup ------------------------------------------ */

/* ---- Time domain, gating and windowing ------------------------------------- */

/* ---- Reflection display and scaling ---------------------------------------- */

/* ---- Reflection data and memory -------------------------------------------- */

/* ---- Calibration procedure ------------------------------------------------- */
/* Choose kit and calibration type (0..4); coaxial types 0 and 1 also send the connector sex (VI_TRUE male). */
KAVREL_API ViStatus kavrel_reflConfigCal(ViSession vi, ViInt32 kitNumber, ViInt32 calibrationType, ViBoolean connectorSex);
/* Measure one standard (0..5); offset short VI_FALSE 1 / VI_TRUE 2 for "OSH", sliding load position 1..8 for "SLO". */
KAVREL_API ViStatus kavrel_reflCalMeas(ViSession vi, ViInt32 standard, ViBoolean offsetShort, ViInt32 slidingLoadPosition);
/* Zero (0), process into a store under a title of at most 20 characters (1), or restore a store (2). */
KAVREL_API ViStatus kavrel_reflPerformCal(ViSession vi, ViInt32 operation, ViInt32 storeNumber, ViString title);
/* Abandon the calibration in progress. */
KAVREL_API ViStatus kavrel_reflAbortCal(ViSession vi);
/* Switch the calibration's cable setting. */
KAVREL_API ViStatus kavrel_reflConfigCab(ViSession vi, ViBoolean cable);
/* Whether the calibration in use is valid; a VI_NULL validity asks nothing and succeeds. */
KAVREL_API ViStatus kavrel_reflCalVal(ViSession vi, ViPInt32 validity);

/* ---- Calibration kits ------------------------------------------------------ */
/* Select the kit that later definitions apply to (1..the instrument's kit count). */
KAVREL_API ViStatus kavrel_reflSelectKit(ViSession vi, ViInt32 kitNumber);
/* Connector (0..4) and identity (at most 20 characters) of the selected kit. */
KAVREL_API ViStatus kavrel_reflConfKit(ViSession vi, ViInt32 connector, ViString kitIdentity);
/* Serial number (at most 20 characters) of one standard (0..6); sex 1 male / 2 female is sent first, 0 none. */
KAVREL_API ViStatus kavrel_reflSetSerNumb(ViSession vi, ViInt32 kitStandard, ViInt32 connectorSex, ViString serialNumber);
/* Electrical model of a coaxial kit's short, open, fixed and sliding loads; sex as for kavrel_reflSetSerNumb. */
KAVREL_API ViStatus kavrel_reflConfCoaxial(ViSession vi, ViInt32 connectorSex, ViReal64 shortOffsetLength,
                                           ViReal64 openOffsetLength, ViReal64 openCoefficient0,
                                           ViReal64 openCoefficient1, ViReal64 openCoefficient2,
                                           ViReal64 openCoefficient3, ViReal64 fixedLoadOffsetLength,
                                           ViReal64 fixedLoadBfr, ViReal64 slidingLoadBfr);
/* Electrical model of a waveguide kit: cut-off, short, load, and one offset short (VI_FALSE first, VI_TRUE second). */
KAVREL_API ViStatus kavrel_reflConfWaveguide(ViSession vi, ViReal64 cutoffFrequency, ViReal64 shortOffsetLength,
                                             ViReal64 loadOffsetLength, ViBoolean offsetShort,
                                             ViReal64 offsetShortLength, ViReal64 minFrequency,
                                             ViReal64 maxFrequency);

/* ---- Stored-data transfer to and from files -------------------------------- */
/* Direction VI_TRUE copies the store into the file, VI_FALSE loads the file into the store; file names at most 128 characters. */
/* Scalar trace memory (1..the instrument's memory count). */
KAVREL_API ViStatus kavrel_scalTranData(ViSession vi, ViBoolean direction, ViInt32 memoryNumber, ViString fileName);
/* Scalar path calibration (1..4). */
KAVREL_API ViStatus kavrel_scalTranCal(ViSession vi, ViBoolean direction, ViInt32 storeNumber, ViString fileName);
/* Power-sensor correction store (1..the instrument's store count). */
KAVREL_API ViStatus kavrel_inpTranSen(ViSession vi, ViBoolean direction, ViInt32 storeNumber, ViString fileName);
/* The fault-location calibration. */
KAVREL_API ViStatus kavrel_flocTranCal(ViSession vi, ViBoolean direction, ViString fileName);
/* Reflection calibration store (1..the instrument's store count). */
KAVREL_API ViStatus kavrel_reflTranCal(ViSession vi, ViBoolean direction, ViInt32 storeNumber, ViString fileName);
/* Calibration kit (1..the instrument's kit count). */
KAVREL_API ViStatus kavrel_reflTranCalKit(ViSession vi, ViBoolean direction, ViInt32 kitNumber, ViString fileName);
/* Source calibration: read the "PPST" (0) or "FST" (1) table or user table n (2) into the file, or load user table n (3). */
KAVREL_API ViStatus kavrel_sourTranCal(ViSession vi, ViInt32 operation, ViInt32 tableNumber, ViString fileName);

#ifdef __cplusplus
}
#endif

#endif /* KAVREL_H */
