// The driver against the simulated test set: a simulator on ephemeral
// loopback ports, reached through the VISA stand-in that the driver's binding
// loads at run time, over each transport in turn.
#ifndef KAVREL_TESTS_INTEGRATION_SIM_FIXTURE_H
#define KAVREL_TESTS_INTEGRATION_SIM_FIXTURE_H

#include <gtest/gtest.h>

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "driver/kavrel.h"
#include "testbed/sim/server.h"
#include "testbed/visa/standin.h"

namespace kavrel::integration {

// A driver call on a session, for the tables.
using Call = std::function<ViStatus(ViSession)>;

// One entry of the instrument's error queue.
struct InstrumentError {
  ViInt32 code = 0;
  std::string text;
  bool operator==(const InstrumentError&) const = default;
};

// Printed by GoogleTest when a comparison fails.
void PrintTo(const InstrumentError& error, std::ostream* out);

// A text argument as the ViString the API takes (the driver only reads it).
inline ViString viString(const std::string& text) { return const_cast<ViString>(text.c_str()); }

// The instrument's error queue read through the driver until it reports 0.
std::vector<InstrumentError> instrumentErrors(ViSession vi);

// How the driver reaches the simulator: HiSLIP, VXI-11, or the raw SCPI socket.
enum class Transport { hislip, vxi11, socket };
// Every fixture test runs once over each of these.
inline const std::vector<Transport> kTransports = {Transport::hislip, Transport::vxi11, Transport::socket};
// "Hislip", "Vxi11", "Socket": the parameter's part of a test's name.
std::string transportName(const ::testing::TestParamInfo<Transport>& info);
// Printed by GoogleTest with the test's parameter.
void PrintTo(Transport transport, std::ostream* out);

// A simulated instrument serving HiSLIP, VXI-11 (with its own portmapper) and
// raw SCPI on 127.0.0.1, on ports of its own.
class SimInstrument {
 public:
  explicit SimInstrument(int model = 4101, int options = 0, std::string firmware = "1.00",
                         Transport transport = Transport::hislip);

  // False (with the reason in `error`) when the server could not start.
  bool start(std::string& error);
  // "TCPIP::127.0.0.1::hislip0,<port>::INSTR", "TCPIP::127.0.0.1::inst0,<portmapper port>::INSTR"
  // or "TCPIP::127.0.0.1::<port>::SOCKET".
  std::string resource() const;
  // kavrel_init on this instrument.
  ViStatus init(ViBoolean idQuery, ViBoolean reset, ViSession& out) const;
  sim::Server& server() { return *server_; }

 private:
  std::unique_ptr<sim::Server> server_;
  Transport transport_;
};

// A test suite derived from it runs over every transport:
// INSTANTIATE_TEST_SUITE_P(Transports, Suite, ::testing::ValuesIn(kTransports), transportName).
class SimTest : public ::testing::TestWithParam<Transport> {
 protected:
  // The instrument the fixture starts; a test suite may override these.
  virtual int model() const { return 4101; }
  virtual int options() const { return 0; }
  virtual std::string firmware() const { return "1.00"; }

  // Starts the simulator and opens vi_ (identification checked, instrument reset).
  void SetUp() override;
  // Closes every session the test opened and checks that none stays open.
  void TearDown() override;

  // Another session on the same simulator (identification checked, no reset).
  ViSession openAnother();
  // kavrel_init on the fixture's simulator; the session is closed at tear-down.
  ViStatus init(ViBoolean idQuery, ViBoolean reset, ViSession& out);
  // kavrel_close of a session the fixture opened, before tear-down.
  ViStatus close(ViSession vi);

  sim::Server& server() { return sim_->server(); }
  Transport transport() const { return GetParam(); }

  // The error queue of vi_, read until it reports 0.
  std::vector<InstrumentError> drainErrors() { return instrumentErrors(vi_); }

  // Run each call in order on vi_: every one must return VI_SUCCESS and leave
  // the instrument's error queue empty. A step that names a read-back query
  // then expects the instrument's answer to it, so a command that sets the
  // wrong setting fails: the answers of a compound query separated by ';',
  // numbers compared by value and keywords as text.
  struct Step {
    const char* name;
    Call call;
    const char* readBack = nullptr;
    const char* expected = nullptr;
  };
  void expectAccepted(const std::vector<Step>& steps);

  ViSession vi_ = VI_NULL;

 private:
  std::unique_ptr<SimInstrument> sim_;
  std::vector<ViSession> opened_;
  unsigned sessionsBefore_ = 0;
};

// A directory of its own under the system's temporary directory, removed with its contents.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // Empty when the directory could not be made.
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The whole content of a file; empty when it cannot be read.
std::string readFile(const std::string& path);

}  // namespace kavrel::integration

#endif
