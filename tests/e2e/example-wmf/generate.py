# The inputs are those of examples/wmf.
from example_inputs import copy_example

copy_example('wmf')
