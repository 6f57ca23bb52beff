#!/bin/sh
# Builds the client-side libFuzzer targets with clang and runs each for a
# bounded time: the driver's handling of instrument replies, and the
# stand-in's HiSLIP client. Exits non-zero when a build fails or a target
# finds a crash, a leak or undefined behaviour (the input is kept as
# <build>/fuzz/crash-*).
#   KAVREL_FUZZ_BUILD    build directory (default: <repository>/build-fuzz)
#   KAVREL_FUZZ_SECONDS  run time of each target (default: 30)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${KAVREL_FUZZ_BUILD:-$root/build-fuzz}
seconds=${KAVREL_FUZZ_SECONDS:-30}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKAVREL_FUZZ=ON -DKAVREL_BUILD_TESTS=OFF
cmake --build "$build" -j2 --target kavrel_fuzz_replies kavrel_fuzz_hislip_client

status=0
for target in replies hislip_client; do
  corpus="$build/fuzz/corpus-$target"
  mkdir -p "$corpus"
  echo "fuzzing $target for ${seconds}s"
  # The driver loads the stand-in as its VISA library from the build tree.
  if ! LD_LIBRARY_PATH="$build/testbed/visa" "$build/fuzz/kavrel_fuzz_$target" -max_total_time="$seconds" \
      -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 -artifact_prefix="$build/fuzz/crash-$target-" \
      "$corpus" "$here/corpus/$target"; then
    echo "fuzz target $target failed" >&2
    status=1
  fi
done
exit $status
