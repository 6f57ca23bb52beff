// Where the platform has no mDNS client library (Windows): no instrument is found on the network.
#include "testbed/visa/discovery.h"

namespace kavrel::standin {

std::vector<std::string> discoverInstruments(int) { return {}; }

}  // namespace kavrel::standin
