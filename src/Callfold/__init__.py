"""Callfold: one sorted, BGZF-compressed structural VCF from the outputs of a genome analysis run."""

# Progress is registered once for every module's long calls; each module's
# _set_progress is this same registration.
from Callfold.compression import _set_progress as set_progress
from Callfold.unifier import run

# The package's one version number: the build reads it from this line.
__version__ = "0.1.0"

__all__ = ["__version__", "run", "set_progress"]
