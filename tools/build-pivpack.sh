#!/usr/bin/env bash
# Builds the package builder for vendors: optimised, without the sanitizers
# of the native test tree, in a tree of its own (build/builder; PIVSET_BUILD
# moves build/). Prints the path of the program.
#
#   "$(bash tools/build-pivpack.sh)" build --stub ... --folder ... --out ...
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PIVSET_BUILD:-$root/build}
tree=$build/builder
if [ ! -f "$tree/build.ninja" ]; then
  # -Wno-restrict: GCC 12 reports std::string concatenation falsely at -O3.
  CC=gcc CXX=g++ cmake -S "$root" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPIVSET_SANITIZE=OFF \
    -DCMAKE_CXX_FLAGS=-Wno-restrict >/dev/null
fi
cmake --build "$tree" --target pivpack >&2
echo "$tree/tools/pivpack/pivpack"
