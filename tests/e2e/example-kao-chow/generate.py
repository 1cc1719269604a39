# The inputs are those of examples/kao-chow.
from example_inputs import copy_example

copy_example('kao-chow')
