/**
 * @file kavrel.h
 * @brief kavrel: remote-control driver for the 4100-family microwave test sets.
 *
 * Every function takes the VISA session first and returns a ViStatus:
 * negative is an error, positive a warning, zero success.
 * Usable from C99 and C++; may be included before or after a vendor's
 * visa.h / visatype.h (same include guards, identical typedefs).
 *
 * A function checks its arguments in order and returns the parameter error of
 * the first one out of range before anything is sent (VI_ERROR_PARAMETER2 for
 * the second argument, and so on; VI_ERROR_INSTR_PARAMETER9 to 11 beyond the
 * eighth). Frequencies run from 10 MHz to the model's maximum (4100: 20 GHz,
 * 4101: 8 GHz, 4102: 2 GHz, 4103: 26.5 GHz, 4104: 26 GHz); source levels from
 * the lowest the options allow (-90 dBm with option bit 0x20, else -110 dBm
 * with bit 0x200, else -70 dBm) to 20 dBm. Each entry gives the command
 * templates a function sends: numbers as `<name:%f>` in C's notation (`%f+`:
 * six decimals, or more where the value needs them), one of several words
 * as `<A|B>`, free text as `<name>`.
 *
 * Status codes of the driver's own:
 * | Code | Meaning |
 * |---|---|
 * | VI_ERROR_PARAMETER1 .. VI_ERROR_PARAMETER8, VI_ERROR_INSTR_PARAMETER9 .. VI_ERROR_INSTR_PARAMETER11 | that argument is out of range; no setting was sent (a limit that depends on the instrument is asked for first) |
 * | VI_ERROR_FAIL_ID_QUERY | the instrument did not identify as a 4100-family set |
 * | VI_ERROR_INSTR_INTERPRETING_RESPONSE | a reply could not be read; outputs are untouched |
 * | VI_ERROR_INSTR_START_GT_STOP | a start value is above its stop value |
 * | VI_ERROR_INSTR_CENTER_SPAN_RANGE | centre and span reach outside the allowed range |
 * | VI_ERROR_INSTR_SAME_CHANNELS | the two inputs of a ratio are the same |
 * | VI_ERROR_INSTR_MIN_GT_MAX | a minimum is above its maximum |
 * | VI_ERROR_INSTR_SPECIFIC | the instrument flagged an error in its event status register |
 * | VI_ERROR_INSTR_FILE_OPEN, VI_ERROR_INSTR_FILE_WRITE | a host file could not be opened or written |
 * | VI_WARN_INSTR_SEARCH_NFOUND | a marker search found nothing |
 * | VI_ERROR_ALLOC, VI_ERROR_SYSTEM_ERROR | the driver had no memory for a command line or reply, or failed inside otherwise; the call ends there and no exception reaches the caller |
 *
 * Any other negative code is VISA's, passed on unchanged; kavrel_error_message()
 * describes every code.
 */
#ifndef KAVREL_H
#define KAVREL_H

#include "kavrel_visatype.h"

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
#ifndef VI_ERROR_SYSTEM_ERROR
#define VI_ERROR_SYSTEM_ERROR (_VI_ERROR + 0x3FFF0000L)
#endif
#ifndef VI_ERROR_LIBRARY_NFOUND
#define VI_ERROR_LIBRARY_NFOUND (_VI_ERROR + 0x3FFF009EL)
#endif

#if defined(_WIN32)
#define KAVREL_API /* kavrel.dll exports exactly these functions through its module definition */
#elif defined(__GNUC__)
#define KAVREL_API __attribute__((visibility("default")))
#else
#define KAVREL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Session lifecycle ---------------------------------------------------- */
/**
 * @brief Open a session to an instrument, optionally check its identification, then reset it or set it up.
 *
 * Opens VISA's default resource manager and the resource, sets a 10 s time-out and 4000-byte
 * buffers, and reads the model ("*IDN?") and the option word ("*OPT?") into the session's
 * record, which sets the frequency and level limits of every later call.
 * With resetDevice VI_TRUE, `*RST` follows the identification check.
 *
 * @param[in] resourceName ViRsrc: VISA resource name, e.g. TCPIP\::192.168.1.20\::hislip0\::INSTR or GPIB0\::7\::INSTR; not VI_NULL.
 * @param[in] idQuery ViBoolean: VI_TRUE first checks that "*IDN?" answers with a 4100-family identification.
 * @param[in] resetDevice ViBoolean: VI_TRUE sends "*RST" before the setup; VI_FALSE only runs the setup.
 * @param[out] vi ViPSession: the new session; VI_NULL after any failure past the open.
 * @scpi `*IDN?`
 * @reply `OVR,4101,100001,1.00`
 * @scpi `*IDN?`
 * @reply `OVR,4101,100001,1.00`
 * @scpi `*OPT?`
 * @reply `0`
 * @scpi `*ESR?`
 * @scpi `*ESR?`
 * @scpi `*CLS;*ESE 1;*SRE 32`
 * @return VI_SUCCESS or a warning; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 for a flag that is neither VI_FALSE nor VI_TRUE and VI_ERROR_PARAMETER1, VI_ERROR_PARAMETER4 for VI_NULL, before VISA is called; VI_ERROR_FAIL_ID_QUERY when the identification does not match; VI_ERROR_INSTR_INTERPRETING_RESPONSE for an unknown model or an option word that is not a number; VI_ERROR_INSTR_SPECIFIC when the setup's status check finds an error; a VISA error (VI_ERROR_LIBRARY_NFOUND without VISA). Every failure after the open closes what was opened.
 * @sample `ViSession vi; kavrel_init("GPIB0::7::INSTR", VI_TRUE, VI_FALSE, &vi);`
 */
KAVREL_API ViStatus kavrel_init(ViRsrc resourceName, ViBoolean idQuery, ViBoolean resetDevice, ViPSession vi);
/**
 * @brief Close the session and its resource manager and free the session's record.
 *
 * After the call the session handle is invalid.
 *
 * @vi
 * @return The status of closing the instrument session; a failure to read the session's attributes returns that status and closes nothing.
 * @sample `kavrel_close(vi);`
 */
KAVREL_API ViStatus kavrel_close(ViSession vi);
/**
 * @brief Reset the instrument ("*RST") and run the default setup again.
 *
 * The setup reads the model and option word anew, so the limits follow a changed instrument.
 *
 * @vi
 * @scpi `*RST`
 * @scpi `*IDN?`
 * @reply `OVR,4101,100001,1.00`
 * @scpi `*OPT?`
 * @reply `0`
 * @scpi `*ESR?`
 * @scpi `*ESR?`
 * @scpi `*CLS;*ESE 1;*SRE 32`
 * @return VI_SUCCESS; VI_ERROR_INSTR_INTERPRETING_RESPONSE for an unknown model or an option word that is not a number; VI_ERROR_INSTR_SPECIFIC when the setup's status check finds an error; a VISA error.
 * @sample `kavrel_reset(vi);`
 */
KAVREL_API ViStatus kavrel_reset(ViSession vi);
/**
 * @brief Read the instrument's option word, or one bit of it.
 * @vi
 * @param[in] selector ViInt32: 16 returns the whole word; any other n returns bit (n modulo 32) of it.
 * @param[out] options ViPInt32: the word, or the masked bit: 0 or the bit's value 2^n (not 1); not VI_NULL.
 * @scpi `*OPT?`
 * @reply `544`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER3 for a VI_NULL output, before any I/O; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the reply is not a number (no status check then); VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `ViInt32 options; kavrel_instrOptions(vi, 16, &options);`
 */
KAVREL_API ViStatus kavrel_instrOptions(ViSession vi, ViInt32 selector, ViPInt32 options);

/* ---- Status checks --------------------------------------------------------- */
/**
 * @brief Skip or restore the status check that ends every setting and query call.
 *
 * By default each call confirms its command by reading the instrument's event
 * status register ("*ESR?", twice), so a refused command returns
 * VI_ERROR_INSTR_SPECIFIC at once. With the check skipped a setting call costs
 * one write and returns as soon as its line is sent; refusals collect in the
 * register until kavrel_checkInstrStatus reads it. The setting belongs to the
 * session, survives kavrel_reset and is off when kavrel_init opens a session.
 * Nothing is sent to the instrument.
 *
 * @vi
 * @param[in] skip ViBoolean: VI_TRUE skips the check, VI_FALSE (the default) restores it.
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 when skip is neither VI_TRUE nor VI_FALSE; VI_ERROR_INV_OBJECT for a session kavrel_init did not set up.
 * @sample `kavrel_skipStatusCheck(vi, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_skipStatusCheck(ViSession vi, ViBoolean skip);
/**
 * @brief Check the instrument's status once, at the end of a sequence of calls.
 *
 * Reads the event status register twice whether or not the session skips the
 * per-call check; the register collects every error since it was last read, so
 * one check covers a whole sequence sent with the check skipped.
 *
 * @vi
 * @scpi `*ESR?`
 * @scpi `*ESR?`
 * @return VI_SUCCESS; VI_ERROR_INSTR_SPECIFIC when the instrument refused a command (kavrel_error_query then reads its error queue); VI_ERROR_INSTR_INTERPRETING_RESPONSE when a reply is not a number; a VISA error.
 * @sample `kavrel_checkInstrStatus(vi);`
 */
KAVREL_API ViStatus kavrel_checkInstrStatus(ViSession vi);

/* ---- Error reporting and direct I/O --------------------------------------- */
/**
 * @brief Describe a status code in words: VISA's text first, else the driver's own.
 *
 * No instrument I/O; works without VISA and with any session value.
 *
 * @param[in] vi ViSession: a session, or VI_NULL.
 * @param[in] statusCode ViStatus: any status code.
 * @param[out] message ViChar[256]: the text, at most 255 characters and the terminator; not VI_NULL.
 * @return VI_SUCCESS; VI_WARN_UNKNOWN_STATUS for a code neither VISA nor the driver knows (the text is then "Unknown Error 0x" and 8 hexadecimal digits); VI_ERROR_PARAMETER3 for a VI_NULL message.
 * @sample `ViChar text[256]; kavrel_error_message(vi, VI_ERROR_INSTR_START_GT_STOP, text);`
 */
KAVREL_API ViStatus kavrel_error_message(ViSession vi, ViStatus statusCode, ViChar message[]);
/**
 * @brief Read one entry of the instrument's error queue.
 * @vi
 * @param[out] errorCode ViPInt32: the instrument's error number (0: no error); not VI_NULL.
 * @param[out] errorMessage ViChar[256]: the error's text without its quotes, at most 255 characters; not VI_NULL.
 * @scpi `:SYST:ERR?`
 * @reply `-113,"Undefined header"`
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 for a VI_NULL output, before any I/O; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the reply does not begin with a number (outputs untouched); a VISA error. No status check.
 * @sample `ViInt32 code; ViChar text[256]; kavrel_error_query(vi, &code, text);`
 */
KAVREL_API ViStatus kavrel_error_query(ViSession vi, ViPInt32 errorCode, ViChar errorMessage[]);
/**
 * @brief The driver's revision and the instrument's firmware revision.
 * @vi
 * @param[out] driverRev ViChar[256]: the driver revision text; not VI_NULL.
 * @param[out] instrRev ViChar[256]: the fourth field of the "*IDN?" reply, up to its line feed; not VI_NULL.
 * @scpi `*IDN?`
 * @reply `OVR,4101,100001,2.07`
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 for a VI_NULL output, before any I/O; VI_ERROR_INSTR_INTERPRETING_RESPONSE for a reply without four fields; a VISA error. No status check.
 * @sample `ViChar driver[256], firmware[256]; kavrel_revision_query(vi, driver, firmware);`
 */
KAVREL_API ViStatus kavrel_revision_query(ViSession vi, ViChar driverRev[], ViChar instrRev[]);
/**
 * @brief Run the instrument's self-test.
 * @vi
 * @param[out] testResult ViPInt16: the instrument's result, 0 for passed; not VI_NULL.
 * @param[out] testMessage ViChar[256]: set empty; may be VI_NULL.
 * @scpi `*TST?`
 * @reply `0`
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 for a VI_NULL result, before any I/O; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the reply is not a number (outputs untouched); a VISA error. No status check.
 * @sample `ViInt16 result; ViChar text[256]; kavrel_self_test(vi, &result, text);`
 */
KAVREL_API ViStatus kavrel_self_test(ViSession vi, ViPInt16 testResult, ViChar testMessage[]);
/**
 * @brief Send text to the instrument unchanged, as one message.
 * @vi
 * @param[in] writeBuffer ViString: the text, sent as it stands (no terminator is added); not VI_NULL.
 * @scpi `<writeBuffer>`
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 for VI_NULL; a VISA error. No status check.
 * @sample `kavrel_writeInstrData(vi, ":SOUR:RF ON");`
 */
KAVREL_API ViStatus kavrel_writeInstrData(ViSession vi, ViString writeBuffer);
/**
 * @brief Read raw bytes from the instrument: one reply up to its end, or the given number of bytes.
 * @vi
 * @param[in] numberBytesToRead ViInt32: the most bytes to read, 0 to 2147483647.
 * @param[out] readBuffer ViChar[]: receives the bytes, not terminated; holds numberBytesToRead bytes; may be VI_NULL only when that is 0.
 * @param[out] numBytesRead ViPInt32: bytes read; may be VI_NULL.
 * @reply `-12.34`
 * @return VI_SUCCESS; VI_SUCCESS_MAX_CNT when more bytes follow; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before any I/O; a VISA error.
 * @sample `ViChar data[64]; ViInt32 count; kavrel_readInstrData(vi, 64, data, &count);`
 */
KAVREL_API ViStatus kavrel_readInstrData(ViSession vi, ViInt32 numberBytesToRead, ViChar readBuffer[], ViPInt32 numBytesRead);

/* ---- Source: modes and sweeps --------------------------------------------- */
/**
 * @brief Continuous wave at one frequency and level.
 * @vi
 * @param[in] frequency ViReal64, Hz: 10 MHz to @fmax.
 * @param[in] level ViReal64, dBm: @lmin to 20.
 * @scpi `:SOUR:MODE CW;:SOUR:FREQ <frequency:%f>;POW:LEV <level:%.2f>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_srcContWave(vi, 1e9, -10.0);`
 */
KAVREL_API ViStatus kavrel_srcContWave(ViSession vi, ViReal64 frequency, ViReal64 level);
/**
 * @brief Frequency sweep given as start and stop or as centre and span, at one level.
 * @vi
 * @param[in] representation ViBoolean: VI_TRUE start/stop, VI_FALSE centre/span; checked first.
 * @param[in] startOrCenter ViReal64, Hz: start or centre, 10 MHz to @fmax.
 * @param[in] stopOrSpan ViReal64, Hz: stop or span, 10 MHz to the model's maximum. Start must not exceed stop; centre +- span/2 must stay within 10 MHz and the maximum.
 * @param[in] level ViReal64, dBm: @lmin to 20.
 * @scpi `:SOUR:MODE FREQ;:SOUR:FREQ:<STAR|CENT> <startOrCenter:%f>;<STOP|SPAN> <stopOrSpan:%f>;:SOUR:POW:LEV <level:%.2f>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER5, VI_ERROR_INSTR_START_GT_STOP, VI_ERROR_INSTR_CENTER_SPAN_RANGE before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_srcFreqSweep(vi, VI_TRUE, 2e9, 6e9, 0.0);`
 */
KAVREL_API ViStatus kavrel_srcFreqSweep(ViSession vi, ViBoolean representation, ViReal64 startOrCenter, ViReal64 stopOrSpan, ViReal64 level);
/**
 * @brief Power sweep between two levels at one frequency.
 * @vi
 * @param[in] startLevel ViReal64, dBm: @lmin to 20.
 * @param[in] stopLevel ViReal64, dBm: the same range, not below startLevel.
 * @param[in] frequency ViReal64, Hz: 10 MHz to @fmax.
 * @scpi `:SOUR:MODE POW;:SOUR:POW:STAR <startLevel:%.2f>;STOP <stopLevel:%.2f>;:SOUR:FREQ <frequency:%f>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3, VI_ERROR_INSTR_START_GT_STOP, VI_ERROR_PARAMETER4 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_srcPowSweep(vi, -20.0, 5.0, 3e9);`
 */
KAVREL_API ViStatus kavrel_srcPowSweep(ViSession vi, ViReal64 startLevel, ViReal64 stopLevel, ViReal64 frequency);
/**
 * @brief DC voltage sweep.
 * @vi
 * @param[in] startVoltage ViReal64, V: -15 to 15.
 * @param[in] stopVoltage ViReal64, V: -15 to 15, not below startVoltage.
 * @scpi `:SOUR:MODE VOLT;:SOUR:VIO:VOLT:STAR <startVoltage:%.3f>;STOP <stopVoltage:%.3f>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3, VI_ERROR_INSTR_START_GT_STOP before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_srcVoltSweep(vi, -5.0, 5.0);`
 */
KAVREL_API ViStatus kavrel_srcVoltSweep(ViSession vi, ViReal64 startVoltage, ViReal64 stopVoltage);
/**
 * @brief DC current sweep.
 * @vi
 * @param[in] startCurrent ViReal64, A: -0.15 to 0.15.
 * @param[in] stopCurrent ViReal64, A: -0.15 to 0.15, not below startCurrent.
 * @scpi `:SOUR:MODE CURR;:SOUR:VIO:CURR:STAR <startCurrent:%.3f>;STOP <stopCurrent:%.3f>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3, VI_ERROR_INSTR_START_GT_STOP before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_srcCurrSweep(vi, 0.0, 0.1);`
 */
KAVREL_API ViStatus kavrel_srcCurrSweep(ViSession vi, ViReal64 startCurrent, ViReal64 stopCurrent);
/**
 * @brief List frequency sweep through the loaded segments (kavrel_srcCreateLinList()), at one level.
 * @vi
 * @param[in] level ViReal64, dBm: @lmin to 20.
 * @scpi `:SOUR:MODE LIST;:SOUR:POW:LEV <level:%.2f>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_srcLinListFreqSweep(vi, 0.0);`
 */
KAVREL_API ViStatus kavrel_srcLinListFreqSweep(ViSession vi, ViReal64 level);
/**
 * @brief Replace the list-sweep segments.
 *
 * The segment values are the instrument's to judge; the whole list goes out as one line.
 *
 * @vi
 * @param[in] segmentStart ViReal64[], Hz: each segment's start; segmentCount values.
 * @param[in] segmentStop ViReal64[], Hz: each segment's stop.
 * @param[in] segmentPoints ViInt32[]: each segment's number of points.
 * @param[in] segmentCount ViInt32: 1 to 12 segments; checked first and reported as VI_ERROR_PARAMETER2.
 * @scpi `:SOUR:LLIS:RES;SEGM <start:%f>, <stop:%f>, <points:%d><;SEGM ... for each further segment>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 for a bad count or a VI_NULL start array, VI_ERROR_PARAMETER3, VI_ERROR_PARAMETER4 for a VI_NULL array, before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `ViReal64 start[] = {1e9, 3e9}, stop[] = {2e9, 4e9}; ViInt32 points[] = {101, 51}; kavrel_srcCreateLinList(vi, start, stop, points, 2);`
 */
KAVREL_API ViStatus kavrel_srcCreateLinList(ViSession vi, ViReal64 segmentStart[], ViReal64 segmentStop[], ViInt32 segmentPoints[], ViInt32 segmentCount);
/**
 * @brief Waveguide sweep between two frequencies with the guide's cut-off frequency, at one level.
 * @vi
 * @param[in] startFrequency ViReal64, Hz: 10 MHz to @fmax.
 * @param[in] stopFrequency ViReal64, Hz: the same range, not below startFrequency.
 * @param[in] cutoffFrequency ViReal64, Hz: 0 to startFrequency.
 * @param[in] level ViReal64, dBm: @lmin to 20.
 * @scpi `:SOUR:MODE WAV;:SOUR:FREQ:STAR <startFrequency:%f>;STOP <stopFrequency:%f>;:REFL:WGC <cutoffFrequency:%f>;:SOUR:POW:LEV <level:%.2f>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3, VI_ERROR_INSTR_START_GT_STOP, VI_ERROR_PARAMETER4, VI_ERROR_PARAMETER5 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_srcWaveGuideSweep(vi, 2e9, 4e9, 1.5e9, -3.0);`
 */
KAVREL_API ViStatus kavrel_srcWaveGuideSweep(ViSession vi, ViReal64 startFrequency, ViReal64 stopFrequency, ViReal64 cutoffFrequency, ViReal64 level);
/**
 * @brief Low-pass sweep up to a stop frequency, at one level.
 * @vi
 * @param[in] stopFrequency ViReal64, Hz: 10 MHz to @fmax.
 * @param[in] level ViReal64, dBm: @lmin to 20.
 * @scpi `:SOUR:MODE LOWP;:SOUR:FREQ:STOP <stopFrequency:%f>;:SOUR:POW:LEV <level:%.2f>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_srcLowPassSweep(vi, 6e9, 0.0);`
 */
KAVREL_API ViStatus kavrel_srcLowPassSweep(ViSession vi, ViReal64 stopFrequency, ViReal64 level);

/* ---- Source: configuration and outputs ------------------------------------ */
/**
 * @brief Sweep points and sweep time.
 * @vi
 * @param[in] numberOfPoints ViInt32: 2 to 800.
 * @param[in] sweepTime ViReal64, s: 0.04 to 500; strictly within 1e-6 of zero selects the automatic sweep time.
 * @scpi `:SOUR:SWE:POIN <numberOfPoints:%d>`
 * @scpi `:SOUR:SWE:AUTO OFF;TIME <sweepTime:%.2f>`
 * With the automatic time the second line is `:SOUR:SWE:AUTO ON`. One status check covers both lines.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_srcSweepConfig(vi, 401, 0.5);`
 */
KAVREL_API ViStatus kavrel_srcSweepConfig(ViSession vi, ViInt32 numberOfPoints, ViReal64 sweepTime);
/**
 * @brief Levelling and frequency standard.
 * @vi
 * @param[in] levelling ViInt32: 0 "INT", 1 "POS", 2 "NEG", 3 "PMET".
 * @param[in] frequencyStandard ViInt32: 0 "INT", 1 "EX1", 2 "EX10".
 * @scpi `:SOUR:LEV <INT|POS|NEG|PMET>;:SOUR:FREQ:STAN <INT|EX1|EX10>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_srcLevFreqStd(vi, 0, 2);`
 */
KAVREL_API ViStatus kavrel_srcLevFreqStd(ViSession vi, ViInt32 levelling, ViInt32 frequencyStandard);
/**
 * @brief RF blanking off or on.
 * @vi
 * @param[in] blanking ViBoolean: VI_TRUE on.
 * @scpi `:SOUR:BLAN <OFF|ON>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_srcRFBlanking(vi, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_srcRFBlanking(ViSession vi, ViBoolean blanking);
/**
 * @brief Internal or external source, or the plain source mode.
 *
 * Asks the instrument's mode first and changes the mode only when needed: selections 0 and 1 leave
 * the plain source mode (":SYST:MODE MTS;") if the reply holds "SOUR"; selection 2 sends ":SYST:MODE SOUR;"
 * unless the instrument is in that mode already (then the message is empty).
 *
 * @vi
 * @param[in] selection ViInt32: 0 internal ("INT"), 1 external ("EXT"), 2 the plain source mode.
 * @scpi `:SYST:MODE?`
 * @reply `MTS`
 * @scpi `<:SYST:MODE MTS;|>:SOUR:SEL <INT|EXT>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_srcSelect(vi, 1);`
 */
KAVREL_API ViStatus kavrel_srcSelect(ViSession vi, ViInt32 selection);
/**
 * @brief DC output mode, with its constant voltage or current.
 * @vi
 * @param[in] outputMode ViInt32: 0 1.0 V/GHz ("VGHZ", "VPGS 1.0"), 1 0.5 V/GHz, 2 constant voltage ("CVOL"), 3 constant current ("CCUR"), 4 voltage ramp ("VRAM"), 5 "CREC".
 * @param[in] value ViReal64: mode 2 a voltage, V, -15 to 15; mode 3 a current, A, -0.15 to 0.15; other modes ignore it.
 * @scpi `:SOUR:VIO:MODE CVOL;:SOUR:VIO:VOLT:CONS <value:%.3f>`
 * The other modes send `:SOUR:VIO:MODE VGHZ;:SOUR:VIO:VPGS <1.0|0.5>`, `:SOUR:VIO:MODE CCUR;:SOUR:VIO:CURR:CONS <value:%.3f>`, `:SOUR:VIO:MODE <VRAM|CREC>`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_srcVIOutput(vi, 2, 5.0);`
 */
KAVREL_API ViStatus kavrel_srcVIOutput(ViSession vi, ViInt32 outputMode, ViReal64 value);
/**
 * @brief CW filter and source bandwidth.
 * @vi
 * @param[in] cwFilter ViInt32: 0 "OFF", 1 "ON", 2 "AUTO".
 * @param[in] sourceBandwidth ViInt32: 0 "LOW", 1 "HIGH", 2 "AUTO".
 * @scpi `:SOUR:CWF <OFF|ON|AUTO>;:SOUR:SBAN <LOW|HIGH|AUTO>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_srcFilterAndBW(vi, 2, 2);`
 */
KAVREL_API ViStatus kavrel_srcFilterAndBW(ViSession vi, ViInt32 cwFilter, ViInt32 sourceBandwidth);
/**
 * @brief RF output off or on.
 * @vi
 * @param[in] rfOutput ViBoolean: VI_TRUE on.
 * @scpi `:SOUR:RF <OFF|ON>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_srcRFOutput(vi, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_srcRFOutput(ViSession vi, ViBoolean rfOutput);
/**
 * @brief Select a source calibration.
 *
 * Asks the instrument for its highest calibration number first.
 *
 * @vi
 * @param[in] calibrationNumber ViInt32: 0 to the number the instrument reports.
 * @scpi `:SOUR:CAL:MAX?`
 * @reply `4`
 * @scpi `:SOUR:CAL:SEL <calibrationNumber:%d>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 for a number out of range (after the query, before the command); VI_ERROR_INSTR_INTERPRETING_RESPONSE when the reply is not a number; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_sourCal(vi, 2);`
 */
KAVREL_API ViStatus kavrel_sourCal(ViSession vi, ViInt32 calibrationNumber);

/* ---- Channels and active measurement -------------------------------------- */
/**
 * @brief Set a channel's measurement mode.
 * @param vi Session from kavrel_init().
 * @param[in] channel ViBoolean: VI_FALSE channel 1, VI_TRUE channel 2.
 * @param[in] mode ViInt32: 0 scalar ("SCAL"), 1 power-meter readout ("READ"), 2 fault location ("FLOC"), 3 reflection ("REFL").
 * @scpi `:CHAN:ACT <1|2>;MODE <SCAL|READ|FLOC|REFL>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_chanMode(vi, VI_FALSE, 0);`
 */
KAVREL_API ViStatus kavrel_chanMode(ViSession vi, ViBoolean channel, ViInt32 mode);
/**
 * @brief Couple the two channels or not.
 * @vi
 * @param[in] coupling ViBoolean: VI_TRUE coupled.
 * @scpi `:CHAN:COUP <OFF|ON>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_chanCoupling(vi, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_chanCoupling(ViSession vi, ViBoolean coupling);
/**
 * @brief Show both channels or one.
 * @vi
 * @param[in] dualDisplay ViBoolean: VI_TRUE both channels, VI_FALSE one.
 * @scpi `:CHAN:NCH <1|2>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_dualChanDisp(vi, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_dualChanDisp(ViSession vi, ViBoolean dualDisplay);
/**
 * @brief The measurements shown in a channel and the active one.
 * @param vi Session from kavrel_init().
 * @param[in] channel ViBoolean: VI_FALSE channel 1, VI_TRUE channel 2.
 * @param[in] selection ViInt32: 0 one measurement with 1 active, 1 one with 2 active, 2 both with 1 active.
 * @scpi `:CHAN:ACT <1|2>;:MEAS:NME <1|2>;ACT <1|2>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_meas12OnOff(vi, VI_TRUE, 2);`
 */
KAVREL_API ViStatus kavrel_meas12OnOff(ViSession vi, ViBoolean channel, ViInt32 selection);
/**
 * @brief Make a channel and measurement active.
 *
 * Returns the write's status: no status check follows.
 *
 * @vi
 * @chan
 * @meas
 * @selects
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; a VISA error.
 * @sample `kavrel_dispSetActMeas(vi, VI_FALSE, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_dispSetActMeas(ViSession vi, ViBoolean channel, ViBoolean measurement);

/* ---- Display ranges and limit lines --------------------------------------- */
/**
 * @brief Displayed x-axis range of the active channel, as start and stop or centre and span.
 *
 * Asks the channel's mode first; the limits follow it: scalar 10 MHz to @fmax; fault location 0 to 100;
 * any other mode any finite value. Start must not exceed stop; centre +- span/2 must stay within the limits.
 *
 * @vi
 * @param[in] startStop ViBoolean: VI_TRUE start/stop, VI_FALSE centre/span; checked first.
 * @param[in] startOrCenter ViReal64: start or centre, in the axis unit of the mode (Hz for scalar).
 * @param[in] stopOrSpan ViReal64: stop or span.
 * @scpi `:CHAN:MODE?`
 * @reply `SCAL`
 * @scpi `:MEAS:DISP:<START|CENT> <startOrCenter:%f>;<STOP|SPAN> <stopOrSpan:%f>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, then after the mode query VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3, VI_ERROR_INSTR_START_GT_STOP, VI_ERROR_INSTR_CENTER_SPAN_RANGE before the command; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_measDispRange(vi, VI_TRUE, 2e9, 4e9);`
 */
KAVREL_API ViStatus kavrel_measDispRange(ViSession vi, ViBoolean startStop, ViReal64 startOrCenter, ViReal64 stopOrSpan);
/**
 * @brief Switch limit checking on with one of the limit lines, or off.
 * @vi
 * @chan
 * @meas
 * @param[in] limitCheck ViBoolean: VI_TRUE on.
 * @param[in] limitLine ViInt32: 1 to 4; checked also when off.
 * @selects
 * @scpi `:MEAS:LIM:SEL <limitLine:%d>;STAT ON`
 * Off sends `:MEAS:LIM:STAT OFF`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER5 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_measLimCheck(vi, VI_FALSE, VI_FALSE, VI_TRUE, 2);`
 */
KAVREL_API ViStatus kavrel_measLimCheck(ViSession vi, ViBoolean channel, ViBoolean measurement, ViBoolean limitCheck, ViInt32 limitLine);
/**
 * @brief Replace the limit specification by 1 to 12 segments.
 *
 * Each segment goes out with its fields in the order 1 to 7: field1, field2, the type, field4, field5, field6, field7.
 *
 * @vi
 * @param[in] field1 const ViReal64[]: field 1 of each segment; segmentCount finite values.
 * @param[in] segmentType const ViInt32[]: each segment's type: 0 "FLAT", 1 "SLOP", 2 "POIN".
 * @param[in] field5 const ViReal64[]: field 5 of each segment, finite.
 * @param[in] field4 const ViReal64[]: field 4 of each segment, finite.
 * @param[in] field2 const ViReal64[]: field 2 of each segment, finite.
 * @param[in] field6 const ViReal64[]: field 6 of each segment, finite.
 * @param[in] field7 const ViReal64[]: field 7 of each segment, finite.
 * @param[in] segmentCount ViInt32: 1 to 12; checked first and reported as VI_ERROR_PARAMETER2.
 * @scpi `:MEAS:LIM:RES;SEGM <field1:%f>, <field2:%f>, <FLAT|SLOP|POIN>, <field4:%f>, <field5:%f>, <field6:%f>, <field7:%f><;SEGM ... for each further segment>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 for a bad count, then VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER8 for an array that is VI_NULL or holds a value that is not finite (or an unknown type), before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `ViReal64 f1[] = {1e9}, f5[] = {-3.0}, f4[] = {-10.0}, f2[] = {2e9}, f6[] = {0.0}, f7[] = {0.0}; ViInt32 type[] = {0}; kavrel_measCreateLimSpec(vi, f1, type, f5, f4, f2, f6, f7, 1);`
 */
KAVREL_API ViStatus kavrel_measCreateLimSpec(ViSession vi, const ViReal64 field1[], const ViInt32 segmentType[], const ViReal64 field5[], const ViReal64 field4[], const ViReal64 field2[], const ViReal64 field6[], const ViReal64 field7[], ViInt32 segmentCount);
/**
 * @brief Display frequency mode of a channel: a user offset and scale, a user power offset, or a fixed mode.
 * @param vi Session from kavrel_init().
 * @param[in] channel ViBoolean: VI_FALSE channel 1, VI_TRUE channel 2.
 * @param[in] frequencyMode ViInt32: 0 user frequency offset and scale, 1 user power offset, 2 mode 5831, 3 mode 5832.
 * @param[in] frequencyOffset ViReal64, Hz: -200 GHz to 200 GHz (mode 0; checked in every mode).
 * @param[in] frequencyScale ViReal64: 0.01 to 30 (mode 0; checked in every mode).
 * @param[in] powerOffset ViReal64, dB: -99.99 to 99.99 (mode 1; checked in every mode).
 * @scpi `:CHAN:ACT <1|2>;:SYST:DISP:FMOD USER;FOFF <frequencyOffset:%f>;FSC <frequencyScale:%f>`
 * Mode 1 sends `:CHAN:ACT <1|2>;:SYST:DISP:FMOD USER;POFF <powerOffset:%f>`, modes 2 and 3 `:CHAN:ACT <1|2>;:SYST:DISP:FMOD <5831|5832>`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER6 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_dispDomScaleOffset(vi, VI_FALSE, 0, 1e9, 2.0, 0.0);`
 */
KAVREL_API ViStatus kavrel_dispDomScaleOffset(ViSession vi, ViBoolean channel, ViInt32 frequencyMode, ViReal64 frequencyOffset, ViReal64 frequencyScale, ViReal64 powerOffset);

/* ---- Markers --------------------------------------------------------------- */
/**
 * @brief Switch the active marker off, or on as one of the eight markers.
 * @vi
 * @param[in] markerNumber ViInt32: 1 to 8; checked also when off.
 * @param[in] state ViBoolean: VI_TRUE on.
 * @scpi `:MARK:ACT ON;ACT:ASS <markerNumber:%d>`
 * Off sends `:MARK:ACT OFF`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_markSetActive(vi, 3, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_markSetActive(ViSession vi, ViInt32 markerNumber, ViBoolean state);
/**
 * @brief Switch a marker off, or on at a position.
 * @vi
 * @param[in] markerNumber ViInt32: 1 to 8.
 * @param[in] position ViReal64: x position in the axis unit (Hz for a frequency axis); any finite number, checked also when off.
 * @param[in] state ViBoolean: VI_TRUE on.
 * @scpi `:MARK <markerNumber:%d>,ON;:MARK:POS <markerNumber:%d>,<position:%f>`
 * Off sends `:MARK <markerNumber:%d>,OFF`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_markConfig(vi, 1, 3e9, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_markConfig(ViSession vi, ViInt32 markerNumber, ViReal64 position, ViBoolean state);
/**
 * @brief Switch the delta marker off, or on at a position.
 * @vi
 * @param[in] position ViReal64: x position, any finite number; checked also when off.
 * @param[in] state ViBoolean: VI_TRUE on; an invalid value is also reported as VI_ERROR_PARAMETER2.
 * @scpi `:MARK:DELT:STAT ON;POS <position:%f>`
 * Off sends `:MARK:DELT:STAT OFF`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_markDelta(vi, 2.5e9, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_markDelta(ViSession vi, ViReal64 position, ViBoolean state);
/**
 * @brief Marker tracking function.
 * @vi
 * @param[in] trackingFunction ViInt32: 0 off, 1 minimum, 2 maximum, 3 peak-to-peak, 4 bandwidth.
 * @scpi `:MARK:TRAC <OFF|MIN|MAX|PKPK|BAND>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_markTracking(vi, 2);`
 */
KAVREL_API ViStatus kavrel_markTracking(ViSession vi, ViInt32 trackingFunction);
/**
 * @brief Marker slope function.
 * @vi
 * @param[in] slopeFunction ViInt32: 0 off, 1 dB per octave ("DBO"), 2 dB per decade ("DBD").
 * @scpi `:MARK:SLOP <OFF|DBO|DBD>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_markSlope(vi, 1);`
 */
KAVREL_API ViStatus kavrel_markSlope(ViSession vi, ViInt32 slopeFunction);
/**
 * @brief Bandwidth function: target level, CFDF display and reference.
 * @vi
 * @param[in] targetLevel ViReal64, dB: -99.99 to 99.99.
 * @param[in] cfdf ViBoolean: VI_TRUE shows centre frequency and delta frequency.
 * @param[in] reference ViBoolean: VI_FALSE from the active marker ("ACT"), VI_TRUE from the maximum ("MAXM").
 * @scpi `:MARK:BAND:TARG <targetLevel:%f>;CFDF <OFF|ON>;FROM <ACT|MAXM>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_markBandwidth(vi, -3.0, VI_TRUE, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_markBandwidth(ViSession vi, ViReal64 targetLevel, ViBoolean cfdf, ViBoolean reference);
/**
 * @brief Peak-to-peak limit and its state.
 * @vi
 * @param[in] pkPkLimit ViReal64, dB: 0 to 99.99.
 * @param[in] limitState ViBoolean: VI_TRUE on.
 * @scpi `:MARK:PKPK:LIM:VAL <pkPkLimit:%f>;STAT <OFF|ON>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_markPkPk(vi, 1.5, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_markPkPk(ViSession vi, ViReal64 pkPkLimit, ViBoolean limitState);
/**
 * @brief Couple the markers of the two channels or not.
 * @vi
 * @param[in] coupling ViBoolean: VI_TRUE coupled.
 * @scpi `:MARK:COUP <OFF|ON>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_markCoup(vi, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_markCoup(ViSession vi, ViBoolean coupling);
/**
 * @brief Target value of the directional searches (kavrel_markSearchFunction() 4 and 5).
 * @vi
 * @param[in] searchTarget ViReal64: in the display unit; any finite number.
 * @scpi `:MARK:SEAR:TARG <searchTarget:%f>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_markSearchValue(vi, -6.0);`
 */
KAVREL_API ViStatus kavrel_markSearchValue(ViSession vi, ViReal64 searchTarget);
/**
 * @brief Move the active marker by a search.
 *
 * Searches 4 and 5 are queries: the instrument answers 1 when it found the target.
 *
 * @vi
 * @param[in] searchFunction ViInt32: 0 maximum, 1 minimum, 2 left peak ("LPE"), 3 right peak ("RPE"), 4 the target to the left, 5 the target to the right.
 * @scpi `:MARK:SEAR:DIR <LEFT|RIGH>;RES?`
 * @reply `1`
 * Searches 0 to 3 send `:MARK:<MAX|MIN|LPE|RPE>`.
 * @statuscheck
 * @return VI_SUCCESS; VI_WARN_INSTR_SEARCH_NFOUND when a directional search answers other than 1 (no status check then); VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the answer is not a number; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_markSearchFunction(vi, 5);`
 */
KAVREL_API ViStatus kavrel_markSearchFunction(ViSession vi, ViInt32 searchFunction);
/**
 * @brief Peak-to-peak result: whether it was found, and its value.
 * @vi
 * @param[out] found ViPInt32: 1 found, else not found; may be VI_NULL.
 * @param[out] pkPkValue ViPReal64, dB: the peak-to-peak value; may be VI_NULL.
 * @scpi `:MARK:PKPK?`
 * @reply `1,2.35`
 * @statuscheck
 * @return VI_SUCCESS; VI_WARN_INSTR_SEARCH_NFOUND when the flag is not 1 (no status check then); VI_ERROR_INSTR_INTERPRETING_RESPONSE for a reply that is not a number, a comma and a number (outputs untouched); VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `ViInt32 found; ViReal64 value; kavrel_markSearchPkPk(vi, &found, &value);`
 */
KAVREL_API ViStatus kavrel_markSearchPkPk(ViSession vi, ViPInt32 found, ViPReal64 pkPkValue);
/**
 * @brief Bandwidth result: its three values.
 * @vi
 * @param[out] value1 ViPReal64: the first value (with CFDF the centre frequency, Hz); may be VI_NULL.
 * @param[out] value2 ViPReal64: the second value; may be VI_NULL.
 * @param[out] value3 ViPReal64: the third value; may be VI_NULL.
 * @scpi `:MARK:BAND?`
 * @reply `3000000000.0,150000000.0,20.0`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_INSTR_INTERPRETING_RESPONSE unless the reply holds three comma-separated numbers (outputs untouched); VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `ViReal64 a, b, c; kavrel_markSearchBandwidth(vi, &a, &b, &c);`
 */
KAVREL_API ViStatus kavrel_markSearchBandwidth(ViSession vi, ViPReal64 value1, ViPReal64 value2, ViPReal64 value3);
/**
 * @brief The active marker's position and its one or two readings.
 *
 * The position query is sent only when position is not VI_NULL, the readings query only when a reading is asked for.
 *
 * @vi
 * @param[out] position ViPReal64: x position; may be VI_NULL.
 * @param[out] reading1 ViPReal64: the first reading; may be VI_NULL.
 * @param[out] reading2 ViPReal64: the second reading, 0.0 when the measurement shows one; may be VI_NULL.
 * @scpi `:MARK:ACT:POS?`
 * @reply `3000000000.0`
 * @scpi `:MARK:ACT:DATA?`
 * @reply `-3.25,1.02`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_INSTR_INTERPRETING_RESPONSE for a reply that holds no number; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `ViReal64 x, r1, r2; kavrel_readActMarker(vi, &x, &r1, &r2);`
 */
KAVREL_API ViStatus kavrel_readActMarker(ViSession vi, ViPReal64 position, ViPReal64 reading1, ViPReal64 reading2);

/* ---- Application programs -------------------------------------------------- */
/**
 * @brief Load one of the instrument's application programs by name.
 *
 * Returns the write's status: no status check follows.
 *
 * @vi
 * @param[in] applicationName ViString: the program's name, sent between double quotes; not VI_NULL.
 * @scpi `:SYST:APPL:LOAD "<applicationName>"`
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 for VI_NULL; a VISA error.
 * @sample `kavrel_appLoad(vi, "SWR");`
 */
KAVREL_API ViStatus kavrel_appLoad(ViSession vi, ViString applicationName);
/**
 * @brief Run the loaded application program.
 *
 * Returns the write's status: no status check follows.
 *
 * @vi
 * @param[in] runNumber ViInt32: 1 or 2.
 * @scpi `:SYST:APPL:RUN <runNumber:%d>`
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; a VISA error.
 * @sample `kavrel_appRun(vi, 1);`
 */
KAVREL_API ViStatus kavrel_appRun(ViSession vi, ViInt32 runNumber);
/**
 * @brief Set a parameter of the loaded application program.
 *
 * Returns the write's status: no status check follows.
 *
 * @vi
 * @param[in] parameterNumber ViInt32: 1 to 6.
 * @param[in] value ViReal64: parameter 1 and 4 -99.99 to 99.99; 2 0 to 1; 3 -20 to 99.99; 5 and 6 exactly 0 or 1.
 * @scpi `:SYST:APPL:PAR <parameterNumber:%d>, <value:%f>`
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; a VISA error.
 * @sample `kavrel_appParam(vi, 3, 12.5);`
 */
KAVREL_API ViStatus kavrel_appParam(ViSession vi, ViInt32 parameterNumber, ViReal64 value);
/**
 * @brief Read a parameter of the loaded application program.
 *
 * Returns the read's status: no status check follows.
 *
 * @vi
 * @param[in] parameterNumber ViInt32: 1 to 6, or 8 (read only).
 * @param[out] value ViPReal64: the parameter's value; may be VI_NULL.
 * @scpi `:SYST:APPL:PAR? <parameterNumber:%d>`
 * @reply `12.5`
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the reply is not a number (value untouched); a VISA error.
 * @sample `ViReal64 value; kavrel_appParamQuery(vi, 8, &value);`
 */
KAVREL_API ViStatus kavrel_appParamQuery(ViSession vi, ViInt32 parameterNumber, ViPReal64 value);
/**
 * @brief Swept scalar power on channel 1 in one call: set up, wait for the sweep, read the trace.
 *
 * Runs kavrel_dualChanDisp(), kavrel_dispSetActMeas(), kavrel_chanMode() (scalar), kavrel_scalPower(),
 * kavrel_srcFreqSweep() (start/stop), kavrel_srcSweepConfig(), kavrel_srcRFOutput() and
 * kavrel_scalScaling() (continuous auto-scale), each with its own status check, then waits for the
 * sweep time (or nothing with automatic timing) plus 2 s and reads the trace with kavrel_scalReadData().
 * The first failing step's status is returned.
 *
 * @vi
 * @param[in] input ViInt32: detector input 0 to 3 ("A" to "D").
 * @param[in] startFrequency ViReal64, Hz: 10 MHz to @fmax.
 * @param[in] stopFrequency ViReal64, Hz: 10 MHz to the model's maximum, not below startFrequency.
 * @param[in] level ViReal64, dBm: @lmin to 20.
 * @param[in] sweepPoints ViInt32: 2 to 800.
 * @param[in] autoSweepTime ViBoolean: VI_TRUE automatic sweep time.
 * @param[in] sweepTime ViReal64, s: 0.04 to 500; checked also with automatic timing.
 * @param[in] rfOutput ViBoolean: VI_TRUE RF output on.
 * @param[out] numberOfPoints ViPInt32: the sweep's points; may be VI_NULL.
 * @param[out] traceValues ViReal64[]: the trace, at least sweepPoints values; not VI_NULL.
 * @scpi `:CHAN:NCH 1`
 * @scpi `*ESR?`
 * @scpi `*ESR?`
 * @selects
 * @scpi `:CHAN:ACT 1;MODE SCAL`
 * @scpi `*ESR?`
 * @scpi `*ESR?`
 * @selects
 * @scpi `:SCAL:MEAS:POW <A|B|C|D>`
 * @scpi `*ESR?`
 * @scpi `*ESR?`
 * @scpi `:SOUR:MODE FREQ;:SOUR:FREQ:STAR <startFrequency:%f>;STOP <stopFrequency:%f>;:SOUR:POW:LEV <level:%.2f>`
 * @scpi `*ESR?`
 * @scpi `*ESR?`
 * @scpi `:SOUR:SWE:POIN <sweepPoints:%d>`
 * @scpi `:SOUR:SWE:AUTO ON`
 * @scpi `*ESR?`
 * @scpi `*ESR?`
 * @scpi `:SOUR:RF <OFF|ON>`
 * @scpi `*ESR?`
 * @scpi `*ESR?`
 * @selects
 * @scpi `:SCAL:SCAL:AUTO CONT`
 * @scpi `*ESR?`
 * @scpi `*ESR?`
 * @scpi `:SOUR:SWE:POIN?`
 * @reply `3`
 * @scpi `:SCAL:DATA:BIN?`
 * @replyblock `-1.5 -2.25 -3.0`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER8, VI_ERROR_INSTR_PARAMETER9, VI_ERROR_INSTR_PARAMETER11 before anything is sent; otherwise the status of the first step that fails.
 * @sample `ViInt32 points; ViReal64 trace[800]; kavrel_appExample(vi, 1, 2e9, 6e9, 0.0, 3, VI_TRUE, 0.04, VI_TRUE, &points, trace);`
 */
KAVREL_API ViStatus kavrel_appExample(ViSession vi, ViInt32 input, ViReal64 startFrequency, ViReal64 stopFrequency,
                                      ViReal64 level, ViInt32 sweepPoints, ViBoolean autoSweepTime, ViReal64 sweepTime,
                                      ViBoolean rfOutput, ViPInt32 numberOfPoints, ViReal64 traceValues[]);

/* ---- Scalar measurement setup ---------------------------------------------- */
/**
 * @brief Scalar measurement of the power at one detector input.
 * @vi
 * @chan
 * @meas
 * @param[in] input ViInt32: 0 to 3, input "A" to "D".
 * @selects
 * @scpi `:SCAL:MEAS:POW <A|B|C|D>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_scalPower(vi, VI_FALSE, VI_FALSE, 1);`
 */
KAVREL_API ViStatus kavrel_scalPower(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 input);
/**
 * @brief Scalar measurement of the ratio of two different inputs.
 * @vi
 * @chan
 * @meas
 * @param[in] numerator ViInt32: 0 to 3, input "A" to "D".
 * @param[in] denominator ViInt32: 0 to 3, not the numerator.
 * @selects
 * @scpi `:SCAL:MEAS:RAT <A|B|C|D>,<A|B|C|D>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER5, VI_ERROR_INSTR_SAME_CHANNELS before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_scalRatio(vi, VI_FALSE, VI_TRUE, 1, 0);`
 */
KAVREL_API ViStatus kavrel_scalRatio(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 numerator, ViInt32 denominator);
/**
 * @brief Scalar measurement of the frequency with the counter.
 * @vi
 * @chan
 * @meas
 * @selects
 * @scpi `:SCAL:MEAS:FREQ`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_scalCounter(vi, VI_TRUE, VI_FALSE);`
 */
KAVREL_API ViStatus kavrel_scalCounter(ViSession vi, ViBoolean channel, ViBoolean measurement);
/**
 * @brief Scalar averaging off, on with a number of averages, or restarted.
 * @vi
 * @chan
 * @meas
 * @param[in] mode ViInt32: 0 off, 1 on, 2 restart.
 * @param[in] averages ViInt32: 1 to 1000; checked in every mode.
 * @selects
 * @scpi `:SCAL:AVER ON;:SCAL:AVER:NUMB <averages:%d>`
 * Mode 0 sends `:SCAL:AVER OFF`, mode 2 `:SCAL:AVER:REST`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER5 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_scalAveraging(vi, VI_FALSE, VI_FALSE, 1, 16);`
 */
KAVREL_API ViStatus kavrel_scalAveraging(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 mode, ViInt32 averages);
/**
 * @brief Scalar smoothing on with an aperture, or off.
 * @vi
 * @chan
 * @meas
 * @param[in] smoothing ViBoolean: VI_TRUE on.
 * @param[in] aperture ViReal64, percent of the sweep: 0.01 to 20; checked also when off.
 * @selects
 * @scpi `:MEAS:SMO ON;SMO:APER <aperture:%.2f>`
 * Off sends `:MEAS:SMO OFF`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER5 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_scalSmooth(vi, VI_FALSE, VI_FALSE, VI_TRUE, 2.5);`
 */
KAVREL_API ViStatus kavrel_scalSmooth(ViSession vi, ViBoolean channel, ViBoolean measurement, ViBoolean smoothing, ViReal64 aperture);
/**
 * @brief Scalar y-axis: auto-scale off, once or continuous, or a manual scale.
 *
 * The manual scale asks the active measurement's format first (before the selection); its limits follow the format:
 * "LOG" 0.01 to 20 dB per division and reference -200 to 200 dB; "WATT" 1e-11 to 200 and 1e-11 to 1000;
 * "VSWR" 0.01 to 10 and 1 to 100; "VOLT" 1e-8 to 20 and -100 to 100. A manual value goes out with two
 * decimals where they carry it to within half a percent, else in exponent form.
 *
 * @vi
 * @chan
 * @meas
 * @param[in] scaleMode ViInt32: 0 auto-scale off, 1 once, 2 continuous, 3 manual.
 * @param[in] valuePerDivision ViReal64: per division, by the format (manual only).
 * @param[in] referencePosition ViInt32: 0 to 10 divisions; checked in every mode.
 * @param[in] referenceLevel ViReal64: the reference level, by the format (manual only).
 * @scpi `:SCAL:FORM?`
 * @reply `LOG`
 * @selects
 * @scpi `:SCAL:SCAL:DIV <valuePerDivision:%.2f|%.9e>;POS <referencePosition:%d>;RLEV <referenceLevel:%.2f|%.9e>`
 * Modes 0 to 2 ask nothing and send `:SCAL:SCAL:AUTO <OFF|ONCE|CONT>`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4, then (manual, after the format query) VI_ERROR_PARAMETER5, VI_ERROR_PARAMETER7, then VI_ERROR_PARAMETER6, before the selection; VI_ERROR_INSTR_INTERPRETING_RESPONSE for an unknown format; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_scalScaling(vi, VI_FALSE, VI_FALSE, 3, 10.0, 5, -20.0);`
 */
KAVREL_API ViStatus kavrel_scalScaling(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 scaleMode, ViReal64 valuePerDivision, ViInt32 referencePosition, ViReal64 referenceLevel);
/**
 * @brief Scalar display format.
 * @vi
 * @chan
 * @meas
 * @param[in] format ViInt32: 0 "LOG", 1 "WATT", 2 "VSWR", 3 "VOLT".
 * @selects
 * @scpi `:SCAL:FORM <LOG|WATT|VSWR|VOLT>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_scalFormat(vi, VI_FALSE, VI_FALSE, 0);`
 */
KAVREL_API ViStatus kavrel_scalFormat(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 format);

/* ---- Scalar memory and path calibration ------------------------------------ */
/**
 * @brief Run a step of the scalar path calibration.
 * @vi
 * @param[in] step ViInt32: 0 "THR", 1 "OPEN", 2 "OPEN:SEIL", 3 "OPEN:MERG", 4 "OPEN:MERG:SEIL", 5 "SHOR", 6 "SHOR:SEIL", 7 "SHOR:MERG", 8 "SHOR:MERG:SEIL", 9 "SEL".
 * @param[in] calIndex ViInt32: the path calibration 1 to 4.
 * @scpi `:SCAL:PCAL:<THR|OPEN|OPEN:SEIL|OPEN:MERG|OPEN:MERG:SEIL|SHOR|SHOR:SEIL|SHOR:MERG|SHOR:MERG:SEIL|SEL> <calIndex:%d>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_scalCal(vi, 0, 1);`
 */
KAVREL_API ViStatus kavrel_scalCal(ViSession vi, ViInt32 step, ViInt32 calIndex);
/**
 * @brief Switch the scalar path calibration on or off.
 * @vi
 * @param[in] pathCal ViBoolean: VI_TRUE on.
 * @scpi `:SCAL:PCAL <OFF|ON>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_scalCalState(vi, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_scalCalState(ViSession vi, ViBoolean pathCal);
/**
 * @brief Switch the memory operation with a trace memory on or off.
 *
 * Asks the instrument for its highest memory number first.
 *
 * @vi
 * @chan
 * @meas
 * @param[in] memoryOp ViBoolean: VI_TRUE on.
 * @param[in] memory ViInt32: 1 to the number the instrument reports.
 * @scpi `:SCAL:MEM:MAX?`
 * @reply `4`
 * @selects
 * @scpi `:SCAL:MOP:SEL <memory:%d>;STAT <OFF|ON>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent, VI_ERROR_PARAMETER5 after the query; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the reply is not a number; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_scalMemOp(vi, VI_FALSE, VI_FALSE, VI_TRUE, 2);`
 */
KAVREL_API ViStatus kavrel_scalMemOp(ViSession vi, ViBoolean channel, ViBoolean measurement, ViBoolean memoryOp, ViInt32 memory);
/**
 * @brief Save the trace to a memory, or show a memory.
 *
 * Asks the instrument for its highest memory number first.
 *
 * @vi
 * @chan
 * @meas
 * @param[in] action ViInt32: 0 save the trace ("SAV"), 1 show the memory ("MEAS:MEM"), 2 show it with its settings ("MEAS:MEM:SETT").
 * @param[in] memory ViInt32: 1 to the number the instrument reports.
 * @scpi `:SCAL:MEM:MAX?`
 * @reply `4`
 * @selects
 * @scpi `:SCAL:<SAV|MEAS:MEM|MEAS:MEM:SETT> <memory:%d>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent, VI_ERROR_PARAMETER5 after the query; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the reply is not a number; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_scalMem(vi, VI_FALSE, VI_FALSE, 0, 1);`
 */
KAVREL_API ViStatus kavrel_scalMem(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 action, ViInt32 memory);

/* ---- Inputs and detectors -------------------------------------------------- */
/**
 * @brief Use the detectors for the power meter or for scalar analysis.
 * @vi
 * @param[in] detectorConfig ViBoolean: VI_FALSE power meter ("PMET"), VI_TRUE scalar analysis ("SCAL").
 * @scpi `:INP:DCON <PMET|SCAL>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_inpDConfig(vi, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_inpDConfig(ViSession vi, ViBoolean detectorConfig);
/**
 * @brief Level offset of a detector input.
 * @vi
 * @param[in] input ViInt32: 0 to 3, input "A" to "D".
 * @param[in] offset ViReal64, dB: -99.99 to 99.99.
 * @scpi `:INP:OFFS <A|B|C|D>,<offset:%f>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_inpOffset(vi, 0, 10.5);`
 */
KAVREL_API ViStatus kavrel_inpOffset(ViSession vi, ViInt32 input, ViReal64 offset);
/**
 * @brief Detector correction of an input: one detector's data, or automatic.
 * @vi
 * @param[in] input ViInt32: 0 to 3, input "A" to "D".
 * @param[in] detectorNumber ViInt32: 1 to 16, or 0 for automatic.
 * @scpi `:INP:SCAL:DET <A|B|C|D>,<detectorNumber:%d>`
 * Automatic sends `:INP:SCAL:AUTO <A|B|C|D>`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_inpDetCorr(vi, 1, 7);`
 */
KAVREL_API ViStatus kavrel_inpDetCorr(ViSession vi, ViInt32 input, ViInt32 detectorNumber);
/**
 * @brief Detector temperature correction of an input on or off.
 * @vi
 * @param[in] input ViInt32: 0 to 3, input "A" to "D".
 * @param[in] tempCorr ViBoolean: VI_TRUE on.
 * @scpi `:INP:SCAL:TCOR <A|B|C|D>,<OFF|ON>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_inpTempCorr(vi, 2, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_inpTempCorr(ViSession vi, ViInt32 input, ViBoolean tempCorr);
/**
 * @brief Flatness correction of an input, and where its frequency comes from.
 * @vi
 * @param[in] input ViInt32: 0 to 3, input "A" to "D".
 * @param[in] flatCorr ViBoolean: VI_TRUE on.
 * @param[in] frequencySource ViInt32: 0 none, 1 a fixed frequency ("FREQ"), 2 the counter ("COUN"), 3 the source ("SOUR").
 * @param[in] frequency ViReal64, Hz: 0 to 999999 MHz; used and checked with source 1 only.
 * @scpi `:INP:FCOR <A|B|C|D>,<OFF|ON>;:INP:FCOR:FREQ:FROM <A|B|C|D>,FREQ;:INP:FCOR:FREQ <A|B|C|D>,<frequency:%.9e>`
 * Source 0 sends the first part only; sources 2 and 3 end after `FROM <A|B|C|D>,<COUN|SOUR>`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER5 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_inpFlatCorr(vi, 0, VI_TRUE, 1, 5e9);`
 */
KAVREL_API ViStatus kavrel_inpFlatCorr(ViSession vi, ViInt32 input, ViBoolean flatCorr, ViInt32 frequencySource, ViReal64 frequency);
/**
 * @brief Power-sensor correction: fixed factors, or a correction store read at a frequency.
 *
 * With a frequency source the instrument is asked for its highest store number first.
 *
 * @vi
 * @param[in] frequencySource ViInt32: 0 fixed factors; 1 a store at a fixed frequency ("FREQ"), 2 at the counter's ("COUN"), 3 at the source's ("SOUR").
 * @param[in] calFactor ViReal64, percent: 0.01 to 200 (source 0 only).
 * @param[in] lfacFactor ViReal64: 0.1 to 15 (source 0 only).
 * @param[in] frequency ViReal64, Hz: 0 to 999999 MHz (source 1 only).
 * @param[in] storeNumber ViInt32: 1 to the number the instrument reports (sources 1 to 3).
 * @scpi `:INP:CFAC:STOR:MAX?`
 * @reply `4`
 * @scpi `:INP:CFAC:STOR:NUMB <storeNumber:%d>;:INP:CFAC:FREQ:FROM FREQ;:INP:CFAC:FREQ <frequency:%f>`
 * Sources 2 and 3 end after `FROM <COUN|SOUR>`; source 0 asks nothing and sends `:INP:CFAC:VAL <calFactor:%f>;:INP:LFAC:VAL <lfacFactor:%f>`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER5 before anything is sent, VI_ERROR_PARAMETER6 after the query; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the reply is not a number; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_inpPwrSensorCorr(vi, 1, 100.0, 1.0, 3e9, 2);`
 */
KAVREL_API ViStatus kavrel_inpPwrSensorCorr(ViSession vi, ViInt32 frequencySource, ViReal64 calFactor, ViReal64 lfacFactor, ViReal64 frequency, ViInt32 storeNumber);
/**
 * @brief AC detection on or off.
 * @vi
 * @param[in] acDetection ViBoolean: VI_TRUE on.
 * @scpi `:INP:ACD <OFF|ON>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_inpACdetect(vi, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_inpACdetect(ViSession vi, ViBoolean acDetection);
/**
 * @brief Zeroing: automatic zeroing off or on, or zero the detectors or the sensor now.
 * @vi
 * @param[in] zeroing ViInt32: 0 automatic off, 1 automatic on, 2 the detectors ("DET"), 3 the sensor ("SENS").
 * @scpi `:INP:ZERO:<AUTO OFF|AUTO ON|DET|SENS>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_inpDetZero(vi, 2);`
 */
KAVREL_API ViStatus kavrel_inpDetZero(ViSession vi, ViInt32 zeroing);
/**
 * @brief Power reference output on or off.
 * @vi
 * @param[in] powerReference ViBoolean: VI_TRUE on.
 * @scpi `:INP:REF <OFF|ON>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_inpPwrRef(vi, VI_FALSE);`
 */
KAVREL_API ViStatus kavrel_inpPwrRef(ViSession vi, ViBoolean powerReference);
/**
 * @brief Input calibration, or the detector calibration of one input.
 * @vi
 * @param[in] detectorCal ViBoolean: VI_TRUE calibrates the detector of the given input.
 * @param[in] input ViInt32: 0 to 3, input "A" to "D"; checked either way.
 * @scpi `:INP:CAL:DET <A|B|C|D>`
 * With VI_FALSE the command is `:INP:CAL`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_inpCalibration(vi, VI_TRUE, 3);`
 */
KAVREL_API ViStatus kavrel_inpCalibration(ViSession vi, ViBoolean detectorCal, ViInt32 input);

/* ---- Power meter readout --------------------------------------------------- */
/**
 * @brief Power-meter readout of the power at one input.
 * @vi
 * @chan
 * @meas
 * @param[in] input ViInt32: 0 to 3, input "A" to "D".
 * @selects
 * @scpi `:ROUT:MEAS:POW <A|B|C|D>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_routPwrSglIn(vi, VI_FALSE, VI_FALSE, 0);`
 */
KAVREL_API ViStatus kavrel_routPwrSglIn(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 input);
/**
 * @brief Power-meter readout of the ratio of two inputs (the same input twice is allowed).
 * @vi
 * @chan
 * @meas
 * @param[in] numerator ViInt32: 0 to 3, input "A" to "D".
 * @param[in] denominator ViInt32: 0 to 3.
 * @selects
 * @scpi `:ROUT:MEAS:RAT <A|B|C|D>,<A|B|C|D>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER5 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_routPwrRatio(vi, VI_FALSE, VI_FALSE, 1, 0);`
 */
KAVREL_API ViStatus kavrel_routPwrRatio(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 numerator, ViInt32 denominator);
/**
 * @brief Power-meter readout of the difference of two inputs.
 * @vi
 * @chan
 * @meas
 * @param[in] firstInput ViInt32: 0 to 3, input "A" to "D".
 * @param[in] secondInput ViInt32: 0 to 3.
 * @selects
 * @scpi `:ROUT:MEAS:DIFF <A|B|C|D>,<A|B|C|D>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER5 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_routPwrDiff(vi, VI_FALSE, VI_FALSE, 0, 2);`
 */
KAVREL_API ViStatus kavrel_routPwrDiff(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 firstInput, ViInt32 secondInput);
/**
 * @brief Power-meter readout of the counter's frequency.
 * @vi
 * @chan
 * @meas
 * @selects
 * @scpi `:ROUT:MEAS:FREQ`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_routCounter(vi, VI_FALSE, VI_FALSE);`
 */
KAVREL_API ViStatus kavrel_routCounter(ViSession vi, ViBoolean channel, ViBoolean measurement);
/**
 * @brief Relative readout off or on, or save the present reading as the reference.
 * @vi
 * @chan
 * @meas
 * @param[in] relative ViInt32: 0 off, 1 on, 2 save the reference.
 * @selects
 * @scpi `:ROUT:REL:<STATE OFF|STATE ON|SAVE>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_routRelMeas(vi, VI_FALSE, VI_FALSE, 2);`
 */
KAVREL_API ViStatus kavrel_routRelMeas(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 relative);
/**
 * @brief Averaging of an input's readings.
 * @vi
 * @param[in] input ViInt32: 0 to 3, input "A" to "D".
 * @param[in] mode ViInt32: 0 off, 1 automatic, 2 fixed high resolution, 3 medium, 4 low, 5 a fixed number of averages, 6 restart.
 * @param[in] numberOfAverages ViInt32: 1 to 1000 (mode 5); checked in every mode.
 * @scpi `:ROUT:AVER:AUTO <A|B|C|D>,OFF;:ROUT:AVER <A|B|C|D>,ON;:ROUT:AVER:NUMB <A|B|C|D>,<numberOfAverages:%d>`
 * The other modes send, with X the input: 0 `:ROUT:AVER X,OFF`; 1 `:ROUT:AVER X,ON;:ROUT:AVER:AUTO X,ON`;
 * 2 to 4 `:ROUT:AVER:AUTO X,OFF;:ROUT:AVER X,ON;:ROUT:RES:PMET X,<HIGH|MED|LOW>`; 6 `:ROUT:AVER:REST X`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_routAveraging(vi, 1, 5, 64);`
 */
KAVREL_API ViStatus kavrel_routAveraging(ViSession vi, ViInt32 input, ViInt32 mode, ViInt32 numberOfAverages);
/**
 * @brief Duty-cycle correction on with a duty cycle, or off.
 * @vi
 * @chan
 * @meas
 * @param[in] dutyCycleCorr ViBoolean: VI_TRUE on.
 * @param[in] dutyCycle ViReal64, percent: 0.001 to 100 (checked when on).
 * @selects
 * @scpi `:ROUT:DCYC ON;DCYC:VAL <dutyCycle:%.3f>`
 * Off sends `:ROUT:DCYC OFF`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER5 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_routDutyCyclCorr(vi, VI_FALSE, VI_FALSE, VI_TRUE, 25.0);`
 */
KAVREL_API ViStatus kavrel_routDutyCyclCorr(ViSession vi, ViBoolean channel, ViBoolean measurement, ViBoolean dutyCycleCorr, ViReal64 dutyCycle);
/**
 * @brief Readout limit check on with a minimum and maximum, or off.
 *
 * When on, asks what the readout shows first: the counter ("FREQ...") takes limits 0 to 999999 MHz, any other readout -999.999 to 999.999.
 *
 * @vi
 * @chan
 * @meas
 * @param[in] limitCheck ViBoolean: VI_TRUE on.
 * @param[in] minimum ViReal64: the lower limit, not above maximum (checked after maximum).
 * @param[in] maximum ViReal64: the upper limit.
 * @scpi `:ROUT:MEAS:DEF?`
 * @reply `POW A`
 * @selects
 * @scpi `:ROUT:LIM ON;LIM:MAX <maximum:%f>;MIN <minimum:%f>`
 * Off asks nothing and sends `:ROUT:LIM OFF`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent; after the query VI_ERROR_PARAMETER5 for the maximum, VI_ERROR_PARAMETER6 for the minimum, VI_ERROR_INSTR_MIN_GT_MAX; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_routLimCheck(vi, VI_FALSE, VI_FALSE, VI_TRUE, -20.0, 10.0);`
 */
KAVREL_API ViStatus kavrel_routLimCheck(ViSession vi, ViBoolean channel, ViBoolean measurement, ViBoolean limitCheck, ViReal64 minimum, ViReal64 maximum);
/**
 * @brief Max/min hold off or on, or reset the held values.
 * @vi
 * @chan
 * @meas
 * @param[in] hold ViInt32: 0 off, 1 on, 2 reset.
 * @selects
 * @scpi `:ROUT:PEAK< OFF| ON|:RES>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_routMaxMinHold(vi, VI_FALSE, VI_FALSE, 1);`
 */
KAVREL_API ViStatus kavrel_routMaxMinHold(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 hold);
/**
 * @brief Readout format.
 * @vi
 * @chan
 * @meas
 * @param[in] format ViInt32: 0 "LOG", 1 "WATT", 2 "PERC", 3 "VOLT".
 * @selects
 * @scpi `:ROUT:FORM <LOG|WATT|PERC|VOLT>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_routFormat(vi, VI_FALSE, VI_FALSE, 1);`
 */
KAVREL_API ViStatus kavrel_routFormat(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 format);
/**
 * @brief Counter resolution of the readout.
 * @vi
 * @chan
 * @meas
 * @param[in] resolution ViReal64, Hz: 1 to 100000000.
 * @selects
 * @scpi `:ROUT:RES:COUN <resolution:%f>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_routCountRes(vi, VI_FALSE, VI_FALSE, 1000.0);`
 */
KAVREL_API ViStatus kavrel_routCountRes(ViSession vi, ViBoolean channel, ViBoolean measurement, ViReal64 resolution);
/**
 * @brief Reset the instrument's held maximum and minimum values.
 * @vi
 * @scpi `:ROUT:PIR`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_routPeakReset(vi);`
 */
KAVREL_API ViStatus kavrel_routPeakReset(ViSession vi);

/* ---- Fault location -------------------------------------------------------- */
/**
 * @brief Fault-location medium: coaxial with its relative velocity, or waveguide with its cut-off; and the cable attenuation.
 *
 * Selects measurement 1 of the channel and asks the distance unit before the attenuation is checked.
 *
 * @vi
 * @param[in] channel ViBoolean: VI_FALSE channel 1, VI_TRUE channel 2.
 * @param[in] medium ViBoolean: VI_TRUE coaxial, VI_FALSE waveguide.
 * @param[in] cutoffFrequency ViReal64, Hz: waveguide only, 10 MHz to @fmax.
 * @param[in] relativeVelocity ViReal64: coaxial only, 0.1 to 1.0.
 * @param[in] attenuation ViReal64, dB per unit length: 0 to 100 per metre when the unit is metres ("METR..."), else 0 to 30.48 per foot.
 * @scpi `:CHAN:ACT <1|2>;:MEAS:ACT 1`
 * @scpi `:FLOC:UNIT?`
 * @reply `METR`
 * @scpi `:FLOC:MED COAX;RVEL <relativeVelocity:%.3f>;:FLOC:ATT <attenuation:%.3f>`
 * Waveguide sends `:FLOC:MED WAV;WGC <cutoffFrequency:%f>;:FLOC:ATT <attenuation:%.3f>`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3, then VI_ERROR_PARAMETER5 (coaxial) or VI_ERROR_PARAMETER4 (waveguide) before anything is sent; VI_ERROR_PARAMETER6 after the unit query; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_flocMedium(vi, VI_FALSE, VI_TRUE, 1e9, 0.66, 0.5);`
 */
KAVREL_API ViStatus kavrel_flocMedium(ViSession vi, ViBoolean channel, ViBoolean medium, ViReal64 cutoffFrequency, ViReal64 relativeVelocity, ViReal64 attenuation);
/**
 * @brief Fault-location range: a distance around a centre frequency, or a start and stop frequency.
 * @vi
 * @param[in] channel ViBoolean: VI_FALSE channel 1, VI_TRUE channel 2; measurement 1 is selected.
 * @param[in] rangeEntry ViBoolean: VI_TRUE distance entry, VI_FALSE frequencies.
 * @param[in] distanceRange ViReal64, in the distance unit: 0 to 25000 (distance entry).
 * @param[in] centerFrequency ViReal64, Hz: 10 MHz to @fmax (distance entry).
 * @param[in] startFrequency ViReal64, Hz: 10 MHz to the model's maximum (frequencies).
 * @param[in] stopFrequency ViReal64, Hz: 10 MHz to the model's maximum (frequencies).
 * @scpi `:CHAN:ACT <1|2>;:MEAS:ACT 1`
 * @scpi `:FLOC:RANG:ENTRY ON;:FLOC:RANG:VAL <distanceRange:%f>;:FLOC:FREQ:CENT <centerFrequency:%f>`
 * Frequencies send `:FLOC:RANG:ENTRY OFF;:FLOC:FREQ:STAR <startFrequency:%f>;STOP <stopFrequency:%f>`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER5 (distance entry) or VI_ERROR_PARAMETER6, VI_ERROR_PARAMETER7 (frequencies) before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_flocRange(vi, VI_FALSE, VI_TRUE, 50.0, 3e9, 1e9, 5e9);`
 */
KAVREL_API ViStatus kavrel_flocRange(ViSession vi, ViBoolean channel, ViBoolean rangeEntry, ViReal64 distanceRange, ViReal64 centerFrequency, ViReal64 startFrequency, ViReal64 stopFrequency);
/**
 * @brief Number of fault-location points.
 * @vi
 * @param[in] channel ViBoolean: VI_FALSE channel 1, VI_TRUE channel 2; measurement 1 is selected.
 * @param[in] numberOfPoints ViInt32: 51 to 1024.
 * @scpi `:CHAN:ACT <1|2>;:MEAS:ACT 1`
 * @scpi `:FLOC:POIN <numberOfPoints:%d>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_flocNumOfPoints(vi, VI_FALSE, 401);`
 */
KAVREL_API ViStatus kavrel_flocNumOfPoints(ViSession vi, ViBoolean channel, ViInt32 numberOfPoints);
/**
 * @brief Fault-location distance unit.
 * @vi
 * @param[in] channel ViBoolean: VI_FALSE channel 1, VI_TRUE channel 2; measurement 1 is selected.
 * @param[in] distanceUnit ViBoolean: VI_FALSE feet ("FEET"), VI_TRUE metres ("METR").
 * @scpi `:CHAN:ACT <1|2>;:MEAS:ACT 1`
 * @scpi `:FLOC:UNIT <FEET|METR>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_flocDispUnit(vi, VI_FALSE, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_flocDispUnit(ViSession vi, ViBoolean channel, ViBoolean distanceUnit);
/**
 * @brief Fault-location averaging off, on with a number of averages, or restarted.
 *
 * Returns the write's status: no status check follows.
 *
 * @vi
 * @param[in] channel ViBoolean: VI_FALSE channel 1, VI_TRUE channel 2; measurement 1 is selected.
 * @param[in] mode ViInt32: 0 off, 1 on, 2 restart.
 * @param[in] numberOfAverages ViInt32: 1 to 1000; checked in every mode.
 * @scpi `:CHAN:ACT <1|2>;:MEAS:ACT 1`
 * @scpi `:FLOC:AVER ON;:FLOC:AVER:NUMB <numberOfAverages:%d>`
 * Mode 0 sends `:FLOC:AVER OFF`, mode 2 `:FLOC:AVER:REST`.
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent; a VISA error.
 * @sample `kavrel_flocAveraging(vi, VI_FALSE, 1, 8);`
 */
KAVREL_API ViStatus kavrel_flocAveraging(ViSession vi, ViBoolean channel, ViInt32 mode, ViInt32 numberOfAverages);
/**
 * @brief Fault-location window.
 * @vi
 * @param[in] channel ViBoolean: VI_FALSE channel 1, VI_TRUE channel 2; measurement 1 is selected.
 * @param[in] window ViInt32: 0 low, 1 medium, 2 high.
 * @scpi `:CHAN:ACT <1|2>;:MEAS:ACT 1`
 * @scpi `:FLOC:WIND <LOW|MED|HIGH>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_flocWindowing(vi, VI_FALSE, 1);`
 */
KAVREL_API ViStatus kavrel_flocWindowing(ViSession vi, ViBoolean channel, ViInt32 window);
/**
 * @brief Fault-location mask correction on or off.
 * @vi
 * @param[in] channel ViBoolean: VI_FALSE channel 1, VI_TRUE channel 2; measurement 1 is selected.
 * @param[in] maskCorr ViBoolean: VI_TRUE on.
 * @scpi `:CHAN:ACT <1|2>;:MEAS:ACT 1`
 * @scpi `:FLOC:MCOR <OFF|ON>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_flocMaskCorr(vi, VI_FALSE, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_flocMaskCorr(ViSession vi, ViBoolean channel, ViBoolean maskCorr);
/**
 * @brief Fault-location enhancement on or off.
 * @vi
 * @param[in] channel ViBoolean: VI_FALSE channel 1, VI_TRUE channel 2; measurement 1 is selected.
 * @param[in] enhancement ViBoolean: VI_TRUE on.
 * @scpi `:CHAN:ACT <1|2>;:MEAS:ACT 1`
 * @scpi `:FLOC:ENH <OFF|ON>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_flocEnhMode(vi, VI_FALSE, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_flocEnhMode(ViSession vi, ViBoolean channel, ViBoolean enhancement);
/**
 * @brief Fault-location y-axis: auto-scale off, once or continuous, or a manual scale.
 *
 * The manual scale asks the format first (before the selection): "LOG..." takes 0.01 to 20 dB per division and a
 * reference of -200 to 200 dB, VSWR 0.01 to 10 and 1 to 100.
 *
 * @vi
 * @chan
 * @meas
 * @param[in] scaleMode ViInt32: 0 auto-scale off, 1 once, 2 continuous, 3 manual.
 * @param[in] valuePerDivision ViReal64: per division, by the format (manual only).
 * @param[in] referencePosition ViInt32: 0 to 10 divisions; checked in every mode.
 * @param[in] referenceLevel ViReal64: the reference level, by the format (manual only).
 * @scpi `:FLOC:FORM?`
 * @reply `LOG`
 * @selects
 * @scpi `:FLOC:SCAL:DIV <valuePerDivision:%.2f>;POS <referencePosition:%d>;RLEV <referenceLevel:%.2f>`
 * Modes 0 to 2 ask nothing and send `:FLOC:SCAL:AUTO <OFF|ONCE|CONT>`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4, then (manual, after the format query) VI_ERROR_PARAMETER5, VI_ERROR_PARAMETER7, then VI_ERROR_PARAMETER6, before the selection; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_flocScaling(vi, VI_FALSE, VI_FALSE, 3, 5.0, 8, 0.0);`
 */
KAVREL_API ViStatus kavrel_flocScaling(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 scaleMode, ViReal64 valuePerDivision, ViInt32 referencePosition, ViReal64 referenceLevel);
/**
 * @brief Fault-location format.
 * @vi
 * @chan
 * @meas
 * @param[in] format ViBoolean: VI_FALSE "VSWR", VI_TRUE "LOG".
 * @selects
 * @scpi `:FLOC:FORM <VSWR|LOG>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_flocFormat(vi, VI_FALSE, VI_FALSE, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_flocFormat(ViSession vi, ViBoolean channel, ViBoolean measurement, ViBoolean format);
/**
 * @brief Save or restore the fault-location calibration.
 * @vi
 * @param[in] action ViBoolean: VI_FALSE save ("SAVE"), VI_TRUE restore ("REST").
 * @scpi `:FLOC:CAL:<SAVE|REST>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_flocCalibration(vi, VI_FALSE);`
 */
KAVREL_API ViStatus kavrel_flocCalibration(ViSession vi, ViBoolean action);

/* ---- Trace data and readings ----------------------------------------------- */
/**
 * @brief The number of sweep points and the scalar trace.
 *
 * Asks the points first; the block is asked for only when traceValues is given and the points are above 0.
 *
 * @vi
 * @param[out] numberOfPoints ViPInt32: the sweep points; may be VI_NULL.
 * @param[out] traceValues ViReal64[]: the trace values received, at most the points and at most 800; may be VI_NULL.
 * @scpi `:SOUR:SWE:POIN?`
 * @reply `3`
 * @scpi `:SCAL:DATA:BIN?`
 * @replyblock `-1.5 -2.25 -3.0`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the points reply is not a number or the block does not begin with "#0"; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `ViInt32 points; ViReal64 trace[800]; kavrel_scalReadData(vi, &points, trace);`
 */
KAVREL_API ViStatus kavrel_scalReadData(ViSession vi, ViPInt32 numberOfPoints, ViReal64 traceValues[]);
/**
 * @brief The number of fault-location points and the fault-location trace.
 *
 * Asks the points first; the block is asked for only when traceValues is given and the points are above 0.
 *
 * @vi
 * @param[out] numberOfPoints ViPInt32: the fault-location points; may be VI_NULL.
 * @param[out] traceValues ViReal64[]: the trace values received, at most the points and at most 1024; may be VI_NULL.
 * @scpi `:FLOC:POIN?`
 * @reply `2`
 * @scpi `:FLOC:DATA:BIN?`
 * @replyblock `1.25 1.5`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the points reply is not a number or the block does not begin with "#0"; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `ViInt32 points; ViReal64 trace[1024]; kavrel_flocReadData(vi, &points, trace);`
 */
KAVREL_API ViStatus kavrel_flocReadData(ViSession vi, ViPInt32 numberOfPoints, ViReal64 traceValues[]);
/**
 * @brief One power-meter reading: the current value or the held minimum or maximum.
 * @vi
 * @param[in] readingKind ViInt32: 0 current, 1 held minimum, 2 held maximum.
 * @param[out] reading ViPReal64: the reading in the readout's unit; not VI_NULL.
 * @scpi `:ROUT<?|:PEAK:MIN?|:PEAK:MAX?>`
 * @reply `-12.5`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the reply is not a number; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `ViReal64 reading; kavrel_routData(vi, 0, &reading);`
 */
KAVREL_API ViStatus kavrel_routData(ViSession vi, ViInt32 readingKind, ViPReal64 reading);
/**
 * @brief The highest store number of a kind of store.
 * @vi
 * @param[in] storeKind ViInt32: 0 sensor correction ("INP:CFAC:STOR"), 1 reflection calibration ("REFL:CAL:DATA"), 2 calibration kit ("REFL:CAL:KIT"), 3 scalar memory ("SCAL:MEM"), 4 source calibration ("SOUR:CAL"), 5 settings ("SYST:SETT").
 * @param[out] count ViPInt32: the highest number; not VI_NULL.
 * @scpi `:<INP:CFAC:STOR|REFL:CAL:DATA|REFL:CAL:KIT|SCAL:MEM|SOUR:CAL|SYST:SETT>:MAX?`
 * @reply `8`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the reply is not a number; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `ViInt32 kits; kavrel_readMax(vi, 2, &kits);`
 */
KAVREL_API ViStatus kavrel_readMax(ViSession vi, ViInt32 storeKind, ViPInt32 count);

/* ---- Reflection measurement setup ------------------------------------------ */
/**
 * @brief Reflection measurement of S11.
 * @vi
 * @chan
 * @meas
 * @selects
 * @scpi `:REFL:MEAS:S11`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflS11(vi, VI_FALSE, VI_FALSE);`
 */
KAVREL_API ViStatus kavrel_reflS11(ViSession vi, ViBoolean channel, ViBoolean measurement);
/**
 * @brief Reflection measurement of the ratio to an operand (a trace memory).
 * @vi
 * @chan
 * @meas
 * @param[in] operand ViInt32: 1 to 4.
 * @selects
 * @scpi `:REFL:MEAS:RAT <operand:%d>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflRatio(vi, VI_FALSE, VI_TRUE, 2);`
 */
KAVREL_API ViStatus kavrel_reflRatio(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 operand);
/**
 * @brief Reflection measurement of the difference to an operand (a trace memory).
 * @vi
 * @chan
 * @meas
 * @param[in] operand ViInt32: 1 to 4.
 * @selects
 * @scpi `:REFL:MEAS:DIFF <operand:%d>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflDiffer(vi, VI_FALSE, VI_TRUE, 3);`
 */
KAVREL_API ViStatus kavrel_reflDiffer(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 operand);
/**
 * @brief Reflection detector switches LCOR and TCON.
 * @vi
 * @chan
 * @meas
 * @param[in] lcor ViBoolean: VI_TRUE on.
 * @param[in] tcon ViBoolean: VI_TRUE on.
 * @selects
 * @scpi `:REFL:DET:LCOR <OFF|ON>;TCON <OFF|ON>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER5 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflDetector(vi, VI_FALSE, VI_FALSE, VI_TRUE, VI_FALSE);`
 */
KAVREL_API ViStatus kavrel_reflDetector(ViSession vi, ViBoolean channel, ViBoolean measurement, ViBoolean lcor, ViBoolean tcon);
/**
 * @brief Averaging of the active reflection measurement off, on with a number of averages, or restarted.
 * @vi
 * @param[in] mode ViInt32: 0 off, 1 on, 2 restart.
 * @param[in] numberOfAverages ViInt32: 1 to 1000; checked in every mode.
 * @scpi `:REFL:AVER ON;AVER:NUMB <numberOfAverages:%d>`
 * Mode 0 sends `:REFL:AVER OFF`, mode 2 `:REFL:AVER:REST`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflAveraging(vi, 1, 32);`
 */
KAVREL_API ViStatus kavrel_reflAveraging(ViSession vi, ViInt32 mode, ViInt32 numberOfAverages);
/**
 * @brief Reflection smoothing on with an aperture, or off.
 * @vi
 * @chan
 * @meas
 * @param[in] smoothing ViBoolean: VI_TRUE on.
 * @param[in] aperture ViReal64, percent of the sweep: 0.01 to 20; checked also when off.
 * @selects
 * @scpi `:MEAS:SMO ON;SMO:APER <aperture:%.2f>`
 * Off sends `:MEAS:SMO OFF`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER5 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflSmooth(vi, VI_FALSE, VI_FALSE, VI_TRUE, 1.0);`
 */
KAVREL_API ViStatus kavrel_reflSmooth(ViSession vi, ViBoolean channel, ViBoolean measurement, ViBoolean smoothing, ViReal64 aperture);
/**
 * @brief Reflection display format.
 * @vi
 * @chan
 * @meas
 * @param[in] displayFormat ViInt32: 0 "LOG", 1 "LIN", 2 "PHAS", 3 "VSWR", 4 "RE", 5 "IM", 6 "IMP", 7 "PLIN", 8 "PLOG", 9 "REIM", 10 "SMIT", 11 "INVS".
 * @selects
 * @scpi `:REFL:DISP:FORM <LOG|LIN|PHAS|VSWR|RE|IM|IMP|PLIN|PLOG|REIM|SMIT|INVS>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflFormat(vi, VI_FALSE, VI_FALSE, 10);`
 */
KAVREL_API ViStatus kavrel_reflFormat(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 displayFormat);
/**
 * @brief Electrical delay, as a time or a length.
 * @vi
 * @chan
 * @meas
 * @param[in] delayUnit ViBoolean: VI_FALSE seconds ("TIME"), VI_TRUE metres ("LENG").
 * @param[in] delay ViReal64: -1 to 1 s, or -3e8 to 3e8 m.
 * @selects
 * @scpi `:REFL:DEL:<TIME|LENG> <delay:%f+>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER5 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflElDelay(vi, VI_FALSE, VI_FALSE, VI_FALSE, 1.5e-9);`
 */
KAVREL_API ViStatus kavrel_reflElDelay(ViSession vi, ViBoolean channel, ViBoolean measurement, ViBoolean delayUnit, ViReal64 delay);
/**
 * @brief Reflection phase offset.
 * @vi
 * @chan
 * @meas
 * @param[in] phaseOffset ViReal64, degrees: -360 to 360.
 * @selects
 * @scpi `:REFL:POFF <phaseOffset:%f>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflPhaseOffset(vi, VI_FALSE, VI_FALSE, -90.0);`
 */
KAVREL_API ViStatus kavrel_reflPhaseOffset(ViSession vi, ViBoolean channel, ViBoolean measurement, ViReal64 phaseOffset);
/**
 * @brief Characteristics of the device's medium: impedance, and relative velocity, dielectric constant or waveguide cut-off.
 * @vi
 * @param[in] impedance ViReal64, ohm: 1 to 10000.
 * @param[in] medium ViInt32: 0 coaxial by relative velocity, 1 coaxial by dielectric constant, 2 waveguide.
 * @param[in] relativeVelocity ViReal64: 0.1 to 1.0 (sent with medium 0; always checked).
 * @param[in] dielectricConstant ViReal64: 1 to 1000 (sent with medium 1; always checked).
 * @param[in] cutoffFrequency ViReal64, Hz: 10 MHz to @fmax (sent with medium 2; always checked).
 * @scpi `:REFL:CIMP <impedance:%f>;MED COAX;RVEL <relativeVelocity:%f>`
 * Medium 1 ends `MED COAX;DCON <dielectricConstant:%f>`, medium 2 `MED WAV;WGC <cutoffFrequency:%f>`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER6 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflDevChar(vi, 50.0, 0, 0.66, 2.1, 1e9);`
 */
KAVREL_API ViStatus kavrel_reflDevChar(ViSession vi, ViReal64 impedance, ViInt32 medium, ViReal64 relativeVelocity, ViReal64 dielectricConstant, ViReal64 cutoffFrequency);

/* ---- Time domain, gating and windowing ------------------------------------- */
/**
 * @brief Time domain on or off.
 * @vi
 * @param[in] channel ViBoolean: VI_FALSE channel 1, VI_TRUE channel 2; measurement 1 is selected.
 * @param[in] timeDomain ViBoolean: VI_TRUE on.
 * @scpi `:CHAN:ACT <1|2>;:MEAS:ACT 1`
 * @scpi `:REFL:TDOM <OFF|ON>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflTimeDomain(vi, VI_FALSE, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_reflTimeDomain(ViSession vi, ViBoolean channel, ViBoolean timeDomain);
/**
 * @brief Time-domain transform and response.
 * @vi
 * @param[in] channel ViBoolean: VI_FALSE channel 1, VI_TRUE channel 2; measurement 1 is selected.
 * @param[in] transform ViBoolean: VI_FALSE low pass ("LOW"), VI_TRUE band pass ("BAND").
 * @param[in] response ViBoolean: VI_FALSE step ("STEP"), VI_TRUE impulse ("IMP").
 * @scpi `:CHAN:ACT <1|2>;:MEAS:ACT 1`
 * @scpi `:REFL:TDOM:TRAN <LOW|BAND>;RESP <STEP|IMP>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflTDomFunc(vi, VI_FALSE, VI_FALSE, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_reflTDomFunc(ViSession vi, ViBoolean channel, ViBoolean transform, ViBoolean response);
/**
 * @brief DC extrapolation mode and value of the time-domain transform.
 * @vi
 * @chan
 * @meas
 * @param[in] extrapolationMode ViInt32: 0 "AUTO", 1 "MATC", 2 "MAN".
 * @param[in] rcoValue ViReal64: 0 to 1000, sent with one decimal.
 * @selects
 * @scpi `:REFL:TDOM:EMOD <AUTO|MATC|MAN>;RCO <rcoValue:%.1f>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER5 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflDCextrapol(vi, VI_FALSE, VI_FALSE, 2, 12.5);`
 */
KAVREL_API ViStatus kavrel_reflDCextrapol(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 extrapolationMode, ViReal64 rcoValue);
/**
 * @brief Time-domain window shape and user window.
 * @vi
 * @chan
 * @meas
 * @param[in] windowShape ViInt32: 0 "MIN", 1 "NORM", 2 "WIDE", 3 "USER".
 * @param[in] userWindow ViInt32: 0 to 13; sent with every shape.
 * @selects
 * @scpi `:REFL:TDOM:WIND:SHAP <MIN|NORM|WIDE|USER>;USER <userWindow:%d>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER5 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflWindowing(vi, VI_FALSE, VI_FALSE, 3, 7);`
 */
KAVREL_API ViStatus kavrel_reflWindowing(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 windowShape, ViInt32 userWindow);
/**
 * @brief Time-domain display: time, or distance in metres or feet.
 * @vi
 * @param[in] channel ViBoolean: VI_FALSE channel 1, VI_TRUE channel 2; measurement 1 is selected.
 * @param[in] displayDomain ViInt32: 0 time, 1 distance in metres, 2 distance in feet.
 * @scpi `:CHAN:ACT <1|2>;:MEAS:ACT 1`
 * @scpi `:REFL:TDOM:DISP <TIME|DIST;UNIT METR|DIST;UNIT FEET>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflDomDisp(vi, VI_FALSE, 1);`
 */
KAVREL_API ViStatus kavrel_reflDomDisp(ViSession vi, ViBoolean channel, ViInt32 displayDomain);
/**
 * @brief Gate or fence of the active measurement.
 *
 * Asks whether the time domain is on first: its positions are then held to -1 to 1, else to -3e8 to 3e8.
 * Start must not exceed stop; centre +- |span|/2 must stay within the limits.
 *
 * @vi
 * @param[in] gate ViBoolean: VI_TRUE on.
 * @param[in] positionForm ViBoolean: VI_FALSE centre and span, VI_TRUE start and stop.
 * @param[in] centerStart ViReal64: the centre or start.
 * @param[in] spanStop ViReal64: the span or stop.
 * @param[in] gateOrFence ViBoolean: VI_FALSE fence ("FENC"), VI_TRUE gate ("GATE").
 * @param[in] coupling ViBoolean: VI_TRUE coupled.
 * @param[in] gateShape ViInt32: 0 "MIN", 1 "NORM", 2 "WIDE", 3 "MAX".
 * @scpi `:REFL:TDOM:STAT?`
 * @reply `1`
 * @scpi `:REFL:TDOM:GAT:STAT <OFF|ON>;:REFL:TDOM:GAT:<CENT|STAR> <centerStart:%f+>;<SPAN|STOP> <spanStop:%f+>;TYPE <FENC|GATE>;COUP <OFF|ON>;SHAP <MIN|NORM|WIDE|MAX>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; after the query VI_ERROR_PARAMETER4, VI_ERROR_PARAMETER5, VI_ERROR_INSTR_START_GT_STOP or VI_ERROR_INSTR_CENTER_SPAN_RANGE, VI_ERROR_PARAMETER6 to VI_ERROR_PARAMETER8; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflGateNFence(vi, VI_TRUE, VI_FALSE, 2e-9, 1e-9, VI_TRUE, VI_FALSE, 1);`
 */
KAVREL_API ViStatus kavrel_reflGateNFence(ViSession vi, ViBoolean gate, ViBoolean positionForm, ViReal64 centerStart, ViReal64 spanStop, ViBoolean gateOrFence, ViBoolean coupling, ViInt32 gateShape);

/* ---- Reflection display and scaling ---------------------------------------- */
/**
 * @brief Reflection x-axis window of a channel, as centre and span or start and stop.
 *
 * Selects measurement 1 of the channel, then asks about the axis shown: with the time domain off the limits are
 * 250 MHz to @fmax; with it on, -1 to 1 s for a time display, else -3e8 to 3e8 m, or -983570000 to 983570000 ft
 * unless the unit is metres. Start must not exceed stop; centre +- |span|/2 must stay within the limits.
 *
 * @vi
 * @param[in] channel ViBoolean: VI_FALSE channel 1, VI_TRUE channel 2.
 * @param[in] positionForm ViBoolean: VI_FALSE centre and span, VI_TRUE start and stop.
 * @param[in] centerStart ViReal64: the centre or start, in the axis unit.
 * @param[in] spanStop ViReal64: the span or stop.
 * @scpi `:CHAN:ACT <1|2>;:MEAS:ACT 1`
 * @scpi `:REFL:TDOM:STAT?`
 * @reply `1`
 * @scpi `:REFL:TDOM:DISP?`
 * @reply `TIME`
 * @scpi `:REFL:DISP:<CENT|STAR> <centerStart:%f+>;<SPAN|STOP> <spanStop:%f+>`
 * With the time domain off only the state is asked; with a distance display the unit is asked too (":REFL:TDOM:UNIT?").
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; after the queries VI_ERROR_PARAMETER4, VI_ERROR_PARAMETER5, VI_ERROR_INSTR_START_GT_STOP or VI_ERROR_INSTR_CENTER_SPAN_RANGE; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflDispZoom(vi, VI_FALSE, VI_TRUE, 0.0, 5e-9);`
 */
KAVREL_API ViStatus kavrel_reflDispZoom(ViSession vi, ViBoolean channel, ViBoolean positionForm, ViReal64 centerStart, ViReal64 spanStop);
/**
 * @brief Reflection y-axis: automatic scaling, or a scale per division, reference position and level.
 * @vi
 * @chan
 * @meas
 * @param[in] autoScale ViBoolean: VI_TRUE automatic.
 * @param[in] scalePerDivision ViReal64: any finite number (manual).
 * @param[in] referencePosition ViInt32: 0 to 10; checked in every mode.
 * @param[in] referenceLevel ViReal64: any finite number (manual).
 * @selects
 * @scpi `:REFL:SCAL:DIV <scalePerDivision:%f>;POS <referencePosition:%d>;RLEV <referenceLevel:%f>`
 * Automatic sends `:REFL:SCAL:AUT`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER7 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflScaling(vi, VI_FALSE, VI_FALSE, VI_FALSE, 10.0, 5, 0.0);`
 */
KAVREL_API ViStatus kavrel_reflScaling(ViSession vi, ViBoolean channel, ViBoolean measurement, ViBoolean autoScale, ViReal64 scalePerDivision, ViInt32 referencePosition, ViReal64 referenceLevel);

/* ---- Reflection data and memory -------------------------------------------- */
/**
 * @brief The number of sweep points and the reflection trace, two values a point.
 *
 * Asks the points first; the block is asked for only when an array is given.
 *
 * @vi
 * @param[out] numberOfPoints ViPInt32: the sweep points; may be VI_NULL.
 * @param[out] firstValues ViReal64[]: the first value of each point received (at most 800 points); may be VI_NULL.
 * @param[out] secondValues ViReal64[]: the second value of each point; may be VI_NULL.
 * @scpi `:SOUR:SWE:POIN?`
 * @reply `2`
 * @scpi `:REFL:DATA:BIN?`
 * @replyblock `0.5 -0.25 0.75 0.125`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the points reply is not a number or the block does not begin with "#0"; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `ViInt32 points; ViReal64 re[800], im[800]; kavrel_reflReadData(vi, &points, re, im);`
 */
KAVREL_API ViStatus kavrel_reflReadData(ViSession vi, ViPInt32 numberOfPoints, ViReal64 firstValues[], ViReal64 secondValues[]);
/**
 * @brief Description of a reflection calibration store.
 *
 * Asks the number of stores first, then one query per output asked for, in the order of the outputs.
 *
 * @vi
 * @param[in] store ViInt32: 1 to the number of stores the instrument reports.
 * @param[out] numberOfStores ViPInt32: the number of stores (set before the store is checked); may be VI_NULL.
 * @param[out] cable ViPInt32: the cable setting; may be VI_NULL.
 * @param[out] connector ViPInt32: 0 "C35", 1 "CN", 2 "C7", 3 "WG", 4 "USER"; may be VI_NULL.
 * @param[out] dateTime ViChar[72]: "day.month.year;hour:minute:second"; may be VI_NULL.
 * @param[out] connectorSex ViPInt32: 0 neutral, 1 male, 2 female; may be VI_NULL.
 * @param[out] title ViChar[513]: the title as received, quotes and line end included; may be VI_NULL.
 * @param[out] calibrationType ViPInt32: 0 "CSOF", 1 "CSOS", 2 "WSOL", 3 "WS12", 4 "WSOS"; may be VI_NULL.
 * @scpi `:REFL:CAL:DATA:MAX?`
 * @reply `8`
 * @scpi `:REFL:CAL:DATA:CABL? <store:%d>`
 * @reply `1`
 * @scpi `:REFL:CAL:DATA:CONN? <store:%d>`
 * @reply `CN`
 * @scpi `:REFL:CAL:DATA:DATE? <store:%d>`
 * @reply `2026,12,8`
 * @scpi `:REFL:CAL:DATA:TIME? <store:%d>`
 * @reply `14,30,5`
 * @scpi `:REFL:CAL:DATA:SEX? <store:%d>`
 * @reply `MALE`
 * @scpi `:REFL:CAL:DATA:TITL? <store:%d>`
 * @reply `"Port 1 N male"`
 * @scpi `:REFL:CAL:DATA:TYPE? <store:%d>`
 * @reply `CSOF`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 after the first query; VI_ERROR_INSTR_INTERPRETING_RESPONSE for a reply that is not a number, not a date or time, or holds no known keyword; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `ViInt32 stores, cable, connector, sex, type; ViChar when[72], title[513]; kavrel_reflReadCalData(vi, 1, &stores, &cable, &connector, when, &sex, title, &type);`
 */
KAVREL_API ViStatus kavrel_reflReadCalData(ViSession vi, ViInt32 store, ViPInt32 numberOfStores, ViPInt32 cable, ViPInt32 connector, ViChar dateTime[], ViPInt32 connectorSex, ViChar title[], ViPInt32 calibrationType);
/**
 * @brief Reflection trace memory: save the trace, or show a memory.
 * @vi
 * @chan
 * @meas
 * @param[in] operation ViInt32: 0 save ("SAV"), 1 show ("MEM"), 2 show with its settings ("MEM:SETT").
 * @param[in] memory ViInt32: 1 to 4.
 * @selects
 * @scpi `:REFL:MEAS:<SAV|MEM|MEM:SETT> <memory:%d>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER5 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflMem(vi, VI_FALSE, VI_FALSE, 0, 1);`
 */
KAVREL_API ViStatus kavrel_reflMem(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 operation, ViInt32 memory);

/* ---- Calibration procedure ------------------------------------------------- */
/**
 * @brief Choose the calibration kit and type of the reflection calibration.
 *
 * Asks the instrument for its kit count first.
 *
 * @vi
 * @param[in] kitNumber ViInt32: 1 to the number of kits the instrument reports.
 * @param[in] calibrationType ViInt32: 0 "CSOF", 1 "CSOS" (coaxial), 2 "WSOL", 3 "WS12", 4 "WSOS" (waveguide).
 * @param[in] connectorSex ViBoolean: VI_FALSE female, VI_TRUE male; sent with types 0 and 1, checked with every type.
 * @scpi `:REFL:CAL:KIT:MAX?`
 * @reply `4`
 * @scpi `:REFL:CAL:KIT <kitNumber:%d>;:REFL:CAL:TYPE <CSOF|CSOS>;SEX <FEM|MALE>`
 * Waveguide types end after `TYPE <WSOL|WS12|WSOS>`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 after the query, then VI_ERROR_PARAMETER3, VI_ERROR_PARAMETER4; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the reply is not a number; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflConfigCal(vi, 1, 0, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_reflConfigCal(ViSession vi, ViInt32 kitNumber, ViInt32 calibrationType, ViBoolean connectorSex);
/**
 * @brief Measure one calibration standard.
 * @vi
 * @param[in] standard ViInt32: 0 fixed load ("FLO"), 1 open, 2 offset short ("OSH"), 3 short, 4 sliding load ("SLO"), 5 through ("TPOR").
 * @param[in] offsetShort ViBoolean: for "OSH", VI_FALSE the first, VI_TRUE the second offset short; always checked.
 * @param[in] slidingLoadPosition ViInt32: for "SLO", position 1 to 8; always checked.
 * @scpi `:REFL:CAL:MEAS:SLO <slidingLoadPosition:%d>`
 * "OSH" sends `:REFL:CAL:MEAS:OSH <1|2>`, the others `:REFL:CAL:MEAS:<FLO|OPEN|SHOR|TPOR>`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflCalMeas(vi, 4, VI_FALSE, 3);`
 */
KAVREL_API ViStatus kavrel_reflCalMeas(ViSession vi, ViInt32 standard, ViBoolean offsetShort, ViInt32 slidingLoadPosition);
/**
 * @brief Zero the reflection bridge, process the calibration into a store under a title, or restore a store.
 *
 * Processing and restoring ask the instrument for its store count first.
 *
 * @vi
 * @param[in] operation ViInt32: 0 zero, 1 process, 2 restore.
 * @param[in] storeNumber ViInt32: 1 to the number of stores the instrument reports (operations 1 and 2).
 * @param[in] title ViString: at most 20 characters, without double quotes or control characters (operation 1).
 * @scpi `:REFL:CAL:DATA:MAX?`
 * @reply `8`
 * @scpi `:REFL:CAL:PROC <storeNumber:%d>,"<title>"`
 * Zero asks nothing and sends `:REFL:ZERO`; restore sends `:REFL:CAL:REST <storeNumber:%d>`.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_PARAMETER3, VI_ERROR_PARAMETER4 after the query; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the reply is not a number; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflPerformCal(vi, 1, 2, "Port 1 N male");`
 */
KAVREL_API ViStatus kavrel_reflPerformCal(ViSession vi, ViInt32 operation, ViInt32 storeNumber, ViString title);
/**
 * @brief Abandon the reflection calibration in progress.
 * @vi
 * @scpi `:REFL:CAL:ABOR`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflAbortCal(vi);`
 */
KAVREL_API ViStatus kavrel_reflAbortCal(ViSession vi);
/**
 * @brief Switch the calibration's cable setting.
 * @vi
 * @param[in] cable ViBoolean: VI_TRUE on.
 * @scpi `:REFL:CAL:CABL <OFF|ON>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflConfigCab(vi, VI_TRUE);`
 */
KAVREL_API ViStatus kavrel_reflConfigCab(ViSession vi, ViBoolean cable);
/**
 * @brief Whether the reflection calibration in use is valid.
 * @vi
 * @param[out] validity ViPInt32: the instrument's answer, 1 valid; with VI_NULL nothing is asked and the call succeeds.
 * @scpi `:REFL:CAL:VAL?`
 * @reply `1`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the reply is not a number; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `ViInt32 valid; kavrel_reflCalVal(vi, &valid);`
 */
KAVREL_API ViStatus kavrel_reflCalVal(ViSession vi, ViPInt32 validity);

/* ---- Calibration kits ------------------------------------------------------ */
/**
 * @brief Select the calibration kit that later kit definitions apply to.
 *
 * Asks the instrument for its kit count first.
 *
 * @vi
 * @param[in] kitNumber ViInt32: 1 to the number of kits the instrument reports.
 * @scpi `:REFL:CAL:KIT:MAX?`
 * @reply `4`
 * @scpi `:REFL:CAL:KIT <kitNumber:%d>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 after the query; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the reply is not a number; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflSelectKit(vi, 2);`
 */
KAVREL_API ViStatus kavrel_reflSelectKit(ViSession vi, ViInt32 kitNumber);
/**
 * @brief Connector and identity of the selected kit.
 * @vi
 * @param[in] connector ViInt32: 0 "C35", 1 "CN", 2 "C7", 3 "WG", 4 "USER".
 * @param[in] kitIdentity ViString: at most 20 characters, without double quotes or control characters.
 * @scpi `:REFL:CAL:KIT:CONN <C35|CN|C7|WG|USER>;IDEN "<kitIdentity>"`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflConfKit(vi, 1, "N 50 ohm kit");`
 */
KAVREL_API ViStatus kavrel_reflConfKit(ViSession vi, ViInt32 connector, ViString kitIdentity);
/**
 * @brief Serial number of one standard of the selected kit.
 * @vi
 * @param[in] kitStandard ViInt32: 0 "SHOR", 1 "OPEN", 2 "FIX", 3 "SLID", 4 "OFF1", 5 "OFF2", 6 "LOAD".
 * @param[in] connectorSex ViInt32: 0 none (nothing sent), 1 male, 2 female; sent first, as its own message.
 * @param[in] serialNumber ViString: at most 20 characters, without double quotes or control characters.
 * @scpi `:REFL:CAL:KIT:SEX <MALE|FEM>`
 * @scpi `:REFL:CAL:KIT:<SHOR|OPEN|FIX|SLID|OFF1|OFF2|LOAD> "<serialNumber>"`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflSetSerNumb(vi, 0, 1, "SN 4711");`
 */
KAVREL_API ViStatus kavrel_reflSetSerNumb(ViSession vi, ViInt32 kitStandard, ViInt32 connectorSex, ViString serialNumber);
/**
 * @brief Electrical model of a coaxial kit: short, open, fixed load and sliding load.
 * @vi
 * @param[in] connectorSex ViInt32: 0 none (nothing sent), 1 male, 2 female; sent first, as its own message.
 * @param[in] shortOffsetLength ViReal64: 0 to 1e8.
 * @param[in] openOffsetLength ViReal64: 0 to 1e8.
 * @param[in] openCoefficient0 ViReal64: -999999 to 999999.
 * @param[in] openCoefficient1 ViReal64: -999999 to 999999.
 * @param[in] openCoefficient2 ViReal64: -999999 to 999999.
 * @param[in] openCoefficient3 ViReal64: -999999 to 999999.
 * @param[in] fixedLoadOffsetLength ViReal64: 0 to 1e8.
 * @param[in] fixedLoadBfr ViReal64: 0 to 999999e6.
 * @param[in] slidingLoadBfr ViReal64: 0 to 999999e6.
 * @scpi `:REFL:CAL:KIT:SEX <MALE|FEM>`
 * @scpi `:REFL:CAL:KIT:SHOR:OLEN <shortOffsetLength:%f>;:REFL:CAL:KIT:OPEN:OLEN <openOffsetLength:%f>;FCO <c0:%e>,<c1:%e>,<c2:%e>,<c3:%e>;:REFL:CAL:KIT:FIX:OLEN <fixedLoadOffsetLength:%f>;BFR <fixedLoadBfr:%f>;:REFL:CAL:KIT:SLID:BFR <slidingLoadBfr:%f>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER8, VI_ERROR_INSTR_PARAMETER9 to VI_ERROR_INSTR_PARAMETER11 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflConfCoaxial(vi, 2, 0.005, 0.004, 10.0, -2.5, 0.5, 0.0, 0.0, 6e9, 18e9);`
 */
KAVREL_API ViStatus kavrel_reflConfCoaxial(ViSession vi, ViInt32 connectorSex, ViReal64 shortOffsetLength,
                                           ViReal64 openOffsetLength, ViReal64 openCoefficient0,
                                           ViReal64 openCoefficient1, ViReal64 openCoefficient2,
                                           ViReal64 openCoefficient3, ViReal64 fixedLoadOffsetLength,
                                           ViReal64 fixedLoadBfr, ViReal64 slidingLoadBfr);
/**
 * @brief Electrical model of a waveguide kit: cut-off, short, load, one offset short and the frequency range.
 * @vi
 * @param[in] cutoffFrequency ViReal64, Hz: 0 to 999999e6.
 * @param[in] shortOffsetLength ViReal64: 0 to 1e8.
 * @param[in] loadOffsetLength ViReal64: 0 to 1e8.
 * @param[in] offsetShort ViBoolean: VI_FALSE the first offset short ("OFF1"), VI_TRUE the second ("OFF2").
 * @param[in] offsetShortLength ViReal64: 0 to 1e8.
 * @param[in] minFrequency ViReal64, Hz: 0 to 999999e6.
 * @param[in] maxFrequency ViReal64, Hz: 0 to 999999e6.
 * @scpi `:REFL:CAL:KIT:WGC <cutoffFrequency:%e>;SHOR:OLEN <shortOffsetLength:%f>;:REFL:CAL:KIT:LOAD:OLEN <loadOffsetLength:%f>;:REFL:CAL:KIT:<OFF1|OFF2>:OLEN <offsetShortLength:%f>;MINF <minFrequency:%e>;MAXF <maxFrequency:%e>`
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER8 before anything is sent; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflConfWaveguide(vi, 6.557e9, 0.0, 0.0, VI_TRUE, 0.0125, 8.2e9, 12.4e9);`
 */
KAVREL_API ViStatus kavrel_reflConfWaveguide(ViSession vi, ViReal64 cutoffFrequency, ViReal64 shortOffsetLength,
                                             ViReal64 loadOffsetLength, ViBoolean offsetShort,
                                             ViReal64 offsetShortLength, ViReal64 minFrequency,
                                             ViReal64 maxFrequency);

/* ---- Stored-data transfer to and from files -------------------------------- */
/* Direction VI_TRUE copies the store into the file, VI_FALSE loads the file into the store; file names at most 128 characters. */
/**
 * @brief Copy a scalar trace memory into a host file, or load a host file into it.
 *
 * The file holds the store's reply byte for byte; loading sends the command prefix and the file's bytes as one message.
 *
 * @vi
 * @param[in] direction ViBoolean: VI_TRUE store to file, VI_FALSE file to store.
 * @param[in] memoryNumber ViInt32: 1 to the number of memories the instrument reports.
 * @param[in] fileName ViString: host file name, at most 128 characters.
 * @scpi `:SCAL:MEM:MAX?`
 * @reply `4`
 * @scpi `:SCAL:MEM:DATA? <memoryNumber:%d>`
 * @replyblock `1.0 2.0`
 * Loading sends `:SCAL:MEM:DATA <memoryNumber:%d>,` followed by the file's bytes.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_PARAMETER3, VI_ERROR_PARAMETER4 after the query; VI_ERROR_INSTR_FILE_OPEN, VI_ERROR_INSTR_FILE_WRITE for the host file; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the count is not a number; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_scalTranData(vi, VI_TRUE, 1, "memory1.bin");`
 */
KAVREL_API ViStatus kavrel_scalTranData(ViSession vi, ViBoolean direction, ViInt32 memoryNumber, ViString fileName);
/**
 * @brief Copy a scalar path calibration into a host file, or load a host file into it.
 *
 * The file holds the store's reply byte for byte; loading sends the command prefix and the file's bytes as one message.
 *
 * @vi
 * @param[in] direction ViBoolean: VI_TRUE store to file, VI_FALSE file to store.
 * @param[in] storeNumber ViInt32: 1 to 4.
 * @param[in] fileName ViString: host file name, at most 128 characters.
 * @scpi `:SCAL:PCAL:STOR? <storeNumber:%d>`
 * @replyblock `1.0 2.0`
 * Loading sends `:SCAL:PCAL:STOR <storeNumber:%d>,` followed by the file's bytes.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 to VI_ERROR_PARAMETER4 before anything is sent; VI_ERROR_INSTR_FILE_OPEN, VI_ERROR_INSTR_FILE_WRITE for the host file; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_scalTranCal(vi, VI_TRUE, 2, "pathcal2.bin");`
 */
KAVREL_API ViStatus kavrel_scalTranCal(ViSession vi, ViBoolean direction, ViInt32 storeNumber, ViString fileName);
/**
 * @brief Copy a power-sensor correction store into a host file, or load a host file into it.
 *
 * The file holds the store's reply byte for byte; loading sends the command prefix and the file's bytes as one message.
 *
 * @vi
 * @param[in] direction ViBoolean: VI_TRUE store to file, VI_FALSE file to store.
 * @param[in] storeNumber ViInt32: 1 to the number of stores the instrument reports.
 * @param[in] fileName ViString: host file name, at most 128 characters.
 * @scpi `:INP:CFAC:STOR:MAX?`
 * @reply `4`
 * @scpi `:INP:CFAC:STOR:DATA? <storeNumber:%d>`
 * @replyblock `1.0 2.0`
 * Loading sends `:INP:CFAC:STOR <storeNumber:%d>,` followed by the file's bytes.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_PARAMETER3, VI_ERROR_PARAMETER4 after the query; VI_ERROR_INSTR_FILE_OPEN, VI_ERROR_INSTR_FILE_WRITE for the host file; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the count is not a number; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_inpTranSen(vi, VI_TRUE, 1, "sensor1.bin");`
 */
KAVREL_API ViStatus kavrel_inpTranSen(ViSession vi, ViBoolean direction, ViInt32 storeNumber, ViString fileName);
/**
 * @brief Copy the fault-location calibration into a host file, or load a host file into it.
 *
 * The file holds the store's reply byte for byte; loading sends the command prefix and the file's bytes as one message.
 *
 * @vi
 * @param[in] direction ViBoolean: VI_TRUE store to file, VI_FALSE file to store.
 * @param[in] fileName ViString: host file name, at most 128 characters.
 * @scpi `:FLOC:CAL:STOR?`
 * @replyblock `1.0 2.0`
 * Loading sends `:FLOC:CAL:STOR ` followed by the file's bytes.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3 before anything is sent; VI_ERROR_INSTR_FILE_OPEN, VI_ERROR_INSTR_FILE_WRITE for the host file; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_flocTranCal(vi, VI_TRUE, "floc.bin");`
 */
KAVREL_API ViStatus kavrel_flocTranCal(ViSession vi, ViBoolean direction, ViString fileName);
/**
 * @brief Copy a reflection calibration store into a host file, or load a host file into it.
 *
 * The file holds the store's reply byte for byte; loading sends the command prefix and the file's bytes as one message.
 *
 * @vi
 * @param[in] direction ViBoolean: VI_TRUE store to file, VI_FALSE file to store.
 * @param[in] storeNumber ViInt32: 1 to the number of stores the instrument reports.
 * @param[in] fileName ViString: host file name, at most 128 characters.
 * @scpi `:REFL:CAL:DATA:MAX?`
 * @reply `8`
 * @scpi `:REFL:CAL:DATA:STOR? <storeNumber:%d>`
 * @replyblock `1.0 2.0`
 * Loading sends `:REFL:CAL:DATA:STOR <storeNumber:%d>,` followed by the file's bytes.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_PARAMETER3, VI_ERROR_PARAMETER4 after the query; VI_ERROR_INSTR_FILE_OPEN, VI_ERROR_INSTR_FILE_WRITE for the host file; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the count is not a number; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflTranCal(vi, VI_TRUE, 3, "cal3.bin");`
 */
KAVREL_API ViStatus kavrel_reflTranCal(ViSession vi, ViBoolean direction, ViInt32 storeNumber, ViString fileName);
/**
 * @brief Copy a calibration kit into a host file, or load a host file into it.
 *
 * The file holds the store's reply byte for byte; loading sends the command prefix and the file's bytes as one message.
 *
 * @vi
 * @param[in] direction ViBoolean: VI_TRUE store to file, VI_FALSE file to store.
 * @param[in] kitNumber ViInt32: 1 to the number of kits the instrument reports.
 * @param[in] fileName ViString: host file name, at most 128 characters.
 * @scpi `:REFL:CAL:KIT:MAX?`
 * @reply `4`
 * @scpi `:REFL:CAL:KIT:STOR? <kitNumber:%d>`
 * @replyblock `1.0 2.0`
 * Loading sends `:REFL:CAL:KIT:STOR <kitNumber:%d>,` followed by the file's bytes.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 before anything is sent; VI_ERROR_PARAMETER3, VI_ERROR_PARAMETER4 after the query; VI_ERROR_INSTR_FILE_OPEN, VI_ERROR_INSTR_FILE_WRITE for the host file; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the count is not a number; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_reflTranCalKit(vi, VI_TRUE, 1, "kit1.bin");`
 */
KAVREL_API ViStatus kavrel_reflTranCalKit(ViSession vi, ViBoolean direction, ViInt32 kitNumber, ViString fileName);
/**
 * @brief Copy a source calibration table into a host file, or load a host file into a user table.
 * @vi
 * @param[in] operation ViInt32: 0 read the "PPST" table, 1 read the "FST" table, 2 read user table n, 3 load user table n.
 * @param[in] tableNumber ViInt32: n, 1 to the number the instrument reports (operations 2 and 3; the fixed tables ignore it).
 * @param[in] fileName ViString: host file name, at most 128 characters.
 * @scpi `:SOUR:CAL:MAX?`
 * @reply `4`
 * @scpi `:SOUR:CAL:UPST? <tableNumber:%d>`
 * @replyblock `1.0 2.0`
 * Operations 0 and 1 ask no count and send `:SOUR:CAL:<PPST|FST>?`; loading sends `:SOUR:CAL:UPST <tableNumber:%d>,` followed by the file's bytes.
 * @statuscheck
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 (and for the fixed tables VI_ERROR_PARAMETER4) before anything is sent; VI_ERROR_PARAMETER3, VI_ERROR_PARAMETER4 after the query; VI_ERROR_INSTR_FILE_OPEN, VI_ERROR_INSTR_FILE_WRITE for the host file; VI_ERROR_INSTR_INTERPRETING_RESPONSE when the count is not a number; VI_ERROR_INSTR_SPECIFIC; a VISA error.
 * @sample `kavrel_sourTranCal(vi, 2, 1, "user1.bin");`
 */
KAVREL_API ViStatus kavrel_sourTranCal(ViSession vi, ViInt32 operation, ViInt32 tableNumber, ViString fileName);

/* ---- The VISA library ------------------------------------------------------ */
/**
 * @brief The VISA library the driver uses, or why it can use none.
 *
 * Loads VISA if it is not loaded yet: the library named by the environment
 * variable KAVREL_VISA_LIBRARY (a file name or a path) first, then the
 * built-in list of vendors' libraries; on Windows, visa32.dll through the
 * normal DLL search. Paths are UTF-8. No instrument I/O.
 *
 * @param[in] vi ViSession: not used; VI_NULL will do.
 * @param[in] bufferSize ViInt32: size of description in bytes, 1 or more; a longer text is cut to fit.
 * @param[out] description ViChar[]: the path of the VISA library in use or, when none can be used, each library tried and what was wrong with it: "not found", or the first entry point it lacks ("lacks viMemFree"), separated by "; ".
 * @return VI_SUCCESS when VISA is usable; VI_ERROR_LIBRARY_NFOUND when no library was found; VI_ERROR_SYSTEM_ERROR when the library found lacks an entry point; VI_ERROR_PARAMETER2 or VI_ERROR_PARAMETER3 for a bad size or buffer.
 * @sample `ViChar path[512]; kavrel_visa_library(VI_NULL, sizeof path, path);`
 */
KAVREL_API ViStatus kavrel_visa_library(ViSession vi, ViInt32 bufferSize, ViChar description[]);
/**
 * @brief What the VISA library in use says of itself.
 *
 * Reads the library's attributes; no instrument I/O.
 *
 * @param[in] vi ViSession: an open session, or VI_NULL to ask a resource manager opened for this call.
 * @param[out] manufacturer ViChar[256]: the library's manufacturer (VI_ATTR_RSRC_MANF_NAME); not VI_NULL.
 * @param[out] implementationVersion ViPVersion: the library's own version (VI_ATTR_RSRC_IMPL_VERSION: bits 31-20 major, 19-8 minor, 7-0 sub-minor); may be VI_NULL.
 * @param[out] specificationVersion ViPVersion: the VISA specification version it implements (VI_ATTR_RSRC_SPEC_VERSION, the same form); may be VI_NULL.
 * @return VI_SUCCESS; VI_ERROR_PARAMETER2 without a manufacturer buffer; VISA's status. The outputs change only on success.
 * @sample `ViChar maker[256]; ViVersion version; kavrel_visa_identity(vi, maker, &version, VI_NULL);`
 */
KAVREL_API ViStatus kavrel_visa_identity(ViSession vi, ViChar manufacturer[], ViPVersion implementationVersion,
                                         ViPVersion specificationVersion);

#ifdef __cplusplus
}
#endif

#endif /* KAVREL_H */
