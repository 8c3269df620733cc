#!/usr/bin/env bash
# The main job: sets up the machine, builds everything, packs the sample
# product into an installer, installs it quietly under Wine, shows what was
# installed, starts the product as the done page does, and removes it again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PIVSET_BUILD:-$root/build}
out=${PIVSET_OUT:-$root/out}

bash "$root/tools/setup.sh"
bash "$root/tools/build.sh"

mkdir -p "$out"
echo "== packing the sample product"
pivpack=$(bash "$root/tools/build-pivpack.sh")
"$pivpack" build \
  --stub "$build/win/setup-stub.exe" \
  --config "$root/tools/sample-product/setup.json" \
  --folder "$build/win/sample-product" \
  --out "$out/PellioSetup.exe"
"$pivpack" inspect "$out/PellioSetup.exe"
echo "setup stub (stripped, without package): $(stat -c %s "$build/win/setup-stub.exe") bytes"

# A Wine prefix of the main job's own, fresh each run, with the product's
# users' code page.
export WINEPREFIX="$build/main-job/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
rm -rf "$WINEPREFIX" "$WINEPREFIX.ready"
# The display there is, or a virtual one of the job's own.
if [ -z "${DISPLAY:-}" ]; then
  DISPLAY=$("$root/cmake/wine-display.sh" "$WINEPREFIX")
  export DISPLAY
  trap '"$root/cmake/wine-display.sh" "$WINEPREFIX" stop' EXIT
fi
"$root/cmake/wine-prefix.sh" "$WINEPREFIX"
drive_c="$WINEPREFIX/drive_c"
target='C:\Program Files'
install_dir="$drive_c/Program Files/Tervaset/Orvane"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvane'

export PIVSET_SOURCE_DIR="$root" PIVSET_WIN_BUILD="$build/win"
shots="$out/screens"
rm -rf "$shots"
gui() { python3 "$root/tools/main-job-gui.py" "$@"; }

echo "== the installer's window on display $DISPLAY: install through the custom page"
gui install "$out/PellioSetup.exe" "$target" "$shots"
wineserver -w
show_installed() {
  echo "-- installed files"
  (cd "$install_dir" && find . -type f | sort | while read -r f; do printf '  %8d  %s\n' "$(stat -c %s "$f")" "$f"; done)
  echo "-- registration (32-bit view)"
  wine reg query "$key" /reg:32 | tr -d '\r' | sed 's/^/  /'
  echo "-- shortcuts"
  find "$drive_c/users/Public/Desktop" "$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tervaset" \
    -name '*.lnk' | sed "s|$drive_c|  C:|"
}
show_removed() {
  [ -e "$install_dir" ] && echo "install folder still there" || echo "install folder gone"
  wine reg query "$key" /reg:32 >/dev/null 2>&1 && echo "registration still there" || echo "registration gone"
  find "$drive_c/users/Public/Desktop" -name 'Pellio.lnk' | grep -q . && echo "desktop link still there" \
    || echo "desktop link gone"
}
show_installed

echo "== removal through the uninstaller's window"
gui uninstall "$target\\Tervaset\\Orvane" "$shots"
wineserver -w
show_removed

echo "== quiet install: PellioSetup.exe /q /D \"$target\""
start=$(date +%s.%N)
set +e; wine "$out/PellioSetup.exe" /q /D "$target"; rc=$?; set -e
wineserver -w
echo "exit code $rc, $(echo "$(date +%s.%N) - $start" | bc) s"
[ -f "$install_dir/Orvane.exe" ] && echo "installed" || echo "not installed"

echo "== quiet removal: unins000.exe /q"
start=$(date +%s.%N)
wine "C:\\Program Files\\Tervaset\\Orvane\\unins000.exe" /q
wineserver -w
echo "removed in $(echo "$(date +%s.%N) - $start" | bc) s"
show_removed
wineserver -k || true

echo "== the installer's pages, as shown on the display: $shots"
ls "$shots" | sed 's/^/  /'
