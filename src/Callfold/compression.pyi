"""
Sort a VCF and compress it with BGZF so that tabix can index it, or index it in the same pass.
"""

import os
from typing import Callable



def _set_progress(callback: Callable[[int], object] | None, min_interval: float = 0.25) -> None:
    """
    Register callback(bytes_done) for the long calls of every Callfold module, or None
    to stop (one registration: the modules' _set_progress all set it).

    During a call it is called with the GIL held, with the bytes read from input files
    and compressed so far by that call, at most once per min_interval seconds (the
    first time once min_interval has passed). An error it raises stops the call and is
    raised to the caller.
    """

def sort_and_compress(path: str | os.PathLike[str], *, index: bool = False, csi: bool = False, threads: int | None = None, max_memory: int | None = None, temp_dir: str | os.PathLike[str] | None = None) -> str:
    """
    Sort the VCF at path, write it BGZF-compressed to path + '.gz' and remove path.

    The header is a ##fileformat line when the input has none, then its other header
    lines in input order (also those that stood after records), then declarations
    for contigs, INFO and FORMAT keys, FILTER values and symbolic alleles that the
    records use but the header does not declare, then the #CHROM line; a second
    #CHROM line identical to the first is dropped. Records follow, ordered by contig
    (##contig order first, then order of first appearance) and POS, ties in input
    order; a POS written other than as plain digits (+7, 007, 1_000) is written as
    plain digits. Blank lines are dropped. The input is removed only after the
    compressed file is complete and synced to disk; on any error it is left as it
    was and no output file remains. Raises ValueError, naming the path and line, for
    a record without CHROM or integer POS, a record with another number of
    TAB-separated columns than the #CHROM line, or a second #CHROM line that
    differs from the first; and, naming the path, for a file without a #CHROM line.

    With index=True the tabix index is written in the same pass, from the offsets of
    the compressed blocks: path + '.gz.tbi', the index `tabix -p vcf` builds, or
    path + '.gz.csi' when a record ends beyond position 2^29, which TBI cannot hold;
    csi=True always writes the CSI (and implies index). Records are placed as tabix
    places them: from POS, to the end of REF or to INFO END when that lies beyond POS.
    The index is synced and renamed into place after the .gz; on any error neither
    remains. Raises ValueError, naming the path, for a record holding a NUL byte or
    ending beyond position 2^41, which no index can describe.

    An index of either kind left beside path + '.gz' by an earlier run describes
    other data: it is removed (also with index=False) before the new file takes
    the name. Without index=True no index is written.

    threads caps the threads used at once (None: the cores available); the bytes
    written never depend on it. Raises ValueError for a value below 1 or above 1024.

    max_memory bounds the memory the records take (bytes; None: no bound): when they
    need more, sorted parts of them are written, compressed, to an unnamed temporary
    file in temp_dir (default: the directory of path) and merged. The files written
    are the same bytes as without the bound; the temporary file never has a name
    (or loses it at once), so nothing of it remains after success, error or
    interrupt. A record longer than half the bound is held whole all the same. Raises
    ValueError for a max_memory that is not a positive int, OSError naming temp_dir
    when no temporary file can be created there.
    """

def sort_and_compress_indexed(path: str | os.PathLike[str], *, csi: bool = False, threads: int | None = None, max_memory: int | None = None, temp_dir: str | os.PathLike[str] | None = None) -> tuple[str, str]:
    """
    sort_and_compress(path, index=True, csi=csi, threads=threads, max_memory=max_memory,
    temp_dir=temp_dir), returning both files
    written: (path + '.gz', its index: path + '.gz.tbi', or path + '.gz.csi' when csi is
    true or a record ends beyond what TBI holds). Raises what sort_and_compress raises.
    """

_deflate_library: str
