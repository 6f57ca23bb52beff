// VXI-11 over ONC RPC, shared by the simulated instrument and the VISA
// stand-in. The protocol's structures and XDR routines come from rpcgen
// (vxi11.x); RPC call and reply headers and the portmapper's structures
// from libtirpc. Here: record marking, whole calls and replies as bytes, and
// the protocol's numbers.
#ifndef KAVREL_VXI11_RPC_H
#define KAVREL_VXI11_RPC_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <rpc/rpc.h>

#include "testbed/vxi11/vxi11_prot.h"

namespace kavrel::vxi11 {

// Device_ErrorCode values.
enum Error : long {
  kNoError = 0,
  kSyntaxError = 1,
  kDeviceNotAccessible = 3,
  kInvalidLinkId = 4,
  kParameterError = 5,
  kChannelNotEstablished = 6,
  kOperationNotSupported = 8,
  kOutOfResources = 9,
  kDeviceLocked = 11,
  kNoLockHeld = 12,
  kIoTimeout = 15,
  kIoError = 17,
  kInvalidAddress = 21,
  kAbort = 23,
  kChannelAlreadyEstablished = 29,
};

// Device_Flags bits and device_read reasons.
inline constexpr long kFlagWaitLock = 0x01;
inline constexpr long kFlagEnd = 0x08;
inline constexpr long kFlagTermChar = 0x80;
inline constexpr long kReasonRequestCount = 0x01;
inline constexpr long kReasonTermChar = 0x02;
inline constexpr long kReasonEnd = 0x04;

// The portmapper (version 2, GETPORT) and rpcbind (versions 3 and 4, GETADDR) on port 111.
inline constexpr unsigned long kPortmapProgram = 100000;
inline constexpr unsigned long kPortmapVersion = 2;
inline constexpr unsigned long kPortmapGetPort = 3;
inline constexpr unsigned long kRpcbindGetAddr = 3;
inline constexpr std::uint16_t kPortmapPort = 111;

// An XDR routine as libtirpc's generic routine type, which every libtirpc call takes.
template <typename Routine>
xdrproc_t xdrRoutine(Routine* routine) {
  return reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(routine));
}

// ---- record marking (TCP) ---------------------------------------------------

// The largest record either side takes: room for the largest data field and its call.
inline constexpr std::size_t kMaxRecord = VXI11_MAX_DATA + 4096;

// One message as one last fragment.
std::string recordEncode(std::string_view message);

// Reassembles records from a byte stream; a record above the limit fails it for good.
class RecordDecoder {
 public:
  explicit RecordDecoder(std::size_t maxRecord) : maxRecord_(maxRecord) {}
  void feed(std::string_view bytes);
  std::optional<std::string> next();
  bool failed() const { return failed_; }

 private:
  std::size_t maxRecord_;
  std::string buffer_;
  std::size_t offset_ = 0;
  std::string record_;  // fragments of the record so far
  bool failed_ = false;
};

enum class ReadStatus { ok, closed, failed };
// Read one whole record from a blocking socket.
ReadStatus readRecord(int fd, std::size_t maxRecord, std::string& out);

// ---- calls and replies ----------------------------------------------------------

struct CallHeader {
  std::uint32_t xid = 0;
  rpcprog_t program = 0;
  rpcvers_t version = 0;
  rpcproc_t procedure = 0;
  std::size_t argsOffset = 0;  // where the arguments start in the message
};

std::string callEncode(std::uint32_t xid, rpcprog_t program, rpcvers_t version, rpcproc_t procedure, xdrproc_t args,
                       const void* argp);
// Nothing when the message is not an RPC call.
std::optional<CallHeader> callDecode(std::string_view message);
// Decode arguments or results with their XDR routine; free them with xdr_free.
bool xdrDecode(std::string_view bytes, xdrproc_t proc, void* out);

// An accepted reply: SUCCESS with the results, or another accept status without.
std::string replyEncode(std::uint32_t xid, xdrproc_t results, const void* resultp);
std::string replyRefused(std::uint32_t xid, accept_stat status);

enum class ReplyStatus { ok, otherXid, refused, garbled };
// The reply to call `xid`, its results decoded into `out` (free them with xdr_free).
ReplyStatus replyDecode(std::string_view message, std::uint32_t xid, xdrproc_t results, void* out);

// Decoded XDR data, freed with its routine.
template <typename T>
struct Decoded {
  explicit Decoded(xdrproc_t routine) : proc(routine) {}
  ~Decoded() { xdr_free(proc, reinterpret_cast<char*>(&value)); }
  Decoded(const Decoded&) = delete;
  Decoded& operator=(const Decoded&) = delete;
  T value{};
  xdrproc_t proc;
};

}  // namespace kavrel::vxi11

#endif
