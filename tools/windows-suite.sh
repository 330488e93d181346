#!/usr/bin/env bash
# Runs the Windows test suite of a cross-built tree under wine64:
#   tools/windows-suite.sh BUILD_DIR [ctest arguments...]
# The prefix lives in a temporary folder; the wine server is started
# detached (it inherits the caller's streams otherwise, and ctest would wait
# for it) and stopped, for this prefix only, at the end.
set -euo pipefail
build=$(cd "$1" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)

export WINEPREFIX
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/tidyline-wine-XXXXXX")
export WINEDEBUG=-all LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
stop() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}
trap stop EXIT

wineserver -p </dev/null >/dev/null 2>&1
# The first program sets the prefix up (about 5 s); every stream redirected
# so no helper keeps ours open.
"$here/wine-run.sh" "$build/tidyline-cli.exe" --help </dev/null >/dev/null 2>&1 || true

cd "$build"
ctest --output-on-failure "$@" </dev/null
