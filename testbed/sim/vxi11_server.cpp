#include "testbed/sim/vxi11_server.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include "testbed/vxi11/rpc.h"  // libtirpc's own headers need its rpc.h first

#include <rpc/rpcb_prot.h>
#include <rpc/pmap_prot.h>
#include <rpc/pmap_clnt.h>
#include <sys/socket.h>
#include <unistd.h>

#include "testbed/hislip/hislip.h"
#include "testbed/sim/listener.h"
#include "testbed/sim/scpi.h"

namespace kavrel::sim {

namespace {

using Clock = std::chrono::steady_clock;
namespace v = kavrel::vxi11;

// Largest write a client may send in one device_write, as create_link tells it.
constexpr unsigned long kMaxReceive = 1u << 20;
constexpr std::size_t kMaxProgram = 64u << 20;
// Lock owners of links, apart from HiSLIP session numbers.
constexpr int kLinkOwnerBase = 0x10000;
constexpr std::uint8_t kStatusMav = 0x10;

// Device names a VXI-11 instrument answers to: "instN" and "gpibB,N", any case.
bool deviceNameValid(std::string_view name) {
  auto lower = [](std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
  };
  auto digits = [](std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
  };
  const std::string name_ = lower(name);
  const std::string_view n = name_;
  if (n.starts_with("inst")) return digits(n.substr(4));
  if (n.starts_with("gpib")) {
    const std::size_t comma = n.find(',');
    return comma != std::string_view::npos && digits(n.substr(4, comma - 4)) && digits(n.substr(comma + 1));
  }
  return false;
}


}  // namespace

// One link: a client's session with the instrument.
struct Link {
  Link(Instrument& instrument, long lid) : id(lid), session(instrument) {}
  int owner() const { return kLinkOwnerBase + static_cast<int>(id); }

  const long id;
  Session session;  // used only by the connection that made the link
  std::string input;
  bool overflow = false;
  std::mutex mutex;  // the response and the abort flag, which the abort channel sets
  std::condition_variable changed;
  std::string output;  // response bytes not yet read
  std::size_t outputPos = 0;
  Clock::time_point readyAt{};
  bool aborted = false;
};

struct Vxi11Server::Impl {
  Impl(Instrument& i, DeviceLocks& l, ResponseFaults& f, Vxi11Options o)
      : instrument(i), locks(l), faults(f), options(std::move(o)) {}

  Instrument& instrument;
  DeviceLocks& locks;
  ResponseFaults& faults;
  Vxi11Options options;
  Listener listener;
  int corePort = -1, abortPort = -1, portmapPort = -1;
  bool registered = false;
  std::mutex linksMutex;
  std::map<long, std::shared_ptr<Link>> links;
  long nextLink = 1;

  std::shared_ptr<Link> find(long lid) {
    std::lock_guard lock(linksMutex);
    auto it = links.find(lid);
    return it == links.end() ? nullptr : it->second;
  }
  void destroy(long lid) {
    std::shared_ptr<Link> link;
    {
      std::lock_guard lock(linksMutex);
      auto it = links.find(lid);
      if (it == links.end()) return;
      link = it->second;
      links.erase(it);
    }
    locks.releaseAll(link->owner());
  }

  void coreConnection(Vxi11Server& server, int fd);
  void abortConnection(int fd);
  std::string core(const v::CallHeader& call, std::string_view args, std::set<long>& own);
  std::string abort(const v::CallHeader& call, std::string_view args);
  std::string portmap(const v::CallHeader& call, std::string_view args, const std::string& address);
  void portmapStream(int fd);
  void portmapDatagram(int fd);

  // The procedures of the core channel.
  Create_LinkResp createLink(const Create_LinkParms& p, std::set<long>& own);
  Device_WriteResp write(Link& link, const Device_WriteParms& p);
  Device_ReadResp read(Link& link, const Device_ReadParms& p, std::string& data);
  Device_ReadStbResp readStb(Link& link);
  // A client's time-out, bounded by the server's longest wait.
  std::chrono::milliseconds wait(u_long ms) const {
    const std::chrono::milliseconds asked(static_cast<long long>(ms));
    return options.maxWait.count() > 0 ? std::min(asked, options.maxWait) : asked;
  }
  std::chrono::milliseconds lockWait(long flags, u_long lockTimeout) const {
    return (flags & v::kFlagWaitLock) ? wait(lockTimeout) : std::chrono::milliseconds(0);
  }
  bool access(Link& link, long flags, u_long lockTimeout) {
    return locks.waitAccessFor(link.owner(), lockWait(flags, lockTimeout), listener.stopping());
  }
};

namespace {

// Decode the arguments, run the procedure and encode its result.
template <typename Args, typename Result, typename Body>
std::string serve(const v::CallHeader& call, std::string_view args, xdrproc_t argsProc, xdrproc_t resultProc,
                  Body&& body) {
  v::Decoded<Args> decoded(argsProc);
  if (!v::xdrDecode(args, argsProc, &decoded.value)) return v::replyRefused(call.xid, GARBAGE_ARGS);
  Result result = body(decoded.value);
  return v::replyEncode(call.xid, resultProc, &result);
}

}  // namespace

Create_LinkResp Vxi11Server::Impl::createLink(const Create_LinkParms& p, std::set<long>& own) {
  Create_LinkResp r{};
  r.abortPort = static_cast<u_short>(abortPort);
  r.maxRecvSize = kMaxReceive;
  if (p.device == nullptr || !deviceNameValid(p.device)) {
    r.error = v::kInvalidAddress;
    return r;
  }
  std::shared_ptr<Link> link;
  {
    std::lock_guard lock(linksMutex);
    if (links.size() >= 256) {
      r.error = v::kOutOfResources;
      return r;
    }
    const long lid = nextLink++;
    link = std::make_shared<Link>(instrument, lid);
    links[lid] = link;
  }
  if (p.lockDevice && locks.request(link->owner(), "", wait(p.lock_timeout), listener.stopping()) != 1) {
    destroy(link->id);
    r.error = v::kDeviceLocked;
    return r;
  }
  own.insert(link->id);
  r.lid = link->id;
  return r;
}

Device_WriteResp Vxi11Server::Impl::write(Link& link, const Device_WriteParms& p) {
  Device_WriteResp r{};
  if (!access(link, p.flags, p.lock_timeout)) {
    r.error = v::kDeviceLocked;
    return r;
  }
  if (link.input.size() + p.data.data_len > kMaxProgram) {
    link.overflow = true;
    link.input.clear();
  } else if (!link.overflow) {
    link.input.append(p.data.data_val, p.data.data_len);
  }
  r.size = p.data.data_len;
  if (!(p.flags & v::kFlagEnd)) return r;
  std::string program = std::move(link.input);
  link.input.clear();
  const bool overflow = std::exchange(link.overflow, false);
  {
    std::lock_guard lock(link.mutex);
    if (link.outputPos < link.output.size()) {
      // A new program message while a response waits unread: the query was interrupted.
      link.session.logError(scpi::err::queryInterrupted);
    }
    link.output.clear();
    link.outputPos = 0;
  }
  if (overflow) {
    link.session.logError(scpi::err::inputOverrun);
    return r;
  }
  if (program.empty()) return r;
  link.session.execute(program);
  if (!link.session.responsePending()) return r;
  std::optional<Response> response = link.session.read();
  std::chrono::milliseconds delay{0};
  if (!response || !faults.response(*response, delay)) return r;  // stalled: never answered
  std::lock_guard lock(link.mutex);
  link.output = std::move(response->bytes);
  link.readyAt = Clock::now() + delay;
  return r;
}

Device_ReadResp Vxi11Server::Impl::read(Link& link, const Device_ReadParms& p, std::string& data) {
  Device_ReadResp r{};
  if (!access(link, p.flags, p.lock_timeout)) {
    r.error = v::kDeviceLocked;
    return r;
  }
  std::unique_lock lock(link.mutex);
  const auto deadline = Clock::now() + wait(p.io_timeout);
  link.aborted = false;
  for (;;) {
    if (link.aborted) {
      link.aborted = false;
      r.error = v::kAbort;
      return r;
    }
    const bool waiting = link.outputPos < link.output.size();
    if (waiting && Clock::now() >= link.readyAt) break;
    if (Clock::now() >= deadline || listener.stopping()) {
      r.error = v::kIoTimeout;
      return r;
    }
    const auto until = waiting ? std::min(deadline, link.readyAt) : deadline;
    link.changed.wait_until(lock, std::min(until, Clock::now() + std::chrono::milliseconds(100)));
  }
  std::string_view rest = std::string_view(link.output).substr(link.outputPos);
  std::size_t count = std::min<std::size_t>(rest.size(), p.requestSize);
  if (p.flags & v::kFlagTermChar) {
    const std::size_t at = rest.substr(0, count).find(static_cast<char>(p.termChar));
    if (at != std::string_view::npos) {
      count = at + 1;
      r.reason |= v::kReasonTermChar;
    }
  }
  data.assign(rest.substr(0, count));
  link.outputPos += count;
  if (link.outputPos == link.output.size()) {
    r.reason |= v::kReasonEnd;
    link.output.clear();
    link.outputPos = 0;
  } else if (count == p.requestSize) {
    r.reason |= v::kReasonRequestCount;
  }
  r.data.data_len = static_cast<u_int>(data.size());
  r.data.data_val = data.data();
  return r;
}

Device_ReadStbResp Vxi11Server::Impl::readStb(Link& link) {
  Device_ReadStbResp r{};
  std::uint8_t stb = link.session.statusByte();
  {
    std::lock_guard lock(link.mutex);
    if (link.outputPos < link.output.size()) stb |= kStatusMav;
  }
  link.session.rearmServiceRequest();
  r.stb = stb;
  return r;
}

std::string Vxi11Server::Impl::core(const v::CallHeader& call, std::string_view args, std::set<long>& own) {
  if (call.program != DEVICE_CORE) return v::replyRefused(call.xid, PROG_UNAVAIL);
  if (call.version != DEVICE_CORE_VERSION) return v::replyRefused(call.xid, PROG_MISMATCH);
  const auto error = [](long code) { return Device_Error{code}; };
  // A procedure on a link this connection made (another's would share its
  // instrument session across threads); the link's own number decides which.
  auto onLink = [&]<typename Args, typename Result>(xdrproc_t argsProc, xdrproc_t resultProc, auto lidOf, auto body) {
    return serve<Args, Result>(call, args, argsProc, resultProc, [&](Args& p) {
      std::shared_ptr<Link> link = own.count(lidOf(p)) != 0 ? find(lidOf(p)) : nullptr;
      if (!link) {
        Result r{};
        r.error = v::kInvalidLinkId;
        return r;
      }
      return body(*link, p);
    });
  };
  auto generic = [&](auto body) {
    return onLink.template operator()<Device_GenericParms, Device_Error>(
        v::xdrRoutine(xdr_Device_GenericParms), v::xdrRoutine(xdr_Device_Error),
        [](const Device_GenericParms& p) { return p.lid; }, body);
  };
  auto byLink = [&](auto body) {
    return onLink.template operator()<Device_Link, Device_Error>(v::xdrRoutine(xdr_Device_Link),
                                                                 v::xdrRoutine(xdr_Device_Error),
                                                                 [](const Device_Link& lid) { return lid; }, body);
  };
  switch (call.procedure) {
    case NULLPROC: return v::replyEncode(call.xid, v::xdrRoutine(xdr_void), nullptr);
    case create_link:
      return serve<Create_LinkParms, Create_LinkResp>(call, args, v::xdrRoutine(xdr_Create_LinkParms),
                                                      v::xdrRoutine(xdr_Create_LinkResp),
                                                      [&](Create_LinkParms& p) { return createLink(p, own); });
    case device_write:
      return onLink.template operator()<Device_WriteParms, Device_WriteResp>(
          v::xdrRoutine(xdr_Device_WriteParms), v::xdrRoutine(xdr_Device_WriteResp),
          [](const Device_WriteParms& p) { return p.lid; },
          [&](Link& link, const Device_WriteParms& p) { return write(link, p); });
    case device_read: {
      std::string data;  // outlives the encoding of the result, which points into it
      return onLink.template operator()<Device_ReadParms, Device_ReadResp>(
          v::xdrRoutine(xdr_Device_ReadParms), v::xdrRoutine(xdr_Device_ReadResp),
          [](const Device_ReadParms& p) { return p.lid; },
          [&](Link& link, const Device_ReadParms& p) { return read(link, p, data); });
    }
    case device_readstb:
      return onLink.template operator()<Device_GenericParms, Device_ReadStbResp>(
          v::xdrRoutine(xdr_Device_GenericParms), v::xdrRoutine(xdr_Device_ReadStbResp),
          [](const Device_GenericParms& p) { return p.lid; },
          [&](Link& link, const Device_GenericParms&) { return readStb(link); });
    case device_trigger:
    case device_remote:
    case device_local:
      return generic([&](Link&, const Device_GenericParms&) { return error(v::kNoError); });
    case device_clear:
      return generic([&](Link& link, const Device_GenericParms&) {
        link.input.clear();
        link.overflow = false;
        link.session.deviceClear();
        std::lock_guard lock(link.mutex);
        link.output.clear();
        link.outputPos = 0;
        return error(v::kNoError);
      });
    case device_lock:
      return onLink.template operator()<Device_LockParms, Device_Error>(
          v::xdrRoutine(xdr_Device_LockParms), v::xdrRoutine(xdr_Device_Error),
          [](const Device_LockParms& p) { return p.lid; },
          [&](Link& link, const Device_LockParms& p) {
            return error(locks.request(link.owner(), "", lockWait(p.flags, p.lock_timeout), listener.stopping()) == 1
                             ? v::kNoError
                             : v::kDeviceLocked);
          });
    case device_unlock:
      return byLink([&](Link& link, const Device_Link&) {
        return error(locks.release(link.owner()) == 3 ? v::kNoLockHeld : v::kNoError);
      });
    case device_enable_srq:
      return serve<Device_EnableSrqParms, Device_Error>(call, args, v::xdrRoutine(xdr_Device_EnableSrqParms),
                                                         v::xdrRoutine(xdr_Device_Error), [&](Device_EnableSrqParms& p) {
                                                           return error(own.count(p.lid) != 0 ? v::kNoError : v::kInvalidLinkId);
                                                         });
    case destroy_link:
      return byLink([&](Link& link, const Device_Link&) {
        own.erase(link.id);
        destroy(link.id);
        return error(v::kNoError);
      });
    case device_docmd: {
      Device_DocmdResp r{};
      r.error = v::kOperationNotSupported;
      return v::replyEncode(call.xid, v::xdrRoutine(xdr_Device_DocmdResp), &r);
    }
    case create_intr_chan: {
      Device_Error r = error(v::kOperationNotSupported);
      return v::replyEncode(call.xid, v::xdrRoutine(xdr_Device_Error), &r);
    }
    case destroy_intr_chan: {
      Device_Error r = error(v::kChannelNotEstablished);
      return v::replyEncode(call.xid, v::xdrRoutine(xdr_Device_Error), &r);
    }
    default: return v::replyRefused(call.xid, PROC_UNAVAIL);
  }
}

std::string Vxi11Server::Impl::abort(const v::CallHeader& call, std::string_view args) {
  if (call.program != DEVICE_ASYNC) return v::replyRefused(call.xid, PROG_UNAVAIL);
  if (call.version != DEVICE_ASYNC_VERSION) return v::replyRefused(call.xid, PROG_MISMATCH);
  if (call.procedure == NULLPROC) return v::replyEncode(call.xid, v::xdrRoutine(xdr_void), nullptr);
  if (call.procedure != device_abort) return v::replyRefused(call.xid, PROC_UNAVAIL);
  return serve<Device_Link, Device_Error>(call, args, v::xdrRoutine(xdr_Device_Link), v::xdrRoutine(xdr_Device_Error),
                                          [&](Device_Link& lid) {
                                            std::shared_ptr<Link> link = find(lid);
                                            if (!link) return Device_Error{v::kInvalidLinkId};
                                            std::lock_guard lock(link->mutex);
                                            link->aborted = true;
                                            link->changed.notify_all();
                                            return Device_Error{v::kNoError};
                                          });
}

// Version 2 GETPORT answers a port, versions 3 and 4 GETADDR a universal address ("a.b.c.d.p1.p2").
std::string Vxi11Server::Impl::portmap(const v::CallHeader& call, std::string_view args, const std::string& address) {
  if (call.program != v::kPortmapProgram) return v::replyRefused(call.xid, PROG_UNAVAIL);
  if (call.version < v::kPortmapVersion || call.version > 4) return v::replyRefused(call.xid, PROG_MISMATCH);
  if (call.procedure == NULLPROC) return v::replyEncode(call.xid, v::xdrRoutine(xdr_void), nullptr);
  auto portOf = [&](rpcprog_t program, rpcvers_t version) {
    if (program == DEVICE_CORE && version == DEVICE_CORE_VERSION) return corePort;
    if (program == DEVICE_ASYNC && version == DEVICE_ASYNC_VERSION) return abortPort;
    return 0;
  };
  if (call.version == v::kPortmapVersion && call.procedure == v::kPortmapGetPort) {
    return serve<pmap, u_long>(call, args, v::xdrRoutine(xdr_pmap), v::xdrRoutine(xdr_u_long), [&](pmap& p) {
      return static_cast<u_long>(p.pm_prot == IPPROTO_TCP ? portOf(p.pm_prog, p.pm_vers) : 0);
    });
  }
  if (call.version > v::kPortmapVersion && call.procedure == v::kRpcbindGetAddr) {
    std::string universal;  // empty: not registered
    v::Decoded<rpcb> p(v::xdrRoutine(xdr_rpcb));
    if (!v::xdrDecode(args, p.proc, &p.value)) return v::replyRefused(call.xid, GARBAGE_ARGS);
    const int port = portOf(p.value.r_prog, p.value.r_vers);
    if (port > 0 && p.value.r_netid != nullptr && std::string_view(p.value.r_netid) == "tcp") {
      universal = address + "." + std::to_string(port >> 8) + "." + std::to_string(port & 0xFF);
    }
    char* text = universal.data();
    return v::replyEncode(call.xid, v::xdrRoutine(xdr_wrapstring), &text);
  }
  return v::replyRefused(call.xid, PROC_UNAVAIL);
}

namespace {

// The dotted address a client reached this socket on.
std::string localAddress(int fd, const std::string& fallback) {
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  char text[INET_ADDRSTRLEN] = {};
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0 && addr.ss_family == AF_INET &&
      ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&addr)->sin_addr, text, sizeof text) != nullptr &&
      std::string_view(text) != "0.0.0.0") {
    return text;
  }
  return fallback;
}

// Serve RPC records on a stream until it ends; `answer` gives the reply message to each (empty: stop).
template <typename Answer>
void serveStream(int fd, ResponseFaults* faults, Answer&& answer) {
  std::string record;
  while (v::readRecord(fd, v::kMaxRecord, record) == v::ReadStatus::ok) {
    const std::string message = answer(std::string_view(record));
    if (message.empty()) return;
    const std::string reply = v::recordEncode(message);
    if (faults != nullptr ? !faults->dataSend(fd, reply) : !kavrel::hislip::sendAll(fd, reply)) return;
  }
}

// The reply to a call message from `dispatch` (called with the header and the arguments); empty for no call.
template <typename Dispatch>
std::string answerCall(std::string_view message, Dispatch&& dispatch) {
  const std::optional<v::CallHeader> call = v::callDecode(message);
  if (!call) return {};
  return dispatch(*call, message.substr(call->argsOffset));
}

}  // namespace

Vxi11Server::CoreChannel::CoreChannel(Vxi11Server& server) : server_(*server.impl_) {}

Vxi11Server::CoreChannel::~CoreChannel() {
  for (long lid : own_) server_.destroy(lid);
}

std::string Vxi11Server::CoreChannel::answer(std::string_view message) {
  return answerCall(message, [&](const v::CallHeader& call, std::string_view args) {
    return server_.core(call, args, own_);
  });
}

void Vxi11Server::Impl::coreConnection(Vxi11Server& server, int fd) {
  CoreChannel channel(server);
  serveStream(fd, &faults, [&](std::string_view record) { return channel.answer(record); });
}

void Vxi11Server::Impl::abortConnection(int fd) {
  serveStream(fd, nullptr, [&](std::string_view record) {
    return answerCall(record, [&](const v::CallHeader& call, std::string_view args) { return abort(call, args); });
  });
}

void Vxi11Server::Impl::portmapStream(int fd) {
  const std::string address = localAddress(fd, "127.0.0.1");
  serveStream(fd, nullptr, [&](std::string_view record) {
    return answerCall(record,
                      [&](const v::CallHeader& call, std::string_view args) { return portmap(call, args, address); });
  });
}

void Vxi11Server::Impl::portmapDatagram(int fd) {
  char datagram[8192];
  sockaddr_storage from{};
  socklen_t fromLength = sizeof from;
  const ssize_t n = ::recvfrom(fd, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
  if (n <= 0) return;
  const std::string_view message(datagram, static_cast<std::size_t>(n));
  const std::optional<v::CallHeader> call = v::callDecode(message);
  if (!call) return;
  const std::string reply = portmap(*call, message.substr(call->argsOffset), localAddress(fd, "127.0.0.1"));
  ::sendto(fd, reply.data(), reply.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&from), fromLength);
}

// ---- public interface -----------------------------------------------------------------

Vxi11Server::Vxi11Server(Instrument& instrument, DeviceLocks& locks, ResponseFaults& faults, Vxi11Options options)
    : impl_(std::make_unique<Impl>(instrument, locks, faults, std::move(options))) {}

Vxi11Server::~Vxi11Server() { stop(); }

namespace {

// Whether something answers on the system's portmapper port.
bool systemPortmapperRuns() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(v::kPortmapPort);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool runs = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return runs;
}

}  // namespace

bool Vxi11Server::start(std::string* error) {
  Impl& s = *impl_;
  const std::string& host = s.options.host;
  if (!s.listener.add(host, s.options.corePort, SOCK_STREAM, [this, &s](int fd) { s.coreConnection(*this, fd); }, s.corePort,
                      error) ||
      !s.listener.add(host, 0, SOCK_STREAM, [&s](int fd) { s.abortConnection(fd); }, s.abortPort, error)) {
    return false;
  }
  if (s.options.portmapPort >= 0) {
    int udpPort = -1;
    if (!s.listener.add(host, s.options.portmapPort, SOCK_STREAM, [&s](int fd) { s.portmapStream(fd); },
                        s.portmapPort, error) ||
        !s.listener.add(host, s.portmapPort, SOCK_DGRAM, [&s](int fd) { s.portmapDatagram(fd); }, udpPort, error)) {
      return false;
    }
  } else if (systemPortmapperRuns()) {
    // Replaces what an earlier run left registered.
    for (const auto& [program, port] : {std::pair{DEVICE_CORE, s.corePort}, std::pair{DEVICE_ASYNC, s.abortPort}}) {
      pmap_unset(program, 1);
      s.registered = pmap_set(program, 1, IPPROTO_TCP, static_cast<u_short>(port)) != 0 || s.registered;
    }
  }
  return s.listener.start(error);
}

int Vxi11Server::corePort() const { return impl_->corePort; }
int Vxi11Server::abortPort() const { return impl_->abortPort; }
int Vxi11Server::portmapPort() const { return impl_->portmapPort; }
bool Vxi11Server::registered() const { return impl_->registered; }

void Vxi11Server::stop() {
  Impl& s = *impl_;
  if (s.registered) {
    pmap_unset(DEVICE_CORE, 1);
    pmap_unset(DEVICE_ASYNC, 1);
    s.registered = false;
  }
  {
    // Wake reads waiting for a response.
    std::lock_guard lock(s.linksMutex);
    for (auto& [lid, link] : s.links) link->changed.notify_all();
  }
  s.listener.stop();
}

}  // namespace kavrel::sim
