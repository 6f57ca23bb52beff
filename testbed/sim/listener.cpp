#include "testbed/sim/listener.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kavrel::sim {

int bindSocket(const std::string& host, int port, int type, int& bound, std::string* error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = type;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  const int rc = ::getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found);
  if (rc != 0) {
    if (error) *error = "cannot resolve " + host + ": " + ::gai_strerror(rc);
    return -1;
  }
  std::string why = "no address";
  for (addrinfo* a = found; a; a = a->ai_next) {
    const int s = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (s < 0) continue;
    const int one = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(s, a->ai_addr, a->ai_addrlen) == 0 && (type != SOCK_STREAM || ::listen(s, 16) == 0)) {
      sockaddr_storage addr{};
      socklen_t len = sizeof addr;
      ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
      bound = addr.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port)
                                         : ntohs(reinterpret_cast<sockaddr_in*>(&addr)->sin_port);
      ::freeaddrinfo(found);
      return s;
    }
    why = std::strerror(errno);
    ::close(s);
  }
  ::freeaddrinfo(found);
  if (error) *error = "cannot listen on " + host + ":" + service + ": " + why;
  return -1;
}

Listener::~Listener() {
  stop();
  for (Socket& s : sockets_) ::close(s.fd);
}

bool Listener::add(const std::string& host, int port, int type, Serve serve, int& bound, std::string* error) {
  const int fd = bindSocket(host, port, type, bound, error);
  if (fd < 0) return false;
  sockets_.push_back({fd, type, std::move(serve)});
  return true;
}

bool Listener::start(std::string* error) {
  if (::pipe2(wake_, O_CLOEXEC) != 0) {
    if (error) *error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  started_ = true;
  thread_ = std::thread([this] { run(); });
  return true;
}

void Listener::run() {
  std::vector<pollfd> fds;
  while (!stopping_) {
    fds.assign(1, pollfd{wake_[0], POLLIN, 0});
    for (const Socket& s : sockets_) fds.push_back({s.fd, POLLIN, 0});
    const int rc = ::poll(fds.data(), fds.size(), 200);
    reap(false);
    if (rc <= 0) continue;
    for (std::size_t i = 1; i < fds.size(); ++i) {
      if (!(fds[i].revents & POLLIN)) continue;
      Socket& s = sockets_[i - 1];
      if (s.type != SOCK_STREAM) {
        s.serve(s.fd);
        continue;
      }
      const int fd = ::accept4(s.fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      const int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
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
        if (all) ::shutdown((*it)->fd, SHUT_RDWR);
        finished.push_back(*it);
        it = connections_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& c : finished) {
    if (c->thread.joinable()) c->thread.join();
    ::close(c->fd);
  }
}

void Listener::stop() {
  if (!started_ || stopping_.exchange(true)) return;
  char byte = 0;
  (void)!::write(wake_[1], &byte, 1);
  if (thread_.joinable()) thread_.join();
  for (int& fd : wake_) {
    ::close(fd);
    fd = -1;
  }
  // New clients are refused from here on, not left waiting in the backlog.
  for (Socket& s : sockets_) ::close(s.fd);
  sockets_.clear();
  reap(true);
}

}  // namespace kavrel::sim
