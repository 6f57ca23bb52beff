// Where the platform has no Avahi daemon to talk to (Windows): nothing is announced.
#include "testbed/sim/announcer.h"

namespace kavrel::sim {

struct Announcer::Impl {};

Announcer::Announcer(std::string, std::vector<AnnouncedService>) {}
Announcer::~Announcer() = default;

bool Announcer::start(std::string* error) {
  if (error) *error = "mDNS announcements are not available on this platform";
  return false;
}

void Announcer::stop() {}

}  // namespace kavrel::sim
