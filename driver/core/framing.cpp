#include "driver/core/framing.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "driver/core/status.h"
#include "visa_binding/visa_api.h"

namespace kavrel {
namespace {

constexpr ViByte kLineFeed = 0x0A;

// Line-feed sessions open now; every other session ends its messages with END.
// The count lets a process without any answer without taking the lock.
std::mutex g_lineSessionsLock;
std::vector<ViSession> g_lineSessions;
std::atomic<std::size_t> g_lineSessionCount{0};

enum class Link { instrument, socket, serial };

Link linkOf(ViSession vi) {
  ViChar resourceClass[256] = {};
  if (viGetAttribute(vi, VI_ATTR_RSRC_CLASS, resourceClass) >= VI_SUCCESS) {
    resourceClass[sizeof resourceClass - 1] = '\0';
    if (std::strcmp(resourceClass, "SOCKET") == 0) return Link::socket;
  }
  ViUInt16 interfaceType = 0;
  if (viGetAttribute(vi, VI_ATTR_INTF_TYPE, &interfaceType) >= VI_SUCCESS && interfaceType == VI_INTF_ASRL)
    return Link::serial;
  return Link::instrument;
}

}  // namespace

ViStatus setUpFraming(ViSession vi) {
  forgetFraming(vi);  // a handle VISA hands out again starts afresh
  const Link link = linkOf(vi);
  if (link == Link::instrument) return VI_SUCCESS;
  KAVREL_RETURN_IF_ERROR(viSetAttribute(vi, VI_ATTR_TERMCHAR, kLineFeed));
  KAVREL_RETURN_IF_ERROR(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE));
  // A serial line takes the termination character for the end of input
  // (VISA's default); a VISA without the attribute has no other end.
  if (link == Link::serial) viSetAttribute(vi, VI_ATTR_ASRL_END_IN, VI_ASRL_END_TERMCHAR);
  try {
    std::lock_guard guard(g_lineSessionsLock);
    g_lineSessions.push_back(vi);
    g_lineSessionCount = g_lineSessions.size();
  } catch (const std::bad_alloc&) {
    return VI_ERROR_ALLOC;
  }
  return VI_SUCCESS;
}

void forgetFraming(ViSession vi) {
  if (g_lineSessionCount == 0) return;
  std::lock_guard guard(g_lineSessionsLock);
  std::erase(g_lineSessions, vi);
  g_lineSessionCount = g_lineSessions.size();
}

Framing framingOf(ViSession vi) {
  if (g_lineSessionCount == 0) return Framing::end;
  std::lock_guard guard(g_lineSessionsLock);
  return std::find(g_lineSessions.begin(), g_lineSessions.end(), vi) != g_lineSessions.end() ? Framing::lineFeed
                                                                                             : Framing::end;
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
