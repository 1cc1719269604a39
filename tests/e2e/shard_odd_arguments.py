#!/usr/bin/env python3
"""A run cut into shards whose arguments name no regular file (a directory, a missing file):
each shard ends with the run's status instead of aborting, and tool-merge joins their shard
files into exactly the standard output and status of the run in one piece.

usage: shard_odd_arguments.py TOOL TOOL_MERGE EXAMPLES_DIR
"""
import os, subprocess, sys, tempfile

from run_e2e import FILES
from shard_runs import shard_env

RUN = ['-V', '-max', '1']
# (what, the arguments after the program's name)
CASES = [
    ('a directory as the knowledge file', FILES[:3] + ['.'] + RUN),
    ('a directory as the only argument', ['.']),
    ('a directory after the options', FILES + RUN + ['.']),
    ('a missing principals file', ['missing.txt'] + FILES[1:] + RUN),
]
SHARDS = 2


def run(command, cwd, env=None, stdout=subprocess.PIPE):
    return subprocess.run(command, cwd=cwd, env=env, stdout=stdout, stderr=subprocess.PIPE,
                          stdin=subprocess.DEVNULL, timeout=120)


def problem_of(tool, merge, example, args, folder):
    """What is wrong with the run of args cut into shards, or None."""
    whole = run([tool] + args, example)
    paths = []
    for index in range(SHARDS):
        paths.append(os.path.join(folder, f'shard.{index}'))
        with open(paths[-1], 'wb') as out:
            shard = run([tool] + args, example, shard_env(SHARDS, index), out)
        if shard.returncode != whole.returncode:
            return (f'shard {index} ended with status {shard.returncode} '
                    f'({shard.stderr[-200:]!r}), the run in one piece with {whole.returncode}')
    merged = run([merge] + paths, example)
    if (merged.returncode, merged.stdout) != (whole.returncode, whole.stdout):
        return (f'merged: status {merged.returncode}, {merged.stdout[-200:]!r} '
                f'({merged.stderr[-200:]!r}); in one piece: status {whole.returncode}, '
                f'{whole.stdout[-200:]!r}')
    return None


def main():
    tool, merge, examples = (os.path.abspath(a) for a in sys.argv[1:4])
    example = os.path.join(examples, 'nspk')
    failures = 0
    for what, args in CASES:
        with tempfile.TemporaryDirectory() as folder:
            problem = problem_of(tool, merge, example, args, folder)
        if problem:
            failures += 1
            print(f'FAIL {what}: {problem}')
    print(f'{len(CASES) - failures} passed, {failures} failed')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
