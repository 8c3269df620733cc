#!/usr/bin/env bash
# bench/scaling.sh: does the cost grow no worse than linearly?
#   - 2,000 and 20,000 small files (50 per folder: 40 and 400 folders),
#     each installed quietly and removed again RUNS times: the larger one
#     must take at most 12 times as long, install and removal each;
#   - one 2.2 GB file (compressible to about half): packed by the optimised
#     pivpack, whose peak memory must not grow with the file, and installed,
#     whose peak memory must stay within the installer's size + 32 MiB.
# Uses the build trees as they are (bash tools/build.sh first), a Wine prefix
# of its own under build/bench/scaling, and about 12 GB of disk for the
# large file, its installer and its install. Prints one line per figure and
# "scaling: met" or "scaling: MISSED" at the end.
#
#   bash bench/scaling.sh          # about 10 minutes on 2 cores
#   RUNS=3 BIG_MB=2200 SKIP_BIG=1  (knobs)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PIVSET_BUILD:-$root/build}
W=$build/bench/scaling
RUNS=${RUNS:-3}
BIG_MB=${BIG_MB:-2200}
stub=$build/win/setup-stub.exe
[ -f "$stub" ] || { echo "scaling: $stub is missing; run tools/build.sh first" >&2; exit 2; }
pivpack=$(bash "$root/tools/build-pivpack.sh")

export WINEPREFIX=$W/prefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
unset DISPLAY
mkdir -p "$W"
rm -rf "$W/payload-"* "$W/"*.exe "$WINEPREFIX/drive_c/scale"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 || true
  wine reg add 'HKLM\Software\Wine\Drives' /v z: /d network /f >/dev/null 2>&1 || true
  wineserver -w
fi
cc -O2 -o "$W/chainwait" "$root/bench/chainwait.c"
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
echo '{"mode": 1}' > "$W/setup.json"

python3 - "$W" "$BIG_MB" "${SKIP_BIG:-0}" <<'PY'
import os, random, sys
work, big_mb, skip_big = sys.argv[1], int(sys.argv[2]), sys.argv[3] == "1"
# sixteen letters: random, but deflates to about half
LOW = bytes(0x41 + (b & 15) for b in range(256))
for count in (2000, 20000):
    rng = random.Random(count)
    top = os.path.join(work, "payload-%d" % count)
    for i in range(count):
        folder = os.path.join(top, "f%03d" % (i // 50))
        os.makedirs(folder, exist_ok=True)
        size = rng.randint(200, 6000)
        with open(os.path.join(folder, "file%05d.dat" % i), "wb") as f:
            f.write(rng.randbytes(size).translate(LOW))
if not skip_big:
    top = os.path.join(work, "payload-big")
    os.makedirs(top, exist_ok=True)
    rng = random.Random(22)
    block = rng.randbytes(1 << 20).translate(LOW)
    with open(os.path.join(top, "big.dat"), "wb") as f:
        for i in range(big_mb):
            # a different rotation per MiB: no long repeats for the deflater
            k = (i * 7919) % len(block)
            f.write(block[k:] + block[:k])
PY

# peak RSS (KiB) and wall seconds of one command: "kib seconds"
measure() {
  local start end
  start=$(date +%s.%N)
  "$W/chainwait" --rss "$W/rss" -- "$@" >/dev/null 2>&1 || { echo "failed"; return 0; }
  end=$(date +%s.%N)
  echo "$(cat "$W/rss") $(echo "$end - $start" | bc)"
}

verdicts=()
for count in 2000 20000; do
  "$pivpack" build --stub "$stub" --config "$W/setup.json" --folder "$W/payload-$count" --out "$W/s$count.exe" >/dev/null
  : > "$W/install-$count.txt"
  : > "$W/remove-$count.txt"
  for ((i = 0; i < RUNS; ++i)); do
    sync
    measure wine "$W/s$count.exe" /q /D 'C:\scale' >> "$W/install-$count.txt"
    sync
    measure wine 'C:\scale\Tervaset\Orvane\unins000.exe' /q >> "$W/remove-$count.txt"
    if [ -e "$WINEPREFIX/drive_c/scale/Tervaset/Orvane" ]; then echo "failed" >> "$W/remove-$count.txt"; fi
    rm -rf "$WINEPREFIX/drive_c/scale"
  done
done
median() { grep -v failed "$1" | awk '{print $2}' | sort -g | awk '{a[NR]=$1} END {if (NR) print a[int((NR+1)/2)]; else print "n/a"}'; }
for what in install remove; do
  small=$(median "$W/$what-2000.txt") large=$(median "$W/$what-20000.txt")
  if grep -q failed "$W/$what-2000.txt" "$W/$what-20000.txt" || [ "$small" = n/a ] || [ "$large" = n/a ]; then
    echo "$what: a run failed"; verdicts+=(MISSED); continue
  fi
  r=$(echo "scale=2; $large / $small" | bc)
  ok=$(echo "$r <= 12" | bc)
  echo "$what: 2,000 files ${small} s, 20,000 files ${large} s (median of $RUNS): ${r} x (limit 12)"
  [ "$ok" = 1 ] && verdicts+=(met) || verdicts+=(MISSED)
done

if [ "${SKIP_BIG:-0}" != 1 ]; then
  /usr/bin/time -f "%M %e" -o "$W/pack.txt" "$pivpack" build --stub "$stub" --config "$W/setup.json" \
    --folder "$W/payload-big" --out "$W/big.exe" >/dev/null
  read -r pack_kib pack_s < "$W/pack.txt"
  size=$(stat -c %s "$W/big.exe")
  echo "pack one ${BIG_MB} MB file: peak ${pack_kib} KiB, ${pack_s} s; installer $size bytes"
  # The builder keeps the archive it writes in memory, but never a file whole.
  if [ "$pack_kib" -le $(( (size + 64 * 1024 * 1024) / 1024 * 3 / 2 )) ]; then verdicts+=(met); else verdicts+=(MISSED); fi
  sync
  read -r kib secs <<< "$(measure wine "$W/big.exe" /q /D 'C:\scale')"
  limit=$(( (size + 32 * 1024 * 1024) / 1024 ))
  installed=$(stat -c %s "$WINEPREFIX/drive_c/scale/Tervaset/Orvane/big.dat" 2>/dev/null || echo 0)
  echo "install one ${BIG_MB} MB file: peak ${kib} KiB (limit installer + 32 MiB = ${limit} KiB), ${secs} s, installed $installed bytes"
  if [ "$kib" != failed ] && [ "$kib" -le "$limit" ] && [ "$installed" = $((BIG_MB * 1024 * 1024)) ]; then
    verdicts+=(met)
  else
    verdicts+=(MISSED)
  fi
  wine 'C:\scale\Tervaset\Orvane\unins000.exe' /q >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX/drive_c/scale" "$W/big.exe" "$W/payload-big"
fi
rm -rf "$W/payload-"*
if [[ " ${verdicts[*]} " == *" MISSED "* ]]; then echo "scaling: MISSED"; exit 1; fi
echo "scaling: met"
