// How a session's messages end on the wire. Instrument sessions (HiSLIP,
// VXI-11, GPIB, USB) mark the last byte of every message with END. A raw LAN
// socket or a serial line carries no END: there every message the driver
// sends ends with a line feed, a text reply ends at its line feed, and a
// binary block is read by its length, since its data may hold 0x0A bytes.
#ifndef KAVREL_CORE_FRAMING_H
#define KAVREL_CORE_FRAMING_H

#include "driver/kavrel.h"

namespace kavrel {

enum class Framing { end, lineFeed };

// At init: reads the session's resource class and interface; a SOCKET
// session or a serial interface gets the line feed as its termination
// character. The session's framing is kept with its lock until it closes.
// Attributes that cannot be read leave the session an END session, as any
// instrument session. Returns the first failing status of setting it up.
// A session kavrel_init did not open is asked for its class at each use.
ViStatus setUpFraming(ViSession vi);
Framing framingOf(ViSession vi);

// Reads until `count` bytes arrived, whatever termination character or END
// they hold; with `stopAtLineFeed`, also stops after a read that ended with a
// line feed. `received` is what arrived; a read that brings nothing ends it.
ViStatus readBytes(ViSession vi, ViByte* buffer, ViUInt32 count, ViUInt32& received, bool stopAtLineFeed);
// Reads and drops bytes up to and including the next line feed.
ViStatus skipLine(ViSession vi);

}  // namespace kavrel

#endif
