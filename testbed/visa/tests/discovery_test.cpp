// VISA search expressions, matched against resource strings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testbed/visa/discovery.h"

namespace {

TEST(SearchExpression, MatchesAsVisaDoes) {
  const std::vector<std::string> names = {"TCPIP::192.168.1.5::hislip0::INSTR", "TCPIP::192.168.1.5::inst0::INSTR",
                                          "TCPIP::192.168.1.5::5025::SOCKET", "GPIB0::7::INSTR"};
  struct Case {
    const char* expression;
    std::vector<bool> matches;  // for each name in order
  };
  const std::vector<Case> cases = {
      {"?*", {true, true, true, true}},
      {"?*::INSTR", {true, true, false, true}},
      {"tcpip?*instr", {true, true, false, false}},
      {"TCPIP?*::SOCKET|GPIB?*", {false, false, true, true}},
      {"?*::[hi]?*::INSTR", {true, true, false, false}},
      {"GPIB[!1]::7::INSTR", {false, false, false, true}},
      {"GPIB[0-9]+::7::INSTR", {false, false, false, true}},
      {"?*::INSTR{VI_ATTR_MANF_ID==0x0FFF}", {true, true, false, true}},
      {"TCPIP", {false, false, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expression);
    for (std::size_t i = 0; i < names.size(); ++i) {
      bool valid = false;
      EXPECT_EQ(kavrel::standin::matchesExpression(c.expression, names[i], valid), c.matches[i]) << names[i];
      EXPECT_TRUE(valid);
    }
  }
  for (const char* bad : {"TCPIP[", "*", "?**", "(GPIB|TCPIP)?*", "[]?*", "a]"}) {
    bool valid = true;
    EXPECT_FALSE(kavrel::standin::matchesExpression(bad, "TCPIP::h::INSTR", valid)) << bad;
    EXPECT_FALSE(valid) << bad;
  }
}

}  // namespace
