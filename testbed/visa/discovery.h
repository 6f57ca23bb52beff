// Instruments announced on the network over mDNS/DNS-SD (_hislip._tcp,
// _vxi-11._tcp, _scpi-raw._tcp), found through the Avahi daemon, as VISA
// resource strings; and the find lists viFindRsrc hands out.
#ifndef KAVREL_STANDIN_DISCOVERY_H
#define KAVREL_STANDIN_DISCOVERY_H

#include <string>
#include <string_view>
#include <vector>

#include "visa_binding/visa_api.h"

namespace kavrel::standin {

// Resource strings of the instruments announced now, sorted and without
// repeats; empty when no Avahi daemon answers. Browsing ends when the daemon
// has reported what it knows, or after `timeoutMs`.
std::vector<std::string> discoverInstruments(int timeoutMs);

// Whether a resource string matches a VISA search expression ("?*::INSTR",
// "TCPIP?*"), case-insensitive: '?' any character, '*' and '+' repeat what
// precedes, "[...]" and "[!...]" a set, '|' between alternatives; attribute
// conditions ("{...}") are not filtered on. False with `valid` false for an
// expression that cannot be read, grouping with parentheses included.
bool matchesExpression(std::string_view expression, const std::string& resource, bool& valid);

// Find lists: a handle of their own holding the resources not yet handed out.
ViFindList openFindList(std::vector<std::string> rest);
// The next resource into `desc` (256 bytes): VI_SUCCESS, VI_ERROR_RSRC_NFOUND
// when none is left, VI_ERROR_INV_OBJECT for an unknown handle.
ViStatus findNext(ViFindList list, ViChar desc[]);
bool isFindList(ViObject handle);
ViStatus closeFindList(ViFindList list);

}  // namespace kavrel::standin

#endif
