"""Restrict a tandem-repeat VCF to the loci of a catalog BED, with the built-in
intersection or, when named, by running `bedtools intersect`."""

import collections.abc
from collections.abc import Callable
import os
from typing import Final, final

_BUNDLED_CATALOG: Final = "STRchive-disease-loci.hg38.TRGT.bed"
BEDTOOLS: Final = "bedtools"
BUILTIN: Final = "builtin"
CATALOG_BUILDS: Final[tuple[str, str, str, str]]

def default_repeat_catalog_path() -> str:
    """Path of the catalog BED shipped with the module (data/<_BUNDLED_CATALOG> beside it)."""

def catalog_path(build: str) -> str:
    """Path of the shipped disease-locus catalog of a build in CATALOG_BUILDS ("hg38", "hg19",
    "b37", "t2t"); b37 is derived from the hg19 file ("chr" removed, chrM as MT) into a per-user
    cache directory. ValueError naming the build and the known ones for any other build."""

def recognise_build(vcf_path: str | os.PathLike[str]) -> tuple[str | None, str]:
    """(build, evidence): the build of CATALOG_BUILDS a VCF was called on, or None, and one line
    saying what was seen or why it cannot tell (##contig length of chr1/1, then ##reference or
    ##assembly names, then the chromosome naming)."""

def bedtools_available() -> bool:
    """Whether an executable regular file named "bedtools" is on PATH, searched anew."""

def filter_repeats_vcf(
    full_repeat_path: str | os.PathLike[str] | None = None,
    repeat_bed_file_path: str | os.PathLike[str] | None = None,
    engine: str | None = None,
    output_path: str | os.PathLike[str] | None = None,
    *,
    allow_build_mismatch: bool = True,
) -> str | None:
    """Write the repeat records that overlap the catalog, after the VCF's header lines,
    to a plain VCF and return its path; None (with a warning) when an input is missing.

    The built-in engine runs unless engine is "bedtools" exactly, whatever is installed.
    Raises RuntimeError when engine "bedtools" is requested but not on PATH, and
    ValueError when the output path names the repeat VCF or the catalog.

    The built-in engine spans a record [POS - 1, END), END from INFO, else POS - 1 plus
    len(REF). bedtools sizes a record with a sequence or "." ALT by REF alone (INFO END
    ignored), one with a symbolic ALT by |SVLEN| or END, whichever INFO gives first, and
    fails on a symbolic ALT with neither, an END below POS - 1 or a whitespace-only line.

    Warns when the VCF names chromosomes in another style than the catalog (a "1" VCF
    against a "chr1" catalog), or has records none of which lies on a chromosome the catalog
    names; with allow_build_mismatch false either raises ValueError and leaves no output."""

def _filtered_repeat_path(full_repeat_path: str | os.PathLike[str]) -> str:
    """Default output path: beside the input, extensions stripped back to the last
    ".vcf", plus "_filtered.vcf". A name with no ".vcf" extension at any level keeps
    its whole name less one trailing ".gz"/".bgz" (any case)."""

def _intersect_with_bedtools(
    repeat_path: str | os.PathLike[str], bed_path: str | os.PathLike[str], output_path: str | os.PathLike[str]
) -> None: ...
def _intersect_in_python(
    repeat_path: str | os.PathLike[str], bed_path: str | os.PathLike[str], output_path: str | os.PathLike[str]
) -> None: ...
def _record_span(line: str) -> tuple[str, int, int] | None: ...
def _info_end(info: str) -> int | None: ...
def _read_bed_intervals(bed_path: str | os.PathLike[str]) -> dict[str, list[tuple[int, int]]]: ...
def _overlaps(intervals: collections.abc.Iterable[tuple[int, int]], start: int, end: int) -> bool: ...
def _open_vcf_text(path: str | os.PathLike[str]) -> _VcfTextStream: ...
@final
class _VcfTextStream:
    """Lines of a VCF as str, decompressed when the file is gzip; closed by its owner."""

    def __iter__(self) -> _VcfTextStream: ...
    def __next__(self) -> str: ...
    def readline(self) -> str: ...
    def read(self) -> str: ...
    def close(self) -> None: ...
    @property
    def closed(self) -> bool: ...
    @property
    def name(self) -> str: ...
    def __enter__(self) -> _VcfTextStream: ...
    def __exit__(self, *args: object) -> None: ...

def _set_progress(callback: Callable[[int], object] | None, min_interval: float = 0.25) -> None:
    """Register callback(bytes_done) for this module's long calls (None to stop): called with
    the GIL held at most once per min_interval seconds; an error it raises stops the call."""
