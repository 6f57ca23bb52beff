// The blocking wait of kavrel_appExample, replaceable so that tests need not
// sleep through the sweep. Not part of the public interface.
#ifndef KAVREL_APP_DELAY_H
#define KAVREL_APP_DELAY_H

#include "driver/kavrel.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Use `delay` for the wait from now on; VI_NULL restores the real wait. */
KAVREL_API void kavrel_appSetDelay(void (*delay)(ViReal64 seconds));

#ifdef __cplusplus
}
#endif

#endif
