"""Callfold: one sorted, BGZF-compressed structural VCF from the outputs of a genome analysis run."""

from Callfold.unifier import run

__all__ = ["run"]
