#!/usr/bin/env bash
# External mode side by side with `LC_ALL=C sort -u -S MEMORY` (which loses
# the order) and `shuf`, on MB megabytes of ~20-byte records, half of them
# repeats, with tidyline-cli --memory MEMORY. The full-size run is 2000 MB
# (100 million records) with 256M; smaller runs keep the same
# input-to-budget ratio (MB/8). The input and the temporary files go to
# BENCH_DIR (default bench/out), which needs about 4 x MB of free space.
#   bash bench/compare_external.sh [MB] [MEMORY] [RUNS]
#   BENCH_DIR=/big/disk bash bench/compare_external.sh 2000 256M
set -euo pipefail
cd "$(dirname "$0")/.."
mb=${1:-200}
memory=${2:-$((mb * 1000 / 8 / 1024))M}
runs=${3:-1}
out=${BENCH_DIR:-bench/out}
mkdir -p "$out"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target tidyline-cli >/dev/null
cli=$PWD/build/tidyline-cli
input=$out/external_${mb}mb.txt
tmp=$out/tmp
mkdir -p "$tmp"

need=$((mb * 4))  # input, spill files and outputs, in MB
free=$(df -Pm "$out" | awk 'NR==2 {print $4}')
if [ "$free" -lt "$need" ]; then
  echo "skipped: $out has ${free} MB free, needs about ${need} MB" >&2
  exit 0
fi
if [ ! -s "$input" ]; then
  echo "making $mb MB of records..." >&2
  records=$((mb * 1000000 / 20))
  awk -v n="$records" 'BEGIN { srand(1); for (i = 0; i < n; i++) {
      k = (rand() < 0.5) ? int(rand() * n / 4) : n + i; printf "record-%012d\n", k } }' > "$input"
fi
size=$(stat -c %s "$input")

# Agreement first: external and in-memory de-duplication give one result
# (in memory takes about three times the input).
available=$(awk '/^MemAvailable:/ {print int($2 / 1024)}' /proc/meminfo)
if [ "$available" -ge $((size * 3 / 1048576)) ]; then
  "$cli" -d --memory "$memory" --temp-dir "$tmp" < "$input" | md5sum > "$out/ext.md5"
  "$cli" -d < "$input" | md5sum > "$out/mem.md5"
  cmp -s "$out/ext.md5" "$out/mem.md5" || { echo "external and in-memory results differ" >&2; exit 1; }
else
  echo "agreement check skipped: ${available} MB of memory available, the in-memory run needs about $((size * 3 / 1048576)) MB" >&2
fi

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
results=$(python3 bench/timing.py "$runs" \
  "tl_dedupe=$cli -d --memory $memory --temp-dir $tmp < $input > /dev/null" \
  "sort_u=env LC_ALL=C sort -u -S $memory -T $tmp $input > /dev/null" \
  "tl_shuffle=$cli -s --memory $memory --temp-dir $tmp < $input > /dev/null" \
  "shuf=shuf $input > /dev/null")
echo "input: $(awk -v s="$size" 'BEGIN{printf "%.1f MB", s/1e6}'), --memory $memory; median of $runs runs; load average before: $load_before, after: $(cut -d' ' -f1-3 /proc/loadavg)"
budget_mb=$(awk -v m="$memory" 'BEGIN { u = substr(m, length(m)); v = m + 0
  if (u == "G") v *= 1024; else if (u == "K") v /= 1024; else if (u != "M") v /= 1048576; print v }')
echo "$results" | awk -F'\t' -v mem="$memory" -v budget="$budget_mb" '
  { t[$1] = $2; m[$1] = $3; printf "  %-12s %8.2f s   peak %8.1f MB\n", $1, $2, $3 / 1024 }
  END {
    printf "de-duplicate  tidyline-cli -d / sort -u = %.2f (target <= 3)\n", t["tl_dedupe"] / t["sort_u"]
    printf "shuffle       tidyline-cli -s / shuf    = %.2f (target <= 1.5)\n", t["tl_shuffle"] / t["shuf"]
    peak = m["tl_dedupe"] > m["tl_shuffle"] ? m["tl_dedupe"] : m["tl_shuffle"]
    printf "memory        tidyline-cli peak         = %.1f MB (target <= %.0f MB, the budget + 32 MB)\n", peak / 1024, budget + 32
  }'
