#!/bin/sh
# The simulator's fuzz targets: SCPI parsing, the HiSLIP and VXI-11 servers
# (see scripts/fuzz_run.sh, which builds and runs them).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
build=${KAVREL_FUZZ_BUILD:-$root/build-fuzz}
export KAVREL_FUZZ_BUILD="$build"

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

exec "$root/scripts/fuzz_run.sh" \
  "kavrel_sim_fuzz_scpi -dict=$here/scpi.dict $here/corpus/scpi" \
  "kavrel_sim_fuzz_hislip $seeds" \
  "kavrel_sim_fuzz_vxi11 $vseeds"
