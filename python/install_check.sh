#!/usr/bin/env bash
# Installs the build into a scratch prefix and measures a sweep with the
# installed Python package: the library, the stand-in and the simulator are
# found from where the package was installed.
set -euo pipefail
build=$1 python=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
site=$(dirname "$(find "$work/prefix" -path '*dist-packages/kavrel/__init__.py' | head -n 1)")
cd "$work"
env -u KAVREL_LIBRARY -u KAVREL_VISA_LIBRARY PYTHONPATH="$(dirname "$site")" PYTHONDONTWRITEBYTECODE=1 "$python" - <<'PY'
import kavrel
assert kavrel.__file__.startswith(__import__("os").getcwd()), kavrel.__file__
with kavrel.simulator() as resource, kavrel.Session(resource) as s:
    points, trace = s.scalReadData()
assert points == len(trace) == 401, points
found = kavrel.info()
assert "/prefix/" in found["library"] and "/prefix/" in found["visa"], found
print("installed package measures through", found["library"], "and", found["visa"])
PY
