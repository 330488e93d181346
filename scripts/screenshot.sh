#!/usr/bin/env bash
# Takes docs/screenshot.png: the window as it opens, under an Xvfb and openbox
# of its own, from a temporary copy of build/tidyline (so no Tidyline.ini is
# left beside the build). Needs xvfb, openbox, xdotool and imagemagick.
#   bash scripts/screenshot.sh [BUILD_DIR] [OUT_PNG]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-docs/screenshot.png}
tmp=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$tmp"
}
trap cleanup EXIT

# Xvfb picks a free display and writes its number on fd 3 once it is ready.
exec 3>"$tmp/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 200); do [ -s "$tmp/display" ] && break; sleep 0.05; done
[ -s "$tmp/display" ] || { echo "screenshot: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$tmp/display")
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 200); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.05; done

mkdir "$tmp/prog"
cp "$build/tidyline" "$tmp/prog/"
"$tmp/prog/tidyline" &
pids+=($!)
for _ in $(seq 200); do
  [ "$(xdotool getactivewindow getwindowname 2>/dev/null)" = "Tidyline v1.20" ] && break
  sleep 0.05
done
[ "$(xdotool getactivewindow getwindowname 2>/dev/null)" = "Tidyline v1.20" ] ||
  { echo "screenshot: the window did not appear" >&2; exit 1; }
# The banner slides; wait for the rest to be drawn (a frame of the window is
# the same in two looks, apart from the banner strip).
prev=
for _ in $(seq 100); do
  cur=$(import -window root -crop 660x390+182+240 -depth 8 rgb:- | md5sum)
  [ "$cur" = "$prev" ] && break
  prev=$cur
  sleep 0.1
done
mkdir -p "$(dirname "$out")"
import -window root -crop 662x521+181+123 +repage "$out"
echo "screenshot: $out"
