import os
from typing import Final

_deflate_library: Final[str]

def sort_and_compress(path: str | os.PathLike[str]) -> str:
    """Sort the VCF at path, write it BGZF-compressed to path + '.gz' and remove path."""
