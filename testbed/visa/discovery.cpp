// mDNS discovery through the Avahi client library, and find lists.
#include "testbed/visa/discovery.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <regex>

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

std::mutex g_listsLock;
std::map<ViFindList, std::vector<std::string>> g_lists;
// Find lists are numbered far above sessions, which count up from 1.
ViFindList g_lastList = 0xF0000000U;

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

bool matchesExpression(std::string_view expression, const std::string& resource, bool& valid) {
  std::string pattern;
  for (const char c : expression.substr(0, expression.find('{'))) {  // attribute conditions are not filtered on
    switch (c) {
      case '?': pattern += '.'; break;
      case '*': case '+': case '[': case ']': case '|': case '(': case ')': case '^': case '!': case '-':
        pattern += c == '!' ? '^' : c;  // VISA writes a negated set "[!...]"
        break;
      default:
        if (std::isalnum(static_cast<unsigned char>(c)) == 0) pattern += '\\';
        pattern += c;
    }
  }
  try {
    valid = true;
    return std::regex_match(resource, std::regex(pattern, std::regex::icase));
  } catch (const std::regex_error&) {
    valid = false;
    return false;
  }
}

ViFindList openFindList(std::vector<std::string> rest) {
  std::lock_guard guard(g_listsLock);
  do {
    g_lastList = g_lastList == 0xFFFFFFFFU ? 0xF0000001U : g_lastList + 1U;
  } while (g_lists.count(g_lastList) != 0);
  g_lists[g_lastList] = std::move(rest);
  return g_lastList;
}

ViStatus findNext(ViFindList list, ViChar desc[]) {
  std::lock_guard guard(g_listsLock);
  const auto found = g_lists.find(list);
  if (found == g_lists.end()) return VI_ERROR_INV_OBJECT;
  if (desc == nullptr) return VI_ERROR_USER_BUF;
  if (found->second.empty()) return VI_ERROR_RSRC_NFOUND;
  const std::string next = std::move(found->second.front());
  found->second.erase(found->second.begin());
  const std::size_t length = std::min<std::size_t>(next.size(), 255);
  std::memcpy(desc, next.data(), length);
  desc[length] = '\0';
  return VI_SUCCESS;
}

bool isFindList(ViObject handle) {
  std::lock_guard guard(g_listsLock);
  return g_lists.count(handle) != 0;
}

ViStatus closeFindList(ViFindList list) {
  std::lock_guard guard(g_listsLock);
  return g_lists.erase(list) != 0 ? VI_SUCCESS : VI_ERROR_INV_OBJECT;
}

}  // namespace kavrel::standin
