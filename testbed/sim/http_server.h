// The simulated instrument's web side, as LXI instruments have it: a welcome
// page with the identity and the resource strings of every protocol served,
// and the LXI identification document at /lxi/identification.
#ifndef KAVREL_SIM_HTTP_SERVER_H
#define KAVREL_SIM_HTTP_SERVER_H

#include <memory>
#include <string>

#include "testbed/sim/instrument.h"

namespace kavrel::sim {

// The ports of the protocols the simulator serves (-1: not served).
struct ServedPorts {
  int hislip = -1;
  int vxi11 = -1;
  int raw = -1;
};

class HttpServer {
 public:
  HttpServer(Identity identity, std::string host, int port, ServedPorts served);
  ~HttpServer();  // stops
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  bool start(std::string* error);
  int port() const;
  void stop();

  // The answer to one request for `path`, as the instrument at `address` gives it: status line, headers, body.
  std::string respond(const std::string& method, const std::string& path, const std::string& address) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// VISA resource strings for the protocols served at `address` (an IPv6 address without brackets is bracketed).
std::string hislipResource(const std::string& address, int port);
std::string vxi11Resource(const std::string& address);
std::string socketResource(const std::string& address, int port);

}  // namespace kavrel::sim

#endif
