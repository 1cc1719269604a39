#!/usr/bin/env python3
"""Runs the analyser on one end-to-end case folder and compares every run with its expected results.

usage: run_e2e.py TOOL CASE_DIR

A case folder holds the input files principals.txt, logic.txt, join.txt and knowledge.txt (a case
may lack some on purpose) and expected/, with for each run k:
  k.args    the options, split on white space, given after the four file names; or instead
  k.argv    the whole argument vector after the program name, one argument per line (an empty
            file: no argument at all), for command lines that do not name the four files;
  k.stdout  the exact bytes of standard output (left out for an output too large to keep: the
            run is then checked by its status and standard error alone);
  k.status  the exit status;
  k.stderr  standard error reduced to the fatal-error line, the syntax diagnostics, the
            warnings and the statistics block, with its time and rate figures masked
            (see mask_stderr).
When a `dot` program is on the PATH, the standard output of every successful -G run must also be
accepted by `dot -Tsvg`.
A case may also hold generate.py, for inputs too large or too odd to keep in the repository: the
case is then run in a temporary copy of its folder in which that script has first made them
(with this folder on its import path, for hostile_inputs.py). A script that exits with SKIP (77)
skips the case, say when it cannot be set up on this machine.
Prints one line per difference; the exit status is 1 when any run differs, SKIP when skipped.
"""
import glob, os, re, shutil, subprocess, sys, tempfile

FILES = ['principals.txt', 'logic.txt', 'join.txt', 'knowledge.txt']
TIMED = re.compile(rb'^(Total time|Search time|Join time|Verify time|node/s|trace/s|verification/s): .*$', re.M)
STATS = b'\n\n--------------------------------------------\nTotal traces: '
GRAPH_HEADER = b'\n/*automatically generated*/\ndigraph '
SKIP = 77
HERE = os.path.dirname(os.path.abspath(__file__))


# The lines of standard error before the statistics block that a case compares; the progress
# display and the terminal-only verdict are dropped.
KEPT_LINES = [
    re.compile(rb'^Fatal error:'),
    re.compile(rb'^[^\s:]+:\d+:\d+: error: '),  # a syntax error at its place in a file
    re.compile(rb'^warning: '),
    re.compile(rb'^tool-report: '),  # the companion's error lines
]


def mask_stderr(err):
    """Keeps the lines matching KEPT_LINES and the statistics block, whose timing figures vary."""
    i = err.find(STATS)
    tail = b''
    if i >= 0:
        tail = TIMED.sub(lambda m: m.group(1) + b': <masked>', err[i:])
        err = err[:i]
    kept = b''.join(l for l in err.splitlines(True) if any(p.match(l) for p in KEPT_LINES))
    return kept + tail


def first_difference(got, want):
    n = next((i for i in range(min(len(got), len(want))) if got[i] != want[i]), min(len(got), len(want)))
    line = got[:n].count(b'\n') + 1
    return f'byte {n}, line {line}: got {got[n:n+50]!r}, expected {want[n:n+50]!r}'


def arguments(stem):
    """The argument vector of run `stem` (path without extension), program name excluded."""
    if os.path.exists(stem + '.argv'):
        with open(stem + '.argv') as f:
            return f.read().splitlines()
    with open(stem + '.args') as f:
        return FILES + f.read().split()


def graph_problem(stdout, args):
    """Why dot refuses the graph written by a -G run, or None (also when dot is missing)."""
    dot = shutil.which('dot')
    if dot is None or '-G' not in args or not stdout.startswith(GRAPH_HEADER):
        return None
    p = subprocess.run([dot, '-Tsvg'], input=stdout, stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE, timeout=120)
    if p.returncode == 0:
        return None
    return 'dot refuses the graph: ' + p.stderr.decode(errors='replace').strip()[:200]


def check_run(tool, case, stem):
    args = arguments(stem)
    # A run whose output is too large to keep is checked by its status and
    # statistics alone (its attack count, say): it has no .stdout file.
    want_out = None
    if os.path.exists(stem + '.stdout'):
        with open(stem + '.stdout', 'rb') as f:
            want_out = f.read()
    with open(stem + '.status') as f:
        want_status = int(f.read())
    with open(stem + '.stderr', 'rb') as f:
        want_err = f.read()
    try:
        p = subprocess.run([tool] + args, cwd=case, capture_output=True, timeout=300,
                           stdin=subprocess.DEVNULL)
    except subprocess.TimeoutExpired:
        return ['no answer in 300 s']
    why = []
    if p.returncode != want_status:
        why.append(f'status {p.returncode}, expected {want_status}')
    if want_out is not None and p.stdout != want_out:
        why.append('stdout at ' + first_difference(p.stdout, want_out))
    got_err = mask_stderr(p.stderr)
    if got_err != want_err:
        why.append('stderr at ' + first_difference(got_err, want_err))
    if p.returncode == 0:
        problem = graph_problem(p.stdout, args)
        if problem:
            why.append(problem)
    return why


def generate_inputs(case):
    """Runs the case's generate.py in its folder; returns None, or why the case is skipped."""
    path = os.pathsep.join(filter(None, [HERE, os.environ.get('PYTHONPATH')]))
    env = dict(os.environ, PYTHONPATH=path)
    p = subprocess.run([sys.executable, 'generate.py'], cwd=case, env=env, capture_output=True,
                       text=True, timeout=300, stdin=subprocess.DEVNULL)
    if p.returncode == SKIP:
        return p.stdout.strip() or 'generate.py skipped it'
    if p.returncode != 0:
        raise RuntimeError(f'{case}/generate.py failed: {p.stderr.strip()}')
    return None


def run_case(tool, case):
    stems = sorted({os.path.splitext(p)[0] for p in glob.glob(os.path.join(case, 'expected', '*.arg[sv]'))})
    if not stems:
        print(f'{case}: no run in expected/')
        return 1
    failed = 0
    for stem in stems:
        why = check_run(tool, case, stem)
        if why:
            failed += 1
            print(f'FAIL {os.path.basename(case)} run {os.path.basename(stem)}: ' + '; '.join(why))
    print(f'{len(stems) - failed} passed, {failed} failed')
    return 1 if failed else 0


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    tool = os.path.abspath(sys.argv[1])
    case = os.path.abspath(sys.argv[2])
    if not os.path.exists(os.path.join(case, 'generate.py')):
        return run_case(tool, case)
    with tempfile.TemporaryDirectory() as scratch:
        copy = os.path.join(scratch, os.path.basename(case))
        shutil.copytree(case, copy)
        why = generate_inputs(copy)
        if why:
            print(f'{os.path.basename(case)} skipped: {why}')
            return SKIP
        return run_case(tool, copy)


if __name__ == '__main__':
    sys.exit(main())
