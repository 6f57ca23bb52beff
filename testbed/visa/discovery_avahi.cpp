// Instruments announced over mDNS, found through the Avahi client library.
#include "testbed/visa/discovery.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/error.h>
#include <avahi-common/simple-watch.h>

namespace kavrel::standin {
namespace {

constexpr std::uint16_t kHislipPort = 4880;

struct Browse {
  AvahiClient* client = nullptr;
  AvahiSimplePoll* poll = nullptr;
  int browsing = 0;   // browsers that have not reported all they know
  int resolving = 0;  // resolvers still under way
  std::vector<std::string> found;
};

std::string hostPart(const char* address) {
  return std::strchr(address, ':') != nullptr ? "[" + std::string(address) + "]" : address;
}

// The resource string of a resolved service.
std::string resourceOf(std::string_view type, const char* address, std::uint16_t port) {
  const std::string host = "TCPIP::" + hostPart(address) + "::";
  if (type == "_hislip._tcp") {
    return host + "hislip0" + (port == kHislipPort ? "" : "," + std::to_string(port)) + "::INSTR";
  }
  if (type == "_vxi-11._tcp") return host + "inst0" + (port == 111 ? "" : "," + std::to_string(port)) + "::INSTR";
  return host + std::to_string(port) + "::SOCKET";
}

void resolved(AvahiServiceResolver* r, AvahiIfIndex, AvahiProtocol, AvahiResolverEvent event, const char*,
              const char* type, const char*, const char*, const AvahiAddress* address, uint16_t port,
              AvahiStringList*, AvahiLookupResultFlags, void* data) {
  auto* b = static_cast<Browse*>(data);
  if (event == AVAHI_RESOLVER_FOUND && address != nullptr) {
    char text[AVAHI_ADDRESS_STR_MAX];
    avahi_address_snprint(text, sizeof text, address);
    b->found.push_back(resourceOf(type, text, port));
  }
  avahi_service_resolver_free(r);
  if (--b->resolving == 0 && b->browsing == 0) avahi_simple_poll_quit(b->poll);
}

void browsed(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocol, AvahiBrowserEvent event,
             const char* name, const char* type, const char* domain, AvahiLookupResultFlags, void* data) {
  auto* b = static_cast<Browse*>(data);
  switch (event) {
    case AVAHI_BROWSER_NEW:
      // IPv4 addresses only: they are what instruments are reached on.
      if (avahi_service_resolver_new(b->client, interface, protocol, name, type, domain, AVAHI_PROTO_INET,
                                     AvahiLookupFlags{}, resolved, b) != nullptr) {
        ++b->resolving;
      }
      break;
    case AVAHI_BROWSER_ALL_FOR_NOW:
    case AVAHI_BROWSER_FAILURE:
      if (--b->browsing == 0 && b->resolving == 0) avahi_simple_poll_quit(b->poll);
      break;
    default: break;
  }
}

}  // namespace

std::vector<std::string> discoverInstruments(int timeoutMs) {
  Browse b;
  b.poll = avahi_simple_poll_new();
  if (b.poll == nullptr) return {};
  int error = 0;
  b.client = avahi_client_new(avahi_simple_poll_get(b.poll), AvahiClientFlags{}, nullptr, nullptr, &error);
  if (b.client != nullptr) {
    for (const char* type : {"_hislip._tcp", "_vxi-11._tcp", "_scpi-raw._tcp"}) {
      if (avahi_service_browser_new(b.client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, type, nullptr,
                                    AvahiLookupFlags{}, browsed, &b) != nullptr) {
        ++b.browsing;
      }
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (b.browsing + b.resolving > 0 && std::chrono::steady_clock::now() < end) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (avahi_simple_poll_iterate(b.poll, static_cast<int>(std::max<long long>(left.count(), 1))) != 0) break;
    }
    avahi_client_free(b.client);  // frees browsers and resolvers still open
  }
  avahi_simple_poll_free(b.poll);
  std::sort(b.found.begin(), b.found.end());
  b.found.erase(std::unique(b.found.begin(), b.found.end()), b.found.end());
  return b.found;
}

}  // namespace kavrel::standin
