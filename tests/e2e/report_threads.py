#!/usr/bin/env python3
"""Checks that tool-report on several threads writes exactly what it writes on one.

usage: report_threads.py TOOL_REPORT EXAMPLES_DIR

Runs tool-report on every example folder of EXAMPLES_DIR at -max 2 and 3, with the reductions and
with --exhaustive, on 1 thread (TOOL_THREADS=1) and on 2 and 5 threads. The verdict on standard
output, the standard error, the exit status and the JSON and HTML reports must be the same, but for
the time figures of the JSON and HTML statistics.
Prints one line per difference and "N passed, M failed"; the exit status is 1 when any run differs.
"""
import os, re, subprocess, sys, tempfile

TIMES = [re.compile(rb'"[a-z_]*seconds": [-0-9.e+]*'),
         re.compile(rb'<tr><th>[A-Za-z ]* time \(s\)</th><td>[0-9.]*</td></tr>')]


def without_times(data):
    for pattern in TIMES:
        data = pattern.sub(b'', data)
    return data


def analysed(tool, example, args, threads, scratch):
    json, html = os.path.join(scratch, 'r.json'), os.path.join(scratch, 'r.html')
    p = subprocess.run([tool, example] + args + ['--json', json, '--html', html],
                       capture_output=True, timeout=600, stdin=subprocess.DEVNULL,
                       env=dict(os.environ, TOOL_THREADS=str(threads)))
    reports = []
    for path in (json, html):
        if os.path.exists(path):
            with open(path, 'rb') as f:
                reports.append(without_times(f.read()))
            os.remove(path)
    return p.returncode, p.stdout, p.stderr, reports


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    tool = os.path.abspath(sys.argv[1])
    root = os.path.abspath(sys.argv[2])
    examples = sorted(os.path.join(root, n) for n in os.listdir(root)
                      if os.path.isfile(os.path.join(root, n, 'principals.txt')))
    passed = failed = 0
    with tempfile.TemporaryDirectory() as scratch:
        for example in examples:
            for args in (['-max', '2'], ['-max', '3'], ['-max', '3', '--exhaustive']):
                one = analysed(tool, example, args, 1, scratch)
                for threads in (2, 5):
                    got = analysed(tool, example, args, threads, scratch)
                    if got == one:
                        passed += 1
                    else:
                        failed += 1
                        what = [n for n, a, b in zip(('status', 'verdict', 'stderr', 'reports'), got, one)
                                if a != b]
                        print(f'FAIL {os.path.basename(example)} {" ".join(args)} on {threads} '
                              f'threads: {", ".join(what)} differ')
    print(f'{passed} passed, {failed} failed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
