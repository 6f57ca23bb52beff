// Compile-only check: the public header alone, in C++.
#include "driver/kavrel.h"

static_assert(sizeof(ViInt32) == 4 && sizeof(ViStatus) == 4 && sizeof(ViBoolean) == 2);
static_assert(VI_ERROR_INSTR_SPECIFIC == static_cast<ViStatus>(0xBFFC09F0));
static_assert(VI_ERROR_INSTR_PARAMETER9 == static_cast<ViStatus>(0xBFFC0809));
static_assert(VI_WARN_INSTR_SEARCH_NFOUND == 0x3FFC0901);
