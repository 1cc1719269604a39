# The inputs are those of examples/splice.
from example_inputs import copy_example

copy_example('splice')
