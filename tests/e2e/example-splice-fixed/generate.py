# The inputs are those of examples/splice-fixed.
from example_inputs import copy_example

copy_example('splice-fixed')
