#!/usr/bin/env bash
# Packs the sample product with the package builder, signs the result with a
# throwaway certificate, and checks that the builder's inspection and the
# setup program's own package code (under Wine) still read it.
#   packed-installer.sh SOURCE_DIR WIN_BUILD_DIR [HOST_PIVPACK]
set -euo pipefail
src=$1 build=$2 host=${3:-}
run="$src/cmake/wine-run.sh --prefix $build/wineprefix"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all
"$src/cmake/wine-prefix.sh" "$WINEPREFIX"
w() { winepath -w "$1" 2>/dev/null; }

echo "-- Windows builder packs the sample product"
$run "$build/tools/pivpack/pivpack.exe" build --stub "$(w "$build/setup-stub.exe")" \
  --config "$(w "$src/tools/sample-product/setup.json")" --folder "$(w "$build/sample-product")" \
  --out "$(w "$work/setup.exe")"
$run "$build/tools/pivpack/pivpack.exe" inspect "$(w "$work/setup.exe")" | tee "$work/inspect.txt"
grep -q 'result:         ok' "$work/inspect.txt"

if [ -x "$host" ]; then
  echo "-- host builder gives the same installer"
  "$host" build --stub "$build/setup-stub.exe" --config "$src/tools/sample-product/setup.json" \
    --folder "$build/sample-product" --out "$work/setup-host.exe" >/dev/null
  "$host" inspect "$work/setup-host.exe" >/dev/null
  # The archives may differ (entry times from two clocks, two zlib builds);
  # the image, the locator and the configuration may not.
  p=$(stat -c %s "$build/setup-stub.exe")
  cmp <(head -c "$p" "$work/setup.exe") <(head -c "$p" "$work/setup-host.exe") >/dev/null \
    || { echo "host and Windows builders disagree on the image"; exit 1; }
  grep -q '"mode":1' <(grep -a config: <("$host" inspect "$work/setup-host.exe"))
fi

echo "-- signed with a throwaway certificate"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/k.pem" -out "$work/c.pem" -days 2 -subj "/CN=Pivset Test" \
  >/dev/null 2>&1
osslsigncode sign -certs "$work/c.pem" -key "$work/k.pem" -n "Pellio" -in "$work/setup.exe" \
  -out "$work/setup-signed.exe" >/dev/null
osslsigncode verify -CAfile "$work/c.pem" -in "$work/setup-signed.exe" | grep -q Succeeded
$run "$build/tools/pivpack/pivpack.exe" inspect "$(w "$work/setup-signed.exe")" | tee "$work/inspect-signed.txt"
grep -q 'result:         ok' "$work/inspect-signed.txt"
grep -q 'certificate table' "$work/inspect-signed.txt"

echo "-- the setup program's package code reads both"
for f in setup.exe setup-signed.exe; do
  mkdir -p "$work/un-$f"
  PIVSET_INSTALLER=$(w "$work/$f") PIVSET_UNINSTALLER_DIR=$(w "$work/un-$f") \
    $run "$build/tests/app/app_tests.exe" --gtest_filter='PackedInstaller.*' --gtest_brief=1 | tee "$work/gtest.txt"
  grep -q '2 tests' "$work/gtest.txt" && ! grep -q SKIPPED "$work/gtest.txt"
done

echo "-- the signed installer's uninstaller image is a consistent unsigned file"
un=$work/un-setup-signed.exe/unins000.exe
x86_64-w64-mingw32-objdump -p "$un" > "$work/objdump.txt"
grep -q 'Entry 4 0000000000000000 00000000 Security Directory' "$work/objdump.txt"
# Unsigned, not malformed: no signature, and none ignored for its place (the
# stale entry's complaint). The checksum is cleared (0, "none").
osslsigncode verify -in "$un" > "$work/verify.txt" 2>&1 || true
cat "$work/verify.txt"
grep -q 'No signature found' "$work/verify.txt"
grep -q 'Current PE checksum *: 00000000' "$work/verify.txt"
if grep -qi 'signature not at the end\|malformed\|corrupt' "$work/verify.txt"; then exit 1; fi
$run "$build/tools/pivpack/pivpack.exe" inspect "$(w "$un")" | tee "$work/inspect-un.txt" | grep -q 'mode:           0'
if grep -q 'certificate table entry' "$work/inspect-un.txt"; then exit 1; fi
# The same bytes with the signed header's entry put back are reported.
python3 - "$work/setup-signed.exe" "$un" "$work/stale.exe" <<'PY'
import struct, sys
signed, un = open(sys.argv[1], "rb").read(), bytearray(open(sys.argv[2], "rb").read())
pe = struct.unpack_from("<I", un, 60)[0]
entry = pe + 24 + 112 + 4 * 8
un[entry:entry + 8] = signed[entry:entry + 8]
open(sys.argv[3], "wb").write(un)
PY
if $run "$build/tools/pivpack/pivpack.exe" inspect "$(w "$work/stale.exe")" > "$work/inspect-stale.txt"; then
  exit 1
fi
grep -q 'certificate table entry .* points outside the file' "$work/inspect-stale.txt"
echo "packed installer: ok"
