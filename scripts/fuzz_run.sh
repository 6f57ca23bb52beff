#!/bin/sh
# Builds libFuzzer targets with clang and runs each for a bounded time.
# Usage: fuzz_run.sh 'TARGET [INPUT...]'...
#   Each argument names a fuzz target (its CMake target and <build>/fuzz/
#   program) and what it starts from: seed folders, -dict=FILE. The target
#   keeps its own corpus in <build>/fuzz/corpus-<name>, <name> being what
#   follows "fuzz_" in the target's name.
# Exits non-zero when a build fails or a target finds a crash, a leak or
# undefined behaviour (the input is kept as <build>/fuzz/crash-<name>-*).
#   KAVREL_FUZZ_BUILD    build directory (default: <repository>/build-fuzz)
#   KAVREL_FUZZ_SECONDS  run time of each target (default: 30)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KAVREL_FUZZ_BUILD:-$root/build-fuzz}
seconds=${KAVREL_FUZZ_SECONDS:-30}

targets=""
for entry in "$@"; do targets="$targets ${entry%% *}"; done
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKAVREL_FUZZ=ON -DKAVREL_BUILD_TESTS=OFF
# shellcheck disable=SC2086
cmake --build "$build" -j2 --target $targets

status=0
for entry in "$@"; do
  target=${entry%% *}
  inputs=${entry#"$target"}
  name=${target##*fuzz_}
  corpus="$build/fuzz/corpus-$name"
  mkdir -p "$corpus"
  echo "fuzzing $name for ${seconds}s"
  # The driver loads the stand-in as its VISA library from the build tree.
  # shellcheck disable=SC2086
  if ! LD_LIBRARY_PATH="$build/testbed/visa" "$build/fuzz/$target" -max_total_time="$seconds" \
      -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 -artifact_prefix="$build/fuzz/crash-$name-" \
      "$corpus" $inputs; then
    echo "fuzz target $name failed" >&2
    status=1
  fi
done
exit $status
