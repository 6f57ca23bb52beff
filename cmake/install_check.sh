#!/usr/bin/env bash
# Installs the build into a scratch prefix, then builds a C client against it
# twice, with find_package(kavrel) and with pkg-config, and runs both.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
mkdir -p "$work/client"
cat > "$work/client/main.c" <<'C'
#include <stdio.h>
#include <string.h>
#include <kavrel.h>
int main(void) {
  ViChar text[256];
  ViSession vi = VI_NULL;
  kavrel_error_message(VI_NULL, VI_ERROR_INSTR_START_GT_STOP, text);
  if (strcmp(text, "ERROR: The start value is higher than the stop value.") != 0) return 1;
  /* A bad flag is refused before VISA is needed at all. */
  return kavrel_init("GPIB0::1::INSTR", 2, VI_FALSE, &vi) == VI_ERROR_PARAMETER2 ? 0 : 1;
}
C
"$(dirname "$0")/client_build.sh" "$work/prefix" "$work/client/main.c" "$work/client"
libdir=$(dirname "$(find "$work/prefix" -name 'libkavrel.so' | head -n 1)")
for client in "$work/client/with-pkg-config" "$work/client/with-cmake"; do LD_LIBRARY_PATH="$libdir" "$client"; done
echo "installed library usable through find_package and pkg-config"
