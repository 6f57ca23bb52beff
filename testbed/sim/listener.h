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

namespace kavrel::sim {

// A socket of `type` (SOCK_STREAM listening, or SOCK_DGRAM) bound to host:port
// (port 0: any free one): the descriptor, or -1 with the reason in `error`.
int bindSocket(const std::string& host, int port, int type, int& bound, std::string* error);

class Listener {
 public:
  // Serves one connection or datagram socket; the connection is closed after it returns.
  using Serve = std::function<void(int fd)>;

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
    int fd;
    int type;
    Serve serve;
  };
  struct Connection {
    int fd = -1;
    std::thread thread;
    std::atomic<bool> done{false};
  };
  void run();
  void reap(bool all);

  std::vector<Socket> sockets_;
  int wake_[2] = {-1, -1};
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  bool started_ = false;
  std::mutex mutex_;
  std::list<std::shared_ptr<Connection>> connections_;
};

}  // namespace kavrel::sim

#endif
