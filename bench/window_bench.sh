#!/usr/bin/env bash
# Paste, process and copy of 1,000,000 records (about 10 MB, half Chinese)
# in the real window under an Xvfb of its own, each step side by side with
# `LC_ALL=C sort -u` on the same records, and the longest time the window's
# loop went unserved meanwhile (bench/window_bench.py says how).
#   bash bench/window_bench.sh [ROUNDS] [PAUSE_SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-3}
pause=${2:-1}
out=${BENCH_DIR:-bench/out}
mkdir -p "$out"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target tidyline-window-bench tidyline-cli >/dev/null
cli=$PWD/build/tidyline-cli

records=$out/window_records
if [ ! -s "$records.utf8" ]; then
  echo "making 1,000,000 records..." >&2
  python3 bench/make_records.py --records 1000000 --short --crlf "$records.crlf" --lf "$records.lf"
  # The clipboard carries UTF-8 with LF and no final line break.
  iconv -f GB18030 -t UTF-8 "$records.lf" | head -c -1 > "$records.utf8"
fi
# What 复制 must give: tidyline-cli's result, as the clipboard carries it.
"$cli" -d < "$records.crlf" | iconv -f GB18030 -t UTF-8 | tr -d '\r' > "$out/window_expected.utf8"

echo "input: $(stat -c %s "$records.utf8") bytes of UTF-8, $(($(wc -l < "$records.utf8") + 1)) records;" \
  "$(($(wc -l < "$out/window_expected.utf8") + 1)) after de-duplication" >&2
python3 bench/window_bench.py build/tidyline-window-bench "$records.utf8" "$out/window_expected.utf8" "$rounds" "$pause"
