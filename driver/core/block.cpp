#include "driver/core/block.h"

#include "driver/core/status.h"
#include "visa_binding/visa_api.h"

namespace kavrel {

ViStatus queryFloatBlock(ViSession vi, const char* query, ViInt32 maxCount, FloatBlock& block) {
  if (maxCount < 0) maxCount = 0;
  if (maxCount > kBlockCapacity) maxCount = kBlockCapacity;
  ViInt32 count = maxCount;
  // The block's "#0" is read into its own two characters rather than matched
  // as literal text: a reply that does not begin with it would otherwise end
  // the scan with success and the count still at the capacity, and the
  // receive area would be taken for data.
  ViChar header[2] = {0, 0};
  ViStatus status = viQueryf(vi, query, "%2c%#zy", header, &count, block.values.data());
  block.count = 0;
  KAVREL_RETURN_IF_ERROR(status);
  if (header[0] != '#' || header[1] != '0') return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
  // Trust VISA's count only as far as the area it was given.
  block.count = count < 0 ? 0 : (count > maxCount ? maxCount : count);
  return status;
}

}  // namespace kavrel
