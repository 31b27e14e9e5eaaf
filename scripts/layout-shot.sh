#!/usr/bin/env bash
# Screenshots the window under Xvfb and draws the designed rectangle of each control over it (magenta),
# so that the layout can be compared by eye: scripts/layout-shot.sh [build] [out.png]
# Needs xvfb and imagemagick (apt-get install xvfb imagemagick).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
out=$(realpath -m "${2:-layout.png}")
for tool in xvfb-run import convert; do
  command -v "$tool" >/dev/null || { echo "missing $tool: apt-get install xvfb imagemagick" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$build/bin/." "$work/"
printf '[System]\nComm=COM1\nstyle=0\n' >"$work/info.ini"

xvfb-run -a -s "-screen 0 640x640x24" bash -c "cd '$work' && (./corvat & sleep 3; import -window root '$work/shot.png'; kill %1)"

# Name, left, top, width, height in twips (15 per pixel), from the program's own design table.
mapfile -t rects < <("$build/tools/layout-table/print_layout")
[ ${#rects[@]} -gt 0 ] || { echo "no design rows: build the print_layout target in $build" >&2; exit 1; }
draw=()
for r in "${rects[@]}"; do
  read -r _ l t w h <<<"$r"
  draw+=(-draw "rectangle $((l / 15)),$((t / 15)),$(((l + w) / 15 - 1)),$(((t + h) / 15 - 1))")
done
# Without a window manager the client area sits at the screen's corner.
convert "$work/shot.png" -crop 507x508+0+0 +repage -fill none -stroke magenta "${draw[@]}" -scale 200% "$out"
echo "$out"
