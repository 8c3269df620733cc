#!/usr/bin/env bash
# Runs a Windows test program under Wine with the build tree's own prefix.
#   wine-run.sh --prefix DIR program.exe [args...]
# PIVSET_DISPLAY=1 gives the program a display: the caller's, or a private
# Xvfb with a compositing manager (layered windows need one for their alpha).
set -u
prefix=
if [ "${1:-}" = "--prefix" ]; then prefix=$2; shift 2; fi
export WINEPREFIX=${prefix:-${WINEPREFIX:-$HOME/.wine}}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
here=$(cd "$(dirname "$0")" && pwd)

# Tests that need another Windows version get a prefix of their own, so tests
# running side by side never see the version change under them.
if [ -n "${PIVSET_WIN_VERSION:-}" ]; then
  export WINEPREFIX="$WINEPREFIX-$PIVSET_WIN_VERSION"
fi
"$here/wine-prefix.sh" "$WINEPREFIX" ${PIVSET_WIN_VERSION:-} || exit 1

if [ "${PIVSET_DISPLAY:-0}" = "1" ] && [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    xcompmgr >/dev/null 2>&1 & comp=$!
    wine "$@"; rc=$?
    kill $comp 2>/dev/null
    exit $rc' wine-run "$@"
fi
exec wine "$@"
