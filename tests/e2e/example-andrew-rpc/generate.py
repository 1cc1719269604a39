# The inputs are those of examples/andrew-rpc.
from example_inputs import copy_example

copy_example('andrew-rpc')
