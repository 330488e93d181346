#!/usr/bin/env bash
# Side-by-side timing of tidyline-cli against the recipes a user would reach
# for instead. Prints medians of RUNS runs (default 3) and the ratios.
#   bash bench/compare.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
out=bench/out
mkdir -p "$out"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target tidyline-cli >/dev/null
cli=$PWD/build/tidyline-cli

if [ ! -s "$out/records.crlf" ]; then
  echo "making 4,000,000 records..." >&2
  python3 bench/make_records.py --records 4000000 --crlf "$out/records.crlf" --lf "$out/records.lf"
fi
in_crlf=$out/records.crlf
in_lf=$out/records.lf
size=$(stat -c %s "$in_crlf")

# The tool and the recipe must agree before their speed means anything.
"$cli" -d < "$in_crlf" | tr -d '\r' > "$out/tl.txt"
tac "$in_lf" | awk '!s[$0]++' | tac | head -c -1 > "$out/awk.txt"
cmp -s "$out/tl.txt" "$out/awk.txt" || { echo "tidyline-cli -d and the awk recipe disagree" >&2; exit 1; }

awk_recipe="tac $in_lf | awk '!s[\$0]++' | tac"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
results=$(python3 bench/timing.py "$runs" \
  "tl_dedupe=$cli -d < $in_crlf > /dev/null" \
  "awk_dedupe=$awk_recipe > /dev/null" \
  "tl_shuffle=$cli -s < $in_crlf > /dev/null" \
  "shuf=shuf $in_lf > /dev/null" \
  "tl_both=$cli -d -s < $in_crlf > /dev/null" \
  "awk_shuf=$awk_recipe | shuf > /dev/null")

echo "input: $(awk -v s="$size" 'BEGIN{printf "%.1f MB", s/1e6}'), 4,000,000 records; median of $runs runs; load average before: $load_before, after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "$results" | awk -F'\t' -v size="$size" '
  { t[$1] = $2; m[$1] = $3; printf "  %-12s %7.3f s   peak %7.1f MB\n", $1, $2, $3 / 1024 }
  END {
    printf "de-duplicate  tidyline-cli -d    / awk recipe       = %.3f (target <= 0.08)\n", t["tl_dedupe"] / t["awk_dedupe"]
    printf "shuffle       tidyline-cli -s    / shuf             = %.3f (target <= 0.5)\n", t["tl_shuffle"] / t["shuf"]
    printf "both          tidyline-cli -d -s / awk recipe|shuf  = %.3f (target <= 0.10)\n", t["tl_both"] / t["awk_shuf"]
    printf "memory        tidyline-cli -d -s peak / input       = %.2f (target <= 3)\n", m["tl_both"] * 1024 / size
  }'
