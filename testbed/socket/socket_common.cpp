// What both platforms share: name resolution.
#include "testbed/socket/socket.h"

namespace kavrel::sock {

bool started(std::string* error);  // the platform's own start, once

AddressList resolve(const std::string& host, int port, int type, bool passive, std::string* error) {
  AddressList none(nullptr, [](addrinfo*) {});
  if (!started(error)) return none;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = type;
  hints.ai_flags = AI_NUMERICSERV | (passive ? AI_PASSIVE : 0);
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  const int rc = ::getaddrinfo(passive && host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found);
  if (rc != 0 || found == nullptr) {
    if (error) *error = "cannot resolve " + host + ": " + (rc != 0 ? ::gai_strerror(rc) : "no address");
    return none;
  }
  return AddressList(found, [](addrinfo* list) { ::freeaddrinfo(list); });
}

int localPort(Handle handle) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) return -1;
  if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
  return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
}

}  // namespace kavrel::sock
