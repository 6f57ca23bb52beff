/* Compile-only check: the public header is valid C99 and agrees with VISA's
 * own declarations when those come first. */
#include "visa_binding/visa_api.h"
#include "driver/kavrel.h"

typedef char kavrel_check_int32[sizeof(ViInt32) == 4 ? 1 : -1];
typedef char kavrel_check_session[sizeof(ViSession) == 4 ? 1 : -1];
typedef char kavrel_check_boolean[sizeof(ViBoolean) == 2 ? 1 : -1];

ViStatus (*kavrel_check_init)(ViRsrc, ViBoolean, ViBoolean, ViPSession) = kavrel_init;
