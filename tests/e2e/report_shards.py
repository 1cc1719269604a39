#!/usr/bin/env python3
"""Checks that tool-report cut into shards and merged writes exactly the report of the whole run,
and that the merge refuses what is not one run's parts.

usage: report_shards.py TOOL_REPORT TOOL EXAMPLES_DIR

Runs tool-report on every example folder of EXAMPLES_DIR at -max 3, with the reductions and with
--exhaustive, whole and cut into 1, 3 and 7 shards (--shard I/N --json PART) merged with
tool-report --merge; one example also through GNU parallel with three job slots when it is
installed. The verdict, the exit status, the standard error and the JSON and HTML reports (but their
time figures) must be the same. Then the merge must refuse, with exit status 2, a message naming the
part and no report: a part changed in any of several bytes, a missing or repeated shard, parts of
two runs, a part cut short, and a shard file of tool; and tool-merge must refuse a part, saying
which merge takes it.
Prints one line per difference and "N passed, M failed"; the exit status is 1 when any check fails.
"""
import os, random, re, shutil, subprocess, sys, tempfile

TIMES = [re.compile(rb'"[a-z_]*seconds": [-0-9.e+]*'),
         re.compile(rb'<tr><th>[A-Za-z ]* time \(s\)</th><td>[0-9.]*</td></tr>')]
FILES = ['principals.txt', 'logic.txt', 'join.txt', 'knowledge.txt']


def without_times(data):
    for pattern in TIMES:
        data = pattern.sub(b'', data)
    return data


def reported(cmd, scratch):
    json, html = os.path.join(scratch, 'r.json'), os.path.join(scratch, 'r.html')
    p = subprocess.run(cmd + ['--json', json, '--html', html], capture_output=True, timeout=600,
                       stdin=subprocess.DEVNULL)
    reports = []
    for path in (json, html):
        if os.path.exists(path):
            with open(path, 'rb') as f:
                reports.append(without_times(f.read()))
            os.remove(path)
    return p.returncode, p.stdout, p.stderr, reports


def parts(tool, example, args, total, scratch, gnu=False):
    paths = [os.path.join(scratch, f'part.{i}') for i in range(total)]
    if gnu:
        line = f'{tool} {example} {" ".join(args)} --shard {{}}/{total} --json {scratch}/part.{{}}'
        subprocess.run(['parallel', '--will-cite', '-j', '3', line, ':::'] +
                       [str(i) for i in range(total)], check=True, timeout=600,
                       stdin=subprocess.DEVNULL, capture_output=True)
    else:
        for i, path in enumerate(paths):
            subprocess.run([tool, example] + args + ['--shard', f'{i}/{total}', '--json', path],
                           check=True, timeout=600, stdin=subprocess.DEVNULL, capture_output=True)
    return paths


def refused(tool, paths, scratch):
    """Whether the merge of paths is refused: status 2, a message, no report."""
    json = os.path.join(scratch, 'refused.json')
    p = subprocess.run([tool, '--merge'] + paths + ['--json', json], capture_output=True,
                       timeout=600, stdin=subprocess.DEVNULL)
    return p.returncode == 2 and p.stdout == b'' and b'tool-report: ' in p.stderr and \
        not os.path.exists(json)


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    tool, analyser = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    root = os.path.abspath(sys.argv[3])
    examples = sorted(os.path.join(root, n) for n in os.listdir(root)
                      if os.path.isfile(os.path.join(root, n, 'principals.txt')))
    passed = failed = 0

    def check(ok, what):
        nonlocal passed, failed
        if ok:
            passed += 1
        else:
            failed += 1
            print(f'FAIL {what}')

    with tempfile.TemporaryDirectory() as scratch:
        for example in examples:
            name = os.path.basename(example)
            for args in (['-max', '3'], ['-max', '3', '--exhaustive']):
                whole = reported([tool, example] + args, scratch)
                for total in (1, 3, 7):
                    merged = reported([tool, '--merge'] + parts(tool, example, args, total, scratch),
                                      scratch)
                    check(merged == whole, f'{name} {" ".join(args)} in {total} shards')
        nspk = os.path.join(root, 'nspk')
        args = ['-max', '3']
        whole = reported([tool, nspk] + args, scratch)
        if shutil.which('parallel'):
            merged = reported([tool, '--merge'] + parts(tool, nspk, args, 5, scratch, gnu=True), scratch)
            check(merged == whole, 'nspk -max 3 in 5 shards through GNU parallel')

        # What the merge refuses.
        paths = parts(tool, nspk, args, 3, scratch)
        data = open(paths[1], 'rb').read()
        damaged = os.path.join(scratch, 'damaged')
        for offset in random.Random(20261209).sample(range(len(data)), 12):
            with open(damaged, 'wb') as f:
                f.write(data[:offset] + bytes([data[offset] ^ 0x20]) + data[offset + 1:])
            check(refused(tool, [paths[0], damaged, paths[2]], scratch), f'a byte changed at {offset}')
        with open(damaged, 'wb') as f:
            f.write(data[:len(data) // 2])
        check(refused(tool, [paths[0], damaged, paths[2]], scratch), 'a part cut short')
        check(refused(tool, paths[:2], scratch), 'a shard missing')
        check(refused(tool, [paths[0], paths[1], paths[1]], scratch), 'a shard given twice')
        os.makedirs(os.path.join(scratch, 'other'))
        other = parts(tool, nspk, ['-max', '2'], 3, os.path.join(scratch, 'other'))
        check(refused(tool, [paths[0], other[1], paths[2]], scratch), 'parts of two runs')
        with open(os.path.join(scratch, 'tool.shard'), 'wb') as f:
            subprocess.run([analyser] + FILES + ['-V', '-max', '2'], cwd=nspk, stdout=f, check=True,
                           env=dict(os.environ, TOOL_TOTAL_SHARDS='1', TOOL_SHARD_INDEX='0'))
        check(refused(tool, [os.path.join(scratch, 'tool.shard')], scratch), "a shard file of tool")
        check(refused(tool, [scratch], scratch), 'a directory')
        merge = subprocess.run([os.path.join(os.path.dirname(analyser), 'tool-merge'), paths[0]],
                               capture_output=True, stdin=subprocess.DEVNULL)
        check(merge.returncode == 2 and b'tool-report --merge' in merge.stderr,
              "tool-merge names the merge that takes a part of tool-report's")
    print(f'{passed} passed, {failed} failed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
