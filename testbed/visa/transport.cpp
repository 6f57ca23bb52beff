// Which transport a resource name leads to.
#include <string>
#include <vector>

#include "standin_internal.h"

namespace standin {
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

}  // namespace

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalNoCase(text.substr(0, prefix.size()), prefix);
}

ResourceKind classifyResource(std::string_view name) {
  const std::vector<std::string_view> fields = resourceFields(name);
  if (fields.size() < 3 || !startsWithNoCase(fields[0], "TCPIP")) return ResourceKind::Scripted;
  if (equalNoCase(fields.back(), "SOCKET")) return ResourceKind::Socket;
  if (startsWithNoCase(fields[2], "hislip")) return ResourceKind::Hislip;
  return ResourceKind::Scripted;
}

ViStatus openTransport(std::string_view resourceName, ViUInt32 /*timeoutMs*/, std::unique_ptr<Transport>& out) {
  switch (classifyResource(resourceName)) {
    case ResourceKind::Scripted:
      out = makeScriptedTransport();
      return VI_SUCCESS;
    case ResourceKind::Hislip:  // no network transport yet
    case ResourceKind::Socket:
      return VI_ERROR_RSRC_NFOUND;
  }
  return VI_ERROR_RSRC_NFOUND;
}

}  // namespace standin
