# The inputs are those of examples/x509-fixed.
from example_inputs import copy_example

copy_example('x509-fixed')
