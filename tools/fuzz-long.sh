#!/usr/bin/env bash
# Long fuzzing runs, by hand (tools/run-tests.sh and CI do not run them):
#
#   tools/fuzz-long.sh [SECONDS] [TARGET...]
#
# Builds the native tree when it is missing, then runs each fuzzer (json,
# uir, package; or the TARGETs given) for SECONDS (default
# PIVSET_FUZZ_LONG_SECONDS, else 600), one after the other, at low priority,
# under ASan and UBSan. New inputs go to a scratch corpus
# (PIVSET_FUZZ_SCRATCH, default build/fuzz-long/<target>/corpus) that later
# runs start from; the committed corpus is only read. Crashes, leaks,
# time-outs and out-of-memory inputs are copied into
# tests/fuzz/regressions/<target>/, which the test command replays: commit
# them with the fix. A run that stops on a finding goes on with the time left.
# Exits 1 when anything was found.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PIVSET_BUILD:-$root/build}
seconds=${1:-${PIVSET_FUZZ_LONG_SECONDS:-600}}
shift $(($# > 0 ? 1 : 0))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(json uir package png)
scratch=${PIVSET_FUZZ_SCRATCH:-$build/fuzz-long}

case $seconds in
  ''|*[!0-9]*) echo "usage: $0 [SECONDS] [TARGET...]" >&2; exit 2 ;;
esac

if [ ! -f "$build/native/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build/native" -G Ninja >/dev/null || exit 1
fi
targets_to_build=()
for t in "${targets[@]}"; do targets_to_build+=("fuzz_$t"); done
nice -n 10 cmake --build "$build/native" --target "${targets_to_build[@]}" || exit 1

summary="$scratch/summary.txt"
mkdir -p "$scratch"
: >"$summary"
found=0
for t in "${targets[@]}"; do
  fuzzer="$build/native/tests/fuzz/fuzz_$t"
  corpus="$scratch/$t/corpus"
  artifacts="$scratch/$t/artifacts"
  kept="$root/tests/fuzz/regressions/$t"
  log="$scratch/$t/run.log"
  mkdir -p "$corpus" "$artifacts" "$kept"
  : >"$log"
  start=$(date +%s)
  execs=0
  new=0
  for (( ; ; )); do
    left=$((seconds - ($(date +%s) - start)))
    [ "$left" -gt 0 ] || break
    before=$(ls "$artifacts" | sort)
    # The scratch corpus comes first: libFuzzer writes new inputs only there.
    nice -n 10 "$fuzzer" -max_total_time="$left" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$artifacts/" "$corpus" "$root/tests/fuzz/corpus/$t" "$kept" >"$log.last" 2>&1
    rc=$?
    cat "$log.last" >>"$log"
    e=$(grep -E '^stat::number_of_executed_units' "$log.last" | awk '{print $2}')
    rm -f "$log.last"
    execs=$((execs + ${e:-0}))
    [ "$rc" -eq 0 ] && break
    new=0
    for a in $(comm -13 <(echo "$before") <(ls "$artifacts" | sort)); do
      if [ ! -e "$kept/$a" ]; then
        cp "$artifacts/$a" "$kept/$a"
        echo "fuzz_$t: finding kept as tests/fuzz/regressions/$t/$a"
        new=1
      fi
      found=1
    done
    # A finding already kept reproduces at once: fuzzing on would only
    # repeat it until it is fixed.
    if [ "$new" -eq 0 ]; then
      found=1
      echo "fuzz_$t: stopped on a known or unsaved finding (exit $rc), see $log"
      break
    fi
  done
  elapsed=$(($(date +%s) - start))
  last=$(grep -E '(DONE|pulse|NEW|REDUCE|INITED) +cov:' "$log" | tail -n 1)
  cov=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$last")
  ft=$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<<"$last")
  units=$(ls "$corpus" | wc -l)
  rate=$((elapsed > 0 ? execs / elapsed : 0))
  line="fuzz_$t: ${elapsed}s, $execs runs, ${rate}/s, coverage ${cov:-?} edges (${ft:-?} features), scratch corpus $units inputs"
  echo "$line" | tee -a "$summary"
done
echo "summary in $summary"
exit $found
