#!/usr/bin/env python3
"""tool-report's time limit covers composing the sessions, not only the search.

usage: report_time_limit.py TOOL_REPORT CASE_DIR

A session size of 1000 takes minutes and gigabytes to compose; with --time-limit 2 the run must
end soon after the limit with the verdict "nothing concluded" (exit status 3). The bound below is
generous on purpose: it catches a limit that does not apply, not a slow machine.
"""
import subprocess, sys, time

BOUND = 30  # seconds


def main():
    tool, case = sys.argv[1], sys.argv[2]
    start = time.monotonic()
    try:
        p = subprocess.run([tool, case, '-max', '1000', '--time-limit', '2'], capture_output=True,
                           timeout=BOUND, stdin=subprocess.DEVNULL)
    except subprocess.TimeoutExpired:
        print(f'still running {BOUND} s after a time limit of 2 s')
        return 1
    took = time.monotonic() - start
    if p.returncode != 3 or b'Verdict: nothing concluded (time limit reached' not in p.stdout:
        print(f'status {p.returncode}, output {p.stdout[-300:]!r}, errors {p.stderr[-300:]!r}')
        return 1
    print(f'ended after {took:.1f} s')
    return 0


if __name__ == '__main__':
    sys.exit(main())
