#!/usr/bin/env bash
# Builds the fuzz targets into fuzz/build (clang++ with libFuzzer, ASan and
# UBSan), separately from the project's gcc build.
#   usage: fuzz/build.sh [TARGET...]   (default: every target)
# Needs clang++ and its runtime (Debian packages clang and libclang-rt-14-dev).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$here/build"

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=None >/dev/null
if [ $# -eq 0 ]; then set -- principals formula knowledge driver shard report command_line; fi
targets=()
for name in "$@"; do targets+=("${name}_fuzzer"); done
cmake --build "$build" -j "${JOBS:-2}" --target "${targets[@]}"
