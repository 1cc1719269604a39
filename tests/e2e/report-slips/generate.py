# Nothing to make: the case runs in a scratch copy of its folder, so that a run
# that writes a report over an input file cannot harm the repository.
