#include "testbed/sim/http_server.h"

#include "testbed/hislip/hislip.h"
#include "testbed/sim/listener.h"

namespace kavrel::sim {

namespace {

constexpr std::size_t kMaxRequest = 16 * 1024;
constexpr int kRequestTimeoutMs = 5000;

std::string escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string hostPart(const std::string& address) {
  return address.find(':') != std::string::npos ? "[" + address + "]" : address;
}

// The address the client reached us on.
std::string localAddress(sock::Handle fd) {
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  char text[INET6_ADDRSTRLEN] = {};
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return "127.0.0.1";
  const void* raw = addr.ss_family == AF_INET6 ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(&addr)->sin6_addr)
                                               : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(&addr)->sin_addr);
  return ::inet_ntop(addr.ss_family, raw, text, sizeof text) != nullptr ? text : "127.0.0.1";
}

std::string answer(int code, const char* reason, const char* type, const std::string& body, bool head) {
  std::string out = "HTTP/1.1 " + std::to_string(code) + " " + reason + "\r\n";
  out += std::string("Content-Type: ") + type + "\r\n";
  out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  out += "Cache-Control: no-cache\r\nConnection: close\r\n\r\n";
  if (!head) out += body;
  return out;
}

}  // namespace

std::string hislipResource(const std::string& address, int port) {
  return "TCPIP::" + hostPart(address) + "::hislip0" + (port == 4880 ? "" : "," + std::to_string(port)) + "::INSTR";
}
std::string vxi11Resource(const std::string& address) { return "TCPIP::" + hostPart(address) + "::inst0::INSTR"; }
std::string socketResource(const std::string& address, int port) {
  return "TCPIP::" + hostPart(address) + "::" + std::to_string(port) + "::SOCKET";
}

struct HttpServer::Impl {
  Impl(Identity i, std::string h, int p, ServedPorts s)
      : identity(std::move(i)), host(std::move(h)), requestedPort(p), served(s) {}
  Identity identity;
  std::string host;
  int requestedPort;
  ServedPorts served;
  Listener listener;
  int port = -1;

  std::vector<std::string> resources(const std::string& address) const {
    std::vector<std::string> out;
    if (served.hislip >= 0) out.push_back(hislipResource(address, served.hislip));
    if (served.vxi11 >= 0) out.push_back(vxi11Resource(address));
    if (served.raw >= 0) out.push_back(socketResource(address, served.raw));
    return out;
  }
  std::string model() const { return std::to_string(identity.model); }
  std::string welcome(const std::string& address) const;
  std::string identification(const std::string& address) const;
  void connection(HttpServer& server, sock::Handle fd);
};

std::string HttpServer::Impl::welcome(const std::string& address) const {
  std::string rows;
  auto row = [&rows](const std::string& name, const std::string& value) {
    rows += "<tr><th>" + escaped(name) + "</th><td>" + escaped(value) + "</td></tr>\n";
  };
  row("Manufacturer", std::string(kManufacturer));
  row("Model", model());
  row("Serial number", identity.serial);
  row("Firmware revision", identity.firmware);
  row("Address", address);
  std::string list;
  for (const std::string& r : resources(address)) list += "<li><code>" + escaped(r) + "</code></li>\n";
  return "<!DOCTYPE html>\n<html lang=\"en\">\n<head><meta charset=\"utf-8\"><title>" + escaped(std::string(kManufacturer)) + " " +
         model() + " " + escaped(identity.serial) +
         "</title>\n<style>body{font-family:sans-serif;margin:2em}th{text-align:left;padding-right:1em}</style></head>\n"
         "<body>\n<h1>" + escaped(std::string(kManufacturer)) + " " + model() + " microwave test set</h1>\n<table id=\"identity\">\n" + rows +
         "</table>\n<h2>VISA resources</h2>\n<ul id=\"resources\">\n" + list +
         "</ul>\n<p><a href=\"/lxi/identification\">LXI identification</a></p>\n</body>\n</html>\n";
}

std::string HttpServer::Impl::identification(const std::string& address) const {
  std::string addresses;
  for (const std::string& r : resources(address)) {
    addresses += "    <InstrumentAddressString>" + escaped(r) + "</InstrumentAddressString>\n";
  }
  const std::string base = "http://" + hostPart(address) + ":" + std::to_string(port);
  const bool v6 = address.find(':') != std::string::npos;
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<LXIDevice xmlns=\"http://www.lxistandard.org/InstrumentIdentification/1.0\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
         "xsi:schemaLocation=\"http://www.lxistandard.org/InstrumentIdentification/1.0 "
         "http://www.lxistandard.org/InstrumentIdentification/1.0/LXIIdentification.xsd\">\n"
         "  <Manufacturer>" + std::string(kManufacturer) + "</Manufacturer>\n"
         "  <Model>" + model() + "</Model>\n"
         "  <SerialNumber>" + escaped(identity.serial) + "</SerialNumber>\n"
         "  <FirmwareRevision>" + escaped(identity.firmware) + "</FirmwareRevision>\n"
         "  <ManufacturerDescription>" + std::string(kManufacturer) + " " + model() +
         " microwave test set (simulated)</ManufacturerDescription>\n"
         "  <HomepageURL>" + base + "/</HomepageURL>\n"
         "  <DriverURL>" + base + "/</DriverURL>\n"
         "  <UserDescription>simulated instrument</UserDescription>\n"
         "  <IdentificationURL>" + base + "/lxi/identification</IdentificationURL>\n"
         "  <Interface xsi:type=\"NetworkInformation\" InterfaceType=\"LXI\" IPType=\"" + (v6 ? "IPv6" : "IPv4") +
         "\" InterfaceName=\"eth0\">\n" + addresses +
         "    <Hostname>" + escaped(address) + "</Hostname>\n"
         "    <IPAddress>" + escaped(address) + "</IPAddress>\n"
         "    <SubnetMask>255.0.0.0</SubnetMask>\n"
         "    <MACAddress>00-00-00-00-00-00</MACAddress>\n"
         "    <Gateway>0.0.0.0</Gateway>\n"
         "    <DHCPEnabled>false</DHCPEnabled>\n"
         "    <AutoIPEnabled>false</AutoIPEnabled>\n"
         "  </Interface>\n"
         "  <Domain>0</Domain>\n"
         "  <LXIVersion>1.4</LXIVersion>\n"
         "</LXIDevice>\n";
}

std::string HttpServer::respond(const std::string& method, const std::string& path, const std::string& address) const {
  const bool head = method == "HEAD";
  if (method != "GET" && !head) return answer(405, "Method Not Allowed", "text/plain", "GET or HEAD only\n", false);
  const std::string bare = path.substr(0, path.find('?'));
  if (bare == "/" || bare == "/index.html") {
    return answer(200, "OK", "text/html; charset=utf-8", impl_->welcome(address), head);
  }
  if (bare == "/lxi/identification" || bare == "/lxi/identification/") {
    return answer(200, "OK", "text/xml; charset=utf-8", impl_->identification(address), head);
  }
  return answer(404, "Not Found", "text/plain", "not found\n", head);
}

// One request per connection, read whole (up to the end of its headers) within a time limit.
void HttpServer::Impl::connection(HttpServer& server, sock::Handle fd) {
  std::string request;
  char chunk[2048];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < kMaxRequest) {
    pollfd p{fd, POLLIN, 0};
    if (sock::poll(&p, 1, kRequestTimeoutMs) <= 0) return;
    const long n = sock::receive(fd, chunk, sizeof chunk);
    if (sock::interruptedCall(n)) continue;
    if (n <= 0) return;
    request.append(chunk, static_cast<std::size_t>(n));
  }
  const std::size_t methodEnd = request.find(' ');
  const std::size_t pathEnd = methodEnd == std::string::npos ? std::string::npos : request.find(' ', methodEnd + 1);
  std::string reply;
  if (pathEnd == std::string::npos || request.find("\r\n\r\n") == std::string::npos) {
    reply = answer(400, "Bad Request", "text/plain", "bad request\n", false);
  } else {
    reply = server.respond(request.substr(0, methodEnd), request.substr(methodEnd + 1, pathEnd - methodEnd - 1),
                           localAddress(fd));
  }
  hislip::sendAll(fd, reply);
  sock::shutdownSend(fd);
}

HttpServer::HttpServer(Identity identity, std::string host, int port, ServedPorts served)
    : impl_(std::make_unique<Impl>(std::move(identity), std::move(host), port, served)) {}

HttpServer::~HttpServer() { stop(); }

bool HttpServer::start(std::string* error) {
  Impl& s = *impl_;
  return s.listener.add(s.host, s.requestedPort, SOCK_STREAM, [this](sock::Handle fd) { impl_->connection(*this, fd); }, s.port,
                        error) &&
         s.listener.start(error);
}

int HttpServer::port() const { return impl_->port; }
void HttpServer::stop() { impl_->listener.stop(); }

}  // namespace kavrel::sim
