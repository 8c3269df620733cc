#!/usr/bin/env bash
# Makes sure the Wine prefix given as $1 exists and is initialised, once: the
# first caller creates it under a lock, everyone else waits for that.
#   wine-prefix.sh DIR [win7|win10]
set -u
export WINEPREFIX=$1
# No Mono or Gecko prompts, and no menu entries on the host: winemenubuilder,
# which saving a shell link starts, also hangs now and then and holds the
# program that waits for it.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
version=${2:-}
mkdir -p "$(dirname "$WINEPREFIX")"
# Every program of the prefix, wineboot included, runs on its shared display.
if [ -z "${DISPLAY:-}" ]; then
  DISPLAY=$("$(dirname "$0")/wine-display.sh" "$WINEPREFIX") || exit 1
  export DISPLAY
fi
exec 9>"$WINEPREFIX.lock"
flock 9
# The marker's content says which set-up the prefix has; an older one is made again.
ready=2
if [ "$(cat "$WINEPREFIX/.pivset-ready" 2>/dev/null)" != "$ready" ]; then
  rm -rf "$WINEPREFIX"
  wineboot -i 9>&- >/dev/null 2>&1
  # Z: maps the host's root and looks like a roomy fixed disk: the install
  # drive the program picks for itself would be the host's root. As a
  # network drive it is never chosen, so nothing lands outside the prefix.
  wine reg add 'HKLM\Software\Wine\Drives' /v z: /t REG_SZ /d network /f 9>&- >/dev/null 2>&1
  # A crash ends the program at once instead of waiting in Wine's crash dialog.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f 9>&- >/dev/null 2>&1
  # Our skin names the Chinese UI face of Windows; map it to the installed CJK
  # font so that screenshots taken here show real glyphs.
  for face in "Microsoft YaHei" "Microsoft YaHei UI" "微软雅黑" "SimSun" "宋体"; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d "WenQuanYi Micro Hei" /f \
      9>&- >/dev/null 2>&1
  done
  wineserver -w 9>&-
  echo "$ready" > "$WINEPREFIX/.pivset-ready"
fi
if [ -n "$version" ]; then
  want=$version
  have=$(cat "$WINEPREFIX/.pivset-version" 2>/dev/null || echo win7)
  if [ "$have" != "$want" ]; then
    winecfg -v "$want" 9>&- >/dev/null 2>&1
    wineserver -w 9>&-
    echo "$want" > "$WINEPREFIX/.pivset-version"
  fi
fi
