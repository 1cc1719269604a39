#!/usr/bin/env python3
"""Checks that a run on several threads, or cut into shards and merged, writes
exactly what a run on one thread writes.

usage: parallel_determinism.py TOOL TOOL_MERGE EXAMPLES_DIR

Runs every example folder of EXAMPLES_DIR in each output mode (-T, -T -t, -V, -G 15, and none with
-f) on 1 thread (TOOL_THREADS=1), then on 2 and 7 threads, and cut into 1, 3 and 16 shards
(TOOL_TOTAL_SHARDS, TOOL_SHARD_INDEX) joined by TOOL_MERGE; one example also goes through GNU
parallel with three job slots when it is installed. Standard output, exit status and the statistics
block (without its time and rate figures) must be the same. The session size is the one the
example's README runs it with (-max N), else 2.
Prints one line per difference and "N passed, M failed"; the exit status is 1 when any run differs.
"""
import os, shutil, subprocess, sys, tempfile

from determinism import FILES, MODES, session_size

THREADS = [2, 7]
SHARDS = [1, 3, 16]


def counts(err):
    """The statistics block without its time and rate lines."""
    start = err.find(b'\n\n-----')
    if start < 0:
        return b''
    return b'\n'.join(l for l in err[start:].split(b'\n') if b'time:' not in l and b'/s:' not in l)


def run(cmd, cwd, env):
    p = subprocess.run(cmd, cwd=cwd, capture_output=True, timeout=600, stdin=subprocess.DEVNULL,
                       env=dict(os.environ, **env))
    return p.returncode, p.stdout, counts(p.stderr)


def sharded(tool, merge, example, args, total, scratch):
    paths = []
    for i in range(total):
        path = os.path.join(scratch, f'shard.{i}')
        with open(path, 'wb') as f:
            subprocess.run([tool] + FILES + args, cwd=example, stdout=f, stderr=subprocess.DEVNULL,
                           timeout=600, stdin=subprocess.DEVNULL,
                           env=dict(os.environ, TOOL_TOTAL_SHARDS=str(total), TOOL_SHARD_INDEX=str(i)))
        paths.append(path)
    return run([merge] + paths, example, {})


def under_gnu_parallel(tool, merge, example, args, total, scratch):
    script = (f'TOOL_TOTAL_SHARDS={total} TOOL_SHARD_INDEX={{}} {tool} {" ".join(FILES + args)} '
              f'> {scratch}/gnu.{{}} 2>/dev/null')
    subprocess.run(['parallel', '--will-cite', '-j', '3', script, ':::'] + [str(i) for i in range(total)],
                   cwd=example, check=True, timeout=600, stdin=subprocess.DEVNULL,
                   capture_output=True)
    return run([merge] + [f'{scratch}/gnu.{i}' for i in range(total)], example, {})


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    tool, merge = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    root = os.path.abspath(sys.argv[3])
    examples = sorted(d for d in (os.path.join(root, n) for n in os.listdir(root))
                      if all(os.path.isfile(os.path.join(d, f)) for f in FILES))
    if not examples:
        print(f'no example under {root}')
        return 1
    passed = failed = 0
    scratch = tempfile.mkdtemp()
    try:
        def check(what, got, expected):
            nonlocal passed, failed
            if got == expected:
                passed += 1
            else:
                failed += 1
                print(f'FAIL {what}: status {got[0]} for {expected[0]}, {len(got[1])} bytes of output '
                      f'for {len(expected[1])}, statistics {"differ" if got[2] != expected[2] else "agree"}')

        for example in examples:
            name = os.path.basename(example)
            for mode in MODES:
                args = mode + ['-max', session_size(example)]
                alone = run([tool] + FILES + args, example, {'TOOL_THREADS': '1'})
                for threads in THREADS:
                    check(f'{name} [{" ".join(args)}] on {threads} threads',
                          run([tool] + FILES + args, example, {'TOOL_THREADS': str(threads)}), alone)
                for total in SHARDS:
                    check(f'{name} [{" ".join(args)}] in {total} shards',
                          sharded(tool, merge, example, args, total, scratch), alone)
        if shutil.which('parallel'):
            example = os.path.join(root, 'nspk')
            args = ['-V', '-f', '-max', session_size(example)]
            check('nspk under GNU parallel', under_gnu_parallel(tool, merge, example, args, 8, scratch),
                  run([tool] + FILES + args, example, {'TOOL_THREADS': '1'}))
    finally:
        shutil.rmtree(scratch)
    print(f'{passed} passed, {failed} failed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
