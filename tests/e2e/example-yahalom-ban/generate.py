# The inputs are those of examples/yahalom-ban.
from example_inputs import copy_example

copy_example('yahalom-ban')
