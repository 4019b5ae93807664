"""The `callfold` command: unify a sample's calls, filter its repeat VCF to a catalog, or sort a VCF.

Exit status: 0 on success, 1 when the work failed (one line on stderr naming the
file and the problem), 2 on a usage error, 130 when interrupted, 128 + the signal
number when stopped by SIGTERM or SIGHUP, 141 when stdout was closed early.

Every output is written under a private temporary name in its own directory and
renamed into place once complete, so no file the user did not name is touched and
a failed or stopped run leaves nothing behind.
"""

from __future__ import annotations

import argparse
import contextlib
import fcntl
import logging
import os
import shutil
import signal
import sys
import tempfile
import threading
import traceback
from collections.abc import Callable, Iterator, Sequence

import Callfold
from Callfold import compression, repeats, unifier
from Callfold._progress_line import ProgressLine


PROG = "callfold"

# --catalog-build's default: the build recognised from the repeat VCF's header.
AUTO_BUILD = "auto"
INDEX_SUFFIXES = (".tbi", ".csi")
# "-" as an input is read through this name: the readers take a path, and it reads stdin once.
STDIN = "-"
STDIN_PATH = "/dev/stdin"
STOP_SIGNALS = (signal.SIGTERM, signal.SIGHUP)
# The shell's status for a command ended by a closed pipe (128 + SIGPIPE).
CLOSED_STDOUT_STATUS = 128 + signal.SIGPIPE

TOP_EXAMPLES = """\
example:
  callfold filter-repeats --repeats sample.repeats.vcf.gz
  callfold sort calls.vcf --index
  callfold unify --output sample.unified.vcf.gz --sv sample.sv.vcf.gz --cnv sample.cnv.vcf.gz \\
      --repeats sample.repeats_filtered.vcf --roh sample.roh.bed --index

Run 'callfold COMMAND --help' for a command's options and an example.
"""

UNIFY_EXAMPLES = """\
example:
  callfold unify --output sample.unified.vcf --sv sample.sv.vcf.gz --cnv sample.cnv.vcf.gz \\
      --repeats sample.repeats_filtered.vcf --roh sample.roh.bed --drop-sv-filter InvBreakpoint --index

  writes sample.unified.vcf.gz and its index, and prints their paths.

  bcftools view -Oz sample.sv.bcf | callfold unify --output - --sv - --cnv sample.cnv.vcf.gz > out.vcf.gz
"""

FILTER_EXAMPLES = """\
example:
  callfold filter-repeats --repeats sample.repeats.vcf.gz

  recognises the VCF's genome build, writes the records at the loci of that build's
  shipped catalog to sample.repeats_filtered.vcf beside the input, and prints its path.

  callfold filter-repeats --repeats sample.repeats.vcf.gz --catalog-build b37

  callfold filter-repeats --repeats sample.repeats.vcf.gz --output sample.kept.vcf.gz --index
  zcat sample.repeats.vcf.gz | callfold filter-repeats --repeats - > kept.vcf
"""


SORT_EXAMPLES = """\
example:
  callfold sort sample.sv.vcf.gz --index
  writes sample.sv_sorted.vcf.gz and its index beside the input, and prints their paths.
  callfold sort big.vcf -o big.sorted.vcf.gz --max-memory 2G --temp-dir /scratch
  zcat calls.vcf.gz | callfold sort - > sorted.vcf.gz
"""
# --max-memory's default, and the multipliers of its suffixes.
DEFAULT_SORT_MEMORY = "768M"
SIZE_SUFFIXES = {"K": 1 << 10, "M": 1 << 20, "G": 1 << 30, "T": 1 << 40}


class CommandFailed(Exception):
    """A failure the command words itself (no traceback is of use)."""


class Stopped(BaseException):
    """SIGTERM or SIGHUP arrived: the run stops as on Ctrl-C."""

    def __init__(self, signum: int) -> None:
        super().__init__(signal.Signals(signum).name)
        self.signum = signum


def encodable(value: str) -> str:
    """An option value as the command line gave it: bytes the file-system encoding cannot decode are refused."""
    try:
        value.encode(sys.getfilesystemencoding(), "strict")
    except UnicodeEncodeError:
        raise argparse.ArgumentTypeError(
            f"{value!r} is not valid in the file-system encoding ({sys.getfilesystemencoding()})") from None
    return value


def file_name(value: str) -> str:
    """An option value that names a file."""
    if not encodable(value):
        raise argparse.ArgumentTypeError("the file name is empty")
    return value


def output_name(value: str) -> str:
    """An output name: "-" (stdout) or a name whose file part, less a final .gz, is not empty."""
    value = file_name(value)
    base = value[: -len(".gz")] if value.endswith(".gz") else value
    if value != STDIN and os.path.basename(base) in ("", ".", ".."):
        raise argparse.ArgumentTypeError(f"{value!r} names no file")
    return value


def thread_count(value: str) -> int:
    try:
        count = int(value)
    except ValueError:
        count = 0
    if not 1 <= count <= 1024:
        raise argparse.ArgumentTypeError(f"{value!r} is not a whole number from 1 to 1024")
    return count


def memory_size(value: str) -> int:
    """A number of bytes, with an optional K, M, G or T suffix (powers of 1024)."""
    text = value.strip().upper()
    multiplier = SIZE_SUFFIXES.get(text[-1:], 1)
    digits = text[:-1] if text[-1:] in SIZE_SUFFIXES else text
    if not digits.isdigit() or int(digits) == 0:
        raise argparse.ArgumentTypeError(f"{value!r} is not a size in bytes above 0 (a whole number, "
                                         "optionally followed by K, M, G or T)")
    return int(digits) * multiplier


def build_parser() -> argparse.ArgumentParser:
    # -v/-q are accepted before and after the subcommand; SUPPRESS keeps a
    # subcommand's unset default from overwriting what was given before it.
    verbosity = argparse.ArgumentParser(add_help=False)
    group = verbosity.add_mutually_exclusive_group()
    group.add_argument("-v", "--verbose", action="store_true", default=argparse.SUPPRESS,
                       help="log debug messages, and show the traceback of a failure")
    group.add_argument("-q", "--quiet", action="store_true", default=argparse.SUPPRESS,
                       help="log warnings and errors only, and show no progress")
    verbosity.add_argument("--threads", type=thread_count, default=argparse.SUPPRESS, metavar="N",
                           help="use at most N threads (default: the cores available)")

    parser = argparse.ArgumentParser(
        prog=PROG, parents=[verbosity], formatter_class=argparse.RawDescriptionHelpFormatter,
        description="Unify the outputs of a genome analysis run into one sorted, BGZF-compressed "
                    "structural-variant VCF, and restrict tandem-repeat calls to a catalog of disease loci.",
        epilog=TOP_EXAMPLES)
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
    unify.add_argument("--output", required=True, metavar="VCF", type=output_name,
                       help="the result: VCF.gz, or VCF itself when it ends in .gz; - writes it to stdout. "
                            "No other file is written")
    unify.add_argument("--sv", metavar="VCF", type=file_name, help="structural-variant calls (- reads stdin)")
    unify.add_argument("--cnv", metavar="VCF", type=file_name, help="copy-number calls")
    unify.add_argument("--repeats", metavar="VCF", type=file_name,
                       help="tandem-repeat genotypes (for example from filter-repeats)")
    unify.add_argument("--roh", metavar="BED_OR_VCF", type=file_name, help="runs of homozygosity, as a BED or a VCF")
    unify.add_argument("--skip-svtype", action="store_true", help="never add SVTYPE= to repeat records")
    unify.add_argument("--drop-sv-filter", action="append", default=[], metavar="TOKEN", type=encodable,
                       help="leave out SV records whose FILTER carries TOKEN (repeatable)")
    unify.add_argument("--index", action="store_true",
                       help="also write the index (.tbi, or .csi where positions exceed its range)")
    unify.add_argument("--csi", action="store_true", help="write a .csi index (implies --index)")
    unify.add_argument("--allow-build-mismatch", action="store_true",
                       help="unify inputs that name chromosomes differently or give a contig other lengths "
                            "(different reference builds) with a warning, instead of failing")
    unify.set_defaults(handler=run_unify, check=check_unify, parser=unify)

    filtering = add_command(
        "filter-repeats", "keep the tandem-repeat calls at catalog loci",
        "Write the records of a tandem-repeat VCF that overlap a catalog BED of disease\n"
        "loci to a VCF (plain, or sorted and BGZF-compressed when its name ends in .gz),\n"
        "and print its path.",
        FILTER_EXAMPLES)
    filtering.add_argument("--repeats", required=True, metavar="VCF", type=file_name,
                           help="tandem-repeat VCF, plain or bgzipped (- reads stdin)")
    catalog = filtering.add_mutually_exclusive_group()
    catalog.add_argument("--catalog", metavar="BED", type=file_name,
                         help="catalog BED (default: the shipped catalog of the VCF's build)")
    catalog.add_argument("--catalog-build", choices=[AUTO_BUILD, *repeats.CATALOG_BUILDS], default=AUTO_BUILD,
                         help="use the shipped catalog of this genome build; auto (the default) recognises the "
                              "build from the VCF's ##contig lengths, ##reference or ##assembly lines and "
                              "chromosome names, and fails when it cannot tell")
    filtering.add_argument("--engine", choices=[repeats.BUILTIN, repeats.BEDTOOLS],
                           help=f"intersection engine (default: {repeats.BUILTIN})")
    filtering.add_argument("--output", metavar="VCF", type=output_name,
                           help="filtered VCF to write: a name ending in .gz gets a sorted BGZF VCF, - writes "
                                "to stdout (default: beside the input, its name up to .vcf plus _filtered.vcf; "
                                "stdout when the input is -)")
    filtering.add_argument("--index", action="store_true",
                           help="also write the index of a .gz output (.tbi, or .csi where positions exceed its range)")
    filtering.add_argument("--csi", action="store_true", help="write a .csi index of a .gz output (implies --index)")
    filtering.add_argument("--allow-build-mismatch", action="store_true",
                           help="filter with a catalog whose chromosome naming differs from the VCF's, or keep "
                                "nothing when no record lies on a catalog chromosome, with a warning, instead "
                                "of failing")
    filtering.set_defaults(handler=run_filter_repeats, check=check_filter_repeats, parser=filtering)

    sorting = add_command(
        "sort", "sort any VCF into a BGZF .vcf.gz, in bounded memory",
        "Sort a VCF (plain, gzip or BGZF) by contig (##contig order, then order of first\n"
        "appearance) and POS, declare in its header what the records use undeclared, and\n"
        "write it BGZF-compressed; the input stays as it is. Records beyond --max-memory are\n"
        "sorted in parts, kept compressed in an unnamed temporary file, and merged: the\n"
        "result is the same. Prints the path of the .gz (and of its index with --index).",
        SORT_EXAMPLES)
    sorting.add_argument("input", metavar="INPUT", type=file_name, help="the VCF to sort (- reads stdin)")
    sorting.add_argument("-o", "--output", metavar="VCF", type=output_name,
                         help="the result: VCF.gz, or VCF itself when it ends in .gz; - writes it to stdout "
                              "(default: beside the input, its name up to .vcf plus _sorted.vcf.gz; "
                              "stdout when the input is -)")
    sorting.add_argument("--index", action="store_true",
                         help="also write the index (.tbi, or .csi where positions exceed its range)")
    sorting.add_argument("--csi", action="store_true", help="write a .csi index (implies --index)")
    sorting.add_argument("--max-memory", metavar="SIZE", type=memory_size, default=memory_size(DEFAULT_SORT_MEMORY),
                         help=f"memory the records may take before parts of them go to a temporary file: bytes, "
                              f"or with a K, M, G suffix (default: {DEFAULT_SORT_MEMORY})")
    sorting.add_argument("--temp-dir", metavar="DIR", type=file_name,
                         help="where the temporary file goes (default: the output's directory)")
    sorting.set_defaults(handler=run_sort, check=check_sort, parser=sorting)
    return parser


UNIFY_INPUTS = {"sv": unifier.SV, "cnv": unifier.CNV, "repeats": unifier.REPEATS, "roh": unifier.ROH}


def check_unify(args: argparse.Namespace) -> str | None:
    if not (args.sv or args.cnv or args.repeats):
        return "at least one of --sv, --cnv, --repeats is required (ROH input alone has no header to give)"
    from_stdin = [f"--{option}" for option in UNIFY_INPUTS if getattr(args, option) == STDIN]
    if len(from_stdin) > 1:
        return f"only one input can be read from stdin (-), not {' and '.join(from_stdin)}"
    if args.output == STDIN and (args.index or args.csi):
        return "--index and --csi need a file to write beside: not possible with --output -"
    return None


def check_filter_repeats(args: argparse.Namespace) -> str | None:
    if args.repeats == STDIN and args.catalog == STDIN:
        return "only one input can be read from stdin (-), not --repeats and --catalog"
    if args.repeats == STDIN and args.catalog is None and args.catalog_build == AUTO_BUILD:
        return "the build of a VCF read from stdin cannot be recognised before it is read: give --catalog-build or --catalog"
    if (args.index or args.csi) and (args.output is None or args.output == STDIN or not args.output.endswith(".gz")):
        return "--index and --csi need an --output file whose name ends in .gz"
    return None


def check_sort(args: argparse.Namespace) -> str | None:
    to_stdout = args.output == STDIN or (args.output is None and args.input == STDIN)
    if to_stdout and (args.index or args.csi):
        return "--index and --csi need a file to write beside: give -o with a file name"
    return None


def reading_path(value: str | None) -> str | None:
    return STDIN_PATH if value == STDIN else value


def missing_file(path: str, what: str) -> CommandFailed:
    """The failure of a command whose input `path` (the `what`) is not there."""
    return CommandFailed(f"{path}: the {what} does not exist")


def refuse_overwriting_inputs(outputs: Sequence[str], inputs: dict[str, str | None]) -> None:
    """The command replaces its outputs whole: one that is an input would be lost."""
    for output in outputs:
        for option, given in inputs.items():
            if given is None or given == STDIN:
                continue
            same = os.path.abspath(output) == os.path.abspath(given)
            with contextlib.suppress(OSError):
                same = same or os.path.samefile(output, given)
            if same:
                raise CommandFailed(f"{output}: the output would replace the {option} input {given}")


@contextlib.contextmanager
def private_directory(output: str | None) -> Iterator[str]:
    """A directory of this process's own beside `output` (for None, where temporary files go),
    for the files a run writes before their final names; removed whatever the outcome."""
    parent = None if output is None else os.path.dirname(os.path.abspath(output))
    if parent is not None and not os.path.isdir(parent):
        raise CommandFailed(f"{output}: its directory {parent} does not exist")
    directory = tempfile.mkdtemp(prefix=".callfold-", dir=parent)
    try:
        yield directory
    finally:
        shutil.rmtree(directory, ignore_errors=True)


def commit(written: str, final: str, index: str | None = None, replaces_indexes: bool = False) -> list[str]:
    """Renames a complete file (and its index) to its final name; the paths, as named.

    A command writing the same name at the same time waits: the .gz and index of one
    run never end up beside each other's. An index of an earlier file at the name goes
    first, so a stale index never stands beside the new file."""
    directory = os.open(os.path.dirname(os.path.abspath(final)), os.O_RDONLY | os.O_DIRECTORY)
    # A stopping signal waits until the renames are done: the .gz never stands without its index.
    held = signal.pthread_sigmask(signal.SIG_BLOCK, {*STOP_SIGNALS, signal.SIGINT})
    try:
        with contextlib.suppress(OSError):  # a file system without locks: the renames are still whole
            fcntl.flock(directory, fcntl.LOCK_EX)
        if replaces_indexes:
            for suffix in INDEX_SUFFIXES:
                with contextlib.suppress(FileNotFoundError):
                    os.remove(final + suffix)
        os.replace(written, final)
        committed = [final]
        if index is not None:
            final_index = final + index[len(written):]
            os.replace(index, final_index)
            committed.append(final_index)
        os.fsync(directory)
        return committed
    finally:
        os.close(directory)  # also lets go of the lock
        signal.pthread_sigmask(signal.SIG_SETMASK, held)


def copy_to_stdout(path: str) -> None:
    sys.stdout.flush()
    with open(path, "rb") as source:
        shutil.copyfileobj(source, sys.stdout.buffer, 1 << 20)
    sys.stdout.buffer.flush()


def compress(path: str, args: argparse.Namespace, progress: ProgressLine | None) -> tuple[str, str | None]:
    """Sorts and BGZF-compresses path to path.gz (indexed when asked); the .gz and the index."""
    if progress is not None:
        progress.stage = "sorting and compressing"
    if args.index or args.csi:
        return compression.sort_and_compress_indexed(path, csi=args.csi, threads=args.threads)
    return compression.sort_and_compress(path, threads=args.threads), None


def run_unify(args: argparse.Namespace, progress: ProgressLine | None) -> list[str]:
    to_stdout = args.output == STDIN
    final = args.output if to_stdout or args.output.endswith(".gz") else args.output + ".gz"
    given = {f"--{option}": getattr(args, option) for option in UNIFY_INPUTS}
    if not to_stdout:
        refuse_overwriting_inputs([final, *(final + suffix for suffix in INDEX_SUFFIXES)], given)
    if progress is not None:
        progress.stage = "unifying"
    with private_directory(None if to_stdout else final) as scratch:
        unsorted = os.path.join(scratch, "unified.vcf" if to_stdout else os.path.basename(final)[: -len(".gz")])
        paths = (reading_path(args.sv), reading_path(args.cnv), reading_path(args.repeats), reading_path(args.roh))
        rules = (args.skip_svtype, tuple(args.drop_sv_filter))
        written: tuple[str, str | None] | None
        if args.index or args.csi:
            written = unifier.run_indexed(unsorted, *paths, *rules, csi=args.csi,
                                          allow_build_mismatch=args.allow_build_mismatch, threads=args.threads)
        else:
            result = unifier.run(unsorted, *paths, *rules, allow_build_mismatch=args.allow_build_mismatch,
                                 threads=args.threads)
            written = None if result is None else (result, None)
        if written is None:
            raise CommandFailed("nothing to unify: none of the SV, CNV and repeat inputs holds a record "
                                "(see the warnings above)")
        if to_stdout:
            copy_to_stdout(written[0])
            return []
        return commit(written[0], final, written[1], replaces_indexes=True)


def chosen_catalog(args: argparse.Namespace) -> str:
    """--catalog, or the shipped catalog of the build given or recognised."""
    if args.catalog:
        return args.catalog
    build = args.catalog_build
    if build == AUTO_BUILD:
        if not os.path.exists(args.repeats):
            raise missing_file(args.repeats, "repeat VCF")
        build, evidence = repeats.recognise_build(args.repeats)
        if build is None:
            raise CommandFailed(f"{args.repeats}: cannot tell the genome build ({evidence}); "
                                "give --catalog-build or --catalog")
        logging.info("Repeat VCF %s is on %s (%s)", args.repeats, build, evidence)
    return repeats.catalog_path(build)


def run_filter_repeats(args: argparse.Namespace, progress: ProgressLine | None) -> list[str]:
    catalog = chosen_catalog(args)
    output = args.output or (STDIN if args.repeats == STDIN else repeats.filtered_repeat_path(args.repeats))
    to_stdout = output == STDIN
    compressed = not to_stdout and output.endswith(".gz")
    if not to_stdout:
        refuse_overwriting_inputs([output, *(output + suffix for suffix in INDEX_SUFFIXES)],
                                  {"--repeats": args.repeats, "--catalog": catalog})
    if progress is not None:
        progress.stage = "filtering"
    with private_directory(None if to_stdout else output) as scratch:
        name = "filtered.vcf" if to_stdout else os.path.basename(output)
        plain = os.path.join(scratch, name[: -len(".gz")] if compressed else name)
        result = repeats.filter_repeats_vcf(reading_path(args.repeats), reading_path(catalog), engine=args.engine,
                                            output_path=plain, allow_build_mismatch=args.allow_build_mismatch)
        if result is None:
            missing = catalog if args.repeats == STDIN or os.path.exists(args.repeats) else args.repeats
            what = "repeat VCF" if missing == args.repeats else "catalog BED"
            raise missing_file(missing, what)
        if to_stdout:
            copy_to_stdout(result)
            return []
        if compressed:
            written, index = compress(result, args, progress)
            return commit(written, output, index, replaces_indexes=True)
        return commit(result, output)


def sorted_path(input_path: str) -> str:
    """Beside the input: its name up to .vcf (or without .gz/.bgz) plus _sorted.vcf.gz."""
    directory, name = os.path.split(input_path)
    stem = name
    while True:
        root, extension = os.path.splitext(stem)
        if extension == ".vcf":
            stem = root
            break
        if not extension:
            lowered = name.lower()
            stem = next((name[: -len(suffix)] for suffix in (".gz", ".bgz") if lowered.endswith(suffix)), name)
            break
        stem = root
    return os.path.join(directory, stem + "_sorted.vcf.gz")


def naming_the_input(error: BaseException, link: str, given: str) -> None:
    """An error of sort_and_compress names the private link it was given: the user named the input."""
    shown = "stdin" if given == STDIN else given
    if isinstance(error, OSError) and error.filename == link:
        error.filename = shown
    if isinstance(error, ValueError) and not isinstance(error, UnicodeError) and error.args \
            and isinstance(error.args[0], str):
        error.args = (error.args[0].replace(link, shown), *error.args[1:])
    notes = getattr(error, "__notes__", None)
    if notes:
        error.__notes__ = [note.replace(link, shown) for note in notes]


def run_sort(args: argparse.Namespace, progress: ProgressLine | None) -> list[str]:
    output = args.output or (STDIN if args.input == STDIN else sorted_path(args.input))
    to_stdout = output == STDIN
    final = output if to_stdout or output.endswith(".gz") else output + ".gz"
    if args.input != STDIN and not os.path.exists(args.input):
        raise missing_file(args.input, "VCF")
    if args.temp_dir is not None and not os.path.isdir(args.temp_dir):
        raise missing_file(args.temp_dir, "temporary directory")
    if not to_stdout:
        refuse_overwriting_inputs([final, *(final + suffix for suffix in INDEX_SUFFIXES)], {"INPUT": args.input})
    with private_directory(None if to_stdout else final) as scratch:
        # sort_and_compress takes its input over and removes it: it is given a link of
        # its own to the input, whose removal leaves the input as it was.
        unsorted = os.path.join(scratch, "sorted.vcf" if to_stdout else os.path.basename(final)[: -len(".gz")])
        os.symlink(os.path.abspath(reading_path(args.input) or ""), unsorted)
        if progress is not None:
            progress.stage = "sorting and compressing"
        options = {"threads": args.threads, "max_memory": args.max_memory, "temp_dir": args.temp_dir}
        index: str | None = None
        try:
            if args.index or args.csi:
                written, index = compression.sort_and_compress_indexed(unsorted, csi=args.csi, **options)
            else:
                written = compression.sort_and_compress(unsorted, **options)
        except (OSError, ValueError) as error:
            naming_the_input(error, unsorted, args.input)
            raise
        if to_stdout:
            copy_to_stdout(written)
            return []
        return commit(written, final, index, replaces_indexes=True)


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


def not_given_warnings(args: argparse.Namespace) -> Callable[[logging.LogRecord], bool]:
    """Leaves out the warnings run logs about input types the user did not give."""
    absent = set()
    if args.handler is run_unify:
        absent = {f'Can\'t unify file type "{kind}". The file does not exist.'
                  for option, kind in UNIFY_INPUTS.items() if getattr(args, option) is None}

    def keep(record: logging.LogRecord) -> bool:
        return record.levelno != logging.WARNING or record.getMessage() not in absent

    return keep


@contextlib.contextmanager
def logging_to_stderr(level: int, progress: ProgressLine | None,
                      keep: Callable[[logging.LogRecord], bool]) -> Iterator[None]:
    root = logging.getLogger()
    handler = _StderrHandler(progress)
    handler.setFormatter(logging.Formatter("%(levelname)s: %(message)s"))
    handler.addFilter(keep)
    previous_level = root.level
    root.addHandler(handler)
    root.setLevel(level)
    try:
        yield
    finally:
        root.removeHandler(handler)
        root.setLevel(previous_level)


@contextlib.contextmanager
def progress_shown(progress: ProgressLine | None) -> Iterator[None]:
    if progress is None:
        yield
        return
    Callfold.set_progress(progress.update)
    try:
        yield
    finally:
        Callfold.set_progress(None)
        progress.clear()


@contextlib.contextmanager
def stopping_on_signals() -> Iterator[None]:
    """SIGTERM and SIGHUP raise Stopped wherever the run is, as Ctrl-C raises KeyboardInterrupt
    (the long calls poll for both). After the first, further ones wait: cleaning up is not cut short."""
    if threading.current_thread() is not threading.main_thread():
        yield
        return

    def stop(signum: int, frame: object) -> None:
        for number in (*STOP_SIGNALS, signal.SIGINT):
            signal.signal(number, signal.SIG_IGN)
        raise Stopped(signum)

    previous = {number: signal.signal(number, stop) for number in STOP_SIGNALS}
    previous_interrupt = signal.getsignal(signal.SIGINT)
    try:
        yield
    finally:
        for number, handler in previous.items():
            signal.signal(number, handler)
        signal.signal(signal.SIGINT, previous_interrupt)


def stdout_closed() -> int:
    """The reader of stdout has gone: what is still buffered for it goes nowhere, quietly."""
    with contextlib.suppress(OSError, ValueError):
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, sys.stdout.fileno())
        os.close(devnull)
    return CLOSED_STDOUT_STATUS


def main(argv: Sequence[str] | None = None) -> int:
    parser = build_parser()
    args = parser.parse_args(argv)
    verbose = getattr(args, "verbose", False)
    quiet = getattr(args, "quiet", False)
    if verbose and quiet:  # one given before the command and one after it
        args.parser.error("argument -q/--quiet: not allowed with argument -v/--verbose")
    args.threads = getattr(args, "threads", None)
    problem = args.check(args) if args.check is not None else None
    if problem is not None:
        args.parser.error(problem)
    level = logging.DEBUG if verbose else logging.WARNING if quiet else logging.INFO
    progress = ProgressLine(sys.stderr) if sys.stderr.isatty() and not quiet else None

    try:
        with stopping_on_signals():
            try:
                # The modules share one progress registration: setting it through one covers all.
                with logging_to_stderr(level, progress, not_given_warnings(args)), \
                        progress_shown(progress):
                    written = args.handler(args, progress)
                for path in written:
                    print(path)
                sys.stdout.flush()
            except BrokenPipeError as error:
                if error.filename is not None:  # an input or output file, not stdout
                    raise
                return stdout_closed()
    except Stopped as stopped:
        if verbose:
            traceback.print_exc()
        print(f"{PROG}: stopped by {stopped}", file=sys.stderr)
        return 128 + stopped.signum
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
    return 0
