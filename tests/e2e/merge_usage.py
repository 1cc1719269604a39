#!/usr/bin/env python3
"""tool-merge's usage: asked for, on standard output with status 0; without any file, on standard
error with status 2.

usage: merge_usage.py TOOL_MERGE
"""
import subprocess, sys

USAGE = b'usage: tool-merge SHARD_FILE...\n'


def main():
    merge = sys.argv[1]
    # (arguments, status, standard output starts with, standard error starts with)
    cases = [(['--help'], 0, USAGE, b''), (['-h'], 0, USAGE, b''), ([], 2, b'', USAGE)]
    failures = 0
    for args, status, out, err in cases:
        p = subprocess.run([merge] + args, capture_output=True, stdin=subprocess.DEVNULL, timeout=60)
        if (p.returncode != status or not p.stdout.startswith(out) or not p.stderr.startswith(err)
                or (not out and p.stdout) or (not err and p.stderr)):
            failures += 1
            print(f'FAIL tool-merge {args}: status {p.returncode}, standard output {p.stdout!r}, '
                  f'standard error {p.stderr!r}')
    print(f'{len(cases) - failures} passed, {failures} failed')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
