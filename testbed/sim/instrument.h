// The simulated 4100-family test set without any transport: one Instrument
// holds the settings and stores every client shares; each client talks to it
// through its own Session, which has its own input and output queue, status
// registers and error queue.
#ifndef KAVREL_SIM_INSTRUMENT_H
#define KAVREL_SIM_INSTRUMENT_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kavrel::sim {

// The manufacturer the instrument names in "*IDN?", on its web page and in its announcements.
inline constexpr std::string_view kManufacturer = "OVR";

struct Identity {
  int model = 4101;             // 4100..4104
  std::string serial = "100001";
  std::string firmware = "1.00";
  std::int32_t options = 0;     // the option word "*OPT?" reports
};

// Highest source frequency of a model (0 for a number outside 4100..4104).
double modelMaxFrequency(int model);
// Lowest source level the option word allows, dBm.
double optionsMinLevel(std::int32_t options);

// One response message as the instrument hands it to the transport.
struct Response {
  std::string bytes;             // text responses end with a line feed
  bool indefiniteBlock = false;  // ends with a "#0" block, closed by the final line feed and END
};

class Session;

class Instrument {
 public:
  // An identity with a model outside 4100..4104 is taken as 4101.
  explicit Instrument(Identity identity = {}, std::uint64_t seed = 1);
  ~Instrument();
  Instrument(const Instrument&) = delete;
  Instrument& operator=(const Instrument&) = delete;

  const Identity& identity() const;
  double maxFrequency() const;
  double minLevel() const;

  // "*RST": every setting back to its default. Stores are non-volatile and keep their contents.
  void reset();
  // Settings and stores as a new instrument has them.
  void factoryDefaults();

  struct Impl;  // the simulator's inside, not part of the interface

 private:
  friend class Session;
  std::unique_ptr<Impl> impl_;
};

class Session {
 public:
  explicit Session(Instrument& instrument);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Run one program message (all bytes up to END; a final line feed is allowed).
  // A response still unread is discarded with error -410.
  void execute(std::string_view message);
  bool responsePending() const;
  // Take the response; nothing (and error -420) when there is nothing to read.
  std::optional<Response> read();
  // execute() then take the response bytes; empty when the message made none (no error logged).
  std::string query(std::string_view message);

  // IEEE 488.2 status byte (MAV from this session's output queue).
  std::uint8_t statusByte() const;
  // Device clear: drop the unread response; status and errors stay.
  void deviceClear();
  // The status byte once each time the service request condition rises while armed.
  std::optional<std::uint8_t> takeServiceRequest();
  // A serial poll (status query) re-arms the service request.
  void rearmServiceRequest();
  // Errors the transport finds (interrupted query, input overrun).
  void logError(int code);

 private:
  struct Status;
  Instrument::Impl& instrument_;
  std::unique_ptr<Status> status_;
};

}  // namespace kavrel::sim

#endif
