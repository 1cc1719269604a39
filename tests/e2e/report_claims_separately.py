#!/usr/bin/env python3
"""tool-report checks several claims in one search with the verdicts of one search per claim.

usage: report_claims_separately.py TOOL_REPORT CLAIMS_CASE_DIR EXAMPLES_DIR README

For each model (the three claims of the report-claims case on its Needham-Schroeder model, and
the tutorial's ready-made claims on examples/nspk and examples/nsl), at each size: the run of all
claims at once gives each claim the status, distinct attacks (their violated literals and
messages, in order) of the run of that claim alone; its exit status is 1 exactly when a claim
fails; its statistics show one search (the nodes, traces and finished runs of each single run);
and the statuses are those expected. The tutorial's claims must stand in the README as written.
"""
import json, os, subprocess, sys, tempfile

from run_e2e import FILES


def report(tool_report, folder, logic, size, json_file):
    paths = [os.path.join(folder, name) for name in FILES]
    paths[1] = logic
    p = subprocess.run([tool_report] + paths + ['-max', str(size), '--json', json_file],
                       capture_output=True, stdin=subprocess.DEVNULL, timeout=300)
    if p.returncode == 2:
        raise RuntimeError(f'{logic}: {p.stderr.decode(errors="replace")}')
    with open(json_file, encoding='utf-8') as f:
        return p.returncode, json.load(f)


def attacks_of(result, claim):
    return [(a['violated'], a['messages']) for a in result['attacks'] if a['claim'] == claim]


def claim_texts(logic_file):
    """Each formula of a claims file that holds one formula a line."""
    with open(logic_file, encoding='utf-8') as f:
        return [line.strip() for line in f if line.strip().endswith(';')]


def check(tool_report, folder, logic, size, expected_statuses, scratch):
    failures = []
    where = f'{os.path.basename(folder)} {os.path.basename(logic)} -max {size}'
    status, together = report(tool_report, folder, logic, size, os.path.join(scratch, 'all.json'))
    claims = together['claims']
    statuses = [c['status'] for c in claims]
    if statuses != expected_statuses:
        failures.append(f'{where}: statuses {statuses}, expected {expected_statuses}')
    if status != (1 if 'attack' in statuses else 0):
        failures.append(f'{where}: exit status {status} with claims {statuses}')
    for k, text in enumerate(claim_texts(logic)):
        single = os.path.join(scratch, f'claim-{k + 1}.txt')
        with open(single, 'w', encoding='utf-8') as f:
            f.write(text + '\n')
        alone_status, alone = report(tool_report, folder, single, size,
                                     os.path.join(scratch, f'claim-{k + 1}.json'))
        if claims[k]['text'] != text:
            failures.append(f'{where}: claim {k + 1} reads {claims[k]["text"]!r}, not {text!r}')
        if alone['claims'][0]['status'] != claims[k]['status']:
            failures.append(f'{where}: claim {k + 1} is {claims[k]["status"]} together, '
                            f'{alone["claims"][0]["status"]} alone')
        if attacks_of(together, k + 1) != attacks_of(alone, 1):
            failures.append(f'{where}: claim {k + 1} has other distinct attacks than alone')
        if alone_status != (1 if alone['claims'][0]['status'] == 'attack' else 0):
            failures.append(f'{where}: claim {k + 1} alone ends with status {alone_status}')
        for key in ['nodes', 'traces', 'finished_runs', 'sessions_searched']:
            if together['statistics'][key] != alone['statistics'][key]:
                failures.append(f'{where}: {key} {together["statistics"][key]} together, '
                                f'{alone["statistics"][key]} for claim {k + 1} alone')
    return failures


def main():
    tool_report, case, examples, readme = (os.path.abspath(a) for a in sys.argv[1:5])
    tutorial = os.path.join(case, 'tutorial-claims.txt')
    failures = []
    with open(readme, encoding='utf-8') as f:
        text = f.read()
    for claim in claim_texts(tutorial):
        if claim not in text:
            failures.append(f'the README does not give the claim {claim!r}')
    runs = [
        (case, os.path.join(case, 'logic.txt'), 2, ['attack', 'holds', 'holds']),
        (case, os.path.join(case, 'logic.txt'), 3, ['attack', 'holds', 'holds']),
        (os.path.join(examples, 'nspk'), tutorial, 2, ['attack', 'attack', 'attack']),
        (os.path.join(examples, 'nsl'), tutorial, 3, ['holds', 'holds', 'holds']),
    ]
    for folder, logic, size, statuses in runs:
        with tempfile.TemporaryDirectory() as scratch:
            failures += check(tool_report, folder, logic, size, statuses, scratch)
    for failure in failures:
        print(f'FAIL {failure}')
    print(f'{len(failures)} failures' if failures else f'{len(runs)} runs passed')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
