#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets from the input files of case folders.

usage: make_seeds.py OUT_DIR CASES_DIR...

Every folder below a CASES_DIR (examples/, tests/e2e/, ...) that holds input files contributes:
  principals/  its principals.txt
  formula/     its logic.txt followed by its join.txt (the formula target reads both in turn)
  knowledge/   its knowledge.txt
  driver/      each of its four files without its // comments, behind the selector byte that makes
               the driver target put that file in place of its own, with session size 2 and the
               first mode allowed
Seeds are named by their content's hash, so repeated files count once. Files over MAX_SIZE bytes
are left out: the targets only need small inputs to start from.
"""
import hashlib, os, re, sys

MAX_SIZE = 64 * 1024
FILES = ['principals.txt', 'logic.txt', 'join.txt', 'knowledge.txt']
SESSION_OF_TWO = 0x80


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


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    out_dir = sys.argv[1]
    for root in sys.argv[2:]:
        for folder, _, names in sorted(os.walk(root)):
            if any(name in FILES for name in names):
                add_case(out_dir, folder)
    return 0


if __name__ == '__main__':
    sys.exit(main())
