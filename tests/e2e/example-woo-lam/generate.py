# The inputs are those of examples/woo-lam.
from example_inputs import copy_example

copy_example('woo-lam')
