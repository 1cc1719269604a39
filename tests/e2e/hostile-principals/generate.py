"""Hostile principals files: see hostile_inputs.py; besides, a declaration behind a huge line (its
error column), terms and a process nested 100,000 deep, and processes of 2000 and 2001 prefixes,
the deepest accepted and the first refused."""
from hostile_inputs import HUGE_LINE, nested, write, write_common


def sequence(length):
    return b'A : () [ ' + b' . '.join([b'out(na)'] * length) + b' ] ;\n'


write_common('principals.txt')
write('huge-line-error.txt', b' ' * HUGE_LINE + b'a : () [ ] ;\n')
write('nested-pairs.txt', b'A : () [ out(' + nested(b'(', b'na', b', na)') + b') ] ;\n')
write('nested-encryptions.txt', b'A : () [ out(' + nested(b'{', b'na', b'}k') + b') ] ;\n')
write('nested-process.txt', b'A : () [ ' + nested(b'(', b'out(na)', b')') + b' ] ;\n')
write('sequence-2000.txt', sequence(2000))
write('sequence-2001.txt', sequence(2001))
