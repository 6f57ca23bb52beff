// The simulated instrument over VXI-11: the core channel (links, write,
// read, status byte, clear, locks), the abort channel, and the portmapper's
// answer that tells clients where they are — from the system's rpcbind, or
// from the simulator itself on a port it is given.
#ifndef KAVREL_SIM_VXI11_SERVER_H
#define KAVREL_SIM_VXI11_SERVER_H

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "testbed/sim/instrument.h"

namespace kavrel::sim {

// The instrument's locks, shared by every protocol. Owners are numbers; 0 never holds a lock.
class DeviceLocks {
 public:
  virtual ~DeviceLocks() = default;
  // 1 granted, 0 not granted within the time, 3 already held.
  virtual int request(int owner, const std::string& key, std::chrono::milliseconds timeout,
                      const std::atomic<bool>& stopping) = 0;
  // 1 exclusive released, 2 shared released, 3 nothing held.
  virtual int release(int owner) = 0;
  virtual void releaseAll(int owner) = 0;
  // Whether the owner may use the instrument within the time.
  virtual bool waitAccessFor(int owner, std::chrono::milliseconds timeout, const std::atomic<bool>& stopping) = 0;
};

// The faults a test sets on responses, for every protocol.
class ResponseFaults {
 public:
  virtual ~ResponseFaults() = default;
  // Applies stall and garble to a response (false: it is never sent) and gives its delay.
  virtual bool response(Response& r, std::chrono::milliseconds& delay) = 0;
  // Send bytes under the drop-after-bytes fault; false when the connection must end.
  virtual bool dataSend(int fd, std::string_view bytes) = 0;
};

struct Vxi11Options {
  std::string host = "127.0.0.1";
  int corePort = 0;      // 0: any free port
  int portmapPort = -1;  // -1: register with the system's rpcbind; 0: any free port; else answer there
  // Longest wait for a response or a lock, whatever the client asks (0: as long as it asks).
  std::chrono::milliseconds maxWait{0};
};

class Vxi11Server {
 public:
  Vxi11Server(Instrument& instrument, DeviceLocks& locks, ResponseFaults& faults, Vxi11Options options);
  ~Vxi11Server();  // stops
  Vxi11Server(const Vxi11Server&) = delete;
  Vxi11Server& operator=(const Vxi11Server&) = delete;

  // Listen and serve. False (with the reason) when a port cannot be bound.
  bool start(std::string* error);
  int corePort() const;
  int abortPort() const;
  // Where the simulator answers portmapper queries (-1: it does not).
  int portmapPort() const;
  // Registered with the system's rpcbind.
  bool registered() const;
  void stop();


 private:
  struct Impl;

 public:
  // One client's connection to the core channel, without a socket: the
  // server's connections use it, and so may a fuzz target.
  class CoreChannel {
   public:
    explicit CoreChannel(Vxi11Server& server);
    ~CoreChannel();  // destroys the links made through it
    CoreChannel(const CoreChannel&) = delete;
    CoreChannel& operator=(const CoreChannel&) = delete;
    // The reply message to one RPC message; empty when it is no call (the connection ends).
    std::string answer(std::string_view message);

   private:
    Impl& server_;
    std::set<long> own_;
  };

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace kavrel::sim

#endif
