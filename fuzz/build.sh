#!/usr/bin/env bash
# Builds the fuzz targets into fuzz/build: the project configured as CI's
# sanitizer build is (clang++ with libFuzzer, ASan and UBSan, BUILD_FUZZERS),
# separately from the project's gcc build.
#   usage: fuzz/build.sh [TARGET...]   (default: every target)
# Needs clang++ and its runtime (Debian packages clang and libclang-rt-14-dev);
# the report and command_line targets need tool-report's libraries too.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$here/build"

cmake -S "$here/.." -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=None \
  -DCMAKE_CXX_FLAGS="-O1 -gline-tables-only" -DENABLE_SANITIZERS=ON -DBUILD_FUZZERS=ON \
  -DCMAKE_UNITY_BUILD=ON >/dev/null
if [ $# -eq 0 ]; then set -- principals formula knowledge driver shard report command_line; fi
targets=()
for name in "$@"; do targets+=("${name}_fuzzer"); done
cmake --build "$build" -j "${JOBS:-2}" --target "${targets[@]}"
