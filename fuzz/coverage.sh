#!/usr/bin/env bash
# The source lines of src/ that the fuzz corpora reach: builds the targets with
# llvm-cov instrumentation into fuzz/build-cov, runs each once over its corpus
# (fuzz/build/corpus/<target> and fuzz/build/seeds/<target>, left by run.sh) and
# prints llvm-cov's per-file report, whose last line is the total.
#   usage: fuzz/coverage.sh [TARGET...]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$here/build-cov"
if [ $# -eq 0 ]; then set -- principals formula knowledge driver shard; fi

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=None \
  -DFUZZ_COVERAGE=ON >/dev/null
targets=()
for name in "$@"; do targets+=("${name}_fuzzer"); done
cmake --build "$build" -j "${JOBS:-2}" --target "${targets[@]}" >/dev/null

rm -f "$build"/*.profraw
objects=()
for name in "$@"; do
  corpora=()
  for dir in "$here/build/corpus/$name" "$here/build/seeds/$name"; do
    [ -d "$dir" ] && corpora+=("$dir")
  done
  LLVM_PROFILE_FILE="$build/$name.profraw" "$build/${name}_fuzzer" -runs=0 "${corpora[@]}" \
    >/dev/null 2>&1 || echo "$name: a corpus input failed (run fuzz/run.sh for the report)"
  objects+=(-object "$build/${name}_fuzzer")
done
llvm-profdata merge -sparse "$build"/*.profraw -o "$build/all.profdata"
llvm-cov report "${objects[@]:1}" -instr-profile="$build/all.profdata" \
  -ignore-filename-regex='(/fuzz/|/usr/)'
