// The blocking wait of kavrel_appExample, replaceable so that tests need not
// sleep through the sweep. Internal: the library does not export it; tests
// reach it by linking the driver's objects statically (kavrel_internal).
#ifndef KAVREL_APP_DELAY_H
#define KAVREL_APP_DELAY_H

#include "driver/kavrel.h"

// Use `delay` for the wait from now on; VI_NULL restores the real wait.
void kavrel_appSetDelay(void (*delay)(ViReal64 seconds));

#endif
