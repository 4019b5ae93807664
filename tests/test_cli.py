"""The `callfold` command, run as users run it: the installed script and
`python -m Callfold`, in a child process, judged by exit status, stdout and stderr."""

from __future__ import annotations

import contextlib
import gzip
import importlib.metadata
import os
import re
import signal
import subprocess
import sys
import threading
import time
from pathlib import Path

import pysam
import pytest

import Callfold
from Callfold import repeats

ENTRY_POINTS = {
    "module": [sys.executable, "-P", "-m", "Callfold"],
    "script": [str(Path(sys.executable).parent / "callfold")],
}
LOG_LINE = re.compile(r"^(DEBUG|INFO|WARNING|ERROR|CRITICAL): ")
HEADER = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tHG002\n"
BAD_CNV = HEADER + (
    "chr1\t5000000\tcnv.del.1\tN\t<DEL>\t30\tPASS\tSVTYPE=DEL;END=5100000\tGT:CN\t0/1:1\n"
    "chr2\t7000000\tcnv.nocall.1\tN\t<DEL>\t.\tPASS\tEND=7050000\tCN\t2\n"  # a no-call without GT
)


def callfold(*args: str, entry: str = "module", cwd: Path | None = None, env: dict | None = None,
             **kwargs) -> subprocess.CompletedProcess:
    return subprocess.run([*ENTRY_POINTS[entry], *args], capture_output=True, text=True, cwd=cwd, env=env,
                          timeout=120, **kwargs)


def error_lines(stderr: str) -> list[str]:
    return [line for line in stderr.splitlines() if line.startswith("callfold: error:")]


def decompressed(path: str | Path) -> str:
    with gzip.open(path, "rt") as text:
        return text.read()


@pytest.fixture
def inputs(data_copy) -> dict[str, str]:
    return {name: data_copy(f"{name}.vcf" if name != "roh" else "roh.bed") for name in ("sv", "cnv", "repeats", "roh")}


def unify_arguments(inputs: dict[str, str], output: Path) -> list[str]:
    return ["unify", "--output", str(output), "--sv", inputs["sv"], "--cnv", inputs["cnv"],
            "--repeats", inputs["repeats"], "--roh", inputs["roh"]]


# --- help, version, usage ---------------------------------------------------------------------

@pytest.mark.parametrize("entry", ENTRY_POINTS)
@pytest.mark.parametrize(
    "command, expected",
    [
        ([], ["unify", "filter-repeats", "--version", "-v, --verbose", "-q, --quiet", "--threads N", "example:",
              "callfold unify --output sample.unified.vcf.gz"]),
        (["unify"], ["example:", "callfold unify --output", "--drop-sv-filter TOKEN", "--index", "--csi"]),
        (["filter-repeats"], ["example:", "callfold filter-repeats --repeats", "--catalog-build {auto,hg38,hg19,b37,t2t}",
                              "--engine {builtin,bedtools}"]),
    ],
    ids=["callfold", "unify", "filter-repeats"],
)
def test_help_describes_each_command_with_an_example(entry, command, expected):
    done = callfold(*command, "--help", entry=entry)
    assert done.returncode == 0 and done.stderr == ""
    assert done.stdout.startswith(f"usage: callfold {' '.join(command)}".rstrip())
    for text in expected:
        assert text in done.stdout


@pytest.mark.parametrize("entry", ENTRY_POINTS)
def test_version(entry):
    done = callfold("--version", entry=entry)
    assert done.returncode == 0
    assert done.stdout == f"callfold {importlib.metadata.version('callfold')}\n"


@pytest.mark.parametrize(
    "arguments, complaint",
    [
        pytest.param([], "the following arguments are required: COMMAND", id="no-command"),
        pytest.param(["merge"], "invalid choice: 'merge'", id="unknown-command"),
        pytest.param(["unify", "--sv", "sv.vcf"], "the following arguments are required: --output", id="no-output"),
        pytest.param(["unify", "--output", "out.vcf"], "at least one of --sv, --cnv, --repeats", id="no-inputs"),
        pytest.param(["unify", "--output", "out.vcf", "--roh", "roh.bed"], "at least one of --sv, --cnv, --repeats",
                     id="roh-alone"),
        pytest.param(["unify", "--output", "out.vcf", "--sv", "sv.vcf", "--sort"], "unrecognized arguments: --sort",
                     id="unknown-option"),
        pytest.param(["-v", "-q", "unify", "--output", "out.vcf", "--sv", "sv.vcf"], "not allowed with argument",
                     id="verbose-and-quiet"),
        pytest.param(["-v", "unify", "--output", "out.vcf", "--sv", "sv.vcf", "-q"], "not allowed with argument",
                     id="verbose-before-quiet-after"),
        pytest.param(["unify", "--output", "", "--sv", "sv.vcf"], "argument --output: the file name is empty",
                     id="empty-output"),
        pytest.param(["unify", "--output", ".gz", "--sv", "sv.vcf"], "argument --output: '.gz' names no file",
                     id="gz-alone"),
        pytest.param(["unify", "--output", "out.vcf", "--sv", b"sv\xff.vcf"],
                     "argument --sv: 'sv\\udcff.vcf' is not valid in the file-system encoding",
                     id="undecodable-name"),
        pytest.param(["--threads", "0", "unify", "--output", "out.vcf", "--sv", "sv.vcf"],
                     "argument --threads: '0' is not a whole number from 1 to 1024", id="no-threads"),
        pytest.param(["unify", "--output", "out.vcf", "--sv", "-", "--cnv", "-"],
                     "only one input can be read from stdin (-), not --sv and --cnv", id="stdin-twice"),
        pytest.param(["unify", "--output", "-", "--sv", "sv.vcf", "--index"], "not possible with --output -",
                     id="index-to-stdout"),
        pytest.param(["filter-repeats", "--repeats", "r.vcf", "--output", "r.vcf", "--index"],
                     "--index and --csi need an --output file whose name ends in .gz", id="index-of-plain"),
        pytest.param(["filter-repeats", "--output", ""], "argument --output: the file name is empty",
                     id="filter-empty-output"),
        pytest.param(["filter-repeats"], "the following arguments are required: --repeats", id="no-repeats"),
        pytest.param(["filter-repeats", "--repeats", "r.vcf", "--catalog", "c.bed", "--catalog-build", "hg19"],
                     "not allowed with argument", id="catalog-and-build"),
        pytest.param(["filter-repeats", "--repeats", "r.vcf", "--catalog-build", "hg18"], "invalid choice: 'hg18'",
                     id="unknown-build"),
        pytest.param(["filter-repeats", "--repeats", "r.vcf", "--engine", "BEDTOOLS"], "invalid choice: 'BEDTOOLS'",
                     id="unknown-engine"),
    ],
)
def test_usage_errors_exit_2_and_write_nothing(tmp_path, arguments, complaint):
    done = callfold(*arguments, cwd=tmp_path)
    assert done.returncode == 2
    assert done.stdout == ""
    assert done.stderr.startswith("usage: callfold")
    assert complaint in done.stderr
    assert list(tmp_path.iterdir()) == []


# --- unify ------------------------------------------------------------------------------------

@pytest.mark.parametrize("entry", ENTRY_POINTS)
@pytest.mark.parametrize(
    "options, keywords",
    [
        ([], {}),
        (["--drop-sv-filter", "InvBreakpoint"], {"drop_sv_filters": ("InvBreakpoint",)}),
        (["--drop-sv-filter", "InvBreakpoint", "--drop-sv-filter", "LowQual", "--skip-svtype"],
         {"drop_sv_filters": ("InvBreakpoint", "LowQual"), "skip_svtype": True}),
    ],
    ids=["plain", "drop-one", "drop-two-skip-svtype"],
)
def test_unify_writes_what_run_writes(tmp_path, inputs, entry, options, keywords):
    output = tmp_path / "cli" / "sample.unified.vcf"
    output.parent.mkdir()
    done = callfold(*unify_arguments(inputs, output), *options, entry=entry)
    assert done.returncode == 0, done.stderr
    assert done.stdout == f"{output}.gz\n"
    assert re.search(rf"INFO: Created unified vcf file at {re.escape(str(output.parent))}/\.callfold-\w+/"
                     rf"{re.escape(output.name)}\n", done.stderr)
    assert all(LOG_LINE.match(line) for line in done.stderr.splitlines()), done.stderr
    assert not output.exists()

    reference = Callfold.run(str(tmp_path / "api.vcf"), inputs["sv"], inputs["cnv"], inputs["repeats"],
                             inputs["roh"], **keywords)
    assert decompressed(f"{output}.gz") == decompressed(reference)
    with pysam.VariantFile(f"{output}.gz") as unified:
        ids = {record.id for record in unified}
    assert ("sv.inv.bp1" in ids) is not ("drop_sv_filters" in keywords)


def test_unify_output_named_as_the_result(tmp_path, inputs):
    output = tmp_path / "sample.vcf.gz"
    done = callfold("unify", "--output", str(output), "--sv", inputs["sv"], "--cnv", inputs["cnv"])
    assert done.returncode == 0, done.stderr
    assert done.stdout == f"{output}\n"
    assert sorted(path.name for path in tmp_path.iterdir()) == ["inputs", "sample.vcf.gz"]
    assert decompressed(output).count("\tsv.del.2\t") == 1
    assert "Can't unify file type" not in done.stderr  # repeats and roh were not given


@pytest.mark.parametrize("suffix", [".tbi", ".csi"])
def test_unify_removes_the_index_of_the_file_it_replaces(tmp_path, inputs, suffix):
    output = tmp_path / "sample.vcf"
    stale = tmp_path / f"sample.vcf.gz{suffix}"
    stale.write_bytes(b"an index of an earlier sample.vcf.gz")
    done = callfold("unify", "--output", str(output), "--sv", inputs["sv"])
    assert done.returncode == 0, done.stderr
    assert not stale.exists()


@pytest.mark.parametrize("option, suffix", [("--index", ".tbi"), ("--csi", ".csi")])
def test_unify_writes_the_index(tmp_path, inputs, option, suffix):
    output = tmp_path / "sample.vcf"
    done = callfold(*unify_arguments(inputs, output), option)
    assert done.returncode == 0, done.stderr
    assert done.stdout == f"{output}.gz\n{output}.gz{suffix}\n"
    with pysam.VariantFile(f"{output}.gz", index_filename=f"{output}.gz{suffix}") as unified:
        on_chr2 = [record.id for record in unified if record.chrom == "chr2"]
        assert [record.id for record in unified.fetch("chr2")] == on_chr2
        assert "sv.del.2" in on_chr2


# --- failures ---------------------------------------------------------------------------------

def failing_cases(tmp_path: Path, inputs: dict[str, str]) -> dict[str, tuple[list[str], str]]:
    bad_cnv = tmp_path / "bad_cnv.vcf"
    bad_cnv.write_text(BAD_CNV)
    headers_only = tmp_path / "headers_only.vcf"
    headers_only.write_text(HEADER)
    missing = tmp_path / "nope.vcf"
    output = str(tmp_path / "out.vcf")
    return {
        "missing-input": (["unify", "--output", output, "--sv", inputs["sv"], "--cnv", str(missing)],
                          f"callfold: error: {missing}: No such file or directory"),
        "bad-record": (["unify", "--output", output, "--cnv", str(bad_cnv)],
                       f"callfold: error: 'GT' is not in list (cnv input '{bad_cnv}', line 4: "
                       "'chr2\\t7000000\\tcnv.nocall.1\\tN\\t<DEL>\\t.\\tPASS\\tEND=7050000\\tCN\\t2')"),
        "nothing-to-unify": (["unify", "--output", output, "--sv", str(headers_only)],
                             "callfold: error: nothing to unify: none of the SV, CNV and repeat inputs holds a "
                             "record (see the warnings above)"),
        "missing-output-directory": (["unify", "--output", str(tmp_path / "nowhere" / "out.vcf.gz"),
                                      "--sv", inputs["sv"]],
                                     f"callfold: error: {tmp_path / 'nowhere' / 'out.vcf.gz'}: its directory "
                                     f"{tmp_path / 'nowhere'} does not exist"),
        "output-is-input": (["filter-repeats", "--repeats", inputs["repeats"], "--output", inputs["repeats"]],
                            f"callfold: error: {inputs['repeats']}: the output would replace the --repeats input "
                            f"{inputs['repeats']}"),
        "missing-repeats": (["filter-repeats", "--repeats", str(missing)],
                            f"callfold: error: {missing}: the repeat VCF does not exist"),
        "missing-catalog": (["filter-repeats", "--repeats", inputs["repeats"], "--catalog", str(missing)],
                            f"callfold: error: {missing}: the catalog BED does not exist"),
    }


FAILING = ["missing-input", "bad-record", "nothing-to-unify", "missing-output-directory", "output-is-input",
           "missing-repeats", "missing-catalog"]


@pytest.mark.parametrize("case", FAILING)
def test_a_failure_is_one_line_and_exit_1(tmp_path, inputs, case):
    arguments, message = failing_cases(tmp_path, inputs)[case]
    done = callfold(*arguments)
    assert done.returncode == 1
    assert done.stdout == ""
    assert done.stderr.splitlines()[-1] == message
    assert error_lines(done.stderr) == [message]
    assert "Traceback" not in done.stderr


def test_bedtools_asked_for_but_missing(tmp_path, inputs, path_dir):
    done = callfold("filter-repeats", "--repeats", inputs["repeats"], "--engine", "bedtools",
                    env={**os.environ, "PATH": str(path_dir)})
    assert done.returncode == 1
    assert error_lines(done.stderr) == [
        "callfold: error: bedtools was requested to filter the repeats VCF but is not on PATH"]


@pytest.mark.parametrize("where", ["before", "after"])
def test_verbose_shows_the_traceback(tmp_path, inputs, where):
    arguments, message = failing_cases(tmp_path, inputs)["bad-record"]
    arguments = ["-v", *arguments] if where == "before" else [*arguments, "-v"]
    done = callfold(*arguments)
    assert done.returncode == 1
    lines = done.stderr.splitlines()
    assert "Traceback (most recent call last):" in lines
    assert "ValueError: 'GT' is not in list" in lines
    assert lines[-1] == message


@pytest.mark.parametrize("where", ["before", "after"])
def test_quiet_keeps_only_results_and_errors(tmp_path, inputs, where):
    output = tmp_path / "sample.vcf"
    arguments = unify_arguments(inputs, output)
    done = callfold(*(["-q", *arguments] if where == "before" else [*arguments, "-q"]))
    assert done.returncode == 0
    assert done.stderr == ""
    assert done.stdout == f"{output}.gz\n"

    arguments, message = failing_cases(tmp_path, inputs)["bad-record"]
    failed = callfold("-q", *arguments)
    assert failed.returncode == 1
    assert failed.stderr.splitlines()[-1] == message


# --- filter-repeats ---------------------------------------------------------------------------

def first_locus(catalog: Path) -> tuple[str, int, int]:
    for line in catalog.read_text().splitlines():
        if line and not line.startswith(("#", "track", "browser")):
            chromosome, start, end = line.split("\t")[:3]
            return chromosome, int(start), int(end)
    raise AssertionError(f"{catalog} has no interval")


@pytest.mark.parametrize("build", [None, "hg38", "hg19", "b37", "t2t"])
def test_filter_repeats_with_each_shipped_catalog(tmp_path, build):
    catalog = Path(repeats.catalog_path(build or "hg38"))
    chromosome, start, _ = first_locus(catalog)
    vcf = tmp_path / "sample.repeats.vcf"
    # Without --catalog-build the build is recognised: GRCh38's length of chr1.
    header = HEADER.replace("#CHROM", "##contig=<ID=chr1,length=248956422>\n#CHROM") if build is None else HEADER
    far = "1" if build == "b37" else "chr1"
    vcf.write_text(header
                   + f"{chromosome}\t{start + 1}\tat_locus\tC\t<STR>\t.\tPASS\tEND={start + 1}\tGT\t0/1\n"
                   + f"{far}\t1000\tfar_away\tC\t<STR>\t.\tPASS\tEND=1010\tGT\t0/1\n")
    done = callfold("filter-repeats", "--repeats", str(vcf), *(["--catalog-build", build] if build else []))
    assert done.returncode == 0, done.stderr
    filtered = tmp_path / "sample.repeats_filtered.vcf"
    assert done.stdout == f"{filtered}\n"
    assert f"INFO: Filtering {vcf} against {catalog} with the builtin engine\n" in done.stderr
    records = [line.split("\t")[2] for line in filtered.read_text().splitlines() if not line.startswith("#")]
    assert records == ["at_locus"]


def test_filter_repeats_output_and_catalog_named(tmp_path, inputs, require_tool):
    require_tool("bedtools")
    catalog = tmp_path / "catalog.bed"
    catalog.write_text("chr3\t63912680\t63912700\tATXN7\n")
    output = tmp_path / "kept.vcf"
    done = callfold("filter-repeats", "--repeats", inputs["repeats"], "--catalog", str(catalog),
                    "--engine", "bedtools", "--output", str(output))
    assert done.returncode == 0, done.stderr
    assert done.stdout == f"{output}\n"
    assert f"against {catalog} with the bedtools engine" in done.stderr
    records = [line.split("\t")[1] for line in output.read_text().splitlines() if not line.startswith("#")]
    assert records == ["63912684"]


# --- progress and interrupts ------------------------------------------------------------------

def slow_sv_input(fifo: Path, pause: float) -> threading.Thread:
    """Writes an SV VCF into a FIFO: a few records, then, after `pause` seconds, a megabyte more."""

    def write() -> None:
        try:
            with open(fifo, "w") as out:
                out.write(HEADER + "chr1\t100\tfirst\tN\t<DEL>\t.\tPASS\tSVTYPE=DEL;END=200\tGT\t0/1\n")
                out.flush()
                time.sleep(pause)
                out.writelines(f"chr1\t{1000 + i}\tsv{i}\tN\t<DEL>\t.\tPASS\tSVTYPE=DEL;END={2000 + i}\tGT\t0/1\n"
                               for i in range(16_000))
        except BrokenPipeError:  # the reader failed; its test says so
            pass

    thread = threading.Thread(target=write, daemon=True)
    thread.start()
    return thread


def release_writer(fifo: Path, writer: threading.Thread) -> None:
    with contextlib.suppress(OSError):  # a writer still waiting for a reader is let go
        os.close(os.open(fifo, os.O_RDONLY | os.O_NONBLOCK))
    writer.join(timeout=10)


def run_at_terminal(arguments: list[str], cwd: Path) -> tuple[int, str, str]:
    """Runs callfold with stderr on a pseudo-terminal; (status, stdout, what the terminal got)."""
    import pty

    controller, terminal = pty.openpty()
    child = subprocess.Popen([*ENTRY_POINTS["module"], *arguments], stdout=subprocess.PIPE, stderr=terminal,
                             stdin=subprocess.DEVNULL, cwd=cwd)
    os.close(terminal)
    shown = bytearray()
    while True:
        try:
            chunk = os.read(controller, 4096)
        except OSError:  # the child has gone and closed the terminal
            break
        if not chunk:
            break
        shown += chunk
    os.close(controller)
    stdout = child.stdout.read().decode()
    child.stdout.close()
    return child.wait(timeout=60), stdout, shown.decode()


@pytest.mark.parametrize(
    "at_terminal, quiet, shown",
    [(True, False, True), (True, True, False), (False, False, False)],
    ids=["terminal", "terminal-quiet", "pipe"],
)
def test_progress_on_a_terminal_only(tmp_path, at_terminal, quiet, shown):
    fifo = tmp_path / "sv.vcf"
    os.mkfifo(fifo)
    writer = slow_sv_input(fifo, pause=2.5)
    output = tmp_path / "out.vcf"
    arguments = ["unify", "--output", str(output), "--sv", str(fifo), *(["-q"] if quiet else [])]
    if at_terminal:
        status, stdout, stderr = run_at_terminal(arguments, tmp_path)
    else:
        done = callfold(*arguments, cwd=tmp_path)
        status, stdout, stderr = done.returncode, done.stdout, done.stderr
    release_writer(fifo, writer)
    assert status == 0, stderr
    assert stdout == f"{output}.gz\n"
    assert ("  unifying: " in stderr) is shown, stderr
    if shown:
        # Each line is drawn over the last and taken away before the command ends.
        last = stderr.rindex(" done")
        assert re.search(r"\r\x1b\[K  unifying: \d+(\.\d)? (B|KiB|MiB) done", stderr)
        assert "\r\x1b[K" in stderr[last:]
    else:
        assert "\r" not in stderr.replace("\r\n", "\n")


def test_interrupt_exits_130_without_a_traceback(tmp_path):
    fifo = tmp_path / "sv.vcf"
    os.mkfifo(fifo)  # nobody writes: reading it waits until interrupted
    child = subprocess.Popen([*ENTRY_POINTS["module"], "unify", "--output", str(tmp_path / "out.vcf"),
                              "--sv", str(fifo)], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        time.sleep(1.0)
        child.send_signal(signal.SIGINT)
        stdout, stderr = child.communicate(timeout=10)
    finally:
        if child.poll() is None:
            child.kill()
            child.wait()
    assert child.returncode == 130
    assert stdout == ""
    assert stderr.splitlines()[-1] == "callfold: interrupted"
    assert "Traceback" not in stderr


# (arguments, exit status, what the one error line or the log says): builds that must match.
BUILD_CASES = {
    "unify-naming-differs": (["unify", "--sv", "sv.vcf", "--cnv", "cnv_grch37.vcf"], 1, "naming"),
    "unify-mismatch-allowed": (["unify", "--sv", "sv.vcf", "--cnv", "cnv_grch37.vcf", "--allow-build-mismatch"],
                               0, "WARNING"),
    "filter-auto-b37": (["filter-repeats", "--repeats", "repeats_grch37.vcf"], 0, "b37"),
    "filter-auto-cannot-tell": (["filter-repeats", "--repeats", "repeats_reference_calls.vcf"], 1,
                                "cannot tell the genome build"),
    "filter-explicit-build-wins": (["filter-repeats", "--repeats", "repeats_reference_calls.vcf",
                                    "--catalog-build", "hg38"], 0, ""),
    "filter-catalog-of-other-build": (["filter-repeats", "--repeats", "repeats_grch37.vcf", "--catalog-build", "hg19"],
                                      1, "naming"),
    "filter-mismatch-allowed": (["filter-repeats", "--repeats", "repeats_grch37.vcf", "--catalog-build", "hg19",
                                 "--allow-build-mismatch"], 0, "WARNING"),
}


@pytest.mark.parametrize("case", BUILD_CASES)
def test_inputs_of_different_builds_are_refused_unless_allowed(data_copy, tmp_path, case):
    arguments, status, said = BUILD_CASES[case]
    names = {name: data_copy(name) for name in arguments if name.endswith(".vcf")}
    output = tmp_path / "out" / "result.vcf.gz"
    output.parent.mkdir()
    done = callfold(*[names.get(a, a) for a in arguments], "--output", str(output))
    assert done.returncode == status, done.stderr
    if status == 0:
        assert done.stdout.split() == [str(output)] and output.exists()
        with pysam.VariantFile(str(output)) as kept:
            records = list(kept)
        # The recognised build's catalog keeps the GRCh37 repeat calls; another build's keeps none.
        assert bool(records) == (case != "filter-mismatch-allowed")
        assert said in done.stderr
    else:
        assert len(error_lines(done.stderr)) == 1 and said in error_lines(done.stderr)[0]
        assert os.listdir(output.parent) == []


def test_auto_build_needs_a_file_not_stdin(data_copy):
    repeats_vcf = data_copy("repeats.vcf")
    with open(repeats_vcf) as stdin:
        done = callfold("filter-repeats", "--repeats", "-", stdin=stdin)
    assert done.returncode == 2 and "--catalog-build" in done.stderr


@pytest.mark.parametrize("source", ["plain", "gzip", "stdin", "stdin-to-stdout"])
def test_sort_writes_what_sort_and_compress_writes_and_leaves_the_input(tmp_path, source):
    from Callfold.compression import sort_and_compress
    from test_compression_spill import shuffled_calls

    text = shuffled_calls()
    data = gzip.compress(text.encode()) if source == "gzip" else text.encode()
    given = tmp_path / ("calls.vcf.gz" if source == "gzip" else "calls.vcf")
    given.write_bytes(data)
    reference = tmp_path / "reference" / "calls.vcf"
    reference.parent.mkdir()
    reference.write_bytes(data)
    expected = Path(sort_and_compress(reference, **({} if source == "stdin-to-stdout" else {"index": True})))

    arguments = ["sort", "--max-memory", "2K"]  # many parts merged: the result must not show it
    output = tmp_path / "calls_sorted.vcf.gz"
    if source.startswith("stdin"):
        arguments += ["-"] if source == "stdin-to-stdout" else ["-", "-o", str(output), "--index"]
        with open(given, "rb") as stdin:
            done = subprocess.run([*ENTRY_POINTS["module"], *arguments], stdin=stdin, capture_output=True, timeout=120)
    else:
        done = subprocess.run([*ENTRY_POINTS["module"], *arguments, str(given), "--index"], capture_output=True,
                              timeout=120)
    assert done.returncode == 0, done.stderr
    assert given.read_bytes() == data
    if source == "stdin-to-stdout":
        assert done.stdout == expected.read_bytes() and sorted(p.name for p in tmp_path.iterdir()) == ["calls.vcf",
                                                                                                      "reference"]
        return
    assert done.stdout.decode().splitlines() == [str(output), f"{output}.tbi"]
    assert output.read_bytes() == expected.read_bytes()
    assert sorted(p.name for p in tmp_path.iterdir()) == sorted([given.name, output.name, f"{output.name}.tbi",
                                                                 "reference"])
    overlapping = []  # chr1 records reaching into [400, 600), 0-based, as the index places them
    for line in text.splitlines():
        fields = line.split("\t")
        if fields[0] == "chr1":
            end = max(int(fields[1]), int(fields[7].split("END=")[1].split(";")[0]))
            if int(fields[1]) - 1 < 600 and end > 400:
                overlapping.append((int(fields[1]), fields[2]))
    with pysam.VariantFile(str(output)) as sorted_calls:
        found = [(rec.pos, rec.id) for rec in sorted_calls.fetch("chr1", 400, 600)]
    assert found and found == sorted(overlapping, key=lambda call: call[0])


@pytest.mark.parametrize("source", ["plain", "stdin"])
def test_sort_names_the_users_input_in_errors_and_leaves_nothing(tmp_path, source):
    given = tmp_path / "calls.vcf"
    given.write_text(HEADER + "chr1\t100\t.\tN\t<DEL>\t.\tPASS\tSVTYPE=DEL\tGT\t0/1\nchr1\tx1\t.\tN\t<DEL>\t.\tPASS\t.\tGT\t0/1\n")
    with open(given) as stdin:
        done = callfold("sort", "-" if source == "stdin" else str(given), "-o", str(tmp_path / "out.vcf.gz"),
                        "--max-memory", "1", stdin=stdin)
    assert done.returncode == 1
    assert error_lines(done.stderr) == [f"callfold: error: POS 'x1' is not an integer (VCF "
                                        f"'{'stdin' if source == 'stdin' else given}', line 4: "
                                        f"'chr1\\tx1\\t.\\tN\\t<DEL>\\t.\\tPASS\\t.\\tGT\\t0/1')"]
    assert sorted(p.name for p in tmp_path.iterdir()) == ["calls.vcf"]
