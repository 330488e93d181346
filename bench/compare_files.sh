#!/usr/bin/env bash
# Side-by-side timing of the file batch against the awk recipe a user would
# run per file. Prints medians of RUNS runs (default 3), ratios and peak memory.
#   bash bench/compare_files.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
out=$PWD/bench/out/files
mkdir -p "$out"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target tidyline-cli >/dev/null
tool=$PWD/build/tidyline-cli

big=$out/big/big.txt
many=$out/many
if [ ! -s "$big" ]; then
  mkdir -p "$out/big"
  echo "making a 100 MB UTF-8 file..." >&2
  python3 bench/make_file_fixtures.py big "$big" 100
fi
if [ ! -d "$many" ]; then
  echo "making 2000 files of 20 KB..." >&2
  python3 bench/make_file_fixtures.py many "$many" 2000 20
fi
size=$(stat -c %s "$big")

# The engine and the recipe must keep the same records before their speed
# means anything (the result is UTF-8 with a mark added).
"$tool" -d "$big" 2>/dev/null
tail -c +4 "$out/big/保存目录/big.txt" | tr -d '\r' | sort | md5sum > "$out/tl.sum"
tac "$big" | awk '!s[$0]++' | tac | tr -d '\r' | sort | md5sum > "$out/awk.sum"
cmp -s "$out/tl.sum" "$out/awk.sum" || { echo "the engine and the awk recipe disagree" >&2; exit 1; }

mkdir -p "$out/loop"
cat > "$out/loop.sh" <<LOOP
for f in $many/*.txt; do tac "\$f" | awk '!s[\$0]++' | tac > $out/loop/\${f##*/}; done
LOOP
results=$(python3 bench/timing.py "$runs" \
  "tl_big=$tool -d $big 2>/dev/null" \
  "awk_big=tac $big | awk '!s[\$0]++' | tac > /dev/null" \
  "tl_many=$tool -d --folder $many 2>/dev/null" \
  "awk_many=sh $out/loop.sh")

echo "tool: ${tool##*/}; median of $runs runs"
echo "$results" | awk -F'\t' -v size="$size" '
  { t[$1] = $2; m[$1] = $3; printf "  %-10s %7.3f s   peak %7.1f MB\n", $1, $2, $3 / 1024 }
  END {
    printf "100 MB file   tl -d FILE / awk recipe          = %.3f (target <= 0.20)\n", t["tl_big"] / t["awk_big"]
    printf "2000 files    tl -d --folder / awk shell loop  = %.3f (target <= 0.10)\n", t["tl_many"] / t["awk_many"]
    printf "memory        tl -d FILE peak / file size      = %.2f (target <= 4)\n", m["tl_big"] * 1024 / size
  }'
