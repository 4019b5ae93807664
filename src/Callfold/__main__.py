"""python -m Callfold: the `callfold` command."""

import sys

from Callfold.cli import main

sys.exit(main())
