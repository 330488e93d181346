#!/usr/bin/env bash
# Runs the Windows test suite of a cross-built tree under wine64:
#   tools/windows-suite.sh BUILD_DIR [ctest arguments...]
# The prefix lives in a temporary folder; the wine server is started
# detached (it inherits the caller's streams otherwise, and ctest would wait
# for it) and stopped, for this prefix only, at the end.
# The window tests (test_win32) need an X display: TIDYLINE_TEST_DISPLAY
# names one to use; otherwise an Xvfb of our own is started on a free
# display number and stopped at the end (only that one).
set -euo pipefail
build=$(cd "$1" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)

export WINEPREFIX
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/tidyline-wine-XXXXXX")
export WINEDEBUG=-all LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
xvfb_pid=
# Every process of this prefix, found by its environment: after some test
# runs the server no longer holds the lock `wineserver -k` looks for, and
# would outlive the suite with the prefix's service processes.
prefix_processes() {
  local env pid
  for env in /proc/[0-9]*/environ; do
    pid=${env#/proc/}
    pid=${pid%/environ}
    [ "$pid" != "$$" ] || continue
    if { tr '\0' '\n' <"$env"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
      echo "$pid"
    fi
  done
  return 0
}
stop() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  local left
  left=$(prefix_processes || true)
  if [ -n "$left" ]; then
    kill -9 $left 2>/dev/null || true
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$WINEPREFIX"
}
trap stop EXIT

if [ -n "${TIDYLINE_TEST_DISPLAY:-}" ]; then
  export DISPLAY=$TIDYLINE_TEST_DISPLAY
elif command -v Xvfb >/dev/null; then
  # Xvfb picks a free number itself and writes it once it accepts clients.
  number_file="$WINEPREFIX/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$number_file" </dev/null >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 150); do
    [ -s "$number_file" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$number_file" ]; then
    echo "windows-suite: Xvfb did not report a display within 15 s" >&2
    exit 1
  fi
  export DISPLAY=":$(head -n1 "$number_file")"
else
  unset DISPLAY
fi

wineserver -p </dev/null >/dev/null 2>&1
# The first program sets the prefix up (about 5 s); every stream redirected
# so no helper keeps ours open.
"$here/wine-run.sh" "$build/tidyline-cli.exe" --help </dev/null >/dev/null 2>&1 || true
# Wine's own fonts draw the frame's buttons; Chinese comes from the host's.
if [ -d /usr/share/wine/fonts ] && [ -d "$WINEPREFIX/drive_c/windows/Fonts" ]; then
  cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
fi

cd "$build"
ctest --output-on-failure "$@" </dev/null
