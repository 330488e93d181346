#!/usr/bin/env bash
# Runs each libFuzzer target for a while on a working copy of its committed
# corpus (the committed seeds stay small and hand-picked) and prints the
# coverage it reached. A crash, sanitizer report or difference leaves its
# input in BUILD/artifacts/<target>/; copy it into tests/fuzz/regressions/<target>/
# once mended, so test_fuzz replays it for good.
# Usage: fuzz.sh BUILD_DIR SECONDS [TARGET...]
set -uo pipefail
build=${1:?build dir}
seconds=${2:-60}
shift 2 || true
root=$(cd "$(dirname "$0")/.." && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$root"/tests/fuzz/targets/*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
failed=()
printf '%-18s %8s %10s %8s %s\n' target seconds execs cov result
for t in "${targets[@]}"; do
  work="$build/corpus/$t"
  art="$build/artifacts/$t/"
  log="$build/logs/$t.log"
  mkdir -p "$work" "$art" "$(dirname "$log")"
  start=$(date +%s)
  # One process per target, one at a time; the reference algorithms are
  # quadratic on purpose, so inputs stay small.
  "$build/fuzz_$t" -max_total_time="$seconds" -max_len=4096 -timeout=20 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$art" \
    "$work" "$root/tests/fuzz/corpus/$t" \
    $( [ -d "$root/tests/fuzz/regressions/$t" ] && echo "$root/tests/fuzz/regressions/$t" ) >"$log" 2>&1
  rc=$?
  took=$(( $(date +%s) - start ))
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | awk '{print $2}')
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | awk '{print $2}')
  if [ $rc -eq 0 ]; then result=clean; else result="FAILED (see $log)"; failed+=("$t"); fi
  printf '%-18s %8s %10s %8s %s\n' "$t" "$took" "${execs:-?}" "${cov:-?}" "$result"
done
[ ${#failed[@]} -eq 0 ] || { echo "fuzz: failures in ${failed[*]}" >&2; exit 1; }
