/* A client as an MSVC-built program links it: compiled for the MSVC target,
 * linked by lld-link against kavrel.lib, with no MinGW run-time at all.
 * The exit code tells which check failed. */
#include "driver/kavrel.h"

int start(void) {
  ViChar text[256];
  ViSession vi = VI_NULL;
  if (kavrel_error_message(VI_NULL, VI_ERROR_INSTR_START_GT_STOP, text) != VI_SUCCESS) return 2;
  if (text[0] == '\0') return 3;
  /* A bad flag is refused before VISA is needed at all. */
  return kavrel_init("GPIB0::1::INSTR", 2, VI_FALSE, &vi) == VI_ERROR_PARAMETER2 ? 0 : 1;
}
