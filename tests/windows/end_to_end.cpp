// The Windows driver against a simulated instrument over HiSLIP, through the
// VISA that the normal DLL search finds: open with identification and
// reset, a scalar sweep, its trace, a calibration kit saved to a file,
// loaded into another kit and saved again byte for byte, close.
// usage: end_to_end RESOURCE FOLDER
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "driver/kavrel.h"

namespace {

int failures = 0;

bool check(const char* step, ViSession vi, ViStatus status) {
  if (status >= VI_SUCCESS) return true;
  ViChar text[256] = "";
  kavrel_error_message(vi, status, text);
  std::fprintf(stderr, "%s: %s (%ld)\n", step, text, static_cast<long>(status));
  ++failures;
  return false;
}

void expect(const char* what, bool ok) {
  if (ok) return;
  std::fprintf(stderr, "%s\n", what);
  ++failures;
}

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: end_to_end RESOURCE FOLDER\n");
    return 2;
  }
  std::string resource = argv[1];
  const std::string folder = std::string(argv[2]) + "\\";
  ViSession vi = VI_NULL;
  if (!check("init", VI_NULL, kavrel_init(resource.data(), VI_TRUE, VI_TRUE, &vi))) return 1;

  constexpr ViInt32 kPoints = 101;
  check("one-channel display", vi, kavrel_dualChanDisp(vi, VI_FALSE));
  check("scalar mode", vi, kavrel_chanMode(vi, VI_FALSE, 0));
  check("scalar power on input B", vi, kavrel_scalPower(vi, VI_FALSE, VI_FALSE, 1));
  check("frequency sweep", vi, kavrel_srcFreqSweep(vi, VI_TRUE, 1e9, 2e9, 0.0));
  check("sweep points", vi, kavrel_srcSweepConfig(vi, kPoints, 0.0));
  check("RF output on", vi, kavrel_srcRFOutput(vi, VI_TRUE));

  std::vector<ViReal64> trace(4000, NAN);
  ViInt32 points = 0;
  if (check("trace", vi, kavrel_scalReadData(vi, &points, trace.data()))) {
    expect("the trace has the sweep's points", points == kPoints);
    bool finite = points > 0;
    for (ViInt32 i = 0; i < points && i < kPoints; ++i) finite = finite && std::isfinite(trace[i]);
    expect("every trace value is a number", finite);
    expect("nothing beyond the trace is written", std::isnan(trace[kPoints]));
  }

  std::string first = folder + "kit1.bin", second = folder + "kit2.bin";
  check("save kit 1", vi, kavrel_reflTranCalKit(vi, VI_TRUE, 1, first.data()));
  check("load kit 2", vi, kavrel_reflTranCalKit(vi, VI_FALSE, 2, first.data()));
  check("save kit 2", vi, kavrel_reflTranCalKit(vi, VI_TRUE, 2, second.data()));
  const std::string saved = contents(first);
  expect("the saved kit is not empty", !saved.empty());
  expect("the kit comes back byte for byte", saved == contents(second));

  check("close", vi, kavrel_close(vi));
  if (failures == 0) std::printf("end-to-end run passed: %ld points, kit of %zu bytes\n", static_cast<long>(points), saved.size());
  return failures == 0 ? 0 : 1;
}
