# The inputs are those of examples/dspk-fixed.
from example_inputs import copy_example

copy_example('dspk-fixed')
