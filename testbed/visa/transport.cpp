// Which transport a resource name leads to, and where a network resource lives.
#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

#include "testbed/visa/standin_internal.h"

namespace kavrel::standin {
namespace {

bool equalNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
  }
  return true;
}

// The "::"-separated fields of a resource name; a bracketed IPv6 host stays whole.
std::vector<std::string_view> resourceFields(std::string_view name) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  bool inBrackets = false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '[') inBrackets = true;
    else if (name[i] == ']') inBrackets = false;
    else if (!inBrackets && name[i] == ':' && i + 1 < name.size() && name[i + 1] == ':') {
      fields.push_back(name.substr(start, i - start));
      start = i + 2;
      ++i;
    }
  }
  fields.push_back(name.substr(start));
  return fields;
}

bool isAlphanumeric(char c) { return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'); }

bool allOf(std::string_view text, bool (*accept)(char)) { return std::all_of(text.begin(), text.end(), accept); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A host name or dotted address, or a bracketed IPv6 address (with an optional zone).
bool parseHost(std::string_view field, std::string& host) {
  if (field.size() >= 2 && field.front() == '[' && field.back() == ']') {
    field = field.substr(1, field.size() - 2);
    if (field.empty() || !allOf(field, [](char c) { return isAlphanumeric(c) || c == ':' || c == '.' || c == '%'; })) {
      return false;
    }
  } else if (field.empty() ||
             !allOf(field, [](char c) { return isAlphanumeric(c) || c == '.' || c == '-' || c == '_'; })) {
    return false;
  }
  host.assign(field);
  return true;
}

// A decimal port 1..65535, digits only.
bool parsePort(std::string_view text, std::uint16_t& port) {
  if (text.empty() || !allOf(text, isDigit)) return false;
  unsigned value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc{} || result.ptr != text.data() + text.size() || value == 0 || value > 65535) {
    return false;
  }
  port = static_cast<std::uint16_t>(value);
  return true;
}

constexpr std::uint16_t kHislipPort = 4880;
constexpr std::uint16_t kPortmapPort = 111;

bool isVxi11Device(std::string_view field) {
  return startsWithNoCase(field, "inst") || startsWithNoCase(field, "gpib") || startsWithNoCase(field, "vxi");
}

// "instN[,port]", "gpibB,N[,port]" or "vxiN[,port]"; the port is the portmapper's.
bool parseVxi11Device(std::string_view field, NetworkAddress& address) {
  const std::size_t names = startsWithNoCase(field, "gpib") ? 2 : 1;  // comma-separated parts of the name itself
  std::size_t end = 0;
  for (std::size_t i = 0; i < names && end != std::string_view::npos; ++i) {
    end = field.find(',', i == 0 ? 0 : end + 1);
  }
  std::string_view device = field.substr(0, end);
  if (end != std::string_view::npos && !parsePort(field.substr(end + 1), address.port)) return false;
  if (device.empty() || !allOf(device, [](char c) { return isAlphanumeric(c) || c == ','; }) ||
      device.back() == ',') {
    return false;
  }
  address.device.assign(device);
  return true;
}

}  // namespace

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalNoCase(text.substr(0, prefix.size()), prefix);
}

ResourceKind classifyResource(std::string_view name) {
  const std::vector<std::string_view> fields = resourceFields(name);
  if (fields.size() < 2 || !startsWithNoCase(fields[0], "TCPIP")) return ResourceKind::Scripted;
  if (fields.size() == 2) return ResourceKind::Vxi11;
  if (equalNoCase(fields.back(), "SOCKET")) return ResourceKind::Socket;
  if (startsWithNoCase(fields[2], "hislip")) return ResourceKind::Hislip;
  if ((fields.size() == 3 && equalNoCase(fields[2], "INSTR")) || isVxi11Device(fields[2])) return ResourceKind::Vxi11;
  return ResourceKind::Scripted;
}

namespace {

struct Interface {
  std::string_view prefix;
  ViUInt16 type;
};
// GPIB-VXI before GPIB: the longer prefix first.
constexpr Interface kInterfaces[] = {{"GPIB-VXI", VI_INTF_GPIB_VXI}, {"GPIB", VI_INTF_GPIB}, {"VXI", VI_INTF_VXI},
                                     {"ASRL", VI_INTF_ASRL},         {"PXI", VI_INTF_PXI},   {"TCPIP", VI_INTF_TCPIP},
                                     {"USB", VI_INTF_USB}};

const Interface* interfaceOf(std::string_view name) {
  const auto* found = std::find_if(std::begin(kInterfaces), std::end(kInterfaces),
                                   [&](const Interface& i) { return startsWithNoCase(name, i.prefix); });
  return found == std::end(kInterfaces) ? nullptr : found;
}

}  // namespace

ViUInt16 interfaceTypeOf(std::string_view name) {
  const Interface* found = interfaceOf(name);
  return found != nullptr ? found->type : VI_INTF_GPIB;
}

ViStatus parseResource(std::string_view name, ParsedResource& out) {
  constexpr std::string_view kClasses[] = {"INSTR", "SOCKET", "INTFC", "BACKPLANE", "SERVANT", "MEMACC", "RAW"};
  const std::vector<std::string_view> fields = resourceFields(name);
  const Interface* found = fields.size() < 2 ? nullptr : interfaceOf(fields[0]);
  if (found == nullptr) return VI_ERROR_INV_RSRC_NAME;
  const std::string_view number = fields[0].substr(found->prefix.size());
  ViUInt16 board = 0;
  if (!number.empty() && (!allOf(number, isDigit) ||
                          std::from_chars(number.data(), number.data() + number.size(), board).ec != std::errc{}))
    return VI_ERROR_INV_RSRC_NAME;
  if (found->type == VI_INTF_TCPIP) {
    const ResourceKind kind = classifyResource(name);
    NetworkAddress address;
    if (kind == ResourceKind::Scripted || parseNetworkResource(name, kind, address) != VI_SUCCESS)
      return VI_ERROR_INV_RSRC_NAME;
  }
  out.interfaceType = found->type;
  out.board = board;
  out.resourceClass = "INSTR";
  for (std::string_view c : kClasses)
    if (equalNoCase(fields.back(), c)) out.resourceClass = c;
  return VI_SUCCESS;
}

ViStatus parseNetworkResource(std::string_view name, ResourceKind kind, NetworkAddress& out) {
  const std::vector<std::string_view> fields = resourceFields(name);
  NetworkAddress address;
  // "TCPIP" and an optional board number.
  if (fields.size() < 2 || !startsWithNoCase(fields[0], "TCPIP") || !allOf(fields[0].substr(5), isDigit) ||
      !parseHost(fields[1], address.host)) {
    return VI_ERROR_INV_RSRC_NAME;
  }
  if (kind == ResourceKind::Vxi11) {
    // "::host", "::host::INSTR", "::host::device" or "::host::device::INSTR".
    address.port = kPortmapPort;
    address.device = "inst0";
    const bool named = fields.size() >= 3 && !(fields.size() == 3 && equalNoCase(fields[2], "INSTR"));
    if (fields.size() > 4 || (fields.size() == 4 && !equalNoCase(fields[3], "INSTR")) ||
        (named && !parseVxi11Device(fields[2], address))) {
      return VI_ERROR_INV_RSRC_NAME;
    }
    out = std::move(address);
    return VI_SUCCESS;
  }
  if (fields.size() < 3) return VI_ERROR_INV_RSRC_NAME;
  if (kind == ResourceKind::Socket) {
    if (fields.size() != 4 || !parsePort(fields[2], address.port)) return VI_ERROR_INV_RSRC_NAME;
    out = std::move(address);
    return VI_SUCCESS;
  }
  if (kind != ResourceKind::Hislip || fields.size() > 4 || (fields.size() == 4 && !equalNoCase(fields[3], "INSTR"))) {
    return VI_ERROR_INV_RSRC_NAME;
  }
  // "hislipN" with an optional ",port".
  std::string_view device = fields[2];
  address.port = kHislipPort;
  if (const std::size_t comma = device.find(','); comma != std::string_view::npos) {
    if (!parsePort(device.substr(comma + 1), address.port)) return VI_ERROR_INV_RSRC_NAME;
    device = device.substr(0, comma);
  }
  if (!startsWithNoCase(device, "hislip") || !allOf(device, isAlphanumeric)) return VI_ERROR_INV_RSRC_NAME;
  address.device.assign(device);
  out = std::move(address);
  return VI_SUCCESS;
}

ViStatus openTransport(std::string_view resourceName, ViSession vi, ViUInt32 timeoutMs,
                       std::unique_ptr<Transport>& out) {
  const ResourceKind kind = classifyResource(resourceName);
  if (kind == ResourceKind::Scripted) {
    out = makeScriptedTransport();
    return VI_SUCCESS;
  }
  NetworkAddress address;
  if (ViStatus status = parseNetworkResource(resourceName, kind, address); status < VI_SUCCESS) return status;
  std::unique_ptr<NetworkTransport> transport = kind == ResourceKind::Hislip  ? makeHislipTransport(vi)
                                                 : kind == ResourceKind::Vxi11 ? makeVxi11Transport(vi)
                                                                               : makeSocketTransport(vi);
  if (ViStatus status = transport->open(address, timeoutMs); status < VI_SUCCESS) return status;
  out = std::move(transport);
  return VI_SUCCESS;
}

}  // namespace kavrel::standin
