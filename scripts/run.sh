#!/usr/bin/env bash
# Starts the virtual target linked as COM1 in the program folder, then the window; the target stops with it.
set -euo pipefail
bin=$(cd "${1:?program folder}" && pwd)

# First run: make the virtual target the default port.
[ -f "$bin/info.ini" ] || printf '[System]\nComm=COM1\nstyle=0\n' >"$bin/info.ini"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found (DISPLAY/WAYLAND_DISPLAY unset): the window needs a desktop session." >&2
  exit 1
fi

# The target keeps the terminal's input (Enter powers it on again) and prints its transcript there.
echo "Virtual target on COM1, paced like a 9600-baud line; it rejects a few pages on purpose so that resends show." >&2
"$bin/corvat-virtual-target" --pace --link "$bin/ports/COM1" --expect "$bin/demo.bin" --reject 2x1 --reject 5x2 <&0 &
target=$!
trap 'kill "$target" 2>/dev/null || true; wait "$target" 2>/dev/null || true' EXIT
# Started from its folder, so that the open-file dialog shows the demo images first.
cd "$bin"
./corvat
