// Copying one instrument store to or from a host file. The file holds the
// store's reply byte for byte; sent back, its bytes follow the store's
// command prefix unchanged, so a file read from a store loads into any store
// of the same kind.
#include "driver/core/file_transfer.h"
#include "driver/core/frame.h"

namespace {

using namespace kavrel;

// A numbered store: "<read> n" asks for store n, "<load> n," followed by the
// file's bytes loads it; `maxQuery` asks how many stores there are.
struct StoreCommands {
  std::string_view maxQuery;
  std::string_view read;
  std::string_view load;
};

constexpr StoreCommands kScalarMemory{":SCAL:MEM:MAX?", ":SCAL:MEM:DATA? ", ":SCAL:MEM:DATA "};
constexpr StoreCommands kScalarPathCal{{}, ":SCAL:PCAL:STOR? ", ":SCAL:PCAL:STOR "};
// Read with the ":DATA?" form, loaded without ":DATA".
constexpr StoreCommands kSensorCorrection{":INP:CFAC:STOR:MAX?", ":INP:CFAC:STOR:DATA? ", ":INP:CFAC:STOR "};
constexpr StoreCommands kReflectionCal{":REFL:CAL:DATA:MAX?", ":REFL:CAL:DATA:STOR? ", ":REFL:CAL:DATA:STOR "};
constexpr StoreCommands kCalibrationKit{":REFL:CAL:KIT:MAX?", ":REFL:CAL:KIT:STOR? ", ":REFL:CAL:KIT:STOR "};
constexpr StoreCommands kSourceUserTable{":SOUR:CAL:MAX?", ":SOUR:CAL:UPST? ", ":SOUR:CAL:UPST "};

constexpr ViInt32 kScalarPathCalStores = 4;

// Source calibration operations: the two fixed tables are read by name,
// the user tables by number.
constexpr Keywords<2> kSourceFixedTables{"PPST", "FST"};
constexpr ViInt32 kUserTableRead = 2;
constexpr ViInt32 kUserTableLoad = 3;

// Instrument to file: the query, then its whole reply into the file.
ViStatus storeToFile(ViSession vi, std::string_view query, ViConstString fileName) {
  KAVREL_RETURN_IF_ERROR(writeLine(vi, query));
  KAVREL_RETURN_IF_ERROR(kavrel_readToFileBin(vi, fileName, VI_NULL));
  return kavrel_checkStatus(vi);
}

// File to instrument: the prefix and the file's bytes as one message.
ViStatus fileToStore(ViSession vi, const std::string& prefix, ViConstString fileName) {
  KAVREL_RETURN_IF_ERROR(kavrel_writeFromFile(vi, prefix.c_str(), fileName, VI_NULL));
  return kavrel_checkStatus(vi);
}

// Store number and file name checked (the maximum already known), then the copy.
ViStatus transferStore(ViSession vi, bool toFile, ViInt32 store, ViInt32 maxStore, ViConstString fileName,
                       const StoreCommands& commands) {
  KAVREL_RETURN_IF_ERROR(
      Checks().integer(store, 1, maxStore, VI_ERROR_PARAMETER3).text(fileName, kFileNameMax, VI_ERROR_PARAMETER4));
  if (toFile) return storeToFile(vi, line(commands.read, store), fileName);
  return fileToStore(vi, line(commands.load, store, ","), fileName);
}

// A store whose count the instrument reports: direction, then the maximum
// query, then store number and file name.
ViStatus transferCountedStore(ViSession vi, ViBoolean direction, ViInt32 store, ViConstString fileName,
                              const StoreCommands& commands) {
  KAVREL_RETURN_IF_ERROR(Checks().flag(direction, VI_ERROR_PARAMETER2));
  ViInt32 maxStore = 0;
  KAVREL_RETURN_IF_ERROR(queryInteger(vi, commands.maxQuery, maxStore));
  return transferStore(vi, direction == VI_TRUE, store, maxStore, fileName, commands);
}

}  // namespace

KAVREL_API ViStatus kavrel_scalTranData(ViSession vi, ViBoolean direction, ViInt32 memoryNumber,
                                        ViString fileName) try {
  const SessionGuard guard(vi);
  return transferCountedStore(vi, direction, memoryNumber, fileName, kScalarMemory);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_scalTranCal(ViSession vi, ViBoolean direction, ViInt32 storeNumber, ViString fileName) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(direction, VI_ERROR_PARAMETER2));
  return transferStore(vi, direction == VI_TRUE, storeNumber, kScalarPathCalStores, fileName, kScalarPathCal);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_inpTranSen(ViSession vi, ViBoolean direction, ViInt32 storeNumber, ViString fileName) try {
  const SessionGuard guard(vi);
  return transferCountedStore(vi, direction, storeNumber, fileName, kSensorCorrection);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_flocTranCal(ViSession vi, ViBoolean direction, ViString fileName) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(
      Checks().flag(direction, VI_ERROR_PARAMETER2).text(fileName, kFileNameMax, VI_ERROR_PARAMETER3));
  if (direction == VI_TRUE) return storeToFile(vi, ":FLOC:CAL:STOR?", fileName);
  return fileToStore(vi, ":FLOC:CAL:STOR ", fileName);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflTranCal(ViSession vi, ViBoolean direction, ViInt32 storeNumber, ViString fileName) try {
  const SessionGuard guard(vi);
  return transferCountedStore(vi, direction, storeNumber, fileName, kReflectionCal);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflTranCalKit(ViSession vi, ViBoolean direction, ViInt32 kitNumber, ViString fileName) try {
  const SessionGuard guard(vi);
  return transferCountedStore(vi, direction, kitNumber, fileName, kCalibrationKit);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_sourTranCal(ViSession vi, ViInt32 operation, ViInt32 tableNumber, ViString fileName) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().integer(operation, 0, kUserTableLoad, VI_ERROR_PARAMETER2));
  if (operation < kUserTableRead) {
    // The fixed tables have no number: the table argument is not looked at.
    KAVREL_RETURN_IF_ERROR(Checks().text(fileName, kFileNameMax, VI_ERROR_PARAMETER4));
    return storeToFile(vi, line(":SOUR:CAL:", keyword(kSourceFixedTables, operation), "?"), fileName);
  }
  ViInt32 maxTable = 0;
  KAVREL_RETURN_IF_ERROR(queryInteger(vi, kSourceUserTable.maxQuery, maxTable));
  return transferStore(vi, operation == kUserTableRead, tableNumber, maxTable, fileName, kSourceUserTable);
} KAVREL_CATCH_ALL
