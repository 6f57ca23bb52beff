// mDNS discovery through the Avahi client library, and find lists.
#include "testbed/visa/discovery.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <cctype>

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

namespace {

// One element of a search expression: a character class and how often it repeats.
struct Element {
  enum class Kind { any, literal, set } kind = Kind::any;
  char literal = 0;
  std::string set;  // characters and "a-z" ranges
  bool negated = false;
  char repeat = '1';  // '1' once, '*' any number, '+' at least once
};

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool elementTakes(const Element& e, char c) {
  switch (e.kind) {
    case Element::Kind::any: return true;
    case Element::Kind::literal: return lower(e.literal) == lower(c);
    case Element::Kind::set: break;
  }
  bool in = false;
  for (std::size_t i = 0; i < e.set.size() && !in; ++i) {
    if (i + 2 < e.set.size() && e.set[i + 1] == '-') {
      in = lower(c) >= lower(e.set[i]) && lower(c) <= lower(e.set[i + 2]);
      i += 2;
    } else {
      in = lower(c) == lower(e.set[i]);
    }
  }
  return in != e.negated;
}

// One alternative of an expression; false when it cannot be read.
bool parseAlternative(std::string_view text, std::vector<Element>& out) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '*' || c == '+') {
      if (out.empty() || out.back().repeat != '1') return false;
      out.back().repeat = c;
      continue;
    }
    if (c == '(' || c == ')' || c == ']') return false;  // grouping is not taken
    Element e;
    if (c == '[') {
      const std::size_t close = text.find(']', i + 1);
      if (close == std::string_view::npos || close == i + 1) return false;
      e.kind = Element::Kind::set;
      e.negated = text[i + 1] == '!';
      e.set.assign(text.substr(i + 1 + (e.negated ? 1 : 0), close - i - 1 - (e.negated ? 1 : 0)));
      if (e.set.empty()) return false;
      i = close;
    } else if (c != '?') {
      e.kind = Element::Kind::literal;
      e.literal = c == '\\' && i + 1 < text.size() ? text[++i] : c;
    }
    out.push_back(std::move(e));
  }
  return true;
}

// Whether the elements take the whole text: matches[i][j] says elements i.. take text j..
bool wholeMatch(const std::vector<Element>& elements, std::string_view text) {
  const std::size_t n = text.size();
  std::vector<std::vector<char>> matches(elements.size() + 1, std::vector<char>(n + 1, 0));
  matches[elements.size()][n] = 1;
  for (std::size_t i = elements.size(); i-- > 0;) {
    const Element& e = elements[i];
    for (std::size_t j = n + 1; j-- > 0;) {
      const bool takes = j < n && elementTakes(e, text[j]);
      switch (e.repeat) {
        case '1': matches[i][j] = takes && matches[i + 1][j + 1]; break;
        case '*': matches[i][j] = matches[i + 1][j] || (takes && matches[i][j + 1]); break;
        default: matches[i][j] = takes && (matches[i + 1][j + 1] || matches[i][j + 1]); break;  // '+'
      }
    }
  }
  return matches[0][0] != 0;
}

}  // namespace

bool matchesExpression(std::string_view expression, const std::string& resource, bool& valid) {
  expression = expression.substr(0, expression.find('{'));  // attribute conditions are not filtered on
  valid = true;
  bool matched = false;
  while (true) {
    const std::size_t bar = expression.find('|');
    std::vector<Element> elements;
    if (!parseAlternative(expression.substr(0, bar), elements)) {
      valid = false;
      return false;
    }
    matched = matched || wholeMatch(elements, resource);
    if (bar == std::string_view::npos) return matched;
    expression.remove_prefix(bar + 1);
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
