# The inputs are those of examples/dspk.
from example_inputs import copy_example

copy_example('dspk')
