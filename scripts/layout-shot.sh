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

# Name, left, top, width, height in twips (15 per pixel), as designed.
rects=(
  "Label5 120 0 7335 255" "txtFile 120 360 5895 270" "cmdFlashFile 6240 360 1095 375"
  "Combo1 240 840 975 300" "Check1 1800 840 615 255" "cmdstar 2880 840 1095 375"
  "cmdExit 4560 840 1095 375" "cmdWrite 6240 840 1095 375" "Text1 240 1320 7095 270"
  "Label14 240 1680 5295 735" "lblChip 360 1800 5055 255" "lblMsg 360 2160 5055 255"
  "VScroll1 5490 1680 255 735" "Picture1 6280 1920 780 780" "Text3 240 2400 5535 4335"
  "Label6 6120 3120 1095 255" "Label7 6120 3480 1335 255" "Label13 6120 4920 1335 255"
  "Command1 6000 5520 1335 150" "Label2 5880 5880 1935 495" "Label1 720 6960 2415 375"
  "Label3 4440 6960 2415 255" "Label4 4660 7260 2175 375"
)
draw=()
for r in "${rects[@]}"; do
  read -r _ l t w h <<<"$r"
  draw+=(-draw "rectangle $((l / 15)),$((t / 15)),$(((l + w) / 15 - 1)),$(((t + h) / 15 - 1))")
done
# Without a window manager the client area sits at the screen's corner.
convert "$work/shot.png" -crop 507x508+0+0 +repage -fill none -stroke magenta "${draw[@]}" -scale 200% "$out"
echo "$out"
