#!/usr/bin/env python3
"""tool-merge given files that are no shard files, or shard files damaged on purpose, with its
address space capped at 200 MB.

usage: merge_hostile_files.py TOOL TOOL_MERGE EXAMPLES_DIR [--uncapped]

Each hostile file is merged beside a real shard of a run in two shards: the merge must read no
more of a file than the shard format allows, name what the file is, write nothing on standard
output and exit with status 2. Some files are a gigabyte long (sparse: they take no disk space).
--uncapped leaves the address space as it is, for builds with the address sanitizer, which
reserves terabytes of it.
"""
import os, resource, subprocess, sys, tempfile

from shard_runs import write_shards

MEMORY_CAP = 200 << 20
GIGABYTE = 1 << 30


def capped():
    resource.setrlimit(resource.RLIMIT_AS, (MEMORY_CAP, MEMORY_CAP))


def sparse(path, head, size=GIGABYTE):
    """A file of size bytes that starts with head and holds zeros after it."""
    with open(path, 'wb') as f:
        f.write(head)
        f.truncate(size)


def hostile_files(folder, first_line):
    """(path, the end of the message that names it) for every hostile file."""
    cases = [('/dev/zero', 'is not a shard file (not a regular file)')]
    directory = os.path.join(folder, 'directory')
    os.mkdir(directory)
    cases.append((directory, 'is a directory'))
    empty = os.path.join(folder, 'empty')
    open(empty, 'wb').close()
    cases.append((empty, 'is empty'))
    zeros = os.path.join(folder, 'zeros')
    sparse(zeros, b'')
    cases.append((zeros, 'is not a shard file'))
    # A true first line, then a record line that claims most of the gigabyte...
    claim = os.path.join(folder, 'claim')
    sparse(claim, first_line + b'T %d 0123456789abcdef\n' % (GIGABYTE - 4096))
    cases.append((claim, f'holds a damaged record at byte {len(first_line)}'))
    # ... or a record line that never ends.
    endless = os.path.join(folder, 'endless')
    sparse(endless, first_line + b'T 1')
    cases.append((endless, f'holds a record that cannot be read at byte {len(first_line)}'))
    cut = os.path.join(folder, 'cut')
    with open(cut, 'wb') as f:
        f.write(first_line)
    cases.append((cut, 'is cut short'))
    return cases


def main():
    tool, merge, examples = (os.path.abspath(a) for a in sys.argv[1:4])
    limit = None if sys.argv[4:] == ['--uncapped'] else capped
    example = os.path.join(examples, 'nspk')
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        shard, other = write_shards(tool, example, ['-V', '-max', '2'], folder)
        with open(other, 'rb') as f:
            first_line = f.readline()
        cases = hostile_files(folder, first_line)
        for path, message in cases:
            p = subprocess.run([merge, shard, path], capture_output=True, preexec_fn=limit,
                               stdin=subprocess.DEVNULL, timeout=120)
            want = f'tool-merge: {path}: {message}\n'.encode()
            if p.returncode != 2 or p.stdout or p.stderr != want:
                failures += 1
                print(f'FAIL {path}: status {p.returncode}, {len(p.stdout)} bytes of output, '
                      f'standard error {p.stderr[:300]!r}, expected {want!r}')
    print(f'{len(cases) - failures} passed, {failures} failed')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
