#!/usr/bin/env bash
# Two builds of tidyline-cli side by side in one run (a change against the
# build it started from): the inputs of compare.sh and compare_files.sh,
# medians of RUNS runs (default 3), new/old ratios and peak memory.
#   bash bench/compare_builds.sh OLD_CLI NEW_CLI [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
old=$(realpath "$1")
new=$(realpath "$2")
runs=${3:-3}
out=$PWD/bench/out
mkdir -p "$out/files/big"
if [ ! -s "$out/records.crlf" ]; then
  python3 bench/make_records.py --records 4000000 --crlf "$out/records.crlf" --lf "$out/records.lf"
fi
big=$out/files/big/big.txt
many=$out/files/many
[ -s "$big" ] || python3 bench/make_file_fixtures.py big "$big" 100
[ -d "$many" ] || python3 bench/make_file_fixtures.py many "$many" 2000 20
in=$out/records.crlf

# Both builds must give the same bytes before their speed means anything.
for args in "-d" "-d -s --seed 7"; do
  cmp -s <("$old" $args < "$in") <("$new" $args < "$in") || { echo "the builds disagree on $args" >&2; exit 1; }
done
cmp -s <("$old" -d < "$big") <("$new" -d < "$big") || { echo "the builds disagree on UTF-8 input" >&2; exit 1; }

cmds=()
for side in old new; do
  tool=${!side}
  cmds+=("${side}_dedupe=$tool -d < $in > /dev/null"
         "${side}_shuffle=$tool -s < $in > /dev/null"
         "${side}_both=$tool -d -s < $in > /dev/null"
         "${side}_utf8_stdin=$tool -d < $big > /dev/null"
         "${side}_big_file=$tool -d $big 2>/dev/null"
         "${side}_2000_files=$tool -d --folder $many 2>/dev/null")
done
results=$(python3 bench/timing.py "$runs" "${cmds[@]}")
echo "old: $old"
echo "new: $new"
echo "medians of $runs runs, interleaved: wall-clock and processor (user + system) seconds; MB = peak resident set"
echo "$results" | awk -F'\t' '
  { split($1, p, "_"); side = p[1]; case_ = substr($1, length(side) + 2)
    t[side, case_] = $2; m[side, case_] = $3; c[side, case_] = $5; if (!(case_ in seen)) { seen[case_] = 1; order[n++] = case_ } }
  END {
    printf "%-12s %8s %8s %7s  %9s %9s %7s  %8s %8s\n", "case", "old s", "new s", "new/old",
           "old cpu s", "new cpu s", "new/old", "old MB", "new MB"
    for (i = 0; i < n; i++) { k = order[i]
      printf "%-12s %8.3f %8.3f %7.3f  %9.3f %9.3f %7.3f  %8.1f %8.1f\n", k, t["old", k], t["new", k],
             t["new", k] / t["old", k], c["old", k], c["new", k], c["new", k] / c["old", k],
             m["old", k] / 1024, m["new", k] / 1024 }
  }'
