"""Callfold: one sorted, BGZF-compressed structural VCF from the outputs of a genome analysis run."""

from Callfold.unifier import run

# The package's one version number: the build reads it from this line.
__version__ = "0.1.0"

__all__ = ["__version__", "run"]
