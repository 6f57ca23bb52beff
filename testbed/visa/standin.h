/* Control of the VISA stand-in from tests.
 *
 * The stand-in is a VISA library (SONAME libvisa.so.0, with a libvisa.so
 * link; visa32.dll on Windows) that the driver loads through its run-time
 * binding exactly as it would load a vendor's VISA. Any resource name that is not a TCPIP
 * HiSLIP, VXI-11 or SOCKET resource opens the scripted instrument below: a test
 * queues the replies, runs driver calls, then reads back every message
 * the driver wrote, byte for byte, and how often each operation ran.
 * Faults are injected per operation: the nth call from now fails with a
 * given status and does nothing else.
 *
 * "TCPIP[board]::host::hislipN[,port][::INSTR]" reaches a LAN instrument
 * over HiSLIP (synchronized mode), "TCPIP[board]::host[::instN][::INSTR]"
 * (or "::gpibB,N") over VXI-11 through the portmapper on port 111 (a
 * ",port" after the device names another portmapper port), and
 * "TCPIP[board]::host::port::SOCKET" over a raw TCP socket. viFindRsrc lists
 * the instruments announced on the network over mDNS (through the Avahi
 * daemon). On Windows, VXI-11 resources are not found and nothing is
 * discovered. With KAVREL_VISA_TRACE=<file> set when a session opens, every
 * message exchanged and every I/O operation with its status is appended to
 * that file. */
#ifndef KAVREL_STANDIN_H
#define KAVREL_STANDIN_H

#include <stddef.h>

#include "visa_binding/visa_api.h"

#ifdef __cplusplus
extern "C" {
#endif

enum standin_op {
  STANDIN_OPEN_DEFAULT_RM,
  STANDIN_OPEN,
  STANDIN_CLOSE,
  STANDIN_SET_ATTRIBUTE,
  STANDIN_GET_ATTRIBUTE,
  STANDIN_SET_BUF,
  STANDIN_WRITE,    /* viWrite */
  STANDIN_READ,     /* viRead */
  STANDIN_PRINTF,   /* viPrintf / viVPrintf */
  STANDIN_SCANF,    /* viScanf / viVScanf */
  STANDIN_QUERYF,   /* viQueryf / viVQueryf */
  STANDIN_STATUS_DESC,
  STANDIN_OTHER,    /* every other operation */
  STANDIN_OP_COUNT
};

/* Forget replies, the write log, call counts and pending faults; close every session. */
void standin_reset(void);

/* Queue one reply message (ended with END) for the scripted instrument's reads.
 * The bytes are queued as given: a reply that should end in a line feed includes it. */
void standin_reply(const void* data, size_t len);
void standin_reply_text(const char* text);

/* Queue the value the next "*ESR?" query answers; without one it answers 0.
 * "*ESR?" is answered from this queue, never from the reply queue. */
void standin_esr(ViInt32 value);

/* The nth call (1 = the next one; 0 counts as 1) of op from now returns status and does nothing else. */
void standin_fail(enum standin_op op, unsigned nth, ViStatus status);
/* The nth call of op from now does its work, then returns status (a VISA
 * that applied a setting yet reported an error). */
void standin_fail_after(enum standin_op op, unsigned nth, ViStatus status);
/* The nth VISA operation of any kind from now returns status and does nothing else. */
void standin_fail_any(unsigned nth, ViStatus status);
/* VISA operations of every kind since the last reset (failed ones included). */
unsigned standin_operations(void);
/* Messages the scripted instrument had received when the latest injected fault fired. */
size_t standin_writes_at_fault(void);

/* An instrument model answering in place of the queued replies: it sees
 * every message the scripted instrument receives, and a reply it returns
 * (len bytes at the returned address, copied at once) is read next. NULL
 * leaves the message to the script ("*ESR?" answered from its queue). It
 * runs under the script's lock: it must not call the stand-in. Reset drops it. */
typedef const void* (*standin_answerer)(void* context, const char* message, size_t len, size_t* replyLen);
void standin_answer(standin_answerer answerer, void* context);

/* Messages written to the scripted instrument, in order, as they reached it
 * (a formatted write counts as one message when its buffer is flushed). */
size_t standin_write_count(void);
const char* standin_written(size_t index, size_t* len);

/* Calls of op since the last reset (failed ones included). */
unsigned standin_calls(enum standin_op op);

/* Instrument and resource-manager sessions open now. */
unsigned standin_open_sessions(void);

/* Deliver an event of eventType to the handlers installed on session vi
 * (viInstallHandler): the last handler's status, VI_ERROR_HNDLR_NINSTALLED
 * when none is installed, VI_ERROR_INV_OBJECT for an unknown session. */
ViStatus standin_event(ViSession vi, ViEventType eventType);

#ifdef __cplusplus
}
#endif

#endif
