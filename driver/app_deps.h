// Channel and scalar functions the one-call measurement uses.
// They are declared in kavrel.h once their families are in; this header then goes.
#ifndef KAVREL_APP_DEPS_H
#define KAVREL_APP_DEPS_H

#include "driver/kavrel.h"

#ifdef __cplusplus
extern "C" {
#endif

KAVREL_API ViStatus kavrel_chanMode(ViSession vi, ViBoolean channel, ViInt32 mode);
KAVREL_API ViStatus kavrel_dualChanDisp(ViSession vi, ViBoolean dualDisplay);
KAVREL_API ViStatus kavrel_dispSetActMeas(ViSession vi, ViBoolean channel, ViBoolean measurement);
KAVREL_API ViStatus kavrel_scalPower(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 input);
KAVREL_API ViStatus kavrel_scalScaling(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 scaleMode,
                                       ViReal64 valuePerDivision, ViInt32 referencePosition, ViReal64 referenceLevel);

#ifdef __cplusplus
}
#endif

#endif
