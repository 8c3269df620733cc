#!/usr/bin/env bash
# Sets up the machine, builds both trees and runs every test: the
# formatting check, the native sanitizer tests, the Windows tests under
# Wine, and a bounded run of each fuzzer on its committed corpus. Exits
# non-zero when anything failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PIVSET_BUILD:-$root/build}
fuzz_seconds=${PIVSET_FUZZ_SECONDS:-20}
jobs=${PIVSET_JOBS:-$(nproc)}

bash "$root/tools/setup.sh" || exit 1
bash "$root/tools/build.sh" || exit 1

failed=()
echo "== formatting (.clang-format)"
bash "$root/tools/check-format.sh" || failed+=(format)

echo "== native tests (ASan + UBSan)"
(cd "$build/native" && ctest --output-on-failure -j "$jobs") || failed+=(native)

echo "== Windows tests under Wine"
# Wine's Z: is the host's root: whatever a test installs without a folder of
# its own must land inside its prefix, never there.
root_before=$(LC_ALL=C ls -A /)
(cd "$build/win" && ctest --output-on-failure -j "$jobs") || failed+=(windows)
strays=$(LC_ALL=C comm -13 <(echo "$root_before") <(LC_ALL=C ls -A /))
if [ -n "$strays" ]; then
  echo "the Windows tests left this in the host's root (an install outside its prefix?):"
  echo "$strays" | sed 's|^|  /|'
  failed+=(strays)
fi
# The prefixes' wineservers and shared displays outlive the tests; end them.
for prefix in "$build"/win/wineprefix*; do
  [ -d "$prefix" ] || continue
  WINEPREFIX=$prefix wineserver -k 2>/dev/null
  "$root/cmake/wine-display.sh" "$prefix" stop
done

echo "== fuzzers, ${fuzz_seconds}s each"
for fuzzer in "$build"/native/tests/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  seeds="$root/tests/fuzz/corpus/${name#fuzz_}"
  kept="$root/tests/fuzz/regressions/${name#fuzz_}"
  work=$(mktemp -d)
  # libFuzzer runs every input of every folder before it mutates: the
  # committed corpus and the findings of long runs are replayed first.
  if "$fuzzer" -max_total_time="$fuzz_seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
       "$work" "$seeds" "$kept" >"$work.log" 2>&1; then
    execs=$(grep -E '^stat::number_of_executed_units' "$work.log" | awk '{print $2}')
    rate=$(grep -E '^stat::average_exec_per_sec' "$work.log" | awk '{print $2}')
    echo "$name: ${execs:-?} runs, ${rate:-?}/s, no finding"
  else
    echo "$name: FAILED"; tail -n 40 "$work.log"; failed+=("$name")
  fi
  rm -rf "$work" "$work.log"
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "all tests passed"
