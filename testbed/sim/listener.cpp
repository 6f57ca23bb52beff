#include "testbed/sim/listener.h"

namespace kavrel::sim {

sock::Handle bindSocket(const std::string& host, int port, int type, int& bound, std::string* error) {
  const sock::AddressList found = sock::resolve(host, port, type, true, error);
  if (!found) return sock::kNone;
  std::string why = "no address";
  for (const addrinfo* a = found.get(); a; a = a->ai_next) {
    sock::Handle s = sock::open(a->ai_family, a->ai_socktype, a->ai_protocol, false);
    if (s == sock::kNone) continue;
    sock::reuseAddress(s);
    if (::bind(s, a->ai_addr, static_cast<socklen_t>(a->ai_addrlen)) == 0 &&
        (type != SOCK_STREAM || ::listen(s, 16) == 0)) {
      bound = sock::localPort(s);
      return s;
    }
    why = sock::errorText(sock::lastError());
    sock::close(s);
  }
  if (error) *error = "cannot listen on " + host + ":" + std::to_string(port) + ": " + why;
  return sock::kNone;
}

Listener::~Listener() {
  stop();
  for (Socket& s : sockets_) sock::close(s.fd);
}

bool Listener::add(const std::string& host, int port, int type, Serve serve, int& bound, std::string* error) {
  const sock::Handle fd = bindSocket(host, port, type, bound, error);
  if (fd == sock::kNone) return false;
  sockets_.push_back({fd, type, std::move(serve)});
  return true;
}

bool Listener::start(std::string* error) {
  if (!wake_.open(error)) return false;
  started_ = true;
  thread_ = std::thread([this] { run(); });
  return true;
}

void Listener::run() {
  std::vector<pollfd> fds;
  while (!stopping_) {
    fds.assign(1, pollfd{wake_.handle(), POLLIN, 0});
    for (const Socket& s : sockets_) fds.push_back({s.fd, POLLIN, 0});
    const int rc = sock::poll(fds.data(), fds.size(), 200);
    reap(false);
    if (rc <= 0) continue;
    for (std::size_t i = 1; i < fds.size(); ++i) {
      if (!(fds[i].revents & POLLIN)) continue;
      Socket& s = sockets_[i - 1];
      if (s.type != SOCK_STREAM) {
        s.serve(s.fd);
        continue;
      }
      const sock::Handle fd = sock::accept(s.fd);
      if (fd == sock::kNone) continue;
      auto connection = std::make_shared<Connection>();
      connection->fd = fd;
      std::lock_guard lock(mutex_);
      connections_.push_back(connection);
      connection->thread = std::thread([connection, serve = s.serve] {
        serve(connection->fd);
        connection->done = true;
      });
    }
  }
}

void Listener::reap(bool all) {
  std::list<std::shared_ptr<Connection>> finished;
  {
    std::lock_guard lock(mutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      if (all || (*it)->done) {
        if (all) sock::shutdownBoth((*it)->fd);
        finished.push_back(*it);
        it = connections_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& c : finished) {
    if (c->thread.joinable()) c->thread.join();
    sock::close(c->fd);
  }
}

void Listener::stop() {
  if (!started_ || stopping_.exchange(true)) return;
  wake_.wake();
  if (thread_.joinable()) thread_.join();
  wake_.close();
  // New clients are refused from here on, not left waiting in the backlog.
  for (Socket& s : sockets_) sock::close(s.fd);
  sockets_.clear();
  reap(true);
}

}  // namespace kavrel::sim
