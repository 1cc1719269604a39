# The inputs are those of examples/otway-rees.
from example_inputs import copy_example

copy_example('otway-rees')
