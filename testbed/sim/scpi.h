// SCPI program message parsing (IEEE 488.2 syntax, SCPI header paths),
// the standard error numbers and texts, reply number formatting, and the
// framing of a raw byte stream into program messages.
#ifndef KAVREL_SIM_SCPI_H
#define KAVREL_SIM_SCPI_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavrel::sim::scpi {

// ---- errors -----------------------------------------------------------------

namespace err {
inline constexpr int none = 0;
inline constexpr int commandError = -100;
inline constexpr int invalidCharacter = -101;
inline constexpr int syntax = -102;
inline constexpr int invalidSeparator = -103;
inline constexpr int dataType = -104;
inline constexpr int parameterNotAllowed = -108;
inline constexpr int missingParameter = -109;
inline constexpr int headerSeparator = -111;
inline constexpr int undefinedHeader = -113;
inline constexpr int headerSuffix = -114;
inline constexpr int invalidNumber = -121;
inline constexpr int exponentTooLarge = -123;
inline constexpr int invalidSuffix = -131;
inline constexpr int invalidCharacterData = -141;
inline constexpr int invalidString = -151;
inline constexpr int invalidBlock = -161;
inline constexpr int executionError = -200;
inline constexpr int settingsConflict = -221;
inline constexpr int outOfRange = -222;
inline constexpr int tooMuchData = -223;
inline constexpr int illegalValue = -224;
inline constexpr int hardwareMissing = -241;
inline constexpr int deviceError = -300;
inline constexpr int queueOverflow = -350;
inline constexpr int inputOverrun = -363;
inline constexpr int queryError = -400;
inline constexpr int queryInterrupted = -410;
inline constexpr int queryUnterminated = -420;
}  // namespace err

// The standard text of an error number ("Undefined header"); "Error" for unknown numbers.
std::string_view errorText(int code);
// The event status register bit an error sets: 32 command, 16 execution, 8 device, 4 query; 0 for none.
std::uint8_t errorEsrBit(int code);

// ---- program messages ---------------------------------------------------------

struct Param {
  enum class Kind { number, character, string, block };
  Kind kind = Kind::number;
  double number = 0.0;  // number: value with any suffix multiplier applied
  bool hasSuffix = false;
  std::string text;     // character: upper-cased keyword; string: unquoted text; block: the bytes
  bool indefinite = false;  // block: "#0" form
};

struct Unit {
  bool common = false;             // "*XXX"
  std::vector<std::string> nodes;  // upper-cased mnemonics of the full path (common: the one name)
  bool query = false;
  std::vector<Param> params;
};

// Parses one program message unit after the other. A unit's relative header
// continues the path of the previous header (leading ':' starts from the root;
// common commands leave the path alone). The message may end in a line feed.
// The parser keeps a view of the message: the caller keeps the text alive.
class MessageParser {
 public:
  explicit MessageParser(std::string_view message) : text_(message) {}
  // True with the next unit; false at the end or on a syntax error (error() then holds it).
  bool next(Unit& unit);
  int error() const { return error_; }

 private:
  bool parseHeader(Unit& unit);
  bool parseParams(Unit& unit);
  bool parseParam(Param& param);
  bool parseNumber(Param& param);
  bool parseSuffix(Param& param);
  bool parseString(Param& param);
  bool parseBlockOrNonDecimal(Param& param);
  void skipSpace();
  bool atEnd() const { return pos_ >= text_.size(); }
  bool fail(int code) {
    error_ = code;
    return false;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::vector<std::string> base_;
  int error_ = err::none;
};

// A header node pattern such as "SOURce" (short form = upper-case part) matches
// "SOUR" and "SOURCE" (mnemonics arrive upper-cased); with a numeric suffix
// allowed ("CHANnel#"), "CHAN2" gives suffix 2.
struct NodePattern {
  std::string shortForm;
  std::string longForm;
  bool suffix = false;
};
NodePattern nodePatternParse(std::string_view text);
// The suffix (0 when none was given, -1 when it is not a number from 1 up),
// or nothing when the mnemonic does not match.
std::optional<int> nodeMatch(const NodePattern& pattern, std::string_view mnemonic);

// ---- reply formatting ---------------------------------------------------------

std::string formatInt(long long value);
// Shortest text that reads back to the same double; upper-case exponent; NaN and
// infinities as the SCPI values 9.91E37 and +-9.9E37.
std::string formatReal(double value);
// "#<digits><length><bytes>".
std::string formatDefiniteBlock(std::string_view bytes);
// Quoted string with embedded double quotes doubled.
std::string formatString(std::string_view text);

// ---- raw stream framing -----------------------------------------------------

// Splits a byte stream into program messages ended by a line feed, skipping line
// feeds inside definite-length blocks. An indefinite block ("#0") runs to the
// next line feed.
class LineFramer {
 public:
  explicit LineFramer(std::size_t maxMessage) : max_(maxMessage) {}
  void feed(std::string_view bytes);
  // The next whole message without its line feed.
  std::optional<std::string> next();
  // Messages dropped because they grew past the limit (reported once each).
  std::size_t takeOverruns();

 private:
  enum class Mode { normal, quoted, hash, blockDigits, blockData, indefinite, discard };
  std::size_t max_;
  std::string pending_;
  std::vector<std::string> ready_;
  std::size_t readyOffset_ = 0;
  Mode mode_ = Mode::normal;
  char quote_ = 0;
  int digitsLeft_ = 0;
  std::uint64_t length_ = 0;
  std::size_t overruns_ = 0;
  bool afterSpace_ = true;  // a '#' starts a block only where a parameter can start
};

}  // namespace kavrel::sim::scpi

#endif
