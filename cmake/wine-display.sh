#!/usr/bin/env bash
# Prints a DISPLAY for the Wine prefix given as $1, starting a private Xvfb
# with a compositing manager when the prefix has none running yet.
#
# Every program of a prefix must see the same display: the prefix's desktop
# process takes the display of the program that started it, and a program
# started without one makes every later window creation fail. So all tests
# of a build tree share one Xvfb that outlives them; `wine-display.sh DIR stop`
# ends it.
set -u
prefix=$1
state="$prefix.display"
mkdir -p "$(dirname "$prefix")"
exec 8>"$state.lock"
flock 8
if [ "${2:-}" = "stop" ]; then
  if [ -f "$state.pids" ]; then kill $(cat "$state.pids") 2>/dev/null; fi
  rm -f "$state" "$state.pids"
  exit 0
fi
if [ -f "$state" ] && xdpyinfo -display ":$(cat "$state")" >/dev/null 2>&1; then
  echo ":$(cat "$state")"
  exit 0
fi
rm -f "$state" "$state.pids"
fifo=$(mktemp -u)
mkfifo "$fifo"
setsid Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp 9>"$fifo" 8>&- >/dev/null 2>&1 < /dev/null &
xvfb=$!
read -r -t 20 number < "$fifo"
rm -f "$fifo"
if [ -z "${number:-}" ]; then
  kill "$xvfb" 2>/dev/null
  echo "wine-display: Xvfb did not start" >&2
  exit 1
fi
# Layered windows need a compositing manager for their per-pixel alpha.
DISPLAY=":$number" setsid xcompmgr 8>&- >/dev/null 2>&1 < /dev/null &
echo "$xvfb $!" > "$state.pids"
echo "$number" > "$state"
echo ":$number"
