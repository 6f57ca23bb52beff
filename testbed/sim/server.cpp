#include "testbed/sim/server.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <span>
#include <thread>

#include "testbed/hislip/hislip.h"
#include "testbed/sim/announcer.h"
#include "testbed/sim/hislip_session.h"
#include "testbed/sim/http_server.h"
#include "testbed/sim/listener.h"
#include "testbed/sim/vxi11_server.h"
#include "testbed/sim/scpi.h"

namespace kavrel::sim {

namespace {

using Clock = std::chrono::steady_clock;
using hislip::Type;

constexpr std::size_t kMaxRawMessage = 64u << 20;
// A rejected payload up to this size is read and dropped; a larger one ends the connection.
constexpr std::uint64_t kMaxSkip = 64u << 20;
constexpr std::uint16_t kServerVendor = ('O' << 8) | 'V';
constexpr auto kPollSlice = std::chrono::milliseconds(20);
// How long a status query waits for the message it names to reach the instrument.
constexpr auto kStatusWait = std::chrono::milliseconds(500);

// ---- faults -------------------------------------------------------------------------

class Faults {
 public:
  void delaySet(std::chrono::milliseconds d) {
    std::lock_guard lock(mutex_);
    delay_ = d;
  }
  void stall(unsigned nth) {
    std::lock_guard lock(mutex_);
    stallCountdown_ = nth;
  }
  void garble(unsigned nth) {
    std::lock_guard lock(mutex_);
    garbleCountdown_ = nth;
  }
  void drop(std::uint64_t bytes) {
    std::lock_guard lock(mutex_);
    dropBudget_ = static_cast<std::int64_t>(std::min<std::uint64_t>(bytes, INT64_MAX));
  }
  void clear() {
    std::lock_guard lock(mutex_);
    delay_ = std::chrono::milliseconds(0);
    stallCountdown_ = garbleCountdown_ = 0;
    dropBudget_ = -1;
  }

  // Applies stall and garble to a response; false when it must not be sent. Gives the delay.
  bool response(Response& r, std::chrono::milliseconds& delay) {
    std::lock_guard lock(mutex_);
    delay = delay_;
    if (stallCountdown_ > 0 && --stallCountdown_ == 0) return false;
    if (garbleCountdown_ > 0 && --garbleCountdown_ == 0) {
      std::size_t end = r.bytes.size();
      if (end > 0 && r.bytes[end - 1] == '\n') --end;
      for (std::size_t i = 0; i < end; ++i) r.bytes[i] = static_cast<char>(r.bytes[i] ^ 0x55);
    }
    return true;
  }

  // How many of n data bytes may go out, and whether the connection closes after them.
  std::pair<std::size_t, bool> sendBudget(std::size_t n) {
    std::lock_guard lock(mutex_);
    if (dropBudget_ < 0) return {n, false};
    auto budget = static_cast<std::uint64_t>(dropBudget_);
    if (n < budget) {
      dropBudget_ -= static_cast<std::int64_t>(n);
      return {n, false};
    }
    dropBudget_ = -1;
    return {static_cast<std::size_t>(budget), true};
  }

 private:
  std::mutex mutex_;
  std::chrono::milliseconds delay_{0};
  unsigned stallCountdown_ = 0;
  unsigned garbleCountdown_ = 0;
  std::int64_t dropBudget_ = -1;
};

// ---- HiSLIP locks -----------------------------------------------------------------------

// One exclusive holder and shared holders with one key. Session 0 (raw socket
// clients) never holds a lock.
class LockManager final : public DeviceLocks {
 public:
  // 1 granted, 0 not granted in time, 3 error (already held).
  int request(int session, const std::string& key, std::chrono::milliseconds timeout,
              const std::atomic<bool>& stopping) override {
    std::unique_lock lock(mutex_);
    bool exclusive = key.empty();
    if (exclusive ? exclusive_ == session : shared_.count(session) > 0) return 3;
    auto deadline = Clock::now() + timeout;
    while (!grantable(session, key)) {
      if (stopping || Clock::now() >= deadline) return 0;
      cv_.wait_until(lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(100)));
    }
    if (exclusive) exclusive_ = session;
    else shared_[session] = key;
    return 1;
  }
  // 1 exclusive released, 2 shared released, 3 nothing held.
  int release(int session) override {
    std::lock_guard lock(mutex_);
    int result = 3;
    if (exclusive_ == session) {
      exclusive_ = 0;
      result = 1;
    } else if (shared_.erase(session) > 0) {
      result = 2;
    }
    cv_.notify_all();
    return result;
  }
  void releaseAll(int session) override {
    std::lock_guard lock(mutex_);
    if (exclusive_ == session) exclusive_ = 0;
    shared_.erase(session);
    cv_.notify_all();
  }
  // Whether an exclusive lock is held, and how many clients hold locks.
  std::pair<bool, int> info() {
    std::lock_guard lock(mutex_);
    int holders = static_cast<int>(shared_.size());
    if (exclusive_ != 0 && shared_.count(exclusive_) == 0) ++holders;
    return {exclusive_ != 0, holders};
  }
  // Wait until the session may use the instrument; false when the server stops.
  bool waitAccess(int session, const std::atomic<bool>& stopping) {
    std::unique_lock lock(mutex_);
    while (!accessible(session)) {
      if (stopping) return false;
      cv_.wait_for(lock, std::chrono::milliseconds(100));
    }
    return !stopping;
  }
  bool waitAccessFor(int session, std::chrono::milliseconds timeout, const std::atomic<bool>& stopping) override {
    std::unique_lock lock(mutex_);
    const auto deadline = Clock::now() + timeout;
    while (!accessible(session)) {
      if (stopping || Clock::now() >= deadline) return false;
      cv_.wait_until(lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(100)));
    }
    return !stopping;
  }
  void wakeAll() { cv_.notify_all(); }

 private:
  bool grantable(int session, const std::string& key) const {
    if (key.empty()) {
      if (exclusive_ != 0) return false;
      for (const auto& [holder, k] : shared_)
        if (holder != session) return shared_.count(session) > 0;
      return true;
    }
    if (exclusive_ != 0 && exclusive_ != session) return false;
    for (const auto& [holder, k] : shared_)
      if (k != key) return false;
    return true;
  }
  bool accessible(int session) const {
    if (exclusive_ != 0) return exclusive_ == session;
    return shared_.empty() || shared_.count(session) > 0;
  }

  std::mutex mutex_;
  std::condition_variable cv_;
  int exclusive_ = 0;
  std::map<int, std::string> shared_;
};

// 1 readable, 0 nothing within the time, -1 error or hang-up without data.
int socketWait(sock::Handle fd, std::chrono::milliseconds timeout) {
  pollfd p{fd, POLLIN, 0};
  int rc = sock::poll(&p, 1, static_cast<int>(timeout.count()));
  if (rc < 0) return sock::interrupted(sock::lastError()) ? 0 : -1;
  if (rc == 0) return 0;
  return 1;
}

}  // namespace

// ---- server --------------------------------------------------------------------------------

struct HislipLink;

struct Server::Impl final : ResponseFaults {
  explicit Impl(Options o)
      : options(std::move(o)),
        instrument(Identity{options.model, options.serial, options.firmware, options.options}, options.seed) {}

  Options options;
  Instrument instrument;
  Faults faults;
  LockManager locks;
  std::atomic<bool> stopping{false};
  bool started = false;
  int hislipPortBound = -1, rawPortBound = -1;
  std::unique_ptr<Listener> listener;  // HiSLIP and the raw socket, a thread for each connection
  std::mutex linksMutex;
  std::map<std::uint16_t, std::shared_ptr<HislipLink>> links;
  std::uint16_t nextSessionId = 1;

  std::unique_ptr<Vxi11Server> vxi11;
  std::unique_ptr<HttpServer> http;
  std::unique_ptr<Announcer> announcer;

  // What --announce tells the network: every protocol served, under one instance name.
  std::vector<AnnouncedService> services() const;

  bool response(Response& r, std::chrono::milliseconds& delay) override { return faults.response(r, delay); }
  void hislipConnection(sock::Handle fd);
  // One message from a channel. A poorly formed header ends the connection
  // with FatalError; an oversized message is skipped with Error when it can be.
  enum class Intake { message, skipped, stop };
  static Intake readChannel(HislipLink& link, hislip::Reader& reader, bool async, hislip::Message& m);
  void hislipSync(const std::shared_ptr<HislipLink>& link);
  void hislipAsync(const std::shared_ptr<HislipLink>& link, sock::Handle fd);
  void rawConnection(sock::Handle fd);
  // Send data bytes under the drop-after-bytes fault; false when the connection must end.
  bool dataSend(sock::Handle fd, std::string_view bytes) override;
  // A header and its payload likewise, in one call where no fault cuts them.
  bool dataSend(sock::Handle fd, std::span<const std::uint8_t> header, std::string_view payload);
  // Wait a response's delay in slices; true when the time passed without new input.
  bool delayWait(const hislip::Reader& reader, sock::Handle fd, std::chrono::milliseconds delay);
};

struct HislipLink final : HislipSink {
  HislipLink(Server::Impl& s, sock::Handle sync) : server(s), syncFd(sync) {}

  void sendSync(std::string bytes) override {
    bool failed = false;
    {
      std::lock_guard lock(syncSend);
      if (closed) return;
      failed = !server.dataSend(syncFd, bytes);
    }
    if (failed) closeSockets();
  }
  void sendSyncMessage(hislip::Type type, std::uint8_t control, std::uint32_t parameter,
                       std::string_view payload) override {
    std::array<std::uint8_t, hislip::kHeaderSize> header{};
    hislip::headerEncode({static_cast<std::uint8_t>(type), control, parameter, payload.size()}, header);
    bool failed = false;
    {
      std::lock_guard lock(syncSend);
      if (closed) return;
      failed = !server.dataSend(syncFd, header, payload);
    }
    if (failed) closeSockets();
  }
  void sendAsync(std::string bytes) override {
    bool failed = false;
    {
      std::lock_guard lock(asyncSend);
      sock::Handle fd = asyncFd.load();
      if (closed || fd == sock::kNone) return;
      failed = !hislip::sendAll(fd, bytes);
    }
    if (failed) closeSockets();
  }
  void close() override { closeSockets(); }
  // Ends both channels once. No send is under way when it returns, and the
  // sockets are not touched again, so their owners may close them.
  void closeSockets() {
    std::scoped_lock lock(syncSend, asyncSend);
    if (closed) return;
    closed = true;
    synced.notify_all();
    sock::shutdownBoth(syncFd);
    sock::Handle fd = asyncFd.load();
    if (fd != sock::kNone) sock::shutdownBoth(fd);
  }

  Server::Impl& server;
  sock::Handle syncFd;
  std::atomic<sock::Handle> asyncFd{sock::kNone};
  std::mutex mutex;  // guards session
  std::condition_variable synced;  // the synchronous channel took a message
  std::unique_ptr<HislipSession> session;
  std::mutex syncSend, asyncSend;
  std::atomic<bool> closed{false};
};

bool Server::Impl::dataSend(sock::Handle fd, std::string_view bytes) {
  auto [allowed, closeAfter] = faults.sendBudget(bytes.size());
  bool ok = hislip::sendAll(fd, bytes.substr(0, allowed));
  if (closeAfter) {
    sock::shutdownBoth(fd);
    return false;
  }
  return ok;
}

bool Server::Impl::dataSend(sock::Handle fd, std::span<const std::uint8_t> header, std::string_view payload) {
  auto [allowed, closeAfter] = faults.sendBudget(header.size() + payload.size());
  if (!closeAfter) return hislip::sendAllGathered(fd, header, payload);
  // The fault cuts the message: send the bytes before the cut, then close.
  std::string whole(reinterpret_cast<const char*>(header.data()), header.size());
  whole.append(payload);
  hislip::sendAll(fd, std::string_view(whole).substr(0, allowed));
  sock::shutdownBoth(fd);
  return false;
}

bool Server::Impl::delayWait(const hislip::Reader& reader, sock::Handle fd, std::chrono::milliseconds delay) {
  if (reader.pending()) return false;  // input came with the message just read
  auto deadline = Clock::now() + delay;
  while (Clock::now() < deadline && !stopping) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    int w = socketWait(fd, std::min(left + std::chrono::milliseconds(1), std::chrono::milliseconds(kPollSlice)));
    if (w != 0) return false;  // input (or a hang-up) is waiting
  }
  return !stopping;
}

namespace {

void fatalOnly(sock::Handle fd, hislip::FatalCode code, std::string_view text) {
  hislip::sendMessage(fd, Type::FatalError, static_cast<std::uint8_t>(code), 0, text);
  sock::shutdownBoth(fd);
}

bool isProgramEnd(const hislip::Message& m) { return m.type() == Type::DataEnd || m.type() == Type::Trigger; }
bool isData(const hislip::Message& m) { return m.type() == Type::Data || isProgramEnd(m); }

}  // namespace

void Server::Impl::hislipConnection(sock::Handle fd) {
  // The first message tells the synchronous channel (Initialize) from the asynchronous one.
  hislip::Message m;
  switch (hislip::readMessage(fd, HislipSession::kMaxPayloadIn, m)) {
    case hislip::ReadStatus::ok: break;
    case hislip::ReadStatus::badPrologue:
    case hislip::ReadStatus::tooLarge: fatalOnly(fd, hislip::FatalCode::PoorlyFormedHeader, "Poorly formed message header"); return;
    default: return;
  }
  if (m.type() == Type::Initialize) {
    std::shared_ptr<HislipLink> link;
    std::uint16_t id = 0;
    std::uint16_t version = std::min(hislip::paramHigh(m.header.parameter), hislip::kVersion10);
    {
      std::lock_guard lock(linksMutex);
      if (static_cast<int>(links.size()) >= options.maxClients) {
        fatalOnly(fd, hislip::FatalCode::TooManyClients, "Maximum number of clients exceeded");
        return;
      }
      do {
        id = nextSessionId++;
      } while (id == 0 || links.count(id) > 0);
      link = std::make_shared<HislipLink>(*this, fd);
      link->session = std::make_unique<HislipSession>(instrument, id, version, *link, options.strictRmt);
      links[id] = link;
    }
    // Synchronized mode preferred (control 0); negotiated version and session number.
    link->sendSync(hislip::messageEncode(Type::InitializeResponse, 0, hislip::initParameter(version, id)));
    hislipSync(link);
    link->closeSockets();
    locks.releaseAll(id);
    std::lock_guard lock(linksMutex);
    links.erase(id);
    return;
  }
  if (m.type() == Type::AsyncInitialize) {
    std::shared_ptr<HislipLink> link;
    {
      std::lock_guard lock(linksMutex);
      auto it = links.find(static_cast<std::uint16_t>(m.header.parameter & 0xFFFF));
      if (it != links.end() && m.header.parameter <= 0xFFFF) link = it->second;
    }
    if (!link) {
      fatalOnly(fd, hislip::FatalCode::InvalidInitSequence, "Unknown session");
      return;
    }
    {
      std::lock_guard lock(link->mutex);
      sock::Handle expected = sock::kNone;
      if (link->session->asyncBound() || !link->asyncFd.compare_exchange_strong(expected, fd)) {
        fatalOnly(fd, hislip::FatalCode::InvalidInitSequence, "Session already has an asynchronous channel");
        return;
      }
      link->session->asyncBind();
      link->sendAsync(hislip::messageEncode(Type::AsyncInitializeResponse, 0, kServerVendor));
    }
    hislipAsync(link, fd);
    link->closeSockets();
    return;
  }
  fatalOnly(fd, hislip::FatalCode::InvalidInitSequence, "Initialize expected");
}

void Server::Impl::hislipSync(const std::shared_ptr<HislipLink>& link) {
  sock::Handle fd = link->syncFd;
  hislip::Reader reader(fd);
  std::uint16_t id = link->session->id();
  std::optional<hislip::Message> carried;
  hislip::Message m;
  while (!stopping && !link->closed) {
    if (carried) {
      m = std::move(*carried);
      carried.reset();
    } else {
      Intake intake = readChannel(*link, reader, false, m);
      if (intake == Intake::stop) return;
      if (intake == Intake::skipped) continue;
    }
    // A client without the lock waits here while another holds it.
    if (isProgramEnd(m) && !locks.waitAccess(id, stopping)) return;
    std::optional<HislipPending> pending;
    {
      std::lock_guard lock(link->mutex);
      pending = link->session->syncMessage(m);
    }
    link->synced.notify_all();
    if (!pending) continue;
    std::chrono::milliseconds delay{0};
    if (!faults.response(pending->response, delay)) continue;  // stalled
    while (delay.count() > 0 && !delayWait(reader, fd, delay)) {
      if (stopping) return;
      // Input arrived while the response was held back.
      hislip::Message next;
      if (reader.read(HislipSession::kMaxPayloadIn, next) != hislip::ReadStatus::ok) return;
      if (isData(next)) {
        std::lock_guard lock(link->mutex);
        link->session->interrupt(next.header.parameter);
        carried = std::move(next);
        pending.reset();
        break;
      }
      {
        std::lock_guard lock(link->mutex);
        (void)link->session->syncMessage(next);  // a clear handshake or a complaint; no response
      }
      link->synced.notify_all();
      delay = std::chrono::milliseconds(0);
    }
    if (!pending) continue;
    std::lock_guard lock(link->mutex);
    link->session->responseSend(std::move(*pending));
  }
}

Server::Impl::Intake Server::Impl::readChannel(HislipLink& link, hislip::Reader& reader, bool async,
                                               hislip::Message& m) {
  auto status = reader.read(HislipSession::kMaxPayloadIn, m);
  if (status == hislip::ReadStatus::badPrologue) {
    std::lock_guard lock(link.mutex);
    link.session->fatalSend(hislip::FatalCode::PoorlyFormedHeader, "Poorly formed message header");
    return Intake::stop;
  }
  if (status == hislip::ReadStatus::tooLarge) {
    bool skipped = m.header.length <= kMaxSkip && reader.skip(m.header.length);
    std::lock_guard lock(link.mutex);
    if (!skipped) {
      link.session->fatalSend(hislip::FatalCode::PoorlyFormedHeader, "Message too large");
      return Intake::stop;
    }
    link.session->errorSend(async, hislip::ErrorCode::MessageTooLarge, "Message too large");
    return Intake::skipped;
  }
  return status == hislip::ReadStatus::ok ? Intake::message : Intake::stop;
}

void Server::Impl::hislipAsync(const std::shared_ptr<HislipLink>& link, sock::Handle fd) {
  int id = link->session->id();
  hislip::Reader reader(fd);
  hislip::Message m;
  while (!stopping && !link->closed) {
    Intake intake = readChannel(*link, reader, true, m);
    if (intake == Intake::stop) return;
    if (intake == Intake::skipped) continue;
    // Locks are kept across sessions, outside the session's own state.
    if (m.type() == Type::AsyncLock) {
      int result = 3;
      if (m.header.control == 1) {
        result = locks.request(id, m.payload, std::chrono::milliseconds(m.header.parameter), stopping);
      } else if (m.header.control == 0) {
        result = locks.release(id);
      } else {
        std::lock_guard lock(link->mutex);
        link->session->errorSend(true, hislip::ErrorCode::UnrecognizedControl, "Unrecognized lock request");
        continue;
      }
      link->sendAsync(hislip::messageEncode(Type::AsyncLockResponse, static_cast<std::uint8_t>(result), 0));
      continue;
    }
    if (m.type() == Type::AsyncLockInfo) {
      auto [exclusive, holders] = locks.info();
      link->sendAsync(hislip::messageEncode(Type::AsyncLockInfoResponse, exclusive ? 1 : 0,
                                            static_cast<std::uint32_t>(holders)));
      continue;
    }
    std::unique_lock lock(link->mutex);
    // A status query answers for every message the client sent before it:
    // the one it names is waited for (briefly) on the synchronous channel.
    if (m.type() == Type::AsyncStatusQuery) {
      link->synced.wait_for(lock, kStatusWait, [&] {
        return stopping || link->closed || link->session->taken(m.header.parameter);
      });
    }
    link->session->asyncMessage(m);
  }
}

void Server::Impl::rawConnection(sock::Handle fd) {
  Session session(instrument);
  scpi::LineFramer framer(kMaxRawMessage);
  std::string buffer(65536, '\0');
  while (!stopping) {
    long n = sock::receive(fd, buffer.data(), buffer.size());
    if (sock::interruptedCall(n)) continue;
    if (n <= 0) return;
    framer.feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
    for (std::size_t i = framer.takeOverruns(); i > 0; --i) session.logError(scpi::err::inputOverrun);
    while (auto message = framer.next()) {
      if (!locks.waitAccess(0, stopping)) return;
      session.execute(*message);
      if (!session.responsePending()) continue;
      auto response = session.read();
      if (!response) continue;
      std::chrono::milliseconds delay{0};
      if (!faults.response(*response, delay)) continue;
      auto deadline = Clock::now() + delay;
      while (Clock::now() < deadline && !stopping) std::this_thread::sleep_for(kPollSlice);
      if (!dataSend(fd, response->bytes)) return;
    }
  }
}

// ---- public interface ----------------------------------------------------------------------

Server::Server(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}

Server::~Server() { stop(); }

bool Server::start(std::string* error) {
  Impl& s = *impl_;
  if (s.started) {
    if (error) *error = "already started";
    return false;
  }
  auto listener = std::make_unique<Listener>();
  int hislipBound = -1, rawBound = -1;
  auto hislip = [&s](sock::Handle fd) { s.hislipConnection(fd); };
  auto raw = [&s](sock::Handle fd) { s.rawConnection(fd); };
  if (!listener->add(s.options.host, s.options.hislipPort, SOCK_STREAM, hislip, hislipBound, error) ||
      (s.options.rawPort >= 0 && !listener->add(s.options.host, s.options.rawPort, SOCK_STREAM, raw, rawBound, error)) ||
      !listener->start(error)) {
    return false;
  }
  s.listener = std::move(listener);
  s.hislipPortBound = hislipBound;
  s.rawPortBound = rawBound;
  s.started = true;
  if (s.options.vxi11Port >= 0) {
    s.vxi11 = std::make_unique<Vxi11Server>(
        s.instrument, s.locks, s, Vxi11Options{s.options.host, s.options.vxi11Port, s.options.portmapPort});
    if (!s.vxi11->start(error)) {
      stop();
      return false;
    }
  }
  if (s.options.httpPort >= 0) {
    s.http = std::make_unique<HttpServer>(s.instrument.identity(), s.options.host, s.options.httpPort,
                                            ServedPorts{s.hislipPortBound, s.vxi11 ? s.vxi11->corePort() : -1, s.rawPortBound});
    if (!s.http->start(error)) {
      stop();
      return false;
    }
  }
  if (s.options.announce) {
    const Identity& id = s.instrument.identity();
    s.announcer = std::make_unique<Announcer>(
        std::string(kManufacturer) + " " + std::to_string(id.model) + " " + id.serial, s.services());
    if (!s.announcer->start(error)) {
      stop();
      return false;
    }
  }
  return true;
}

std::vector<AnnouncedService> Server::Impl::services() const {
  const Identity& id = instrument.identity();
  const std::vector<std::string> txt = {"txtvers=1", "Manufacturer=" + std::string(kManufacturer),
                                        "Model=" + std::to_string(id.model), "SerialNumber=" + id.serial,
                                        "FirmwareVersion=" + id.firmware};
  std::vector<AnnouncedService> out;
  if (http) out.push_back({"_lxi._tcp", http->port(), txt});
  out.push_back({"_hislip._tcp", hislipPortBound, txt});
  // VXI-11 clients start at the portmapper.
  if (vxi11 && (vxi11->portmapPort() >= 0 || vxi11->registered())) {
    out.push_back({"_vxi-11._tcp", vxi11->portmapPort() >= 0 ? vxi11->portmapPort() : 111, txt});
  }
  if (rawPortBound >= 0) out.push_back({"_scpi-raw._tcp", rawPortBound, txt});
  return out;
}

int Server::hislipPort() const { return impl_->hislipPortBound; }
int Server::rawPort() const { return impl_->rawPortBound; }
int Server::vxi11Port() const { return impl_->vxi11 ? impl_->vxi11->corePort() : -1; }
int Server::portmapPort() const { return impl_->vxi11 ? impl_->vxi11->portmapPort() : -1; }
bool Server::vxi11Registered() const { return impl_->vxi11 && impl_->vxi11->registered(); }
int Server::httpPort() const { return impl_->http ? impl_->http->port() : -1; }

void Server::stop() {
  Impl& s = *impl_;
  if (!s.started || s.stopping.exchange(true)) return;
  if (s.announcer) s.announcer->stop();
  if (s.http) s.http->stop();
  if (s.vxi11) s.vxi11->stop();
  // Connections waiting for a lock see the stop now; the listener then ends them all.
  s.locks.wakeAll();
  s.listener->stop();
}

Instrument& Server::instrument() { return impl_->instrument; }

void Server::setReplyDelay(std::chrono::milliseconds delay) { impl_->faults.delaySet(delay); }
void Server::stallQuery(unsigned nth) { impl_->faults.stall(nth); }
void Server::garbleReply(unsigned nth) { impl_->faults.garble(nth); }
void Server::dropAfterBytes(std::uint64_t bytes) { impl_->faults.drop(bytes); }
void Server::clearFaults() { impl_->faults.clear(); }

std::unique_ptr<Server> startOnLoopback(std::string* error) {
  Options options;
  options.hislipPort = 0;
  options.rawPort = 0;
  options.vxi11Port = 0;
  options.portmapPort = 0;
  auto server = std::make_unique<Server>(options);
  if (!server->start(error)) return nullptr;
  return server;
}

}  // namespace kavrel::sim
