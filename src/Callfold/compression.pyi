import os
from collections.abc import Callable
from typing import Final

_deflate_library: Final[str]

def sort_and_compress(
    path: str | os.PathLike[str], *, index: bool = False, csi: bool = False, threads: int | None = None
) -> str:
    """Sort the VCF at path, write it BGZF-compressed to path + '.gz' and remove path.

    With index=True also write its tabix index (path + '.gz.tbi', or '.gz.csi' when a
    record lies beyond what TBI holds); csi=True always writes the CSI. threads caps the
    threads used at once (None: the cores available); the bytes never depend on it."""
def _set_progress(callback: Callable[[int], object] | None, min_interval: float = 0.25) -> None:
    """Register callback(bytes_done) for this module's long calls (None to stop): called with
    the GIL held at most once per min_interval seconds; an error it raises stops the call."""
