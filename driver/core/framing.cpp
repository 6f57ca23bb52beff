#include "driver/core/framing.h"

#include <algorithm>
#include <cstring>

#include "driver/core/guard.h"
#include "driver/core/status.h"
#include "visa_binding/visa_api.h"

namespace kavrel {
namespace {

constexpr ViByte kLineFeed = 0x0A;

enum class Link { instrument, socket, serial };

// Attributes that cannot be read leave the session an instrument session;
// only a VISA out of memory is a failure.
ViStatus linkOf(ViSession vi, Link& link) {
  link = Link::instrument;
  ViChar resourceClass[256] = {};
  ViStatus status = viGetAttribute(vi, VI_ATTR_RSRC_CLASS, resourceClass);
  if (status == VI_ERROR_ALLOC) return status;
  resourceClass[sizeof resourceClass - 1] = '\0';
  if (status >= VI_SUCCESS && std::strcmp(resourceClass, "SOCKET") == 0) {
    link = Link::socket;
    return VI_SUCCESS;
  }
  ViUInt16 interfaceType = 0;
  status = viGetAttribute(vi, VI_ATTR_INTF_TYPE, &interfaceType);
  if (status == VI_ERROR_ALLOC) return status;
  if (status >= VI_SUCCESS && interfaceType == VI_INTF_ASRL) link = Link::serial;
  return VI_SUCCESS;
}

}  // namespace

ViStatus setUpFraming(ViSession vi) {
  Link link = Link::instrument;
  KAVREL_RETURN_IF_ERROR(linkOf(vi, link));
  if (link != Link::instrument) {
    KAVREL_RETURN_IF_ERROR(viSetAttribute(vi, VI_ATTR_TERMCHAR, kLineFeed));
    KAVREL_RETURN_IF_ERROR(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE));
    // A serial line takes the termination character for the end of input
    // (VISA's default); a VISA without the attribute has no other end.
    if (link == Link::serial) viSetAttribute(vi, VI_ATTR_ASRL_END_IN, VI_ASRL_END_TERMCHAR);
  }
  keepFraming(vi, link == Link::instrument ? Framing::end : Framing::lineFeed);
  return VI_SUCCESS;
}

// A session kavrel_init did not open (one the caller opened through VISA
// itself) is asked for its resource class at each use: VISA may give its
// handle to another resource once it closes, without the driver knowing.
Framing framingOf(ViSession vi) {
  Framing framing = Framing::end;
  if (keptFraming(vi, framing)) return framing;
  Link link = Link::instrument;
  linkOf(vi, link);
  return link == Link::instrument ? Framing::end : Framing::lineFeed;
}

ViStatus readBytes(ViSession vi, ViByte* buffer, ViUInt32 count, ViUInt32& received, bool stopAtLineFeed) {
  received = 0;
  while (received < count) {
    ViUInt32 got = 0;
    KAVREL_RETURN_IF_ERROR(viRead(vi, buffer + received, count - received, &got));
    received += std::min(got, count - received);
    if (got == 0 || (stopAtLineFeed && buffer[received - 1] == kLineFeed)) break;
  }
  return VI_SUCCESS;
}

ViStatus skipLine(ViSession vi) {
  ViByte scratch[64];
  ViUInt32 received = 0;
  do {
    KAVREL_RETURN_IF_ERROR(readBytes(vi, scratch, sizeof scratch, received, true));
  } while (received == sizeof scratch && scratch[received - 1] != kLineFeed);
  return VI_SUCCESS;
}

}  // namespace kavrel
