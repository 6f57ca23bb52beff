#!/usr/bin/env bash
# Renders every man page under the given folders with man -l; any groff
# warning or an empty page fails.
set -euo pipefail
count=0
while IFS= read -r -d '' page; do
  out=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || { echo "$page: man failed"; exit 1; }
  [ -z "$out" ] || { echo "$page:"; echo "$out"; exit 1; }
  [ -n "$(MANWIDTH=80 man -l "$page" 2>/dev/null)" ] || { echo "$page: renders empty"; exit 1; }
  count=$((count + 1))
done < <(find "$@" -type f \( -name '*.[1-8]' -o -name '*.[1-8].gz' \) -print0)
[ "$count" -gt 0 ] || { echo "no man pages under $*"; exit 1; }
echo "$count pages render"
