#!/bin/sh
# Builds the simulator's libFuzzer targets with clang and runs each for a
# bounded time. Exits non-zero when a build fails or a target finds a crash,
# a leak or undefined behaviour (the input is kept as <build>/fuzz/crash-*).
#   KAVREL_FUZZ_BUILD    build directory (default: <repository>/build-fuzz)
#   KAVREL_FUZZ_SECONDS  run time of each target (default: 30)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
build=${KAVREL_FUZZ_BUILD:-$root/build-fuzz}
seconds=${KAVREL_FUZZ_SECONDS:-30}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKAVREL_FUZZ=ON -DKAVREL_BUILD_TESTS=OFF
cmake --build "$build" -j2 --target kavrel_sim_fuzz_scpi kavrel_sim_fuzz_hislip kavrel_sim_fuzz_vxi11

# HiSLIP seeds: an initialization, a query in two pieces, a status query, a clear.
seeds="$build/fuzz/seeds-hislip"
mkdir -p "$seeds"
printf 'HS\000\000\001\000xx\000\000\000\000\000\000\000\007hislip0' > "$seeds/init"
printf 'HS\006\000\377\377\377\000\000\000\000\000\000\000\000\003*IDHS\007\000\377\377\377\002\000\000\000\000\000\000\000\002N?' > "$seeds/query"
printf 'HS\025\201\377\377\376\376\000\000\000\000\000\000\000\000HS\023\200\000\000\000\000\000\000\000\000\000\000\000\000HS\010\000\000\000\000\000\000\000\000\000\000\000\000\000' > "$seeds/clear"

# VXI-11 seed: create_link "inst0", a write of "*IDN?" with END on link 1, a read of it.
vseeds="$build/fuzz/seeds-vxi11"
mkdir -p "$vseeds"
printf '\200\000\000\100\000\000\000\001\000\000\000\000\000\000\000\002\000\006\007\257\000\000\000\001\000\000\000\012\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\005inst0\000\000\000\200\000\000D\000\000\000\002\000\000\000\000\000\000\000\002\000\006\007\257\000\000\000\001\000\000\000\013\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\001\000\000\003\350\000\000\000\000\000\000\000\010\000\000\000\006\052IDN\077\012\000\000\200\000\000\100\000\000\000\003\000\000\000\000\000\000\000\002\000\006\007\257\000\000\000\001\000\000\000\014\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\001\000\000\000d\000\000\003\350\000\000\000\000\000\000\000\000\000\000\000\012' > "$vseeds/query"

status=0
for target in scpi hislip vxi11; do
  corpus="$build/fuzz/corpus-$target"
  mkdir -p "$corpus"
  if [ "$target" = scpi ]; then
    extra="-dict=$here/scpi.dict $here/corpus/scpi"
  elif [ "$target" = vxi11 ]; then
    extra="$vseeds"
  else
    extra="$seeds"
  fi
  echo "fuzzing $target for ${seconds}s"
  # shellcheck disable=SC2086
  if ! "$build/fuzz/kavrel_sim_fuzz_$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
      -print_final_stats=1 -artifact_prefix="$build/fuzz/crash-$target-" "$corpus" $extra; then
    echo "fuzz target $target failed" >&2
    status=1
  fi
done
exit $status
