# The inputs are those of examples/denning-sacco.
from example_inputs import copy_example

copy_example('denning-sacco')
