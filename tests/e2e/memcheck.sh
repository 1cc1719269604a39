#!/usr/bin/env bash
# Runs the analyser under valgrind's memcheck on the Needham-Schroeder public-key
# example: a verification run, a text-trace run, and runs that stop at a syntax
# error and at nesting too deep to accept (the failure paths unwind the parsers'
# partial results). Any memory error or leak fails; so does an unexpected exit
# status. Exits 77 (skipped) when valgrind is not installed.
#   usage: memcheck.sh TOOL
set -uo pipefail
tool="$(realpath "$1")"
example="$(cd "$(dirname "$0")/../../examples/nspk" && pwd)"
if ! command -v valgrind >/dev/null; then
  echo "valgrind not found: skipped"
  exit 77
fi

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cp "$example"/{principals,logic,join,knowledge}.txt "$scratch"
printf 'I_0, (I_0+ ;\n' >"$scratch/broken.txt"
python3 -c "print('A : () [ out(' + '(' * 3000 + ') ] ;')" >"$scratch/deep.txt"

passed=0
failed=0
# check STATUS ARGS...: memcheck on the analyser with ARGS, which must exit with STATUS.
check() {
  local want=$1
  shift
  (cd "$scratch" && valgrind --quiet --leak-check=full --error-exitcode=1 --soname-synonyms=somalloc=*jemalloc* \
    --errors-for-leak-kinds=definite,indirect,possible "$tool" "$@" >/dev/null 2>"$scratch/log")
  local got=$?
  if [ "$got" -eq "$want" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL [$*]: status $got, expected $want (1: memcheck found errors)"
    cat "$scratch/log"
  fi
}

check 0 principals.txt logic.txt join.txt knowledge.txt -V -max 2
check 0 principals.txt logic.txt join.txt knowledge.txt -T -max 2
check 2 principals.txt logic.txt join.txt broken.txt -V -max 2
check 2 deep.txt logic.txt join.txt knowledge.txt -V -max 2
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
