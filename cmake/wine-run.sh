#!/usr/bin/env bash
# Runs a Windows program under Wine with the build tree's own prefix.
#   wine-run.sh --prefix DIR program.exe [args...]
# Without a DISPLAY of the caller's, every program of the prefix gets the
# prefix's shared Xvfb (see wine-display.sh), windows or not.
set -u
prefix=
if [ "${1:-}" = "--prefix" ]; then prefix=$2; shift 2; fi
export WINEPREFIX=${prefix:-${WINEPREFIX:-$HOME/.wine}}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}
here=$(cd "$(dirname "$0")" && pwd)

# Tests that need another Windows version get a prefix of their own, so tests
# running side by side never see the version change under them.
if [ -n "${PIVSET_WIN_VERSION:-}" ]; then
  export WINEPREFIX="$WINEPREFIX-$PIVSET_WIN_VERSION"
fi
if [ -z "${DISPLAY:-}" ]; then
  DISPLAY=$("$here/wine-display.sh" "$WINEPREFIX") || exit 1
  export DISPLAY
fi
"$here/wine-prefix.sh" "$WINEPREFIX" ${PIVSET_WIN_VERSION:-} || exit 1
exec wine "$@"
