"""
Restrict a tandem-repeat VCF to the loci of a catalog BED, with the built-in
intersection or, when named, by running `bedtools intersect`.
"""

from collections.abc import Iterable
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

_BUNDLED_CATALOG: str = 'STRchive-disease-loci.hg38.TRGT.bed'

BEDTOOLS: str = 'bedtools'

BUILTIN: str = 'builtin'

CATALOG_BUILDS: tuple[str, str, str, str]

def default_repeat_catalog_path() -> str:
    """
    Path of the catalog BED shipped with the module: data/<_BUNDLED_CATALOG> in the
    directory of the module's file. Computed afresh on each call; existence is not tested.
    """

def catalog_path(build: str) -> str:
    """
    Path of the shipped disease-locus catalog of a build in CATALOG_BUILDS: "hg38",
    "hg19", "t2t" (files in data/ beside the module), or "b37", derived from the hg19
    file ("chr" removed, chrM as MT) into $XDG_CACHE_HOME/callfold (~/.cache/callfold)
    and rewritten whenever it differs from the derivation. ValueError for any other build.
    """

def recognise_build(vcf_path: str | os.PathLike[str]) -> tuple[str | None, str]:
    """
    (build, evidence): the build of CATALOG_BUILDS a VCF (plain or gzip/BGZF) was called
    on, or None, and one line saying what was seen or why it cannot tell. Judged by the
    ##contig length of chr1/1 (GRCh38 248956422, GRCh37 249250621, T2T-CHM13
    248387328), else the names in ##reference/##assembly lines; the chromosome naming
    ("chr1" or "1", from ##contig lines or the first records) tells hg19 from b37 and
    refuses a naming no shipped catalog uses. Reads the header and as few records as needed.
    """

def bedtools_available() -> bool:
    """
    Whether an executable regular file named "bedtools" is on PATH (searched anew on each call).
    """

def filter_repeats_vcf(full_repeat_path: str | os.PathLike[str] | None = None, repeat_bed_file_path: str | os.PathLike[str] | None = None, engine: str | None = None, output_path: str | os.PathLike[str] | None = None, *, allow_build_mismatch: bool = True) -> str | None:
    """
    Write the records of the repeat VCF that overlap the catalog BED, after its header
    lines, to a plain VCF and return its path.

    Returns None with a warning when either path is None or names nothing. engine None
    or any name but "bedtools" runs the built-in engine, whatever is installed; only
    "bedtools" exactly (BEDTOOLS) runs `bedtools intersect` (RuntimeError when it is not
    on PATH). The output is output_path when given and not empty, else
    filtered_repeat_path of the repeat VCF. ValueError when the output would name the
    repeat VCF or the catalog (same path, other spelling, symbolic or hard link). Engine
    errors pass unchanged.

    The built-in engine gives a record the span [POS - 1, END), END from INFO, else
    POS - 1 plus the length of REF. bedtools sizes records its own way:
    - ALT a sequence or ".": REF alone, INFO END ignored, so a reference call whose
      one-base REF lies before a locus that its END covers is dropped by bedtools and
      kept by the built-in engine;
    - ALT symbolic ("<...>"): |SVLEN| or END, whichever INFO gives first;
    - a symbolic ALT with neither, an END below POS - 1, or a line of only spaces or
      tabs makes bedtools fail (CalledProcessError); the built-in engine judges such a
      record by the span above and skips such a line.

    After the engine's messages, a warning when the VCF names chromosomes (##contig lines
    or records) in another style than the catalog ("1" against "chr1", RefSeq
    "NC_000001.11"), or has records none of which lies on a chromosome the catalog names
    (with bedtools, only where the VCF and catalog are regular files that can be read a
    second time). With allow_build_mismatch false either is ValueError instead, and no
    output file is left behind (an existing file at the output path stays as it was).
    """

def filtered_repeat_path(full_repeat_path: str | os.PathLike[str]) -> str:
    """
    The default output path of filter_repeats_vcf: beside the input, its name stripped of extensions back to the
    last ".vcf", plus "_filtered.vcf" (d/s.vcf.gz -> d/s_filtered.vcf,
    calls.vcf.vcf -> calls.vcf_filtered.vcf).

    A name with no ".vcf" extension at any level (.bcf, .txt, .VCF, a bare ".vcf")
    keeps its whole name less one trailing ".gz" or ".bgz" (any case), so
    calls.txt.gz -> calls.txt_filtered.vcf and .vcf -> .vcf_filtered.vcf.
    """

_filtered_repeat_path = filtered_repeat_path

def _intersect_with_bedtools(repeat_path: str | os.PathLike[str], bed_path: str | os.PathLike[str], output_path: str | os.PathLike[str]) -> None:
    """
    Run `bedtools intersect -a repeat_path -b bed_path -header -u` with its standard
    output written to output_path (created or truncated first) and wait for it.
    subprocess.CalledProcessError on a non-zero exit status; OSError when bedtools
    cannot be started (the output then exists, empty); ValueError when output_path
    names an input.
    """

def _intersect_in_python(repeat_path: str | os.PathLike[str], bed_path: str | os.PathLike[str], output_path: str | os.PathLike[str]) -> None:
    """
    The built-in intersection: copy the header lines of the repeat VCF (plain or gzip)
    and each record whose span overlaps a catalog interval, once, in input order, to
    output_path; log "Repeat records kept: %d, outside the catalog: %d". ValueError
    when output_path names an input (checked before the output is opened).
    """

def _record_span(line: str) -> tuple[str, int, int] | None:
    """
    (CHROM, POS - 1, END) of a VCF record line, END from INFO or else start plus
    max(len(REF), 1); None when the line has fewer than 8 columns or POS is not an integer.
    """

def _info_end(info: str) -> int | None:
    """
    END of the first "END=" entry of an INFO column, or None when there is none or
    its value is not an integer (a later END= entry is then not consulted).
    """

def _read_bed_intervals(bed_path: str | os.PathLike[str]) -> dict[str, list[tuple[int, int]]]:
    """
    Catalog intervals by chromosome, each list sorted by start then end. Blank,
    "#"/"track"/"browser" lines, lines of fewer than 3 TAB-separated columns and
    lines whose start or end is not an integer are skipped; a bound that is integer text
    beyond 64 bits is ValueError, its note naming the line.
    """

def _overlaps(intervals: Iterable[tuple[int, int]], start: int, end: int) -> bool:
    """
    Whether [start, end) overlaps an interval of a list sorted by start: a scan from
    the first interval that stops at the first one starting at or after end.
    """

class _VcfTextStream:
    """
    Lines of a VCF as str, each with its "\\n" (the last may lack it), read
    as strict UTF-8 with universal newlines; gzip members are read in turn.
    """

    def __iter__(self) -> _VcfTextStream: ...

    def __next__(self) -> str: ...

    def readline(self) -> str:
        """The next line, or "" at the end."""

    def read(self) -> str:
        """Everything not read yet, as one str."""

    def close(self) -> None:
        """Release the file; later reads raise ValueError."""

    @property
    def closed(self) -> bool: ...

    @property
    def name(self) -> str: ...

    def __enter__(self) -> _VcfTextStream: ...

    def __exit__(self, *args: object) -> None: ...

def _open_vcf_text(path: str | os.PathLike[str]) -> _VcfTextStream:
    """
    Open the VCF at path for reading as text, gzip-decompressed when its first two
    bytes are the gzip magic number (never judged by the name). The caller closes it.
    """
