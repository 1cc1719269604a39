"""Hostile join components files: see hostile_inputs.py; besides, formulas nested 100,000 deep
through parentheses, encryptions in a term and negations, and a conjunction of 100,000 operands."""
from hostile_inputs import NESTING, nested, write, write_common

write_common('join.txt')
write('nested-parens.txt', nested(b'(', b'true', b')') + b' ;\n')
write('nested-encryptions.txt', b':> ' + nested(b'{', b'nb_1', b'}k_1') + b' ;\n')
write('nested-negations.txt', b'not ' * NESTING + b'true ;\n')
write('long-conjunction.txt', b' and '.join([b'true'] * NESTING) + b' ;\n')
