#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets from the input files of case folders.

usage: make_seeds.py [--tool TOOL] OUT_DIR CASES_DIR...

Every folder below a CASES_DIR (examples/, tests/e2e/, ...) that holds input files contributes:
  principals/  its principals.txt
  formula/     its logic.txt followed by its join.txt (the formula target reads both in turn)
  knowledge/   its knowledge.txt
  driver/      each of its four files without its // comments, behind the selector byte that makes
               the driver target put that file in place of its own, with session size 2 and the
               first mode allowed
  report/      the same, behind the selector byte of the report target without options
Seeds are named by their content's hash, so repeated files count once. Files over MAX_SIZE bytes
are left out: the targets only need small inputs to start from.

Besides, command_line/ gets a few command lines of each program, and with --tool (the analyser)
shard/ gets the shard files of the Needham-Schroeder example's runs cut in two.
"""
import hashlib, os, re, subprocess, sys

MAX_SIZE = 8 * 1024
FILES = ['principals.txt', 'logic.txt', 'join.txt', 'knowledge.txt']
SESSION_OF_TWO = 0x80

# The command line target's inputs: a program (0 tool, 1 tool-report, 2 tool-merge; for tool,
# 4 and 8 run shard 0 and 1 of 2) and its arguments, one a line, @P @L @J @K @M @0 @1 standing
# for the fixed model's files, its folder and its shard files.
COMMAND_LINES = [
    (0, '@P\n@L\n@J\n@K\n-V\n-max\n2'),
    (0, '@P\n@L\n@J\n@K\n-T\n-t\n-max\n1'),
    (0, '@P\n@L\n@J\n@K\n-G\n15\n-f\n--session\n1'),
    (4, '@P\n@L\n@J\n@K\n-V\n-f\n-max\n1'),
    (0, '-h'),
    (0, '@P\n@L\n@J'),
    (1, '@M\n-max\n2\n--first'),
    (1, '@P\n@L\n@J\n@K\n--max\n2\n--json\nout.json\n--html\nout.html\n--svg-dir\ncharts'),
    (1, '@M\n--session\n1\n--time-limit\n0.5\n--exhaustive\n--knowledge-in-join'),
    (1, '--help'),
    (1, '--version'),
    (2, '@0\n@1'),
    (2, '@1\n@0\n@0'),
    (2, '--help'),
    (2, ''),
]
# The runs whose shard files seed the shard target: the example's arguments after its files.
SHARD_RUNS = [['-V', '-max', '1'], ['-T', '-max', '1'], ['-V', '-f', '-max', '1']]


def read(path):
    try:
        with open(path, 'rb') as f:
            data = f.read(MAX_SIZE + 1)
    except OSError:
        return None
    return data if len(data) <= MAX_SIZE else None


def save(out_dir, target, data):
    folder = os.path.join(out_dir, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, hashlib.sha1(data).hexdigest()), 'wb') as f:
        f.write(data)


def without_line_comments(text):
    """text without its // comments: the driver target only takes short files."""
    return re.sub(rb'//[^\n]*', b'', text)


def add_case(out_dir, case):
    texts = [read(os.path.join(case, name)) for name in FILES]
    principals, logic, join, knowledge = texts
    if principals is not None:
        save(out_dir, 'principals', principals)
    if logic is not None:
        save(out_dir, 'formula', logic + b'\n' + (join or b''))
    if knowledge is not None:
        save(out_dir, 'knowledge', knowledge)
    for kind, text in enumerate(texts):
        if text is not None:
            save(out_dir, 'driver', bytes([SESSION_OF_TWO | kind]) + without_line_comments(text))
            save(out_dir, 'report', bytes([kind]) + without_line_comments(text))


def add_shard_files(out_dir, tool, example):
    """The shard files of each of SHARD_RUNS on example, cut in two, one after the other."""
    for run in SHARD_RUNS:
        files = b''
        for index in range(2):
            env = dict(os.environ, TOOL_TOTAL_SHARDS='2', TOOL_SHARD_INDEX=str(index))
            files += subprocess.run([tool] + FILES + run, cwd=example, env=env, check=True,
                                    capture_output=True).stdout
        save(out_dir, 'shard', files)


def main():
    args = sys.argv[1:]
    tool = None
    if args[:1] == ['--tool'] and len(args) > 1:
        tool = os.path.abspath(args[1])
        args = args[2:]
    if len(args) < 2:
        print(__doc__)
        return 2
    out_dir = args[0]
    for root in args[1:]:
        for folder, _, names in sorted(os.walk(root)):
            if any(name in FILES for name in names):
                add_case(out_dir, folder)
    for program, arguments in COMMAND_LINES:
        save(out_dir, 'command_line', bytes([program]) + arguments.encode())
    if tool:
        examples = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'examples')
        add_shard_files(out_dir, tool, os.path.join(examples, 'nspk'))
    return 0


if __name__ == '__main__':
    sys.exit(main())
