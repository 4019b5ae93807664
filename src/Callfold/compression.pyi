import os

def sort_and_compress(path: str | os.PathLike[str], *, index: bool = False, csi: bool = False) -> str:
    """Sort the VCF at path, write it BGZF-compressed to path + '.gz' and remove path.

    With index=True also write its tabix index (path + '.gz.tbi', or '.gz.csi' when a
    record lies beyond what TBI holds); csi=True always writes the CSI."""
