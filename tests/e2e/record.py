#!/usr/bin/env python3
"""Records the analyser's current results as a new run of an end-to-end case.

usage: record.py TOOL CASE_DIR [OPTION ...]
       record.py TOOL CASE_DIR --run NAME [ARGUMENT ...]

The first form runs TOOL on the four input files of CASE_DIR with the options and writes the next
expected/<k>.args, <k>.stdout, <k>.status and <k>.stderr (masked as run_e2e.py compares it).
The second runs TOOL with exactly the arguments given and writes expected/NAME.argv and the
three results of NAME, for cases that hold several variants of an input file.
A case with a generate.py runs, as in run_e2e.py, in a temporary copy where that script has made
its inputs.
Check the recorded output by hand before committing it: it becomes the golden result.
"""
import glob, os, shutil, subprocess, sys, tempfile

from run_e2e import FILES, generate_inputs, mask_stderr


def run_in(folder, tool, args):
    return subprocess.run([tool] + args, cwd=folder, capture_output=True, timeout=300,
                          stdin=subprocess.DEVNULL)


def run_tool(tool, case, args):
    if not os.path.exists(os.path.join(case, 'generate.py')):
        return run_in(case, tool, args)
    with tempfile.TemporaryDirectory() as scratch:
        copy = os.path.join(scratch, os.path.basename(case))
        shutil.copytree(case, copy)
        why = generate_inputs(copy)
        if why:
            sys.exit(f'{os.path.basename(case)} skipped: {why}')
        return run_in(copy, tool, args)


def main():
    if len(sys.argv) < 3 or (len(sys.argv) >= 4 and sys.argv[3] == '--run' and len(sys.argv) < 5):
        print(__doc__)
        return 2
    tool, case = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    expected = os.path.join(case, 'expected')
    os.makedirs(expected, exist_ok=True)
    if sys.argv[3:4] == ['--run']:
        stem = os.path.join(expected, sys.argv[4])
        args = sys.argv[5:]
        with open(stem + '.argv', 'w') as f:
            f.write(''.join(a + '\n' for a in args))
    else:
        k = len(glob.glob(os.path.join(expected, '*.arg[sv]'))) + 1
        stem = os.path.join(expected, str(k))
        args = FILES + sys.argv[3:]
        with open(stem + '.args', 'w') as f:
            f.write(' '.join(sys.argv[3:]) + '\n')
    p = run_tool(tool, case, args)
    with open(stem + '.stdout', 'wb') as f:
        f.write(p.stdout)
    with open(stem + '.status', 'w') as f:
        f.write(f'{p.returncode}\n')
    with open(stem + '.stderr', 'wb') as f:
        f.write(mask_stderr(p.stderr))
    print(f'{stem}: status {p.returncode}, {len(p.stdout)} bytes of output')
    return 0


if __name__ == '__main__':
    sys.exit(main())
