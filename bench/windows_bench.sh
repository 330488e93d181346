#!/usr/bin/env bash
# tidyline-cli.exe (x86_64, under wine64) against the Linux build on the same
# input in the same run: -d and -s on 4,000,000 records (about 80 MB) on
# standard input. Prints medians of RUNS runs (default 3) and the ratios
# (target: wine / Linux <= 1.5), of the wall-clock time and of the processor
# time (user + system), which a busy machine disturbs less. Wine's own start
# (about 0.3 s of processor time) is included. The Linux build also runs
# with 4 KiB pages only (bench/small_pages.py): Linux backs its large blocks
# with 2 MB pages, which a Windows program does not get (wine never, Windows
# only with the lock-pages privilege), and the random walks of the hash table
# and the gather then miss the address cache far less.
#   bash bench/windows_bench.sh [RUNS]
# Needs the host and the 64-bit Windows trees (make build-windows); the wine
# prefix lives in a temporary folder and its server is stopped at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
out=bench/out
mkdir -p "$out"
cmake --build build --target tidyline-cli >/dev/null
cmake --build build-win64 --target tidyline-cli >/dev/null
cli=$PWD/build/tidyline-cli
exe=$PWD/build-win64/tidyline-cli.exe
wine=/usr/lib/wine/wine64

if [ ! -s "$out/records.crlf" ]; then
  echo "making 4,000,000 records..." >&2
  python3 bench/make_records.py --records 4000000 --crlf "$out/records.crlf" --lf "$out/records.lf"
fi
in=$out/records.crlf
size=$(stat -c %s "$in")

export WINEPREFIX WINEDEBUG=-all LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/tidyline-bench-wine-XXXXXX")
stop() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}
trap stop EXIT
wineserver -p </dev/null >/dev/null 2>&1
"$wine" "$exe" --help </dev/null >/dev/null 2>&1 || true

# Both builds must give the same bytes before their speed means anything
# (the shuffle with the same seed too).
for args in "-d" "-s --seed 7" "-d -s --seed 7"; do
  "$cli" $args < "$in" > "$out/linux.txt"
  "$wine" "$exe" $args < "$in" > "$out/wine.txt"
  cmp -s "$out/linux.txt" "$out/wine.txt" || { echo "tidyline-cli $args: Linux and Windows builds disagree" >&2; exit 1; }
done
rm -f "$out/linux.txt" "$out/wine.txt"

results=$(python3 bench/timing.py "$runs" \
  "linux_dedupe=$cli -d < $in > /dev/null" \
  "wine_dedupe=$wine $exe -d < $in > /dev/null" \
  "linux_shuffle=$cli -s < $in > /dev/null" \
  "wine_shuffle=$wine $exe -s < $in > /dev/null" \
  "linux4k_dedupe=python3 bench/small_pages.py $cli -d < $in > /dev/null" \
  "linux4k_shuffle=python3 bench/small_pages.py $cli -s < $in > /dev/null")

echo "input: $(awk -v s="$size" 'BEGIN{printf "%.1f MB", s/1e6}'), 4,000,000 records; median of $runs runs"
echo "$results" | awk -F'\t' '
  { t[$1] = $2; c[$1] = $5; printf "  %-14s %7.3f s  (processor %7.3f s)   peak %7.1f MB\n", $1, $2, $5, $3 / 1024 }
  END {
    printf "de-duplicate  wine64 tidyline-cli.exe -d / Linux tidyline-cli -d = %.2f, processor time %.2f (target <= 1.5)\n", t["wine_dedupe"] / t["linux_dedupe"], c["wine_dedupe"] / c["linux_dedupe"]
    printf "shuffle       wine64 tidyline-cli.exe -s / Linux tidyline-cli -s = %.2f, processor time %.2f (target <= 1.5)\n", t["wine_shuffle"] / t["linux_shuffle"], c["wine_shuffle"] / c["linux_shuffle"]
    printf "with 4 KiB pages on Linux too (no transparent huge pages, as Windows programs get):\n"
    printf "de-duplicate  wine64 / Linux = %.2f, processor time %.2f\n", t["wine_dedupe"] / t["linux4k_dedupe"], c["wine_dedupe"] / c["linux4k_dedupe"]
    printf "shuffle       wine64 / Linux = %.2f, processor time %.2f\n", t["wine_shuffle"] / t["linux4k_shuffle"], c["wine_shuffle"] / c["linux4k_shuffle"]
  }'
