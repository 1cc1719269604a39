# The inputs are those of examples/neuman-stubblebine.
from example_inputs import copy_example

copy_example('neuman-stubblebine')
