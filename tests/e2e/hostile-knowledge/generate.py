"""Hostile knowledge files: see hostile_inputs.py; besides, terms nested 100,000 deep, and lists
of 100,000, 2001 and 2000 terms. The analyser pairs the terms into one nested term, so a list
counts as nesting: 2000 terms, the last one itself 2000 deep, is the most it accepts."""
from hostile_inputs import NESTING, nested, write, write_common


def terms(count, last=b'I_0'):
    return b'I_0+, I_0-, ' + b'I_0, ' * (count - 3) + last + b' ;\n'


write_common('knowledge.txt')
write('nested-pairs.txt', nested(b'(', b'I_0', b', I_0)') + b' ;\n')
write('nested-encryptions.txt', nested(b'{', b'I_0', b'}k_1') + b' ;\n')
write('terms-100000.txt', terms(NESTING))
write('terms-2001.txt', terms(2001))
write('terms-2000-deepest.txt', terms(2000, nested(b'(', b'I_0', b', I_0)', 2000)))
