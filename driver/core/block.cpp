#include "driver/core/block.h"

#include "visa_binding/visa_api.h"

namespace kavrel {

ViStatus queryFloatBlock(ViSession vi, const char* query, ViInt32 maxCount, FloatBlock& block) {
  if (maxCount < 0) maxCount = 0;
  if (maxCount > kBlockCapacity) maxCount = kBlockCapacity;
  ViInt32 count = maxCount;
  ViStatus status = viQueryf(vi, query, "#0%#zy", &count, block.values.data());
  // Trust VISA's count only as far as the area it was given.
  block.count = (status < VI_SUCCESS || count < 0) ? 0 : (count > maxCount ? maxCount : count);
  return status;
}

}  // namespace kavrel
