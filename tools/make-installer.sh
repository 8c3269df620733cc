#!/usr/bin/env bash
# Builds the setup program for a product definition of your own and packs
# your product into its installer, in one go:
#
#   bash tools/make-installer.sh PRODUCT.json SETUP.json FOLDER OUT.exe
#
# PRODUCT.json names the product (see resources/product.json), SETUP.json is
# the install configuration, FOLDER the product's files. The setup program
# is built in its own tree, build/products/<uninstallKey>/ (PIVSET_BUILD
# moves build/), so the default build stays as it is.
set -euo pipefail
if [ $# -ne 4 ]; then
  sed -n '2,10s/^# \{0,1\}//p' "$0" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
product=$(realpath "$1")
config=$2 folder=$3 out=$4
build=${PIVSET_BUILD:-$root/build}

bash "$root/tools/setup.sh" >/dev/null
python3 "$root/tools/product/product.py" check "$product" >/dev/null
folder_name=$(python3 "$root/tools/product/product.py" build-folder "$product")
key=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1], encoding="utf-8"))["uninstallKey"])' "$product")
tree=$build/products/$folder_name
# Two keys can make one folder name ("My App" and "My_App"): the tree says
# whose it is, and another product's is never built over.
mkdir -p "$tree"
if [ -f "$tree/uninstall-key" ] && [ "$(cat "$tree/uninstall-key")" != "$key" ]; then
  echo "$1: field \"uninstallKey\": \"$key\" needs the build folder $tree, which is the one of \"$(cat "$tree/uninstall-key")\"; give the product another key" >&2
  exit 1
fi
printf '%s' "$key" > "$tree/uninstall-key"
cmake -S "$root" -B "$tree/win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DPIVSET_PRODUCT="$product" >/dev/null
cmake --build "$tree/win" --target Pivset
# The host package builder does not depend on the product: the optimised
# build, without the test tree's sanitizers.
pivpack=$(bash "$root/tools/build-pivpack.sh")
"$pivpack" build --stub "$tree/win/setup-stub.exe" --config "$config" --folder "$folder" --out "$out"
"$pivpack" inspect "$out" | grep -E '^(product|version|result):'
