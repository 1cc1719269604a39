#!/usr/bin/env python3
"""Output that cannot be written does not pass for success: the analyser, tool-merge and, when
given, tool-report with standard output or standard error on /dev/full (a device on which every
write fails, the disk full) end with status 2.

usage: lost_output.py TOOL TOOL_MERGE EXAMPLES_DIR [TOOL_REPORT]

Standard output lost is reported on standard error; standard error lost cannot be reported.
tool-report stops at the first write that fails: after a lost warning it writes no verdict.
"""
import os, subprocess, sys, tempfile

from run_e2e import FILES
from shard_runs import shard_env, write_shards

RUN = ['-V', '-f', '-max', '2']
NO_SPACE = b'Fatal error: exception Sys_error("No space left on device")\n'


def run(command, cwd, full, env=None):
    """Runs command with the stream `full` ('stdout' or 'stderr') on /dev/full; the status and
    what the other stream received."""
    with open('/dev/full', 'wb') as device:
        streams = {'stdout': subprocess.PIPE, 'stderr': subprocess.PIPE, full: device}
        p = subprocess.run(command, cwd=cwd, env=env, stdin=subprocess.DEVNULL, timeout=120,
                           **streams)
    return p.returncode, p.stderr if full == 'stdout' else p.stdout


def main():
    tool, merge, examples = (os.path.abspath(a) for a in sys.argv[1:4])
    report = os.path.abspath(sys.argv[4]) if len(sys.argv) > 4 else None
    example = os.path.join(examples, 'nspk')
    with tempfile.TemporaryDirectory() as folder:
        shards = write_shards(tool, example, RUN, folder)
        whole = subprocess.run([tool] + FILES + RUN, cwd=example, capture_output=True,
                               stdin=subprocess.DEVNULL).stdout
        # (what, command, environment, the stream on /dev/full, how the other stream ends, or
        # None when it must stay empty)
        cases = [
            ('analyser, statistics lost', [tool] + FILES + RUN, None, 'stderr', whole),
            ('analyser, results lost', [tool] + FILES + RUN, None, 'stdout', NO_SPACE),
            ('analyser, usage lost', [tool, '-h'], None, 'stdout', NO_SPACE),
            ('shard, shard file lost', [tool] + FILES + RUN, shard_env(2, 0), 'stdout', NO_SPACE),
            ('merge, statistics lost', [merge] + shards, None, 'stderr', whole),
            ('merge, results lost', [merge] + shards, None, 'stdout',
             b'tool-merge: standard output could not be written\n'),
        ]
        if report:
            cases += [
                ('report, warning lost', [report, '.', '-max', '0'], None, 'stderr', None),
                ('report, verdict lost', [report, '.', '-max', '1'], None, 'stdout',
                 b'tool-report: standard output cannot be written\n'),
                ('report, usage lost', [report, '--help'], None, 'stdout', None),
            ]
        failures = 0
        for what, command, env, full, ending in cases:
            status, received = run(command, example, full, env)
            if status != 2 or not (received.endswith(ending) if ending else received == b''):
                failures += 1
                print(f'FAIL {what}: status {status}, the other stream ends {received[-200:]!r}, '
                      f'expected status 2 and {(ending or b"")[-200:]!r}')
    print(f'{len(cases) - failures} passed, {failures} failed')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
