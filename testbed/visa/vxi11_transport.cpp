// VXI-11 client transport ("TCPIP[board]::host[::instN | ::gpibB,N][::INSTR]"):
// the portmapper gives the core channel's port, create_link opens a link to
// the device, and every VISA operation is one RPC on that link.
#include <algorithm>
#include <cstring>

#include "testbed/visa/net.h"
#include "testbed/visa/standin_internal.h"
#include "testbed/visa/trace.h"
#include "testbed/visa/transport.h"
#include "testbed/vxi11/rpc.h"

namespace kavrel::standin {
namespace {

namespace v = kavrel::vxi11;

// Time the server gets beyond the I/O time-out it was given before its answer counts as lost.
constexpr ViUInt32 kReplyMarginMs = 1000;
constexpr ViUInt32 kCloseMs = 500;

// Procedure names for the trace.
std::string procedureName(rpcprog_t program, rpcproc_t procedure) {
  if (program != DEVICE_CORE) return procedure == v::kPortmapGetPort ? "GETPORT" : std::to_string(procedure);
  switch (procedure) {
    case create_link: return "create_link";
    case device_write: return "device_write";
    case device_read: return "device_read";
    case device_readstb: return "device_readstb";
    case device_trigger: return "device_trigger";
    case device_clear: return "device_clear";
    case device_remote: return "device_remote";
    case device_local: return "device_local";
    case device_lock: return "device_lock";
    case device_unlock: return "device_unlock";
    case destroy_link: return "destroy_link";
    default: return std::to_string(procedure);
  }
}

ViStatus deviceStatus(long error) {
  switch (error) {
    case v::kNoError: return VI_SUCCESS;
    case v::kIoTimeout: return VI_ERROR_TMO;
    case v::kDeviceLocked: return VI_ERROR_RSRC_LOCKED;
    case v::kNoLockHeld: return kErrorSesnNlocked;
    case v::kAbort: return VI_ERROR_ABORT;
    case v::kInvalidLinkId: return VI_ERROR_CONN_LOST;
    case v::kOperationNotSupported: return VI_ERROR_NSUP_OPER;
    default: return VI_ERROR_IO;
  }
}

// A deadline `margin` past a VISA time-out (an infinite one stays infinite).
net::Deadline after(ViUInt32 timeoutMs, std::uint64_t margin) {
  if (timeoutMs == VI_TMO_INFINITE) return net::Deadline(VI_TMO_INFINITE);
  return net::Deadline(static_cast<ViUInt32>(std::min<std::uint64_t>(timeoutMs + margin, VI_TMO_INFINITE - 1)));
}

// Reads and writes wait up to the time-out for another link's lock, then up
// to the time-out for the device: the answer may take both and the margin.
net::Deadline ioDeadline(ViUInt32 timeoutMs) { return after(timeoutMs, std::uint64_t{timeoutMs} + kReplyMarginMs); }

class Vxi11Transport final : public NetworkTransport {
 public:
  explicit Vxi11Transport(ViSession vi) : vi_(vi), in_(v::kMaxRecord) {}
  ~Vxi11Transport() override {
    if (linked_) {
      Device_Link lid = lid_;
      v::Decoded<Device_Error> answer(v::xdrRoutine(xdr_Device_Error));
      call(destroy_link, v::xdrRoutine(xdr_Device_Link), &lid, answer, net::Deadline(kCloseMs));
    }
    net::closeSocket(fd_);
  }
  Vxi11Transport(const Vxi11Transport&) = delete;
  Vxi11Transport& operator=(const Vxi11Transport&) = delete;

  ViStatus open(const NetworkAddress& address, ViUInt32 timeoutMs) override {
    const net::Deadline deadline(std::max(timeoutMs, net::kConnectMinimumMs));
    std::uint16_t corePort = 0;
    if (ViStatus status = askPortmapper(address, deadline, corePort); status < VI_SUCCESS) return status;
    if (ViStatus status = net::connectTo(address.host, corePort, deadline, fd_); status < VI_SUCCESS) return status;
    Create_LinkParms parms{};
    parms.clientId = static_cast<long>(vi_);
    parms.device = const_cast<char*>(address.device.c_str());
    v::Decoded<Create_LinkResp> answer(v::xdrRoutine(xdr_Create_LinkResp));
    if (ViStatus status = call(create_link, v::xdrRoutine(xdr_Create_LinkParms), &parms, answer, deadline);
        status < VI_SUCCESS) {
      return status == VI_ERROR_TMO ? status : VI_ERROR_RSRC_NFOUND;
    }
    if (answer.value.error != v::kNoError) return VI_ERROR_RSRC_NFOUND;  // no such device there
    lid_ = answer.value.lid;
    linked_ = true;
    maxWrite_ = std::clamp<std::size_t>(answer.value.maxRecvSize, 1, 1U << 20);
    return VI_SUCCESS;
  }

  ViStatus write(std::string_view bytes, bool end, ViUInt32 timeoutMs) override {
    const net::Deadline deadline = ioDeadline(timeoutMs);
    do {
      const std::string_view piece = bytes.substr(0, std::min(bytes.size(), maxWrite_));
      bytes.remove_prefix(piece.size());
      if (piece.empty() && !end) return VI_SUCCESS;
      Device_WriteParms parms{};
      parms.lid = lid_;
      parms.io_timeout = timeoutMs;
      parms.lock_timeout = timeoutMs;
      parms.flags = v::kFlagWaitLock | (bytes.empty() && end ? v::kFlagEnd : 0);
      parms.data.data_len = static_cast<u_int>(piece.size());
      parms.data.data_val = const_cast<char*>(piece.data());
      v::Decoded<Device_WriteResp> answer(v::xdrRoutine(xdr_Device_WriteResp));
      if (ViStatus status = call(device_write, v::xdrRoutine(xdr_Device_WriteParms), &parms, answer, deadline);
          status < VI_SUCCESS) {
        return status;
      }
      if (answer.value.error != v::kNoError) return deviceStatus(answer.value.error);
    } while (!bytes.empty());
    return VI_SUCCESS;
  }

  ViStatus read(ViByte* buf, std::size_t capacity, ViUInt32 timeoutMs, std::size_t& received, bool& end) override {
    received = 0;
    end = false;
    Device_ReadParms parms{};
    parms.lid = lid_;
    parms.requestSize = static_cast<u_long>(std::min<std::size_t>(capacity, 1U << 20));
    parms.io_timeout = timeoutMs;
    parms.lock_timeout = timeoutMs;
    parms.flags = v::kFlagWaitLock;
    v::Decoded<Device_ReadResp> answer(v::xdrRoutine(xdr_Device_ReadResp));
    if (ViStatus status =
            call(device_read, v::xdrRoutine(xdr_Device_ReadParms), &parms, answer, ioDeadline(timeoutMs));
        status < VI_SUCCESS) {
      return status;
    }
    if (answer.value.error != v::kNoError) return deviceStatus(answer.value.error);
    received = std::min<std::size_t>(answer.value.data.data_len, capacity);
    std::memcpy(buf, answer.value.data.data_val, received);
    end = (answer.value.reason & v::kReasonEnd) != 0;
    return VI_SUCCESS;
  }

  ViStatus clear(ViUInt32 timeoutMs) override { return generic(device_clear, timeoutMs); }
  ViStatus trigger(ViUInt32 timeoutMs) override { return generic(device_trigger, timeoutMs); }
  // Modes that assert remote (1, 3, 4, 5) are device_remote, the others device_local.
  ViStatus remoteLocal(ViUInt16 mode, ViUInt32 timeoutMs) override {
    const bool remote = mode == 1 || mode == 3 || mode == 4 || mode == 5;
    return generic(remote ? device_remote : device_local, timeoutMs);
  }

  ViStatus readStatusByte(ViUInt32 timeoutMs, ViUInt16& stb) override {
    Device_GenericParms parms = genericParms(timeoutMs);
    v::Decoded<Device_ReadStbResp> answer(v::xdrRoutine(xdr_Device_ReadStbResp));
    if (ViStatus status = call(device_readstb, v::xdrRoutine(xdr_Device_GenericParms), &parms, answer,
                               after(timeoutMs, kReplyMarginMs));
        status < VI_SUCCESS) {
      return status;
    }
    if (answer.value.error != v::kNoError) return deviceStatus(answer.value.error);
    stb = answer.value.stb;
    return VI_SUCCESS;
  }

  // VXI-11 locks are exclusive only.
  ViStatus lock(std::string_view sharedKey, ViUInt32 lockTimeoutMs, ViUInt32 timeoutMs) override {
    if (!sharedKey.empty()) return kErrorInvLockType;
    Device_LockParms parms{};
    parms.lid = lid_;
    parms.flags = v::kFlagWaitLock;
    parms.lock_timeout = lockTimeoutMs;
    v::Decoded<Device_Error> answer(v::xdrRoutine(xdr_Device_Error));
    const bool infinite = lockTimeoutMs == VI_TMO_INFINITE;
    if (ViStatus status = call(device_lock, v::xdrRoutine(xdr_Device_LockParms), &parms, answer,
                               infinite ? net::Deadline(VI_TMO_INFINITE) : after(lockTimeoutMs, timeoutMs));
        status < VI_SUCCESS) {
      return status;
    }
    return answer.value.error == v::kDeviceLocked ? VI_ERROR_TMO : deviceStatus(answer.value.error);
  }

  ViStatus unlock(ViUInt32 timeoutMs) override {
    Device_Link lid = lid_;
    v::Decoded<Device_Error> answer(v::xdrRoutine(xdr_Device_Error));
    if (ViStatus status = call(device_unlock, v::xdrRoutine(xdr_Device_Link), &lid, answer, net::Deadline(timeoutMs));
        status < VI_SUCCESS) {
      return status;
    }
    return deviceStatus(answer.value.error);
  }

  std::optional<AttributeValue> protocolAttribute(ViAttr attr) const override {
    if (attr == VI_ATTR_TCPIP_IS_HISLIP) return AttributeValue{VI_FALSE, 2};
    return std::nullopt;
  }
  std::optional<ViStatus> setProtocolAttribute(ViAttr attr, ViAttrState, ViUInt32) override {
    if (attr == VI_ATTR_TCPIP_IS_HISLIP) return VI_ERROR_ATTR_READONLY;
    return std::nullopt;
  }

 private:
  Device_GenericParms genericParms(ViUInt32 timeoutMs) const {
    Device_GenericParms parms{};
    parms.lid = lid_;
    parms.io_timeout = timeoutMs;
    parms.lock_timeout = timeoutMs;
    return parms;
  }

  ViStatus generic(rpcproc_t procedure, ViUInt32 timeoutMs) {
    Device_GenericParms parms = genericParms(timeoutMs);
    v::Decoded<Device_Error> answer(v::xdrRoutine(xdr_Device_Error));
    if (ViStatus status = call(procedure, v::xdrRoutine(xdr_Device_GenericParms), &parms, answer,
                               after(timeoutMs, kReplyMarginMs));
        status < VI_SUCCESS) {
      return status;
    }
    return deviceStatus(answer.value.error);
  }

  // The core channel's port from the portmapper at the resource's port (111 unless it names one).
  ViStatus askPortmapper(const NetworkAddress& address, const net::Deadline& deadline, std::uint16_t& corePort) {
    int fd = -1;
    if (ViStatus status = net::connectTo(address.host, address.port, deadline, fd); status < VI_SUCCESS) {
      return status;
    }
    std::swap(fd, fd_);
    pmap query{DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP, 0};
    v::Decoded<u_long> port(v::xdrRoutine(xdr_u_long));
    const ViStatus status = call(v::kPortmapGetPort, v::xdrRoutine(xdr_pmap), &query, port, deadline,
                                 v::kPortmapProgram, v::kPortmapVersion);
    net::closeSocket(fd_);
    fd_ = fd;
    in_ = v::RecordDecoder(v::kMaxRecord);
    if (status < VI_SUCCESS) return status == VI_ERROR_TMO ? status : VI_ERROR_RSRC_NFOUND;
    if (port.value == 0 || port.value > 65535) return VI_ERROR_RSRC_NFOUND;  // no VXI-11 server registered there
    corePort = static_cast<std::uint16_t>(port.value);
    return VI_SUCCESS;
  }

  // One call and its reply. Replies to earlier calls that timed out are skipped by their xid.
  template <typename Result>
  ViStatus call(rpcproc_t procedure, xdrproc_t argsRoutine, const void* args, v::Decoded<Result>& result,
                const net::Deadline& deadline, rpcprog_t program = DEVICE_CORE, rpcvers_t version = DEVICE_CORE_VERSION) {
    if (fd_ < 0) return VI_ERROR_CONN_LOST;
    const std::uint32_t xid = ++xid_;
    std::string_view message;
    const std::string record = v::recordEncode(v::callEncode(xid, program, version, procedure, argsRoutine, args));
    message = record;
    if (trace::enabled()) trace::line(vi_, "-> vxi11 " + procedureName(program, procedure) + " xid " + trace::hex32(xid));
    switch (net::sendAll(fd_, message, deadline)) {
      case net::IoResult::ok: break;
      case net::IoResult::timeout:  // a record cut short breaks the framing for good
      case net::IoResult::closed: return lose("send failed");
    }
    char chunk[64 * 1024];
    for (;;) {
      while (std::optional<std::string> reply = in_.next()) {
        switch (v::replyDecode(*reply, xid, result.proc, &result.value)) {
          case v::ReplyStatus::ok:
            if (trace::enabled()) trace::line(vi_, "<- vxi11 reply xid " + trace::hex32(xid));
            return VI_SUCCESS;
          case v::ReplyStatus::otherXid: continue;  // the late answer to an earlier call
          case v::ReplyStatus::refused:
          case v::ReplyStatus::garbled: return VI_ERROR_IO;
        }
      }
      if (in_.failed()) return lose("reply above the record limit");
      std::size_t received = 0;
      switch (net::receiveSome(fd_, chunk, sizeof chunk, deadline, received)) {
        case net::IoResult::ok: in_.feed(std::string_view(chunk, received)); break;
        case net::IoResult::timeout: return VI_ERROR_TMO;
        case net::IoResult::closed: return lose("closed by the server");
      }
    }
  }

  ViStatus lose(std::string_view why) {
    if (trace::enabled()) trace::line(vi_, std::string("connection lost: ").append(why));
    net::closeSocket(fd_);
    linked_ = false;
    return VI_ERROR_CONN_LOST;
  }

  const ViSession vi_;
  int fd_ = -1;
  v::RecordDecoder in_;
  std::uint32_t xid_ = 0;
  Device_Link lid_ = 0;
  bool linked_ = false;
  std::size_t maxWrite_ = 1U << 20;
};

}  // namespace

std::unique_ptr<NetworkTransport> makeVxi11Transport(ViSession vi) { return std::make_unique<Vxi11Transport>(vi); }

}  // namespace kavrel::standin
