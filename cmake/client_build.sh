#!/usr/bin/env bash
# Usage: client_build.sh PREFIX SOURCE OUT. Builds the C program SOURCE against
# the kavrel installed under PREFIX twice, as a user would: with pkg-config
# (OUT/with-pkg-config) and with CMake's find_package (OUT/with-cmake).
set -euo pipefail
prefix=$1
source=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
out=$3
mkdir -p "$out/project"
pc=$(dirname "$(find "$prefix" -name kavrel.pc | head -n 1)")
cc -std=c99 -Wall -Werror "$source" $(PKG_CONFIG_PATH="$pc" pkg-config --cflags --libs kavrel) \
  -o "$out/with-pkg-config"
cat > "$out/project/CMakeLists.txt" <<CM
cmake_minimum_required(VERSION 3.25)
project(client C)
find_package(kavrel 1 REQUIRED)
add_executable(client "$source")
target_link_libraries(client PRIVATE kavrel::kavrel)
CM
cmake -S "$out/project" -B "$out/project/build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$out/project/build" >/dev/null
cp "$out/project/build/client" "$out/with-cmake"
