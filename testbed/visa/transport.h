// The link between a stand-in session and what answers it: the scripted
// instrument, or a network instrument reached over a real protocol. Sessions,
// attributes and formatted I/O sit above this and do not depend on the kind.
#ifndef KAVREL_STANDIN_TRANSPORT_H
#define KAVREL_STANDIN_TRANSPORT_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "visa_binding/visa_api.h"

namespace kavrel::standin {

class Transport {
 public:
  virtual ~Transport() = default;

  // Send bytes to the device; `end` asserts END with the last byte.
  virtual ViStatus write(std::string_view bytes, bool end, ViUInt32 timeoutMs) = 0;

  // Receive at most `capacity` bytes of the current message into `buf`,
  // waiting up to `timeoutMs` for the first byte. `received` is the number
  // stored; `end` is true when the last stored byte carried END. A read never
  // goes past END: the next read starts the next message.
  virtual ViStatus read(ViByte* buf, std::size_t capacity, ViUInt32 timeoutMs, std::size_t& received, bool& end) = 0;

  // Device clear: drop what the device has pending in either direction.
  virtual ViStatus clear(ViUInt32 timeoutMs) = 0;

  // Serial poll: the device's status byte.
  virtual ViStatus readStatusByte(ViUInt32 timeoutMs, ViUInt16& stb) = 0;

  // The device's own lock: exclusive when `sharedKey` is empty, else shared
  // under that key, waiting up to `lockTimeoutMs` for other clients' locks
  // (VI_ERROR_TMO when not granted). `timeoutMs` bounds the exchange itself.
  virtual ViStatus lock(std::string_view /*sharedKey*/, ViUInt32 /*lockTimeoutMs*/, ViUInt32 /*timeoutMs*/) {
    return VI_ERROR_NSUP_OPER;
  }
  // Release the lock taken last (exclusive before shared).
  virtual ViStatus unlock(ViUInt32 /*timeoutMs*/) { return VI_ERROR_NSUP_OPER; }
  // Group execute trigger.
  virtual ViStatus trigger(ViUInt32 /*timeoutMs*/) { return VI_ERROR_NSUP_OPER; }
  // Remote/local control with VISA's REN modes (VI_GPIB_REN_*, 0..6).
  virtual ViStatus remoteLocal(ViUInt16 /*mode*/, ViUInt32 /*timeoutMs*/) { return VI_ERROR_NSUP_OPER; }

  // Attributes of the protocol: the value and its width in bytes, or nothing
  // when the transport has no such attribute.
  struct AttributeValue {
    ViUInt64 value;
    unsigned bytes;
  };
  virtual std::optional<AttributeValue> protocolAttribute(ViAttr /*attr*/) const { return std::nullopt; }
  // Set one: nothing when the transport has no such attribute, else the status.
  virtual std::optional<ViStatus> setProtocolAttribute(ViAttr /*attr*/, ViAttrState /*value*/, ViUInt32 /*timeoutMs*/) {
    return std::nullopt;
  }
};

enum class ResourceKind { Scripted, Hislip, Vxi11, Socket };

// TCPIP "...::hislipN[,port][::INSTR]" is HiSLIP, TCPIP "...::port::SOCKET" a
// raw socket, TCPIP "::host", "::host::INSTR" and device names starting with
// "inst", "gpib" or "vxi" VXI-11; every other name reaches the scripted instrument.
ResourceKind classifyResource(std::string_view name);

// Where a HiSLIP or SOCKET resource lives.
struct NetworkAddress {
  std::string host;      // name, dotted IPv4, or IPv6 without its brackets
  std::uint16_t port = 0;
  std::string device;    // HiSLIP sub-address ("hislip0"), VXI-11 device ("inst0"); empty for SOCKET
};

// "TCPIP[board]::host::hislipN[,port][::INSTR]" (default port 4880),
// "TCPIP[board]::host[::instN[,port] | ::gpibB,N[,port]][::INSTR]" (VXI-11;
// the port is the portmapper's, 111 by default, device inst0 by default) or
// "TCPIP[board]::host::port::SOCKET", case-insensitive: VI_SUCCESS with
// `out` filled, or VI_ERROR_INV_RSRC_NAME.
ViStatus parseNetworkResource(std::string_view name, ResourceKind kind, NetworkAddress& out);

// What viParseRsrc tells of a resource name: its interface type and board
// number, and its resource class ("INSTR" where the name gives none).
struct ParsedResource {
  ViUInt16 interfaceType = 0;
  ViUInt16 board = 0;
  std::string resourceClass;
};
// The interface type a resource name begins with; GPIB for the scripted
// instrument's names of no known interface.
ViUInt16 interfaceTypeOf(std::string_view name);
// VI_SUCCESS with `out` filled, or VI_ERROR_INV_RSRC_NAME for a name of no
// known interface, a bad board number, or a TCPIP name that cannot be opened.
ViStatus parseResource(std::string_view name, ParsedResource& out);

// Open the transport a resource name leads to for session `vi`: VI_SUCCESS
// with `out` set, or the status viOpen returns. `timeoutMs` bounds the
// connection set-up.
ViStatus openTransport(std::string_view resourceName, ViSession vi, ViUInt32 timeoutMs,
                       std::unique_ptr<Transport>& out);

// A transport to a LAN instrument, for session `vi` (its trace lines carry it).
class NetworkTransport : public Transport {
 public:
  // Connect and run the protocol's start-up, within `timeoutMs` (or a few seconds at least).
  virtual ViStatus open(const NetworkAddress& address, ViUInt32 timeoutMs) = 0;
};
std::unique_ptr<NetworkTransport> makeHislipTransport(ViSession vi);
std::unique_ptr<NetworkTransport> makeSocketTransport(ViSession vi);
std::unique_ptr<NetworkTransport> makeVxi11Transport(ViSession vi);

}  // namespace kavrel::standin

#endif
