"""Hostile input files for the end-to-end cases, made at test time by their generate.py.

Some are megabytes long, some hold every byte value: the repository keeps the recipe, not the file.
Every function writes into the current folder (the temporary copy of the case).
"""
import os

ALL_BYTES = bytes(range(256))
NESTING = 100_000      # far deeper than the analyser accepts
HUGE_LINE = 8_000_000  # blanks in front of a file's content, on the same line


def write(name, data):
    with open(name, 'wb') as f:
        f.write(data)


def nested(opening, middle, closing, depth=NESTING):
    """opening depth times, middle, closing depth times: well formed but for its depth."""
    return opening * depth + middle + closing * depth


def write_common(base_name):
    """The hostile variants of the case's own file base_name that every file kind gets:
    bytes.txt         the bytes 0 to 255 in order;
    bytes-in-comment  the same bytes inside a block comment (they hold no "*/"), then the file;
    huge-line.txt     the file on one line behind HUGE_LINE blanks;
    empty.txt         nothing at all;
    directory         a folder where a file is expected."""
    with open(base_name, 'rb') as f:
        base = f.read()
    write('bytes.txt', ALL_BYTES)
    write('bytes-in-comment.txt', b'/*' + ALL_BYTES + b'*/\n' + base)
    write('huge-line.txt', b' ' * HUGE_LINE + base.replace(b'\r', b' ').replace(b'\n', b' '))
    write('empty.txt', b'')
    os.mkdir('directory')
