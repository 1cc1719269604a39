# The inputs are those of examples/yahalom.
from example_inputs import copy_example

copy_example('yahalom')
