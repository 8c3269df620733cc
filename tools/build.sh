#!/usr/bin/env bash
# Configures and builds both trees: build/win (the Windows programs and
# tests, cross-compiled) and build/native (byte-level modules under the
# sanitizers, fuzzers, and the host package builder).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PIVSET_BUILD:-$root/build}

if [ ! -f "$build/win/build.ninja" ]; then
  cmake -S "$root" -B "$build/win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
fi
cmake --build "$build/win"
if [ ! -f "$build/native/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build/native" -G Ninja >/dev/null
fi
cmake --build "$build/native"
