// The simulated instrument on the network: a HiSLIP server and a raw SCPI
// socket, one shared Instrument behind both, and faults on demand for tests.
#ifndef KAVREL_SIM_SERVER_H
#define KAVREL_SIM_SERVER_H

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "testbed/sim/instrument.h"

namespace kavrel::sim {

struct Options {
  int model = 4101;
  std::string serial = "100001";
  std::string firmware = "1.00";
  int options = 0;
  std::uint64_t seed = 1;
  std::string host = "127.0.0.1";
  int hislipPort = 4880;  // 0: an ephemeral port
  int rawPort = 5025;     // 0: an ephemeral port, -1: no raw socket
  int vxi11Port = -1;     // VXI-11 core channel: 0 an ephemeral port, -1 none
  // Where VXI-11 clients ask for the core channel's port: -1 the system's
  // rpcbind (registered when it runs), 0 an ephemeral port, else that port.
  int portmapPort = -1;
  int httpPort = -1;      // LXI welcome page and identification: 0 an ephemeral port, -1 none
  bool announce = false;  // announce the services over mDNS (needs the Avahi daemon)
  // Log error -410 when a client sends again without confirming the last response (RMT-delivered).
  bool strictRmt = false;
  int maxClients = 64;  // HiSLIP sessions at once; more are refused with FatalError 4
};

class Server {
 public:
  explicit Server(Options options);
  ~Server();  // stops
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Listen and serve. False (with the reason) when a port cannot be bound.
  bool start(std::string* error);
  // The ports in use after start (-1 for none).
  int hislipPort() const;
  int rawPort() const;
  int vxi11Port() const;
  int portmapPort() const;  // -1 when the simulator does not answer portmapper queries itself
  bool vxi11Registered() const;  // with the system's rpcbind
  int httpPort() const;
  // Close every connection and stop; start may not be called again.
  void stop();

  Instrument& instrument();

  // ---- faults, counted over all connections from the call on ----
  // Hold every response back this long (0: no delay).
  void setReplyDelay(std::chrono::milliseconds delay);
  // Never send the response of the nth query from now (1: the next one).
  void stallQuery(unsigned nth = 1);
  // Corrupt the bytes of the nth response from now (its final line feed kept).
  void garbleReply(unsigned nth = 1);
  // Close the connection that sends the byte after the next `bytes` bytes of data
  // (raw socket and HiSLIP synchronous channel; headers count).
  void dropAfterBytes(std::uint64_t bytes);
  void clearFaults();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// A simulator serving every LAN protocol on ephemeral loopback ports (HiSLIP,
// raw socket, VXI-11 behind its own portmapper), started. Null, with the
// reason, when a port cannot be bound.
std::unique_ptr<Server> startOnLoopback(std::string* error);

}  // namespace kavrel::sim

#endif
