"""Hostile principals files: see hostile_inputs.py; besides, a declaration behind a huge line (its
error column), terms and a process nested 100,000 deep, processes of 2000 and 2001 prefixes,
the deepest accepted and the first refused, and 100,000 roles."""
import itertools, string

from hostile_inputs import HUGE_LINE, nested, write, write_common

ROLES = 100_000  # one session each at -max 1


def role_names(count):
    """count distinct role names, capital letters only: A to Z, then AA, AB, ..."""
    words = (''.join(letters) for size in itertools.count(1)
             for letters in itertools.product(string.ascii_uppercase, repeat=size))
    return list(itertools.islice(words, count))


def sequence(length):
    return b'A : () [ ' + b' . '.join([b'out(na)'] * length) + b' ] ;\n'


write_common('principals.txt')
write('huge-line-error.txt', b' ' * HUGE_LINE + b'a : () [ ] ;\n')
write('nested-pairs.txt', b'A : () [ out(' + nested(b'(', b'na', b', na)') + b') ] ;\n')
write('nested-encryptions.txt', b'A : () [ out(' + nested(b'{', b'na', b'}k') + b') ] ;\n')
write('nested-process.txt', b'A : () [ ' + nested(b'(', b'out(na)', b')') + b' ] ;\n')
write('sequence-2000.txt', sequence(2000))
write('sequence-2001.txt', sequence(2001))
write('many-roles.txt',
      b''.join(f'{name} : () [ out(na) ] ;\n'.encode() for name in role_names(ROLES)))
