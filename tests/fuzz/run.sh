#!/bin/sh
# The client-side fuzz targets: the driver's handling of instrument replies,
# and the stand-in's HiSLIP client (see scripts/fuzz_run.sh).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/../../scripts/fuzz_run.sh" \
  "kavrel_fuzz_replies $here/corpus/replies" \
  "kavrel_fuzz_hislip_client $here/corpus/hislip_client"
