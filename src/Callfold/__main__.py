"""python -m Callfold: the `callfold` command."""

import sys

from Callfold.cli import main

if __name__ == "__main__":  # importing the module (a type checker does) runs nothing
    sys.exit(main())
