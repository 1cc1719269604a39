"""tool-report runs whose outputs are compared: the verdict, the standard error, the exit status and
the JSON and HTML reports, without the time figures that differ from run to run."""
import os, re, subprocess

TIMES = [re.compile(rb'"[a-z_]*seconds": [-0-9.e+]*'),
         re.compile(rb'<tr><th>[A-Za-z ]* time \(s\)</th><td>[0-9.]*</td></tr>')]


def without_times(data):
    for pattern in TIMES:
        data = pattern.sub(b'', data)
    return data


def reported(cmd, scratch, env=None):
    """(status, standard output, standard error, [JSON, HTML]) of tool-report's command cmd."""
    json, html = os.path.join(scratch, 'r.json'), os.path.join(scratch, 'r.html')
    p = subprocess.run(cmd + ['--json', json, '--html', html], capture_output=True, timeout=600,
                       stdin=subprocess.DEVNULL, env=dict(os.environ, **(env or {})))
    reports = []
    for path in (json, html):
        if os.path.exists(path):
            with open(path, 'rb') as f:
                reports.append(without_times(f.read()))
            os.remove(path)
    return p.returncode, p.stdout, p.stderr, reports
