// Reals in fixed-point notation that read back as the value they were made
// from. "%f" keeps six decimals, which turns times of nanoseconds given in
// seconds (electrical delay, gate and zoom positions) into 0.000000.
#ifndef KAVREL_CORE_EXACT_REAL_H
#define KAVREL_CORE_EXACT_REAL_H

#include <string>

#include "driver/kavrel.h"

namespace kavrel {

// Fixed-point with at least six decimals, as "%f" writes them, and as many
// more as the value needs: 1.5 gives "1.500000", 1.5e-9 "0.0000000015".
std::string exactReal(ViReal64 value);

}  // namespace kavrel

#endif
