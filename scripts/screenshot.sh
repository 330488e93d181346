#!/usr/bin/env bash
# Takes the README's screenshot: the window as it opens, under an Xvfb and
# openbox of its own, from a temporary copy of the program (so no
# Tidyline.ini is left beside the build). Needs xvfb, openbox, xdotool and
# imagemagick; for a Windows tree (one holding tidyline.exe, the x86_64
# build) also wine64 and fonts-wine: it then runs in a wine prefix of its own
# (code page 936), with wine drawing the Windows frame itself.
#   bash scripts/screenshot.sh [BUILD_DIR] [OUT_PNG]
#   bash scripts/screenshot.sh build-win64        # docs/screenshot-windows.png
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
windows=
[ -f "$build/tidyline.exe" ] && windows=1
out=${2:-docs/screenshot${windows:+-windows}.png}
title="Tidyline v1.20"
tmp=$(mktemp -d)
pids=()
cleanup() {
  if [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  fi
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
if [ -n "$windows" ]; then
  export WINEPREFIX=$tmp/prefix WINEDEBUG=-all LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir "$WINEPREFIX"
  wineserver -p </dev/null >/dev/null 2>&1
  /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
  # Wine draws the caption and border as Windows does (not openbox's frame);
  # its caption buttons need wine's own fonts (fonts-wine), which Debian's
  # wine does not load from their folder.
  cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f </dev/null >/dev/null 2>&1
  cp "$build/tidyline.exe" "$tmp/prog/"
  /usr/lib/wine/wine64 "Z:${tmp//\//\\}\\prog\\tidyline.exe" </dev/null >/dev/null 2>&1 &
  pids+=($!)
  # Bounds of the waits below, in tenths of a second: wine starts slower.
  appear=600 settle=200
  crop=650x380+186+240
else
  cp "$build/tidyline" "$tmp/prog/"
  "$tmp/prog/tidyline" &
  pids+=($!)
  appear=200 settle=100
  crop=660x390+182+240
fi
for _ in $(seq "$appear"); do
  [ "$(xdotool getactivewindow getwindowname 2>/dev/null)" = "$title" ] && break
  sleep 0.1
done
[ "$(xdotool getactivewindow getwindowname 2>/dev/null)" = "$title" ] ||
  { echo "screenshot: the window did not appear" >&2; exit 1; }
# The banner slides; wait for the rest to be drawn (the window below the
# banner is the same in two looks).
prev=
for _ in $(seq "$settle"); do
  cur=$(import -window root -crop "$crop" -depth 8 rgb:- | md5sum)
  [ "$cur" = "$prev" ] && break
  prev=$cur
  sleep 0.1
done
mkdir -p "$(dirname "$out")"
# The outer rectangle: centred on the 1024x768 screen.
import -window root -crop 662x521+181+123 +repage "$out"
echo "screenshot: $out"
