#!/usr/bin/env bash
# The main job: sets up the machine, builds everything, and packs the sample
# product into an installer with the package builder, printing the builder's
# inspection of the result.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PIVSET_BUILD:-$root/build}
out=${PIVSET_OUT:-$root/out}

bash "$root/tools/setup.sh"
bash "$root/tools/build.sh"

mkdir -p "$out"
echo "== packing the sample product"
"$build/native/tools/pivpack/pivpack" build \
  --stub "$build/win/setup-stub.exe" \
  --config "$root/tools/sample-product/setup.json" \
  --folder "$build/win/sample-product" \
  --out "$out/PellioSetup.exe"
echo "== inspection of $out/PellioSetup.exe"
"$build/native/tools/pivpack/pivpack" inspect "$out/PellioSetup.exe"
echo "setup stub (stripped, without package): $(stat -c %s "$build/win/setup-stub.exe") bytes"
