#!/usr/bin/env bash
# bench/run.sh: builds our installer of the shared reference payload and, in
# one run, measures it against its peers under Wine:
#   - silent install wall time: ours, NSIS zlib, NSIS LZMA, MSI, native
#     unzip (and Wine's bare start and write costs for context);
#   - silent uninstall wall time: ours against NSIS's uninstaller;
#   - start-up to the first paint of the main window, against a trivial
#     program that shows one window;
#   - peak memory of our install, and the size of the stripped setup stub;
#   - the compared figures again in interleaved pairs (ours, peer, ours,
#     peer ...: install against NSIS zlib, removal against NSIS's
#     uninstaller, start-up against the trivial window), wall and CPU time,
#     which the targets are judged on.
# Prints the summary with the targets at the end; everything lands in
# $BENCH_WORK/results (summary.txt, table.txt, hyperfine logs and JSON,
# pairs-*.json).
#
#   bash bench/run.sh            # about 10 minutes on 2 cores
#
# Environment (all optional):
#   RUNS=7 WARMUP=1     timed and warm-up runs per row
#   PAIRS=11            pairs per paired comparison (one more pair warms up)
#   ONLY="a b"          only these rows (install rows as in the table, plus
#                       un-ours un-nsis-zlib startup slide memory, and the
#                       paired comparisons pairs-install pairs-removal
#                       pairs-startup)
#   BENCH_WORK          work folder (default build/bench)
#   BENCH_NO_BUILD=1    use the build trees as they are
#   KEEP_PREFIX=1       reuse the Wine prefix of an earlier run
#   PIVSET_BENCH_HARNESS  the shared harness (default: shared/bench beside
#                       the repository, else /work/shared/bench)
#   BENCH_BASELINE=stub.exe  an older setup stub: packed like ours and timed
#                       in the same run as the rows "ours-baseline" and
#                       "un-ours-baseline", for a before/after comparison
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
here=$root/bench
build=${PIVSET_BUILD:-$root/build}

harness=${PIVSET_BENCH_HARNESS:-}
if [ -z "$harness" ]; then
  for d in "$root/../shared/bench" /work/shared/bench; do
    if [ -f "$d/lib.sh" ]; then harness=$(cd "$d" && pwd); break; fi
  done
fi
[ -f "$harness/lib.sh" ] || { echo "bench: the shared harness (lib.sh) is not found; set PIVSET_BENCH_HARNESS" >&2; exit 2; }

if [ -z "${BENCH_IN_XVFB:-}" ]; then
  if [ "${BENCH_NO_BUILD:-0}" != 1 ]; then
    bash "$root/tools/setup.sh"
    bash "$root/tools/build.sh"
  fi
  "$harness/install-deps.sh"
  # the start-up watcher reads the X DAMAGE extension and clicks through XTEST
  if [ ! -f /usr/include/X11/extensions/Xdamage.h ] || [ ! -f /usr/include/X11/extensions/XTest.h ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq libxdamage-dev libxtst-dev libx11-dev gcc >/dev/null
  fi
  export BENCH_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi

start=$(date +%s)
step() { printf '[%4ss] %s\n' $(($(date +%s) - start)) "$*" >&2; }

W=${BENCH_WORK:-$build/bench}
mkdir -p "$W"
W=$(cd "$W" && pwd)
export BENCH_DIR=$harness BENCH_WORK=$W
export BENCH_MANIFEST=$W/payload.manifest BENCH_RESULTS=$W/results BENCH_INST=$W/prefix/drive_c/bench
# no row is ever skipped for time: the whole run is the measurement
export BENCH_DEADLINE=
BUILD=$W/build
# shellcheck source=/dev/null
. "$harness/lib.sh"
bench_wine_env
RUNS=$BENCH_RUNS
WARMUP=$BENCH_WARMUP
wants() { [ -z "${ONLY:-}" ] || [[ " $ONLY " == *" $1 "* ]]; }

started_server=0
cleanup() {
  if [ $started_server = 1 ]; then wineserver -k 2>/dev/null || true; fi
}
trap cleanup EXIT

rm -rf "$W/payload" "$W/payload.zip" "$BUILD" "$BENCH_RESULTS"
mkdir -p "$BUILD" "$BENCH_RESULTS"

step "payload (shared generator)"
python3 "$harness/gen_payload.py" "$W/payload" --zip "$W/payload.zip" --manifest "$BENCH_MANIFEST" >&2
ZIP=$W/payload.zip

step "peers (NSIS zlib/LZMA, MSI, trivial programs), our tools and installer, Wine prefix"
timeout 300 "$harness/peers/build-nsis.sh" "$W/payload" "$BUILD" >&2 &
nsis_pid=$!
timeout 120 "$harness/peers/build-msi.sh" "$W/payload" "$BUILD" >&2 || echo "MSI build failed" >&2
"$harness/peers/build-trivial.sh" "$BUILD"
cc -O2 -Wall -Wextra -o "$BUILD/chainwait" "$here/chainwait.c"
cc -O2 -Wall -Wextra -o "$BUILD/startwatch" "$here/startwatch.c" -lX11 -lXdamage -lXtst
x86_64-w64-mingw32-gcc -O2 -s -Wall -Wextra -mwindows -municode -o "$BUILD/trivial-window.exe" \
  "$here/trivial-window.c"
STUB=$build/win/setup-stub.exe
OURS=$BUILD/PellioSetup.exe
"$build/native/tools/pivpack/pivpack" build --stub "$STUB" --config "$root/tools/sample-product/setup.json" \
  --zip "$ZIP" --out "$OURS" >&2
# The same installer without the builder's checksum: the setup program then
# inflates every entry once before it removes a previous version.
UNCHECKED=$BUILD/PellioSetup-unchecked.exe
python3 - "$OURS" "$UNCHECKED" <<'PY'
import json, struct, sys
data = open(sys.argv[1], "rb").read()
lfanew = struct.unpack_from("<I", data, 60)[0]
p = struct.unpack_from("<I", data, lfanew - 4)[0]
length = struct.unpack_from("<I", data, p)[0]
config = json.loads(data[p + 4:p + 4 + length])
del config["zcrc32"]
text = (json.dumps(config, ensure_ascii=False, separators=(",", ":")) + "\n").encode()
open(sys.argv[2], "wb").write(data[:p] + struct.pack("<I", len(text)) + text + data[p + 4 + length:])
PY
BASELINE=
if [ -n "${BENCH_BASELINE:-}" ]; then
  BASELINE=$BUILD/PellioSetup-baseline.exe
  "$build/native/tools/pivpack/pivpack" build --stub "$BENCH_BASELINE" \
    --config "$root/tools/sample-product/setup.json" --zip "$ZIP" --out "$BASELINE" >&2
fi

if [ "${KEEP_PREFIX:-0}" = 1 ] && [ -f "$WINEPREFIX/system.reg" ]; then
  step "reusing the Wine prefix"
else
  [ -d "$WINEPREFIX" ] && { wineserver -k 2>/dev/null || true; }
  rm -rf "$WINEPREFIX"
  step "wineboot -i (fresh prefix)"
  timeout 180 wineboot -i > "$BENCH_RESULTS/wineboot.log" 2>&1 || true
  timeout 60 wineserver -w || true
  # Z: is the host's root: declared a network drive, as in the test
  # prefixes, so that no install picks it for a folder of its own.
  wine reg add 'HKLM\Software\Wine\Drives' /v z: /d network /f >/dev/null 2>&1 || true
  timeout 60 wineserver -w || true
fi
wait "$nsis_pid" || echo "NSIS build failed" >&2
mkdir -p "$BENCH_INST"

# One persistent wineserver for every row (see the harness's README).
wineserver -p
started_server=1
wine cmd /c exit >/dev/null 2>&1 || true
# One windowed program stays up for the whole bench, so Wine's desktop
# process is running before every row (as the shell always is on Windows).
wine "$BUILD/trivial-window.exe" Keepalive >/dev/null 2>&1 &
sleep 2
wtemp=$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')
temp_dir=$(winepath -u "$wtemp" 2>/dev/null)

if wants archive-check; then
  step "checks of the archive before a removal: CRC-32 of its bytes, every entry inflated"
  wine "$build/win/bench/ArchiveCheckCost.exe" "$(bench_winpath "$ZIP")" "$RUNS" 2>&1 | tr -d '\r' \
    | tee "$BENCH_RESULTS/archive-check.txt" >&2 || echo "archive check measurement failed" >&2
fi

step "install rows: $RUNS runs + $WARMUP warm-up each"
WZIP=$(bench_winpath "$ZIP") WPAYLOAD=$(bench_winpath "$W/payload") WMSI=$(bench_winpath "$BUILD/orvane.msi")
bench_row wine-console - --no-verify --package "$BUILD/trivial.exe" -- wine "$BUILD/trivial.exe"
bench_row unzip . --package "$ZIP" -- unzip -q -o "$ZIP" -d @DEST@
bench_row wine-xcopy . -- wine xcopy /E /I /Q /Y "$WPAYLOAD" @WDEST@
bench_row nsis-zlib Tervaset/Orvane --package "$BUILD/nsis-zlib.exe" \
  -- wine "$BUILD/nsis-zlib.exe" /S '/D=@WDEST@\Tervaset\Orvane'
bench_row nsis-lzma Tervaset/Orvane --package "$BUILD/nsis-lzma.exe" \
  -- wine "$BUILD/nsis-lzma.exe" /S '/D=@WDEST@\Tervaset\Orvane'
bench_row msi Tervaset/Orvane --package "$BUILD/orvane.msi" \
  --reset "wine msiexec /x '$WMSI' /qn" \
  -- wine msiexec /i "$WMSI" /qn 'INSTALLDIR=@WDEST@\Tervaset\Orvane'
bench_row ours Tervaset/Orvane --package "$OURS" -- wine "$OURS" /q /D @WDEST@
bench_row ours-unchecked Tervaset/Orvane --package "$UNCHECKED" -- wine "$UNCHECKED" /q /D @WDEST@
# The same install writing its "/log" record (appended run after run).
bench_row ours-log Tervaset/Orvane --package "$OURS" -- wine "$OURS" /q /D @WDEST@ /log 'C:\pivset-bench.log'
if [ -n "$BASELINE" ]; then
  bench_row ours-baseline Tervaset/Orvane --package "$BASELINE" -- wine "$BASELINE" /q /D @WDEST@
fi

# Uninstall rows: each run installs (untimed, in the prepare step), then
# times the removal to the end of its last process.
#
# Wine's user32 imports zlib1.dll, and the payload carries a zlib1.dll of its
# own at its top, so no program that imports user32 can start from the
# install folder under Wine (on Windows user32 imports no such DLL). Both
# uninstallers are therefore started from a copy outside it: ours at the path
# it relocates itself to, so it runs in place; NSIS's with "_?=", its own way
# of running without copying itself. Neither row pays for the relocation.
un_row() {
  local name=$1 setup=$2 start_path=$3
  shift 3
  wants "$name" || return 0
  local dest="$BENCH_INST/$name" wdest="C:\\bench\\$name"
  local prep="bash $(bench_quote "$here/uninstall-prep.sh") $(bench_quote "$name") $(bench_quote "$dest")"
  prep+=" $(bench_quote "$setup") $(bench_quote "$start_path")"
  local cmd a
  cmd="$(bench_quote "$BUILD/chainwait") --"
  for a in "$@"; do
    a=${a//@WDEST@/"$wdest"}
    cmd+=" $(bench_quote "$a")"
  done
  local log="$BENCH_RESULTS/$name.log" json="$BENCH_RESULTS/$name.json" status=ok
  rm -f "$dest.ran"
  printf '%-14s %s\n' "$name" "$cmd" > "$log"
  if ! timeout "$BENCH_ROW_TIMEOUT" hyperfine -N --style basic --warmup "$WARMUP" --runs "$RUNS" \
      --prepare "$prep" --export-json "$json" "$cmd" >> "$log" 2>&1; then
    status=failed
  elif ! bash "$here/uninstall-prep.sh" "$name" "$dest" check "" >> "$log" 2>&1; then
    status=failed
  fi
  printf '%s\t%s\t%s\n' "$name" "$status" "$json" >> "$BENCH_RESULTS/uninstall.tsv"
  printf '  %-14s %s\n' "$name" "$status" >&2
  [ "$status" = ok ] || tail -n 15 "$log" | sed 's/^/    | /' >&2
  rm -rf "$dest" "$dest.ran" "$dest.start"
}
step "uninstall rows"
un_row un-ours "$OURS" "$temp_dir/Orvane/unins000.exe" \
  wine "$wtemp\\Orvane\\unins000.exe" /q
if [ -n "$BASELINE" ]; then
  un_row un-ours-baseline "$BASELINE" "$temp_dir/Orvane/unins000.exe" \
    wine "$wtemp\\Orvane\\unins000.exe" /q
fi
un_row un-nsis-zlib "$BUILD/nsis-zlib.exe" "$BENCH_INST/un-nsis-zlib.start/Uninst.exe" \
  wine 'C:\bench\un-nsis-zlib.start\Uninst.exe' /S '_?=@WDEST@\Tervaset\Orvane'

if wants startup; then
  step "start-up to first paint: $RUNS runs + $WARMUP warm-up each, alternating"
  for ((i = 0; i < RUNS + WARMUP; ++i)); do
    for row in trivial ours; do
      if [ $row = ours ]; then args=(--name Pivset -- wine "$OURS"); else args=(--name Trivial -- wine "$BUILD/trivial-window.exe"); fi
      line=$("$BUILD/startwatch" --timeout 30 "${args[@]}" 2>>"$BENCH_RESULTS/startup.log") || line="failed"
      [ "$i" -lt "$WARMUP" ] || echo "$line" >> "$BENCH_RESULTS/startup-$row.txt"
    done
  done
fi

if wants slide; then
  step "page slide, welcome to custom page: $RUNS runs"
  # The custom-install link's window point (page point 470,283; pages start at y 48).
  for ((i = 0; i < RUNS; ++i)); do
    line=$("$BUILD/startwatch" --timeout 30 --click 470,331 --name Pivset -- wine "$OURS" /D 'C:\bench\slide' \
      2>>"$BENCH_RESULTS/slide.log") || line="failed"
    echo "$line" >> "$BENCH_RESULTS/slide-ours.txt"
  done
fi

if wants memory; then
  step "peak memory of our install: 3 runs"
  dest=$BENCH_INST/memory
  for ((i = 0; i < 3; ++i)); do
    rm -rf "$dest"
    "$BUILD/chainwait" --rss "$BENCH_RESULTS/rss.tmp" -- wine "$OURS" /q /D 'C:\bench\memory' >/dev/null 2>&1 \
      && cat "$BENCH_RESULTS/rss.tmp" >> "$BENCH_RESULTS/memory-ours.txt"
    "$BUILD/chainwait" --rss "$BENCH_RESULTS/rss.tmp" -- wine "$BUILD/trivial.exe" >/dev/null 2>&1 \
      && cat "$BENCH_RESULTS/rss.tmp" >> "$BENCH_RESULTS/memory-wine-console.txt"
  done
  python3 "$harness/verify.py" "$BENCH_MANIFEST" "$dest/Tervaset/Orvane" >> "$BENCH_RESULTS/memory.log" 2>&1 \
    || echo "memory runs: the install did not verify" >> "$BENCH_RESULTS/memory-failed.txt"
  rm -rf "$dest" "$BENCH_RESULTS/rss.tmp"
fi

# The compared figures again, interleaved: two runs a few seconds apart see
# the same machine, while rows taken minutes apart need not.
PAIRS=${PAIRS:-11}
pair() {
  local key=$1
  shift
  wants "pairs-$key" || return 0
  step "pairs: $key, $PAIRS pairs + 1 warm-up"
  python3 "$here/pairs.py" --pairs "$PAIRS" --warmup 1 --out "$BENCH_RESULTS/pairs-$key.json" "$@" \
    2>> "$BENCH_RESULTS/pairs-$key.log" || echo "pairs $key failed" >&2
}
reset_install() { # DEST: the untimed reset before a paired install run (checks the previous one)
  local dest=$BENCH_INST/$1 marker=$BENCH_RESULTS/$1.ran
  echo "bash $(bench_quote "$harness/reset-row.sh") $(bench_quote "$dest") Tervaset/Orvane 1" \
    "$(bench_quote "$marker") /dev/null ''"
}
for n in pair-ours pair-nsis; do
  bash "$harness/reset-row.sh" "$BENCH_INST/$n" Tervaset/Orvane 0 "$BENCH_RESULTS/$n.ran" /dev/null "" >/dev/null 2>&1
  rm -f "$BENCH_RESULTS/$n.ran"
done
pair install --a ours "wine $(bench_quote "$OURS") /q /D 'C:\bench\pair-ours'" \
  --a-prepare "$(reset_install pair-ours)" \
  --a-check "python3 $(bench_quote "$harness/verify.py") $(bench_quote "$BENCH_MANIFEST") $(bench_quote "$BENCH_INST/pair-ours/Tervaset/Orvane")" \
  --b nsis-zlib "wine $(bench_quote "$BUILD/nsis-zlib.exe") /S '/D=C:\bench\pair-nsis\Tervaset\Orvane'" \
  --b-prepare "$(reset_install pair-nsis)" \
  --b-check "python3 $(bench_quote "$harness/verify.py") $(bench_quote "$BENCH_MANIFEST") $(bench_quote "$BENCH_INST/pair-nsis/Tervaset/Orvane")"
for n in pair-ours pair-nsis; do
  bash "$harness/reset-row.sh" "$BENCH_INST/$n" Tervaset/Orvane 0 "$BENCH_RESULTS/$n.ran" /dev/null "" >/dev/null 2>&1
  rm -rf "$BENCH_RESULTS/$n.ran" "${BENCH_INST:?}/$n"
done
un_prep() { # NAME SETUP START_PATH
  echo "bash $(bench_quote "$here/uninstall-prep.sh") $(bench_quote "$1") $(bench_quote "$BENCH_INST/$1")" \
    "$(bench_quote "$2") $(bench_quote "$3")"
}
un_check() { echo "bash $(bench_quote "$here/uninstall-prep.sh") $(bench_quote "$1") $(bench_quote "$BENCH_INST/$1") check ''"; }
pair removal --a un-ours "$(bench_quote "$BUILD/chainwait") -- wine '$wtemp\Orvane\unins000.exe' /q" \
  --a-prepare "$(un_prep un-pair-ours "$OURS" "$temp_dir/Orvane/unins000.exe")" --a-check "$(un_check un-pair-ours)" \
  --b un-nsis "$(bench_quote "$BUILD/chainwait") -- wine 'C:\bench\un-pair-nsis.start\Uninst.exe' /S '_?=C:\bench\un-pair-nsis\Tervaset\Orvane'" \
  --b-prepare "$(un_prep un-pair-nsis "$BUILD/nsis-zlib.exe" "$BENCH_INST/un-pair-nsis.start/Uninst.exe")" \
  --b-check "$(un_check un-pair-nsis)"
rm -rf "$BENCH_INST"/un-pair-*
pair startup --metric paint \
  --a ours "$(bench_quote "$BUILD/startwatch") --timeout 30 --name Pivset -- wine $(bench_quote "$OURS")" \
  --b trivial "$(bench_quote "$BUILD/startwatch") --timeout 30 --name Trivial -- wine $(bench_quote "$BUILD/trivial-window.exe")"

step "done"
{
  echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //');" \
    "$(wine --version 2>/dev/null); $(hyperfine --version); install folders on" \
    "$(df -T "$BENCH_INST" | awk 'NR==2 {print $2}'), warm page cache, sync before each run"
  echo "runs: $RUNS timed + $WARMUP warm-up per row, $PAIRS pairs (+1 warm-up) per paired comparison;" \
    "a windowed program kept running in the prefix throughout; command: bash bench/run.sh"
  # ONLY may leave out every install row: the harness's table is then empty.
  if [ -f "$BENCH_RESULTS/rows.tsv" ]; then
    python3 "$harness/table.py" "$BENCH_RESULTS" "$BENCH_MANIFEST" "$ZIP"
    echo
  fi
  python3 "$here/summary.py" "$BENCH_RESULTS" --stub "$STUB" --setup "$OURS"
} | tee "$BENCH_RESULTS/summary.txt"
