// Internal steps of the session lifecycle.
#ifndef KAVREL_CORE_SESSION_H
#define KAVREL_CORE_SESSION_H

#include "driver/kavrel.h"

// Reads model and options into the session's record (created on first use)
// and sets the instrument's status reporting; used by kavrel_init and kavrel_reset.
ViStatus kavrel_defaultInstrSetup(ViSession vi);
// Undoes a partly done kavrel_init: frees the record, closes both sessions,
// sets *vi to VI_NULL and returns `status`.
ViStatus kavrel_initCleanUp(ViSession rm, ViPSession vi, ViStatus status);

#endif
