"""The `callfold` command: unify a sample's calls, or filter its repeat VCF to a catalog.

Exit status: 0 on success, 1 when the work failed (one line on stderr naming the
file and the problem), 2 on a usage error, 130 when interrupted.
"""

from __future__ import annotations

import argparse
import contextlib
import logging
import os
import sys
import traceback
from collections.abc import Iterator, Sequence
from types import ModuleType

import Callfold
from Callfold import compression, repeats, unifier
from Callfold._progress_line import ProgressLine


PROG = "callfold"

# Shipped catalog file per genome build, beside the default one.
CATALOG_FILES = {
    "hg38": "STRchive-disease-loci.hg38.TRGT.bed",
    "hg19": "STRchive-disease-loci.hg19.TRGT.bed",
    "t2t": "STRchive-disease-loci.T2T-chm13.TRGT.bed",
}
INDEX_SUFFIXES = (".tbi", ".csi")

UNIFY_EXAMPLES = """\
example:
  callfold unify --output sample.unified.vcf --sv sample.sv.vcf.gz --cnv sample.cnv.vcf.gz \\
      --repeats sample.repeats_filtered.vcf --roh sample.roh.bed --drop-sv-filter InvBreakpoint --index

  writes sample.unified.vcf.gz and its index, and prints their paths.
"""

FILTER_EXAMPLES = """\
example:
  callfold filter-repeats --repeats sample.repeats.vcf.gz --catalog-build hg38

  writes sample.repeats_filtered.vcf beside the input and prints its path.
"""


class CommandFailed(Exception):
    """A failure the command words itself (no traceback is of use)."""


def catalog_path(build: str) -> str:
    return os.path.join(os.path.dirname(repeats.default_repeat_catalog_path()), CATALOG_FILES[build])


def build_parser() -> argparse.ArgumentParser:
    # -v/-q are accepted before and after the subcommand; SUPPRESS keeps a
    # subcommand's unset default from overwriting what was given before it.
    verbosity = argparse.ArgumentParser(add_help=False)
    group = verbosity.add_mutually_exclusive_group()
    group.add_argument("-v", "--verbose", action="store_true", default=argparse.SUPPRESS,
                       help="log debug messages, and show the traceback of a failure")
    group.add_argument("-q", "--quiet", action="store_true", default=argparse.SUPPRESS,
                       help="log warnings and errors only, and show no progress")

    parser = argparse.ArgumentParser(
        prog=PROG, parents=[verbosity],
        description="Unify the outputs of a genome analysis run into one sorted, BGZF-compressed "
                    "structural-variant VCF, and restrict tandem-repeat calls to a catalog of disease loci.",
        epilog="Run 'callfold COMMAND --help' for a command's options and an example.")
    parser.add_argument("--version", action="version", version=f"{PROG} {Callfold.__version__}")
    commands = parser.add_subparsers(dest="command", metavar="COMMAND", required=True)

    def add_command(name: str, summary: str, description: str, examples: str) -> argparse.ArgumentParser:
        return commands.add_parser(name, parents=[verbosity], formatter_class=argparse.RawDescriptionHelpFormatter,
                                   help=summary, description=description, epilog=examples)

    unify = add_command(
        "unify", "unify SV, CNV, repeat and ROH calls into one sorted .vcf.gz",
        "Unify a sample's SV, CNV, tandem-repeat and ROH calls into one VCF, sort it and\n"
        "compress it with BGZF. Prints the path of the .gz (and of its index with --index).",
        UNIFY_EXAMPLES)
    unify.add_argument("--output", required=True, metavar="VCF",
                       help="the unified VCF to write; the result is VCF.gz, which replaces the VCF "
                            "(a name ending in .gz is taken as the result's name)")
    unify.add_argument("--sv", metavar="VCF", help="structural-variant calls")
    unify.add_argument("--cnv", metavar="VCF", help="copy-number calls")
    unify.add_argument("--repeats", metavar="VCF", help="tandem-repeat genotypes (for example from filter-repeats)")
    unify.add_argument("--roh", metavar="BED_OR_VCF", help="runs of homozygosity, as a BED or a VCF")
    unify.add_argument("--skip-svtype", action="store_true", help="never add SVTYPE= to repeat records")
    unify.add_argument("--drop-sv-filter", action="append", default=[], metavar="TOKEN",
                       help="leave out SV records whose FILTER carries TOKEN (repeatable)")
    unify.add_argument("--index", action="store_true",
                       help="also write the index (.tbi, or .csi where positions exceed its range)")
    unify.add_argument("--csi", action="store_true", help="write a .csi index (implies --index)")
    unify.set_defaults(handler=run_unify, check=check_unify, parser=unify)

    filtering = add_command(
        "filter-repeats", "keep the tandem-repeat calls at catalog loci",
        "Write the records of a tandem-repeat VCF that overlap a catalog BED of disease\n"
        "loci to a plain VCF, and print its path.",
        FILTER_EXAMPLES)
    filtering.add_argument("--repeats", required=True, metavar="VCF", help="tandem-repeat VCF, plain or bgzipped")
    catalog = filtering.add_mutually_exclusive_group()
    catalog.add_argument("--catalog", metavar="BED", help="catalog BED (default: the shipped GRCh38 catalog)")
    catalog.add_argument("--catalog-build", choices=sorted(CATALOG_FILES),
                         help="use the shipped catalog of this genome build")
    filtering.add_argument("--engine", choices=[repeats.BUILTIN, repeats.BEDTOOLS],
                           help=f"intersection engine (default: {repeats.BUILTIN})")
    filtering.add_argument("--output", metavar="VCF",
                           help="filtered VCF to write (default: beside the input, its name up to .vcf plus _filtered.vcf)")
    filtering.set_defaults(handler=run_filter_repeats, check=None, parser=filtering)
    return parser


def check_unify(args: argparse.Namespace) -> str | None:
    if not (args.sv or args.cnv or args.repeats):
        return "at least one of --sv, --cnv, --repeats is required (ROH input alone has no header to give)"
    return None


def run_unify(args: argparse.Namespace, progress: ProgressLine | None) -> list[str]:
    output = args.output[: -len(".gz")] if args.output.endswith(".gz") else args.output
    write_index = args.index or args.csi
    index: list[str] = []

    def sort(path: str) -> str:
        if progress is not None:
            progress.stage = "sorting and compressing"
        result = compression.sort_and_compress(path, index=write_index, csi=args.csi)
        if write_index:
            index.append(written_index(result))
        return result

    if progress is not None:
        progress.stage = "unifying"
    result = unifier._run_with(sort, output, sv_path=args.sv, cnv_path=args.cnv, repeat_path=args.repeats,
                               roh_bed_path=args.roh, skip_svtype=args.skip_svtype,
                               drop_sv_filters=tuple(args.drop_sv_filter))
    if result is None:
        raise CommandFailed("nothing to unify: none of the SV, CNV and repeat inputs holds a record "
                            "(see the warnings above)")
    return [result, *index]


def written_index(compressed: str) -> str:
    for suffix in INDEX_SUFFIXES:
        if os.path.exists(compressed + suffix):
            return compressed + suffix
    raise CommandFailed(f"{compressed}: no index was written beside it")


def run_filter_repeats(args: argparse.Namespace, progress: ProgressLine | None) -> list[str]:
    catalog = args.catalog or catalog_path(args.catalog_build or "hg38")
    if progress is not None:
        progress.stage = "filtering"
    result = repeats.filter_repeats_vcf(args.repeats, catalog, engine=args.engine, output_path=args.output)
    if result is None:
        missing = args.repeats if not os.path.exists(args.repeats) else catalog
        what = "repeat VCF" if missing == args.repeats else "catalog BED"
        raise CommandFailed(f"{missing}: the {what} does not exist")
    return [result]


def describe(error: BaseException) -> str:
    """One line: the problem, naming the file, with the notes that say where in it."""
    if isinstance(error, OSError) and error.filename is not None:
        text = f"{os.fsdecode(error.filename)}: {error.strerror or error}"
        if error.filename2 is not None:
            text += f" ({os.fsdecode(error.filename2)})"
    else:
        text = str(error)
        # Lookups say only "list index out of range" or the key; the kind tells more.
        if isinstance(error, LookupError) or not text:
            text = f"{type(error).__name__}: {text}".rstrip(": ")
    notes = [str(note) for note in getattr(error, "__notes__", ())]
    if notes:
        text += f" ({'; '.join(notes)})"
    return " ".join(text.split("\n"))


class _StderrHandler(logging.StreamHandler):
    """Log lines on stderr, with the progress line taken away first."""

    def __init__(self, progress: ProgressLine | None) -> None:
        super().__init__(sys.stderr)
        self.progress = progress

    def emit(self, record: logging.LogRecord) -> None:
        if self.progress is not None:
            self.progress.clear()
        super().emit(record)


@contextlib.contextmanager
def logging_to_stderr(level: int, progress: ProgressLine | None) -> Iterator[None]:
    root = logging.getLogger()
    handler = _StderrHandler(progress)
    handler.setFormatter(logging.Formatter("%(levelname)s: %(message)s"))
    previous_level = root.level
    root.addHandler(handler)
    root.setLevel(level)
    try:
        yield
    finally:
        root.removeHandler(handler)
        root.setLevel(previous_level)


@contextlib.contextmanager
def progress_from(modules: Sequence[ModuleType], progress: ProgressLine | None) -> Iterator[None]:
    if progress is None:
        yield
        return
    for module in modules:
        module._set_progress(progress.update)
    try:
        yield
    finally:
        for module in modules:
            module._set_progress(None)
        progress.clear()


def main(argv: Sequence[str] | None = None) -> int:
    parser = build_parser()
    args = parser.parse_args(argv)
    problem = args.check(args) if args.check is not None else None
    if problem is not None:
        args.parser.error(problem)
    verbose = getattr(args, "verbose", False)
    quiet = getattr(args, "quiet", False)
    level = logging.DEBUG if verbose else logging.WARNING if quiet else logging.INFO
    progress = ProgressLine(sys.stderr) if sys.stderr.isatty() and not quiet else None

    try:
        with logging_to_stderr(level, progress), progress_from((unifier, compression, repeats), progress):
            written = args.handler(args, progress)
    except KeyboardInterrupt:
        if verbose:
            traceback.print_exc()
        print(f"{PROG}: interrupted", file=sys.stderr)
        return 130
    except Exception as error:  # every failure ends in one line, and exit status 1
        if verbose:
            traceback.print_exc()
        print(f"{PROG}: error: {describe(error)}", file=sys.stderr)
        return 1
    for path in written:
        print(path)
    return 0
