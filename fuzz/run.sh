#!/usr/bin/env bash
# Builds the fuzz targets and runs each of them for SECONDS (default 60), JOBS
# (default 2) at a time, starting from the seed corpora of fuzz/seeds/ and those
# made of the input files of examples/ and tests/e2e/ (and of the case folders
# listed in FUZZ_EXTRA_CASES, if any). Fails when a target finds a crash, a sanitizer report, an input slower
# than FUZZ_TIMEOUT seconds (default 30) or one that exhausts memory; the
# reproducer is left in fuzz/build/artifacts/. With FUZZ_BINARIES set, the targets
# are taken from that folder (a build of the project with BUILD_FUZZERS) instead.
#   usage: fuzz/run.sh [SECONDS] [TARGET...]
# targets: principals formula knowledge driver shard report command_line (the
# last two need tool-report's libraries)
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(dirname "$here")"
build="$here/build"
seconds="${1:-60}"
shift $(($# > 0 ? 1 : 0))
if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=(principals formula knowledge driver shard report command_line)
fi

if [ -n "${FUZZ_BINARIES:-}" ]; then
  binaries="$(cd "$FUZZ_BINARIES" && pwd)" || exit 1
else
  "$here/build.sh" "${targets[@]}" || exit 1
  binaries="$build"
fi

rm -rf "$build/seeds"
# shellcheck disable=SC2086 # FUZZ_EXTRA_CASES is a list of folders
python3 "$here/make_seeds.py" "$build/seeds" "$repo/examples" "$repo/tests/e2e" \
  ${FUZZ_EXTRA_CASES:-} || exit 1
mkdir -p "$build/artifacts" "$build/logs"
rm -f "$build"/logs/*.status

# Each target runs in the background, JOBS (default 2) at a time; their reports
# are read in target order once all have run.
run_target() {
  local target=$1
  mkdir -p "$build/corpus/$target" "$build/seeds/$target"
  "$binaries/${target}_fuzzer" -max_total_time="$seconds" -timeout="${FUZZ_TIMEOUT:-30}" \
    -rss_limit_mb=2048 -print_final_stats=1 -dict="$here/protocol.dict" \
    -artifact_prefix="$build/artifacts/$target-" "$build/corpus/$target" "$build/seeds/$target" \
    "$here/seeds/$target" \
    >"$build/logs/$target.log" 2>&1
  echo $? >"$build/logs/$target.status"
}
for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "${JOBS:-2}" ]; do wait -n; done
  run_target "$target" &
done
wait

passed=0
failed=0
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  log="$build/logs/$target.log"
  status=$(cat "$build/logs/$target.status" 2>/dev/null || echo "unknown")
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
  rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$')
  edges=$(sed -n 's/.*(\([0-9]*\) inline 8-bit counters).*/\1/p' "$log" | head -1)
  coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1)
  corpus_size=$(find "$corpus" -type f | wc -l)
  if [ "$status" = 0 ]; then
    passed=$((passed + 1))
    echo "fuzz $target: ok, ${runs:-?} inputs run in ${seconds}s (${rate:-?}/s)," \
      "${coverage:-cov: ?} of ${edges:-?} edges, corpus $corpus_size"
  else
    failed=$((failed + 1))
    echo "fuzz $target: FAILED (status $status) after ${runs:-?} inputs; log: $log"
    grep -E '^(==[0-9]+==|SUMMARY|ALARM|MS:|artifact_prefix|Test unit written|.*runtime error)' \
      "$log" | head -20
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
