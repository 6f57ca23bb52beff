// Where the platform has no ONC RPC library (Windows): the simulator serves no VXI-11.
#include "testbed/sim/vxi11_server.h"

namespace kavrel::sim {

struct Vxi11Server::Impl {};

Vxi11Server::Vxi11Server(Instrument&, DeviceLocks&, ResponseFaults&, Vxi11Options) {}
Vxi11Server::~Vxi11Server() = default;

bool Vxi11Server::available() { return false; }

bool Vxi11Server::start(std::string* error) {
  if (error) *error = "VXI-11 is not available on this platform";
  return false;
}

int Vxi11Server::corePort() const { return -1; }
int Vxi11Server::abortPort() const { return -1; }
int Vxi11Server::portmapPort() const { return -1; }
bool Vxi11Server::registered() const { return false; }
void Vxi11Server::stop() {}

}  // namespace kavrel::sim
