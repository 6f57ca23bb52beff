// Listening sockets served by threads: one thread polls the sockets, each
// accepted connection gets a thread of its own, and a datagram socket is
// served on the polling thread whenever a datagram waits.
#ifndef KAVREL_SIM_LISTENER_H
#define KAVREL_SIM_LISTENER_H

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "testbed/socket/socket.h"

namespace kavrel::sim {

// A socket of `type` (SOCK_STREAM listening, or SOCK_DGRAM) bound to host:port
// (port 0: any free one): the socket, or sock::kNone with the reason in `error`.
sock::Handle bindSocket(const std::string& host, int port, int type, int& bound, std::string* error);

class Listener {
 public:
  // Serves one connection or datagram socket; the connection is closed after it returns.
  using Serve = std::function<void(sock::Handle fd)>;

  Listener() = default;
  ~Listener();  // stops
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  // Bind and add a socket before start: false with the reason when it cannot be bound.
  bool add(const std::string& host, int port, int type, Serve serve, int& bound, std::string* error);
  bool start(std::string* error);
  // Close the sockets, end every connection (shut down) and wait for their threads.
  void stop();
  const std::atomic<bool>& stopping() const { return stopping_; }

 private:
  struct Socket {
    sock::Handle fd;
    int type;
    Serve serve;
  };
  struct Connection {
    sock::Handle fd = sock::kNone;
    std::thread thread;
    std::atomic<bool> done{false};
  };
  void run();
  void reap(bool all);

  std::vector<Socket> sockets_;
  sock::Waker wake_;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  bool started_ = false;
  std::mutex mutex_;
  std::list<std::shared_ptr<Connection>> connections_;
};

}  // namespace kavrel::sim

#endif
