// The driver's one early-return form.
#ifndef KAVREL_CORE_STATUS_H
#define KAVREL_CORE_STATUS_H

#include "driver/kavrel_visatype.h"

// Returns the status of `expr` from the calling function when it is an error;
// success and warnings carry on. `expr` is evaluated once.
#define KAVREL_RETURN_IF_ERROR(expr)                                                             \
  do {                                                                                           \
    if (const ViStatus kavrelStatus_ = (expr); kavrelStatus_ < VI_SUCCESS) return kavrelStatus_; \
  } while (false)

#endif
