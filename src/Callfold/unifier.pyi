"""Unify SV / CNV / repeat / ROH calls into one structural VCF for Orvane."""

import collections.abc
import gzip as gzip
import logging as logging
import os
from dataclasses import dataclass as dataclass, field as field
from typing import Dict as Dict, Final, Iterable as Iterable, List as List, Optional as Optional, Sequence as Sequence
from typing import Callable, TypeVar

from _typeshed import SupportsWrite

from Callfold.compression import sort_and_compress as sort_and_compress

# unify_lines hands back the very output_path object it was given.
_PathT = TypeVar("_PathT", bound=str | os.PathLike[str])

SV: Final = "sv"
CNV: Final = "cnv"
REPEATS: Final = "repeats"
ROH: Final = "roh"
FILE_TYPES: Final[tuple[str, str, str, str]]
_VCF_COLUMN_HEADER: Final = "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT"

class RohFormat:
    """How a caller's ROH input arrives."""

    AUTO: Final = "auto"
    BED: Final = "bed"
    VCF: Final = "vcf"
    BCFTOOLS_ROH: Final = "bcftools_roh"

@dataclass(frozen=True)
class UnifyOptions:
    """Per-caller differences in how the inputs are read."""

    add_repeat_svtype: Optional[bool] = None
    roh_format: str = "auto"
    drop_sv_filters: Sequence[str] = ()
    allow_build_mismatch: bool = True

def get_lines(file_path: str | os.PathLike[str]) -> List[str]:
    """Read a plain or gzip-compressed text file into its lines, each with its "\\n"."""

def is_empty(lines: Iterable[str]) -> bool:
    """Whether the lines hold no record: only header lines ("#" after stripping) and blank lines."""

def vcf_header_from_lines(vcf_lines: Iterable[str]) -> str:
    """The header of a VCF's lines: every line up to and including the first holding "#CHROM"."""

def is_valid_line(line: str) -> bool:
    """Whether a CNV line is worth keeping: header lines and records carrying "SVTYPE="
    always, other records unless their genotype is the no-call "./."."""

def modify_repeat_line(repeat_line: str) -> str:
    """Append ";SVTYPE=REP" to the INFO field of a repeat record of one or more sample columns."""

def _repeat_line_needs_svtype(repeat_line: str) -> bool: ...
def _marked_repeat_line(repeat_line: str, add_repeat_svtype: Optional[bool]) -> str: ...
def _roh_lines_are_bed(roh_lines: Sequence[str], declared: str) -> bool: ...
def roh_bed_line_to_vcf(bed_line: str) -> str:
    """Convert one ROH BED interval (chrom, start, end and an optional score) into an <ROH>
    VCF record; ROH_SCORE only when the score column is there."""

def drop_sv_records_by_filter(lines: Sequence[str], filter_tokens: Sequence[str]) -> List[str]:
    """Leave out the SV records whose FILTER carries one of the tokens as a whole entry."""

def _write_vcf_content(
    file_type: str, lines_dict: Dict[str, Optional[List[str]]], output_h: SupportsWrite[str], options: UnifyOptions
) -> None: ...
def unify_lines(
    files_lines: Dict[str, Optional[List[str]]], output_path: _PathT, options: Optional[UnifyOptions] = None
) -> _PathT | None:
    """Write the unsorted unified VCF at output_path and return output_path (the object given)."""

def read_struct_lines(
    struct_files: collections.abc.Mapping[str, str | os.PathLike[str] | None], options: Optional[UnifyOptions] = None
) -> Dict[str, Optional[List[str]]]:
    """Read every present input in the order sv, cnv, repeats, roh into its lines."""

def run(
    output_path: str | os.PathLike[str],
    sv_path: str | os.PathLike[str] | None = None,
    cnv_path: str | os.PathLike[str] | None = None,
    repeat_path: str | os.PathLike[str] | None = None,
    roh_bed_path: str | os.PathLike[str] | None = None,
    skip_svtype: bool = False,
    drop_sv_filters: Sequence[str] = (),
    *,
    allow_build_mismatch: bool = True,
    threads: int | None = None,
) -> Optional[str]:
    """Unify the inputs into output_path, then sort and BGZF-compress it; the path of the
    compressed file, or None when no input could donate a header. threads caps the sort
    step's threads (None: the cores available); the bytes never depend on it."""

def _run_with(
    sort: Callable[..., str],
    output_path: str | os.PathLike[str],
    sv_path: str | os.PathLike[str] | None = None,
    cnv_path: str | os.PathLike[str] | None = None,
    repeat_path: str | os.PathLike[str] | None = None,
    roh_bed_path: str | os.PathLike[str] | None = None,
    skip_svtype: bool = False,
    drop_sv_filters: Sequence[str] = (),
    *,
    allow_build_mismatch: bool = True,
    threads: int | None = None,
) -> Optional[str]:
    """run with its sorting step given: sort(output_path) gets the unified file (the object
    given), sort(output_path, threads=threads) when threads is not None."""

def _set_progress(callback: Callable[[int], object] | None, min_interval: float = 0.25) -> None:
    """Register callback(bytes_done) for this module's long calls (None to stop): called with
    the GIL held at most once per min_interval seconds; an error it raises stops the call."""
