#include "driver/core/block.h"

#include <cstdint>
#include <cstring>

#include "driver/core/frame.h"
#include "driver/core/framing.h"
#include "driver/core/status.h"
#include "visa_binding/visa_api.h"

namespace kavrel {
namespace {

// Without END the block ends where its values end: exactly as many as asked
// for are read by count, a 0x0A byte among them being data like any other,
// and then the line feed that closes the block.
ViStatus readBlockByCount(ViSession vi, const char* query, ViInt32 maxCount, FloatBlock& block) {
  KAVREL_RETURN_IF_ERROR(writeLine(vi, query));
  ViByte header[2] = {0, 0};
  ViUInt32 received = 0;
  KAVREL_RETURN_IF_ERROR(readBytes(vi, header, sizeof header, received, true));
  if (received != sizeof header || header[0] != '#' || header[1] != '0') {
    // Not a block: the rest of its line is dropped, so the next reply is read whole.
    if (received > 0 && header[received - 1] != '\n') KAVREL_RETURN_IF_ERROR(skipLine(vi));
    return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
  }
  // The values arrive in the receive area itself and are turned to host order in place.
  auto* bytes = reinterpret_cast<ViByte*>(block.values.data());
  KAVREL_RETURN_IF_ERROR(readBytes(vi, bytes, static_cast<ViUInt32>(maxCount) * 4, received, false));
  const ViUInt32 count = received / 4;
  for (ViUInt32 i = 0; i < count; ++i) {
    const ViByte* b = bytes + 4 * i;
    const std::uint32_t bits = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) |
                               (std::uint32_t{b[2]} << 8) | std::uint32_t{b[3]};
    std::memcpy(&block.values[i], &bits, sizeof bits);
  }
  KAVREL_RETURN_IF_ERROR(skipLine(vi));
  block.count = static_cast<ViInt32>(count);
  return VI_SUCCESS;
}

}  // namespace

ViStatus queryFloatBlock(ViSession vi, const char* query, ViInt32 maxCount, FloatBlock& block) {
  if (maxCount < 0) maxCount = 0;
  if (maxCount > kBlockCapacity) maxCount = kBlockCapacity;
  block.count = 0;
  if (framingOf(vi) == Framing::lineFeed) return readBlockByCount(vi, query, maxCount, block);
  ViInt32 count = maxCount;
  // The block's "#0" is read into its own two characters rather than matched
  // as literal text: a reply that does not begin with it would otherwise end
  // the scan with success and the count still at the capacity, and the
  // receive area would be taken for data.
  ViChar header[2] = {0, 0};
  ViStatus status = viQueryf(vi, query, "%2c%#zy", header, &count, block.values.data());
  KAVREL_RETURN_IF_ERROR(status);
  if (header[0] != '#' || header[1] != '0') return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
  // Trust VISA's count only as far as the area it was given.
  block.count = count < 0 ? 0 : (count > maxCount ? maxCount : count);
  return status;
}

}  // namespace kavrel
