#!/usr/bin/env python3
"""tool-report reads each input file once: with a FIFO as the logic file, fed once by a writer,
it gives the verdict, standard output and status of the same model in regular files, and its
JSON report holds the logic file's whole text.

usage: report_fifo_input.py TOOL_REPORT EXAMPLES_DIR
"""
import json, os, shutil, subprocess, sys, tempfile, threading

from run_e2e import FILES

RUN = ['-max', '2']  # the Needham-Schroeder example's attack is found at this size


def report(tool_report, paths, json_file):
    return subprocess.run([tool_report] + paths + RUN + ['--json', json_file],
                          capture_output=True, stdin=subprocess.DEVNULL, timeout=300)


def feed(fifo, text):
    """Writes text into fifo once a reader opens it."""
    with open(fifo, 'wb') as out:
        out.write(text)


def main():
    tool_report, examples = (os.path.abspath(a) for a in sys.argv[1:3])
    example = os.path.join(examples, 'nspk')
    with tempfile.TemporaryDirectory() as folder:
        paths = [os.path.join(folder, name) for name in FILES]
        for name, path in zip(FILES, paths):
            shutil.copy(os.path.join(example, name), path)
        with open(paths[1], 'rb') as f:
            logic = f.read()
        expected = report(tool_report, paths, os.path.join(folder, 'regular.json'))
        os.remove(paths[1])
        os.mkfifo(paths[1])
        writer = threading.Thread(target=feed, args=(paths[1], logic), daemon=True)
        writer.start()
        got = report(tool_report, paths, os.path.join(folder, 'fifo.json'))
        writer.join(timeout=10)
        failures = []
        if (got.returncode, got.stdout) != (expected.returncode, expected.stdout):
            failures.append(f'status {got.returncode} and {got.stdout!r} ({got.stderr[-300:]!r}),'
                            f' expected {expected.returncode} and {expected.stdout!r}')
        else:
            with open(os.path.join(folder, 'fifo.json'), encoding='utf-8') as f:
                inputs = json.load(f)['inputs']
            texts = [i['text'] for i in inputs if i['role'] == 'logic']
            if texts != [logic.decode('utf-8')]:
                failures.append(f'the JSON report holds the logic file as {texts!r}')
    for failure in failures:
        print(f'FAIL {failure}')
    print('1 passed, 0 failed' if not failures else '0 passed, 1 failed')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
