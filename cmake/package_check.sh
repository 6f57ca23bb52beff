#!/usr/bin/env bash
# Usage: package_check.sh BUILD README. Installs the Debian packages of a
# build tree (BUILD/packages) into an empty root, then uses them as a user would: builds the README's C example against libkavrel-dev
# (pkg-config and find_package), runs it, renders every installed man page,
# and measures a sweep with the installed kavrel program.
set -euo pipefail
build=$1
packages=$build/packages
readme=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
mkdir -p "$root"

shopt -s nullglob
debs=("$packages"/*.deb)
[ ${#debs[@]} -gt 0 ] || { echo "no packages in $packages"; exit 1; }
for deb in "${debs[@]}"; do
  dpkg-deb -x "$deb" "$root"
  echo "installed $(dpkg-deb -f "$deb" Package) $(dpkg-deb -f "$deb" Version)"
done
# Every installed file belongs to a package: an install() without a COMPONENT would be in none.
cmake --install "$build" --component Unspecified --prefix "$work/unpackaged" >/dev/null
if [ -d "$work/unpackaged" ] && [ -n "$(find "$work/unpackaged" -type f -o -type l)" ]; then
  echo "installed but in no package (give install() a COMPONENT: lib, dev, tools or python):"
  find "$work/unpackaged" -type f -o -type l
  exit 1
fi
for want in libkavrel1 libkavrel-dev kavrel-tools; do
  found=("$packages"/"$want"_*.deb)
  [ ${#found[@]} -gt 0 ] || { echo "package $want is missing"; exit 1; }
done

lib=$(dirname "$(find "$root" -name 'libkavrel.so.1' | head -n 1)")
[ "$(objdump -p "$lib/libkavrel.so.1" | awk '/SONAME/ {print $2}')" = libkavrel.so.1 ] || { echo "SONAME changed"; exit 1; }

# The README's C example, as printed there.
mkdir -p "$work/example"
awk '/^## Using the library from C/ {on = 1} on && /^```c$/ {code = 1; next} code && /^```$/ {exit} code' \
  "$readme" > "$work/example/demo.c"
[ -s "$work/example/demo.c" ] || { echo "no C example in $readme"; exit 1; }
"$here/client_build.sh" "$root/usr" "$work/example/demo.c" "$work/example"
# Without VISA on this path the example fails cleanly, with the driver's message.
for demo in "$work/example/with-pkg-config" "$work/example/with-cmake"; do
  if out=$(LD_LIBRARY_PATH="$lib" "$demo" 2>&1); then echo "$demo: succeeded without VISA"; exit 1; fi
  case "$out" in *::INSTR:\ ?*) ;; *) echo "$demo: $out"; exit 1 ;; esac
done
echo "README example builds against the installed libkavrel-dev (pkg-config and CMake)"

"$here/../docs/render_check.sh" "$root/usr/share/man"

# The installed program, its simulator and stand-in, with nothing of the build tree on the paths.
LD_LIBRARY_PATH="$lib" "$root/usr/bin/kavrel" sweep --points 51 --csv "$work/sweep.csv" >/dev/null
[ "$(wc -l < "$work/sweep.csv")" -ge 51 ] || { echo "sweep.csv is short"; exit 1; }
echo "installed kavrel sweep measured $(($(wc -l < "$work/sweep.csv") - 1)) points"

# The Python package, once one is built: where Debian's python3 looks under
# /usr (lib/python3/dist-packages, whatever python3.X this machine has), and
# importing there against the installed library. Debian's python3, whose numpy
# the package depends on (a python3 earlier on PATH may have none).
python=("$packages"/python3-kavrel_*.deb)
if [ ${#python[@]} -gt 0 ]; then
  site=/usr/lib/python3/dist-packages
  listed=$(dpkg -c "${python[0]}" | awk '{print $NF}' | grep '\.py$')
  if ! grep -qx "\.$site/kavrel/__init__\.py" <<<"$listed" || grep -qv "^\.$site/kavrel/" <<<"$listed"; then
    echo "python3-kavrel must install its package into $site/kavrel:"; echo "$listed"; exit 1
  fi
  PYTHONPATH="$root$site" LD_LIBRARY_PATH="$lib" /usr/bin/python3 -c \
    'import kavrel, sys; sys.exit(not kavrel.__file__.startswith(sys.argv[1]))' "$root" \
    || { echo "python3-kavrel does not import"; exit 1; }
  echo "python3-kavrel installs into $site and imports"
fi
