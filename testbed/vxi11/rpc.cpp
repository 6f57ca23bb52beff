// Record marking and RPC messages for VXI-11, on libtirpc's XDR.
#include "testbed/vxi11/rpc.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <sys/socket.h>

namespace kavrel::vxi11 {
namespace {

constexpr std::uint32_t kLastFragment = 0x80000000u;
// Call and reply headers with null authentication take far less.
constexpr std::size_t kHeaderRoom = 64 + 2 * MAX_AUTH_BYTES;

void put32(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

std::uint32_t get32(std::string_view in) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(in[static_cast<std::size_t>(i)]);
  return value;
}

// Encode a message with `body` (which writes the header and the data) into a buffer of `room` bytes.
template <typename Body>
std::string encode(std::size_t room, Body&& body) {
  std::vector<char> buffer(room);
  XDR x;
  xdrmem_create(&x, buffer.data(), static_cast<u_int>(buffer.size()), XDR_ENCODE);
  std::string out;
  if (body(x)) out.assign(buffer.data(), xdr_getpos(&x));
  xdr_destroy(&x);
  return out;
}

std::size_t dataRoom(xdrproc_t proc, const void* data) {
  return proc == nullptr ? 0 : xdr_sizeof(proc, const_cast<void*>(data));
}

}  // namespace

std::string recordEncode(std::string_view message) {
  std::string out;
  out.reserve(4 + message.size());
  put32(out, kLastFragment | static_cast<std::uint32_t>(message.size()));
  out.append(message);
  return out;
}

void RecordDecoder::feed(std::string_view bytes) {
  if (failed_) return;
  if (offset_ > 0 && offset_ >= buffer_.size() / 2) {
    buffer_.erase(0, offset_);
    offset_ = 0;
  }
  buffer_.append(bytes);
}

std::optional<std::string> RecordDecoder::next() {
  while (!failed_ && buffer_.size() - offset_ >= 4) {
    const std::uint32_t mark = get32(std::string_view(buffer_).substr(offset_, 4));
    const std::size_t length = mark & ~kLastFragment;
    if (record_.size() + length > maxRecord_) {
      failed_ = true;
      break;
    }
    if (buffer_.size() - offset_ - 4 < length) break;
    record_.append(buffer_, offset_ + 4, length);
    offset_ += 4 + length;
    if (mark & kLastFragment) {
      std::string whole;
      whole.swap(record_);
      return whole;
    }
  }
  return std::nullopt;
}

namespace {

enum class Fill { ok, closed, failed };

// Exactly `length` bytes from a blocking socket; closed only when the peer closed before the first one.
Fill readExactly(int fd, char* out, std::size_t length) {
  std::size_t got = 0;
  while (got < length) {
    const ssize_t n = ::recv(fd, out + got, length - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return got == 0 && n == 0 ? Fill::closed : Fill::failed;
    got += static_cast<std::size_t>(n);
  }
  return Fill::ok;
}

}  // namespace

ReadStatus readRecord(int fd, std::size_t maxRecord, std::string& out) {
  out.clear();
  for (bool first = true;; first = false) {
    char mark[4];
    const Fill fill = readExactly(fd, mark, sizeof mark);
    if (fill != Fill::ok) return first && fill == Fill::closed ? ReadStatus::closed : ReadStatus::failed;
    const std::uint32_t value = get32(std::string_view(mark, sizeof mark));
    const std::size_t length = value & ~kLastFragment;
    if (length > maxRecord - out.size()) return ReadStatus::failed;
    const std::size_t at = out.size();
    out.resize(at + length);
    if (length > 0 && readExactly(fd, out.data() + at, length) != Fill::ok) return ReadStatus::failed;
    if (value & kLastFragment) return ReadStatus::ok;
  }
}

std::string callEncode(std::uint32_t xid, rpcprog_t program, rpcvers_t version, rpcproc_t procedure, xdrproc_t args,
                       const void* argp) {
  rpc_msg msg{};
  msg.rm_xid = xid;
  msg.rm_direction = CALL;
  msg.rm_call.cb_rpcvers = RPC_MSG_VERSION;
  msg.rm_call.cb_prog = program;
  msg.rm_call.cb_vers = version;
  msg.rm_call.cb_proc = procedure;
  msg.rm_call.cb_cred = _null_auth;
  msg.rm_call.cb_verf = _null_auth;
  return encode(kHeaderRoom + dataRoom(args, argp), [&](XDR& x) {
    return xdr_callmsg(&x, &msg) && (args == nullptr || args(&x, const_cast<void*>(argp)));
  });
}

std::optional<CallHeader> callDecode(std::string_view message) {
  char credentials[2 * MAX_AUTH_BYTES];
  rpc_msg msg{};
  msg.rm_call.cb_cred.oa_base = credentials;
  msg.rm_call.cb_verf.oa_base = credentials + MAX_AUTH_BYTES;
  XDR x;
  xdrmem_create(&x, const_cast<char*>(message.data()), static_cast<u_int>(message.size()), XDR_DECODE);
  const bool ok = xdr_callmsg(&x, &msg) && msg.rm_direction == CALL;
  const std::size_t offset = xdr_getpos(&x);
  xdr_destroy(&x);
  if (!ok) return std::nullopt;
  return CallHeader{msg.rm_xid, msg.rm_call.cb_prog, msg.rm_call.cb_vers, msg.rm_call.cb_proc, offset};
}

bool xdrDecode(std::string_view bytes, xdrproc_t proc, void* out) {
  XDR x;
  xdrmem_create(&x, const_cast<char*>(bytes.data()), static_cast<u_int>(bytes.size()), XDR_DECODE);
  const bool ok = proc(&x, out);
  xdr_destroy(&x);
  return ok;
}

namespace {

std::string replyWith(std::uint32_t xid, accept_stat status, xdrproc_t results, const void* resultp) {
  rpc_msg msg{};
  msg.rm_xid = xid;
  msg.rm_direction = REPLY;
  msg.rm_reply.rp_stat = MSG_ACCEPTED;
  msg.acpted_rply.ar_verf = _null_auth;
  msg.acpted_rply.ar_stat = status;
  msg.acpted_rply.ar_results.where = static_cast<caddr_t>(const_cast<void*>(resultp));
  msg.acpted_rply.ar_results.proc = results == nullptr ? xdrRoutine(xdr_void) : results;
  if (status == PROG_MISMATCH) {
    msg.acpted_rply.ar_vers.low = 1;
    msg.acpted_rply.ar_vers.high = 1;
  }
  return encode(kHeaderRoom + dataRoom(results, resultp), [&](XDR& x) { return xdr_replymsg(&x, &msg); });
}

}  // namespace

std::string replyEncode(std::uint32_t xid, xdrproc_t results, const void* resultp) {
  return replyWith(xid, SUCCESS, results, resultp);
}

std::string replyRefused(std::uint32_t xid, accept_stat status) { return replyWith(xid, status, nullptr, nullptr); }

ReplyStatus replyDecode(std::string_view message, std::uint32_t xid, xdrproc_t results, void* out) {
  if (message.size() < 4) return ReplyStatus::garbled;
  if (get32(message) != xid) return ReplyStatus::otherXid;
  rpc_msg msg{};
  msg.acpted_rply.ar_verf = _null_auth;
  msg.acpted_rply.ar_results.where = static_cast<caddr_t>(out);
  msg.acpted_rply.ar_results.proc = results;
  XDR x;
  xdrmem_create(&x, const_cast<char*>(message.data()), static_cast<u_int>(message.size()), XDR_DECODE);
  const bool ok = xdr_replymsg(&x, &msg);
  xdr_destroy(&x);
  if (!ok || msg.rm_direction != REPLY) return ReplyStatus::garbled;
  if (msg.rm_reply.rp_stat != MSG_ACCEPTED || msg.acpted_rply.ar_stat != SUCCESS) return ReplyStatus::refused;
  return ReplyStatus::ok;
}

}  // namespace kavrel::vxi11
