# The inputs are those of examples/kerberos.
from example_inputs import copy_example

copy_example('kerberos')
