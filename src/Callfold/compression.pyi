import os

def sort_and_compress(path: str | os.PathLike[str]) -> str:
    """Sort the VCF at path, write it BGZF-compressed to path + '.gz' and remove path."""
