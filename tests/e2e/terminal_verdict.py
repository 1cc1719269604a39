#!/usr/bin/env python3
"""The verdict line of a verification watched at a terminal.

usage: terminal_verdict.py TOOL EXAMPLES_DIR

With -V and standard error on a terminal, the run ends with one verdict line on standard error,
before the statistics block; with standard error captured by a script, nothing new appears.
"""
import os, pty, subprocess, sys

FILES = ['principals.txt', 'logic.txt', 'join.txt', 'knowledge.txt']
CASES = [
    ('nspk', ['-V', '-max', '2'],
     b'verdict: 1 attack set found (see the report); 10 finished runs verified in 2 sessions of '
     b'2 principals; the result holds for sessions of this size only\r\n'),
    ('nsl', ['-V', '-max', '2', '-f'],
     b'verdict: no attack found; 3 finished runs verified in 2 sessions of 2 principals; '
     b'the result holds for sessions of this size only\r\n'),
]


def stderr_on_terminal(tool, cwd, args):
    leader, follower = pty.openpty()
    p = subprocess.Popen([tool] + FILES + args, cwd=cwd, stdin=subprocess.DEVNULL,
                         stdout=subprocess.DEVNULL, stderr=follower)
    os.close(follower)
    err = b''
    while True:
        try:
            chunk = os.read(leader, 65536)
        except OSError:  # the terminal closes with the last writer
            break
        if not chunk:
            break
        err += chunk
    os.close(leader)
    p.wait(timeout=60)
    return err


def main():
    tool, examples = sys.argv[1], sys.argv[2]
    failures = 0
    for example, args, verdict in CASES:
        cwd = os.path.join(examples, example)
        err = stderr_on_terminal(tool, cwd, args)
        lines = err.split(b'\n')
        stats = err.find(b'\r\n\r\n-----')
        if verdict not in err or (stats >= 0 and err.find(verdict) > stats):
            failures += 1
            print(f'{example} {args}: no verdict line before the statistics in {err[-400:]!r}')
        piped = subprocess.run([tool] + FILES + args, cwd=cwd, capture_output=True,
                               stdin=subprocess.DEVNULL)
        if b'verdict:' in piped.stderr:
            failures += 1
            print(f'{example} {args}: a verdict line on a captured standard error')
    print(f'{len(CASES) - failures} passed, {failures} failed')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
