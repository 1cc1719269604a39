#!/usr/bin/env python3
"""Checks that the same input always gives the same standard output.

usage: determinism.py TOOL EXAMPLES_DIR

Runs every example folder of EXAMPLES_DIR in each output mode (-T, -T -t, -V, -G 15, and none with
-f) twice and compares standard output and exit status. The second run has glibc fill every
allocation with a byte pattern (MALLOC_PERTURB_), so output that depended on uninitialised or freed
memory would differ, as would output that depended on addresses (each run has its own layout).
The session size is the one the example's README runs it with (-max N), else 2.
Prints one line per difference and "N passed, M failed"; the exit status is 1 when any run differs.
"""
import os, re, subprocess, sys

FILES = ['principals.txt', 'logic.txt', 'join.txt', 'knowledge.txt']
MODES = [['-T'], ['-T', '-t'], ['-V'], ['-G', '15'], ['-f']]
DEFAULT_SESSION_SIZE = '2'


def session_size(example):
    try:
        with open(os.path.join(example, 'README.md')) as f:
            m = re.search(r'-max (\d+)', f.read())
    except OSError:
        return DEFAULT_SESSION_SIZE
    return m.group(1) if m else DEFAULT_SESSION_SIZE


def run(tool, example, args, env):
    p = subprocess.run([tool] + FILES + args, cwd=example, capture_output=True, timeout=600,
                       stdin=subprocess.DEVNULL, env=env)
    return p.returncode, p.stdout


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    tool = os.path.abspath(sys.argv[1])
    root = os.path.abspath(sys.argv[2])
    examples = sorted(d for d in (os.path.join(root, n) for n in os.listdir(root))
                      if all(os.path.isfile(os.path.join(d, f)) for f in FILES))
    if not examples:
        print(f'no example under {root}')
        return 1
    perturbed = dict(os.environ, MALLOC_PERTURB_='165')
    passed = failed = 0
    for example in examples:
        for mode in MODES:
            args = mode + ['-max', session_size(example)]
            first = run(tool, example, args, os.environ)
            second = run(tool, example, args, perturbed)
            if first == second:
                passed += 1
            else:
                failed += 1
                print(f'FAIL {os.path.basename(example)} [{" ".join(args)}]: status {first[0]} '
                      f'then {second[0]}, {len(first[1])} then {len(second[1])} bytes of output')
    print(f'{passed} passed, {failed} failed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
