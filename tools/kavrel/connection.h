// The instrument a subcommand talks to: the user's, through their VISA and
// --resource, or the simulated instrument started in this process on a
// loopback port and reached through the project's VISA stand-in.
#ifndef KAVREL_TOOLS_CONNECTION_H
#define KAVREL_TOOLS_CONNECTION_H

#include <memory>
#include <string>

#include "driver/kavrel.h"

namespace kavrel::sim {
class Server;
}

namespace kavrel::cli {

// A failure, as one line for the user: what failed and, for a driver call,
// its status (VI_SUCCESS when there is none).
struct Failure {
  std::string what;
  ViStatus status = VI_SUCCESS;
};
std::string describe(const Failure& failure);

// Point the driver's VISA binding at the project's stand-in through
// KAVREL_VISA_LIBRARY, before the first VISA call; `why` names a problem
// that prevents it.
void useStandinVisa(std::string& why);

// The VISA library in use, as "path (manufacturer, version V, VISA S)", or
// why none can be used; false in that case.
bool visaLibrary(ViSession vi, std::string& text);

// Highest source frequency of the model named in an identification
// ("OVR,4103,..." gives 26.5 GHz); 0 for a model this program does not know.
double modelMaxFrequency(const std::string& identity);

struct SimSettings {
  int model = 4101;
  int options = 0;
  unsigned long seed = 1;
};

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Start the embedded simulator when `resource` is empty.
  bool start(const std::string& resource, const SimSettings& sim, Failure& failure);
  // Open the driver's session with identification check: the driver's setup
  // clears the instrument's status registers and error queue; `reset`
  // resets the instrument first.
  bool open(bool reset, Failure& failure);
  ViSession vi() const { return vi_; }
  const std::string& resource() const { return resource_; }
  bool simulated() const { return static_cast<bool>(server_); }

 private:
  std::unique_ptr<kavrel::sim::Server> server_;
  std::string resource_;
  ViSession vi_ = VI_NULL;
};

}  // namespace kavrel::cli

#endif
