#!/usr/bin/env python3
"""Loads the companion's HTML report in headless Chromium and checks what the page shows.

usage: browser_check.py TOOL_REPORT EXAMPLES_DIR OUT_DIR

For examples/nspk (one distinct attack), examples/nsl-oracle (three) and the four claims of the
report-claims case (two distinct attacks, on two claims), writes the report with TOOL_REPORT, has
Chromium load it and dump the page as rendered, and checks: the verdict text, one chart (an svg
element) per distinct attack, the table of distinct attacks with a link to each, the table of
claims (with several claims) with a link to the first attack of each claim that fails, and no
script error in the browser's console. The page has no script of its own; a copy of it gets
NAVIGATION, which Chromium runs before it dumps the page: it checks that no id is given twice
(SVG charts included), that clicking each link within the page (after scrolling the link into
view, as a reader would) brings its target into the viewport, and that a claim's link leads to an
attack on that claim. A screenshot of each page is left in OUT_DIR. Exits SKIP (77) when Chromium
is not installed.
"""
import json, os, re, shutil, subprocess, sys
from html import unescape

SKIP = 77
CHROMIUM_FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
                  '--disable-component-update', '--disable-sync', '--no-first-run']
FILES = ['principals.txt', 'logic.txt', 'join.txt', 'knowledge.txt']
CLAIMS_CASE = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'report-claims')
# (name, model folder (None: the example of that name), more arguments, distinct attacks,
#  the status of each claim when there are several, verdict)
CASES = [('nspk', None, [], 1, [], 'Verdict: attack found (1 distinct attack in 1 attack set)'),
         ('nsl-oracle', None, [], 3, [],
          'Verdict: attack found (3 distinct attacks in 5 attack sets)'),
         ('claims', CLAIMS_CASE, ['--claim', os.path.join(CLAIMS_CASE, 'more-claims.txt')], 2,
          ['attack', 'holds', 'holds', 'attack'],
          'Verdict: attack found (2 distinct attacks in 1 attack set)')]


# Writes its findings as JSON into a <pre id="navigation-check"> at the end of the body.
# It runs synchronously as the page loads: a click on a link within the page scrolls at once, and
# no timer or virtual time is needed (those made Chromium hang at times on a loaded machine).
NAVIGATION = """<script>
(() => {
  const ids = [...document.querySelectorAll('[id]')].map(e => e.id);
  const found = {ids: ids.length, duplicates: [...new Set(ids.filter((x, i) => ids.indexOf(x) !== i))],
                 attackRows: document.querySelectorAll('table.attacks tr a[href^="#attack-"]').length,
                 claims: [...document.querySelectorAll('table.claims tr[class]')].map(r => r.className),
                 claimLinks: [], links: 0, broken: [], outOfView: []};
  // Each claim's link, clicked, shows an attack section that names that claim.
  for (const row of document.querySelectorAll('table.claims tr[class]')) {
    const a = row.querySelector('a[href^="#attack-"]');
    if (!a) continue;
    a.scrollIntoView();
    a.click();
    const target = document.getElementById(a.getAttribute('href').slice(1));
    const box = target ? target.getBoundingClientRect() : null;
    const claim = target ? target.querySelector('p.claim') : null;
    found.claimLinks.push({claim: row.cells[0].textContent,
                           inView: !!box && box.top >= -1 && box.top < window.innerHeight,
                           names: claim ? claim.textContent : ''});
  }
  for (const a of document.querySelectorAll('a[href^="#"]')) {
    const href = a.getAttribute('href');
    const target = document.getElementById(href.slice(1));
    if (!target) { found.broken.push(href); continue; }
    found.links++;
    a.scrollIntoView();
    a.click();
    const box = target.getBoundingClientRect();
    if (box.top < -1 || box.top >= window.innerHeight) found.outOfView.push(href + ' at ' + box.top);
  }
  const out = document.createElement('pre');
  out.id = 'navigation-check';
  out.textContent = JSON.stringify(found);
  document.body.appendChild(out);
})();
</script>"""


def chromium():
    return shutil.which('chromium') or shutil.which('chromium-browser')


def browse(browser, page, extra):
    return subprocess.run([browser] + CHROMIUM_FLAGS + ['--enable-logging=stderr', '--v=0'] + extra +
                          ['file://' + page], capture_output=True, text=True, timeout=120,
                          stdin=subprocess.DEVNULL)


def navigation_problems(browser, page, name, attacks, claims):
    """Runs NAVIGATION on a copy of page and says what it found wrong."""
    with open(page, encoding='utf-8') as f:
        text = f.read()
    probe = page[:-len('.html')] + '-navigation.html'
    with open(probe, 'w', encoding='utf-8') as f:
        f.write(text.replace('</body>', NAVIGATION + '</body>'))
    dump = browse(browser, probe, ['--dump-dom', '--window-size=1200,800'])
    shown = re.search(r'<pre id="navigation-check">([^<]*)</pre>', dump.stdout)
    if not shown:
        errors = [l for l in dump.stderr.splitlines() if 'Uncaught' in l]
        return [f'{name}: the navigation check did not finish ' + '; '.join(errors)[:300]]
    found = json.loads(unescape(shown.group(1)))
    problems = []
    if found['duplicates']:
        problems.append(f'{name}: ids given more than once: {found["duplicates"][:10]}')
    if found['attackRows'] != attacks:
        problems.append(f'{name}: the table of attacks links to {found["attackRows"]} attacks, '
                        f'expected {attacks}')
    if found['claims'] != claims:
        problems.append(f'{name}: the table of claims shows {found["claims"]}, expected {claims}')
    failing = [str(k + 1) for k, status in enumerate(claims) if status == 'attack']
    if [link['claim'] for link in found['claimLinks']] != failing:
        problems.append(f'{name}: the table of claims links {found["claimLinks"]}, '
                        f'expected a link for each of the claims {failing}')
    for link in found['claimLinks']:
        if not link['inView'] or not link['names'].startswith(f'Violates claim {link["claim"]} '):
            problems.append(f'{name}: the link of claim {link["claim"]} leads to {link}')
    if found['broken']:
        problems.append(f'{name}: links to no element: {found["broken"][:10]}')
    if found['outOfView']:
        problems.append(f'{name}: clicked links whose target stays out of view: '
                        f'{found["outOfView"][:10]}')
    if found['links'] < 2 * attacks:  # at least its row of the table and its link to the top
        problems.append(f'{name}: only {found["links"]} links within the page')
    return problems


def check(tool, examples, out_dir, browser, case):
    name, folder, more, charts, claims, verdict = case
    page = os.path.join(out_dir, name + '.html')
    files = [os.path.join(folder or os.path.join(examples, name), f) for f in FILES]
    p = subprocess.run([tool] + files + ['-max', '2', '--html', page] + more, capture_output=True,
                       timeout=300)
    if p.returncode != 1 or not os.path.exists(page):
        return [f'{name}: tool-report ended with status {p.returncode}']
    dump = browse(browser, page, ['--dump-dom'])
    problems = navigation_problems(browser, page, name, charts, claims)
    shot = browse(browser, page, ['--screenshot=' + os.path.join(out_dir, name + '.png'),
                                  '--window-size=1200,1600'])
    if dump.returncode != 0:
        problems.append(f'{name}: chromium ended with status {dump.returncode}')
    shown = re.search(r'<p class="verdict[^"]*" id="verdict">([^<]*)</p>', dump.stdout)
    if not shown or not shown.group(1).startswith(verdict):
        problems.append(f'{name}: the page does not show the verdict {verdict!r}')
    found = len(re.findall(r'<div class="chart">\s*<svg', dump.stdout))
    if found != charts:
        problems.append(f'{name}: {found} charts shown, expected {charts}')
    errors = [l for l in (dump.stderr + shot.stderr).splitlines()
              if 'CONSOLE' in l or 'Uncaught' in l]
    if errors:
        problems.append(f'{name}: script errors: ' + '; '.join(errors)[:300])
    if not os.path.exists(os.path.join(out_dir, name + '.png')):
        problems.append(f'{name}: no screenshot')
    return problems


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    tool, examples, out_dir = (os.path.abspath(a) for a in sys.argv[1:])
    browser = chromium()
    if browser is None:
        print('chromium is not installed: skipped')
        return SKIP
    os.makedirs(out_dir, exist_ok=True)
    problems = []
    for case in CASES:
        problems += check(tool, examples, out_dir, browser, case)
    for p in problems:
        print('FAIL ' + p)
    print(f'{len(CASES)} pages checked, screenshots in {out_dir}')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
