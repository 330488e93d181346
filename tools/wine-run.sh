#!/usr/bin/env bash
# Runs a Windows program of the x86_64 build under wine64 with the ANSI code
# page 936 (zh_CN.UTF-8). The test command (tools/windows-suite.sh) sets up
# WINEPREFIX in a temporary folder and starts and stops the wine server;
# without one this refuses rather than touch the user's own prefix.
set -euo pipefail
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine-run: WINEPREFIX is not set (run through tools/windows-suite.sh)" >&2
  exit 125
fi
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 WINEDEBUG=-all
exec /usr/lib/wine/wine64 "$@"
