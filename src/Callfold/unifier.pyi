"""Unify SV / CNV / repeat / ROH calls into one structural VCF for Orvane."""

import gzip as gzip
import logging as logging
from dataclasses import dataclass as dataclass, field as field
from typing import IO, Any, Callable, Dict as Dict, Final, Iterable as Iterable, List as List, Optional as Optional, Sequence as Sequence

from Callfold.compression import sort_and_compress as sort_and_compress

SV: Final[str]
CNV: Final[str]
REPEATS: Final[str]
ROH: Final[str]
FILE_TYPES: Final[tuple[str, str, str, str]]
_VCF_COLUMN_HEADER: Final[str]

class RohFormat:
    """How a caller's ROH input arrives."""

    AUTO: Final[str]
    BED: Final[str]
    VCF: Final[str]

@dataclass(frozen=True)
class UnifyOptions:
    """Per-caller differences in how the inputs are read."""

    add_repeat_svtype: Optional[bool] = None
    roh_format: str = "auto"
    drop_sv_filters: Sequence[str] = ()

def get_lines(file_path: str) -> List[str]: ...
def is_empty(lines: Iterable[str]) -> bool: ...
def vcf_header_from_lines(vcf_lines: Iterable[str]) -> str: ...
def is_valid_line(line: str) -> bool: ...
def modify_repeat_line(repeat_line: str) -> str: ...
def _repeat_line_needs_svtype(repeat_line: str) -> bool: ...
def _marked_repeat_line(repeat_line: str, add_repeat_svtype: Optional[bool]) -> str: ...
def _roh_lines_are_bed(roh_lines: Sequence[str], declared: str) -> bool: ...
def roh_bed_line_to_vcf(bed_line: str) -> str: ...
def drop_sv_records_by_filter(lines: Sequence[str], filter_tokens: Sequence[str]) -> List[str]: ...
def _write_vcf_content(
    file_type: str, lines_dict: Dict[str, Optional[List[str]]], output_h: IO[str] | Any, options: UnifyOptions
) -> None: ...
def unify_lines(
    files_lines: Dict[str, Optional[List[str]]], output_path: str, options: Optional[UnifyOptions] = None
) -> Optional[str]: ...
def read_struct_lines(
    struct_files: Dict[str, Optional[str]], options: Optional[UnifyOptions] = None
) -> Dict[str, Optional[List[str]]]: ...
def run(
    output_path: str,
    sv_path: Optional[str] = None,
    cnv_path: Optional[str] = None,
    repeat_path: Optional[str] = None,
    roh_bed_path: Optional[str] = None,
    skip_svtype: bool = False,
    drop_sv_filters: Sequence[str] = (),
) -> Optional[str]: ...
def _set_progress(callback: Callable[[int], object] | None, min_interval: float = 0.25) -> None:
    """Register callback(bytes_done) for this module's long calls (None to stop): called with
    the GIL held at most once per min_interval seconds; an error it raises stops the call."""
