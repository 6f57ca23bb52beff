// Announcing the simulated instrument on the network over mDNS/DNS-SD, as
// LXI instruments do (_lxi._tcp, _hislip._tcp, _vxi-11._tcp, _scpi-raw._tcp),
// through the Avahi daemon.
#ifndef KAVREL_SIM_ANNOUNCER_H
#define KAVREL_SIM_ANNOUNCER_H

#include <memory>
#include <string>
#include <vector>

namespace kavrel::sim {

struct AnnouncedService {
  std::string type;  // "_hislip._tcp"
  int port = 0;
  std::vector<std::string> txt;  // "key=value" records
};

class Announcer {
 public:
  // `name` is the instance name; Avahi picks another when it is taken on the network.
  Announcer(std::string name, std::vector<AnnouncedService> services);
  ~Announcer();  // withdraws the services
  Announcer(const Announcer&) = delete;
  Announcer& operator=(const Announcer&) = delete;

  // False with the reason when the Avahi daemon cannot be reached.
  bool start(std::string* error);
  void stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kavrel::sim

#endif
