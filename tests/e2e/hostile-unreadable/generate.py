"""An input file that cannot be read, in place of each of the four files. Permissions do not
bind the superuser, so the case is skipped when run as root."""
import os, sys

from hostile_inputs import write

if os.geteuid() == 0:
    print('running as root, for whom every file is readable')
    sys.exit(77)
write('unreadable.txt', b'true ;\n')
os.chmod('unreadable.txt', 0)
