"""Copies the four input files of one protocol of examples/ into the current folder.

The generate.py of an end-to-end case that checks an example calls copy_example(NAME), so that
the case always runs the example as it stands instead of a copy that could drift from it.
"""
import os, shutil

from run_e2e import FILES

EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir, 'examples')


def copy_example(name):
    for f in FILES:
        shutil.copyfile(os.path.join(EXAMPLES, name, f), f)
