"""
Unify SV / CNV / repeat / ROH calls into one structural VCF for Orvane.
"""

from collections.abc import Mapping
from dataclasses import dataclass
import os
from typing import (
    Callable,
    Dict,
    Iterable,
    List,
    Optional,
    Sequence,
    TypeVar
)

from Callfold.compression import (
    sort_and_compress as sort_and_compress
)



SV: str = 'sv'

CNV: str = 'cnv'

REPEATS: str = 'repeats'

ROH: str = 'roh'

FILE_TYPES: tuple[str, str, str, str]

_VCF_COLUMN_HEADER: str = ...

class RohFormat:
    """How a caller's ROH input arrives."""

    AUTO: str = 'auto'

    BED: str = 'bed'

    VCF: str = 'vcf'

    BCFTOOLS_ROH: str = 'bcftools_roh'

@dataclass(frozen=True)
class UnifyOptions:
    """Per-caller differences in how the inputs are read."""
    add_repeat_svtype: Optional[bool] = None
    roh_format: str = "auto"
    drop_sv_filters: Sequence[str] = ()
    allow_build_mismatch: bool = True

def get_lines(file_path: str | os.PathLike[str]) -> List[str]:
    """
    Read a plain or gzip-compressed text file into its lines, each with its "\\n".

    The file is first read as gzip (all members of a BGZF file in turn); when that fails
    for any reason it is read again as plain UTF-8, whose errors reach the caller.
    """

def is_empty(lines: Iterable[str]) -> bool:
    """
    Whether the lines hold no record: only header lines ("#" after stripping) and blank lines.
    """

def vcf_header_from_lines(vcf_lines: Iterable[str]) -> str:
    """
    The header of a VCF's lines: every line up to and including the first holding "#CHROM".
    """

def is_valid_line(line: str) -> bool:
    """
    Whether a CNV line is worth keeping: header lines and records carrying "SVTYPE="
    always, other records unless their genotype is the no-call "./.".
    """

def modify_repeat_line(repeat_line: str) -> str:
    """
    Append ";SVTYPE=REP" to the INFO field of a repeat record of one or more sample
    columns (at least ten fields; ValueError otherwise).
    """

def _repeat_line_needs_svtype(repeat_line: str) -> bool:
    """
    Whether a record of at least ten fields lacks "SVTYPE=" in its INFO field.
    """

def _marked_repeat_line(repeat_line: str, add_repeat_svtype: Optional[bool]) -> str:
    """
    The repeat line as it is to be written: marked with ";SVTYPE=REP" when it lacks an
    "SVTYPE=" (None), always (true) or never (false).
    """

def _roh_lines_are_bed(roh_lines: Sequence[str], declared: str) -> bool:
    """
    Whether ROH input is to be converted (a BED or `bcftools roh` regions): "bed",
    "bcftools_roh" or "vcf" decide; anything else detects a VCF by a line holding the
    full column header.
    """

def roh_bed_line_to_vcf(bed_line: str) -> str:
    """
    Convert one ROH BED interval (chrom, start, end and an optional score) into an <ROH>
    VCF record; ROH_SCORE only when the score column is there.
    """

def drop_sv_records_by_filter(lines: Sequence[str], filter_tokens: Sequence[str]) -> List[str]:
    """
    Leave out the SV records whose FILTER carries one of the tokens as a whole entry.

    Header lines and lines too short to have a FILTER field always stay; the lines that
    stay are the very input texts, in order. A single text is one token.
    """

def _write_vcf_content(file_type: str, lines_dict: Dict[str, Optional[List[str]]], output_h, options: UnifyOptions) -> None:
    """
    Append one input's records, never its header, to the open text file output_h.

    Repeat records are marked, ROH BED intervals converted, others copied; each line
    written ends in "\\n".
    """

_PathT = TypeVar("_PathT", bound=str | os.PathLike[str])
def unify_lines(files_lines: Dict[str, Optional[List[str]]], output_path: _PathT, options: Optional[UnifyOptions] = None) -> _PathT | None:
    """
    Write the unsorted unified VCF at output_path and return output_path.

    The first present of sv, cnv, repeats donates the header; the records of the other
    inputs follow in the order cnv, repeats, roh. None (and an empty file) when no input
    could donate a header.

    Before its #CHROM line the header gains the INFO, FORMAT, FILTER, ALT and contig lines
    of the appended inputs whose ID it does not yet declare (the first declaration wins; a
    differing Number or Type is warned), and a FORMAT GT declaration is written as
    Number=1,Type=String, the genotype text that the records hold.

    ValueError, before output_path is opened, when an appended input's records would
    not carry the sample columns of that header (a converted ROH BED record has one).
    ValueError, also before output_path is opened, when the ROH input is neither a BED,
    a VCF nor `bcftools roh` regions (under RohFormat.AUTO) or holds regions of several
    samples. An appended input that names chromosomes in another style than the donor
    ("1" against "chr1") or gives a contig another ##contig length is warned of, or
    refused with ValueError when options.allow_build_mismatch is false.
    """

def read_struct_lines(struct_files: Mapping[str, str | os.PathLike[str] | None], options: Optional[UnifyOptions] = None) -> Dict[str, Optional[List[str]]]:
    """
    Read every present input in the order sv, cnv, repeats, roh into its lines.

    SV lines lose the records dropped by options.drop_sv_filters. An input with no path,
    or with nothing but headers, is reported by a warning and maps to None.
    """

def run(output_path: str | os.PathLike[str], sv_path: str | os.PathLike[str] | None = None, cnv_path: str | os.PathLike[str] | None = None, repeat_path: str | os.PathLike[str] | None = None, roh_bed_path: str | os.PathLike[str] | None = None, skip_svtype: bool = False, drop_sv_filters: Sequence[str] = (), *, allow_build_mismatch: bool = True, threads: int | None = None) -> Optional[str]:
    """
    Unify the inputs into output_path, then sort and BGZF-compress it.

    Returns the path of the compressed file (the uncompressed one does not remain), or
    None when no input could donate a header. FILTER tokens in drop_sv_filters leave
    their SV records out; skip_svtype true never adds "SVTYPE=" to repeat records.
    ValueError when output_path, or its compressed name, is one of the inputs, or when
    an appended input's sample columns disagree with the header donor's. Inputs of
    different reference builds (chromosome naming styles or ##contig lengths) are warned
    of, or refused with ValueError before the output is opened when allow_build_mismatch
    is false.

    threads caps the threads the job uses at once (None: the cores available);
    the bytes written never depend on it.
    """

def run_indexed(output_path: str | os.PathLike[str], sv_path: str | os.PathLike[str] | None = None, cnv_path: str | os.PathLike[str] | None = None, repeat_path: str | os.PathLike[str] | None = None, roh_bed_path: str | os.PathLike[str] | None = None, skip_svtype: bool = False, drop_sv_filters: Sequence[str] = (), *, csi: bool = False, allow_build_mismatch: bool = True, threads: int | None = None) -> tuple[str, str] | None:
    """
    run, with the tabix index written in the same pass: (the compressed file, its index),
    or None when no input could donate a header. The index is output_path + '.gz.tbi',
    or output_path + '.gz.csi' when csi is true or a record ends beyond what TBI holds
    (see compression.sort_and_compress_indexed). Raises what run raises.
    """

def _run_with(sort: Callable[..., str], output_path: str | os.PathLike[str], sv_path: str | os.PathLike[str] | None = None, cnv_path: str | os.PathLike[str] | None = None, repeat_path: str | os.PathLike[str] | None = None, roh_bed_path: str | os.PathLike[str] | None = None, skip_svtype: bool = False, drop_sv_filters: Sequence[str] = (), *, allow_build_mismatch: bool = True, threads: int | None = None) -> Optional[str]:
    """
    run with its sorting step given: sort(output_path) is called with the unified file and
    its result returned (for a step that also writes an index); sort(output_path,
    threads=threads) when threads is not None.
    """

def _set_progress(callback: Callable[[int], object] | None, min_interval: float = 0.25) -> None:
    """
    Register callback(bytes_done) for the long calls of every Callfold module, or None
    to stop (one registration: the modules' _set_progress all set it).

    During a call it is called with the GIL held, with the bytes read from input files
    and compressed so far by that call, at most once per min_interval seconds (the
    first time once min_interval has passed). An error it raises stops the call and is
    raised to the caller.
    """
