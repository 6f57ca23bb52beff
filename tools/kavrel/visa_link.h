// A VISA session the program opens itself, in the VISA library the driver
// loaded: for the commands that must not run the driver's session set-up
// (which clears the instrument's status and error queue) and for one-off
// SCPI. With -v every message written and read is echoed to stderr.
#ifndef KAVREL_TOOLS_VISA_LINK_H
#define KAVREL_TOOLS_VISA_LINK_H

#include <string>
#include <string_view>
#include <vector>

#include "visa_binding/visa_api.h"

namespace kavrel::cli {

// 0 normal, 1 each SCPI exchange echoed to stderr, -1 quiet.
extern int verbosity;

// With -v, the messages of the driver's sessions opened from now on, when
// the VISA library is the project's stand-in (through its I/O trace).
void echoDriverExchanges();

// The VISA library the driver loaded; false with `why` when there is none.
bool visaReady(std::string& why);

// Set the I/O time-out of any session of that library (the driver's too).
ViStatus setTimeout(ViSession vi, unsigned milliseconds);

// The resources VISA finds for `expression` ("?*::INSTR"); an empty list
// when it finds none. A negative status other than "not found" is returned.
ViStatus findResources(const std::string& expression, std::vector<std::string>& found);

class Link {
 public:
  Link() = default;
  ~Link() { close(); }
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  ViStatus open(const std::string& resource, unsigned timeoutMs);
  void close();
  bool isOpen() const { return vi_ != VI_NULL; }
  ViSession vi() const { return vi_; }

  ViStatus write(std::string_view message);
  // One whole message; trailing line feed and carriage return removed.
  ViStatus read(std::string& reply);
  ViStatus query(std::string_view message, std::string& reply);

 private:
  ViSession rm_ = VI_NULL;
  ViSession vi_ = VI_NULL;
  bool lineEnded_ = false;
};

}  // namespace kavrel::cli

#endif
