// Binary trace blocks: "#0", then big-endian float32 values up to the end of
// the message, read with one formatted query.
#ifndef KAVREL_CORE_BLOCK_H
#define KAVREL_CORE_BLOCK_H

#include <array>

#include "driver/kavrel.h"

namespace kavrel {

// Receive area for one trace: the largest trace is a reflection trace of 800
// points with two values each.
inline constexpr ViInt32 kBlockCapacity = 1600;

struct FloatBlock {
  std::array<ViReal32, kBlockCapacity> values;
  ViInt32 count = 0;  // values received
};

// viQueryf(query, "#0%#zy") for at most maxCount values (clamped to
// 0..kBlockCapacity); block.count is what VISA reports as received, never
// more than asked. On a session without END the query goes out with its line
// feed and exactly maxCount values are read by count, then the block's
// closing line feed. `query` is a fixed text without '%'.
ViStatus queryFloatBlock(ViSession vi, const char* query, ViInt32 maxCount, FloatBlock& block);

}  // namespace kavrel

#endif
