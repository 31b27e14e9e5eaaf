#!/usr/bin/env bash
# Takes the README's and the software centre's picture: the window half way through a download of demo.bin
# to the paced virtual target, driven with the mouse and keyboard as an operator would, under Xvfb.
# scripts/screenshot.sh [build] [out.png]   (needs xvfb, x11-utils, xdotool and imagemagick)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
out=$(realpath -m "${2:-docs/screenshot.png}")
for tool in Xvfb xdpyinfo xdotool import; do
  command -v "$tool" >/dev/null || { echo "missing $tool: apt-get install xvfb x11-utils xdotool imagemagick" >&2; exit 1; }
done

work=$(mktemp -d /tmp/corvat-XXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cp -r "$build/bin/." "$work/"
printf '[System]\nComm=COM1\nstyle=0\n' >"$work/info.ini"

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 640x560x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# A few resends on the way, as the README's session shows them.
"$work/corvat-virtual-target" --pace --link "$work/ports/COM1" --expect "$work/demo.bin" \
  --reject 2x1 --reject 5x2 --transcript "$work/transcript.txt" </dev/null &
pids+=($!)
(cd "$work" && exec ./corvat) &
pids+=($!)

wait_for() { # seconds, command...: until the command succeeds
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do [ $SECONDS -lt $deadline ] || { echo "timed out: $*" >&2; exit 1; }; sleep 0.2; done
}
window_named() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
transcript_has() { grep -q -- "$1" "$work/transcript.txt" 2>/dev/null; }
# Without a window manager the window's client area sits at the screen's corner; the points are the
# centres of the buttons as designed (twips / 15).
click() { xdotool mousemove "$1" "$2" click 1; }

wait_for 20 window_named "Corvat - Program Loader"
click 452 36                                   # 程序加载
wait_for 10 window_named "程序加载"
sleep 0.5
xdotool type --delay 20 "demo.bin"
xdotool key Return
sleep 1
click 228 68                                   # 联 机
wait_for 10 transcript_has "tx 67 'g'"         # the identification went out
sleep 1
click 452 68                                   # 下 载
wait_for 20 transcript_has "page 22 "
mkdir -p "$(dirname "$out")"
import -window root -crop 507x508+0+0 +repage "$out"
echo "$out"
