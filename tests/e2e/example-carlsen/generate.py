# The inputs are those of examples/carlsen.
from example_inputs import copy_example

copy_example('carlsen')
