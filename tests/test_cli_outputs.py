"""What the `callfold` command leaves on disk and sends down pipes, run as users run it
(the installed script in a child process): only the outputs named, whole or not at
all; standard input and output as files; signals and closed pipes."""

from __future__ import annotations

import os
import signal
import subprocess
import sys
import time
from pathlib import Path

import pysam
import pytest

from test_cli import (ENTRY_POINTS, HEADER, LOG_LINE, callfold, decompressed, error_lines, failing_cases,
                      inputs)  # noqa: F401 (a fixture)

SCRIPT = ENTRY_POINTS["script"]


def listing(folder: Path) -> dict[str, bytes]:
    return {path.name: path.read_bytes() for path in sorted(folder.iterdir()) if path.is_file()}


def sv_vcf(path: Path, records: int, first_id: str = "sv") -> Path:
    path.write_text(HEADER + "".join(f"chr1\t{1000 + 7 * i}\t{first_id}{i}\tN\t<DEL>\t.\tPASS\tSVTYPE=DEL;END={2000 + 7 * i}"
                                     f"\tGT\t0/1\n" for i in range(records)))
    return path


@pytest.mark.parametrize("output, result", [("sample.vcf.gz", "sample.vcf.gz"), ("sample.vcf", "sample.vcf.gz")])
def test_unify_writes_only_the_result(tmp_path, inputs, output, result):
    (tmp_path / "sample.vcf").write_text("a file of the user's, never named as an output\n")
    before = listing(tmp_path)
    done = callfold("--threads", "2", "unify", "--output", str(tmp_path / output), "--sv", inputs["sv"],
                    "--cnv", inputs["cnv"], "--index", entry="script")
    assert done.returncode == 0, done.stderr
    assert done.stdout.splitlines() == [str(tmp_path / result), f"{tmp_path / result}.tbi"]
    after = listing(tmp_path)
    assert sorted(after) == sorted([*before, result, f"{result}.tbi"])
    assert after["sample.vcf"] == before["sample.vcf"]
    assert [path.name for path in tmp_path.iterdir() if path.is_dir()] == ["inputs"]


@pytest.mark.parametrize("case", ["missing-input", "bad-record", "nothing-to-unify", "missing-catalog"])
def test_a_failure_leaves_the_earlier_outputs_and_nothing_new(tmp_path, inputs, case):
    arguments, message = failing_cases(tmp_path, inputs)[case]
    if case == "missing-catalog":
        arguments = [*arguments, "--output", str(tmp_path / "out.vcf.gz"), "--index"]
    else:
        arguments = [*arguments, "--index"]
    (tmp_path / "out.vcf.gz").write_bytes(b"an earlier run's result")
    (tmp_path / "out.vcf.gz.tbi").write_bytes(b"an earlier run's index")
    before = listing(tmp_path)
    done = callfold(*arguments, entry="script")
    assert done.returncode == 1
    assert error_lines(done.stderr) == [message]
    assert listing(tmp_path) == before
    assert not any(path.name.startswith(".callfold-") for path in tmp_path.iterdir())


@pytest.mark.parametrize("signum", [signal.SIGTERM, signal.SIGHUP, signal.SIGINT], ids=lambda s: s.name)
def test_a_signal_stops_the_run_and_removes_its_temporaries(tmp_path, signum):
    fifo = tmp_path / "sv.vcf"
    os.mkfifo(fifo)
    output = tmp_path / "out" / "sample.vcf.gz"
    output.parent.mkdir()
    child = subprocess.Popen([*SCRIPT, "unify", "--output", str(output), "--sv", str(fifo), "--index"],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        with open(fifo, "w") as writer:  # a caller still writing: the run is in progress
            writer.write(HEADER + "chr1\t100\tfirst\tN\t<DEL>\t.\tPASS\tSVTYPE=DEL;END=200\tGT\t0/1\n")
            writer.flush()
            deadline = time.monotonic() + 20
            while not any(output.parent.iterdir()) and time.monotonic() < deadline:
                time.sleep(0.05)
            assert [path.name[:10] for path in output.parent.iterdir()] == [".callfold-"]
            child.send_signal(signum)
            stdout, stderr = child.communicate(timeout=20)
    finally:
        if child.poll() is None:
            child.kill()
            child.wait()
    expected = 130 if signum == signal.SIGINT else 128 + signum
    assert child.returncode == expected, stderr
    assert stdout == "" and "Traceback" not in stderr
    assert stderr.splitlines()[-1] == ("callfold: interrupted" if signum == signal.SIGINT
                                       else f"callfold: stopped by {signum.name}")
    assert list(output.parent.iterdir()) == []
    assert fifo.exists()


@pytest.mark.parametrize("to_stdout", [False, True], ids=["paths", "data"])
def test_a_closed_stdout_ends_quietly_after_the_outputs(tmp_path, inputs, to_stdout):
    output = tmp_path / "sample.vcf.gz"
    arguments = ["unify", "--output", "-" if to_stdout else str(output), "--sv", inputs["sv"]]
    read, write = os.pipe()
    os.close(read)  # the reader has gone before anything is written
    child = subprocess.Popen([*SCRIPT, *arguments], stdout=write, stderr=subprocess.PIPE, text=True)
    os.close(write)
    stderr = child.communicate(timeout=60)[1]
    assert child.returncode == 128 + signal.SIGPIPE
    assert all(LOG_LINE.match(line) for line in stderr.splitlines()), stderr
    if to_stdout:
        assert list(tmp_path.iterdir()) == [tmp_path / "inputs"]
    else:
        assert "\tsv.del.2\t" in decompressed(output)


def test_writers_of_one_output_never_mix_their_files(tmp_path):
    first, second = sv_vcf(tmp_path / "a.vcf", 60_000, "a"), sv_vcf(tmp_path / "b.vcf", 60_000, "b")
    output = tmp_path / "out" / "sample.vcf.gz"
    output.parent.mkdir()
    for _ in range(3):
        children = [subprocess.Popen([*SCRIPT, "-q", "unify", "--output", str(output), "--sv", str(source), "--index"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
                    for source in (first, second)]
        errors = [child.communicate(timeout=120)[1] for child in children]
        assert [child.returncode for child in children] == [0, 0], errors
        assert sorted(path.name for path in output.parent.iterdir()) == ["sample.vcf.gz", "sample.vcf.gz.tbi"]
        with pysam.VariantFile(str(output)) as unified:
            ids = {record.id[0] for record in unified}
            assert len(ids) == 1  # one writer's records, whole
            fetched = [record.id for record in unified.fetch("chr1", 400_000, 400_100)]
        assert fetched and {name[0] for name in fetched} == ids


# --- standard input and output ------------------------------------------------------------------

def test_stdin_and_stdout_stand_for_files(tmp_path, inputs):
    sv = Path(inputs["sv"])
    by_name = callfold("unify", "--output", str(tmp_path / "named.vcf.gz"), "--sv", str(sv), "--cnv", inputs["cnv"])
    assert by_name.returncode == 0, by_name.stderr
    named = (tmp_path / "named.vcf.gz").read_bytes()
    with open(sv, "rb") as stdin:
        piped = subprocess.run([*SCRIPT, "unify", "--output", "-", "--sv", "-", "--cnv", inputs["cnv"]],
                               stdin=stdin, capture_output=True, timeout=120)
    assert piped.returncode == 0, piped.stderr
    assert piped.stdout == named  # the same BGZF bytes, no path printed
    assert listing(tmp_path) == {"named.vcf.gz": named}

    catalog = tmp_path / "catalog.bed"
    catalog.write_text("chr3\t63912680\t63912700\tATXN7\n")
    expected = callfold("filter-repeats", "--repeats", inputs["repeats"], "--catalog", str(catalog),
                        "--output", str(tmp_path / "kept.vcf"))
    assert expected.returncode == 0, expected.stderr
    for arguments in (["--repeats", "-"], ["--repeats", "-", "--output", "-"]):
        with open(inputs["repeats"], "rb") as stdin:
            filtered = subprocess.run([*SCRIPT, "filter-repeats", *arguments, "--catalog", str(catalog)],
                                      stdin=stdin, capture_output=True, timeout=60)
        assert filtered.returncode == 0, filtered.stderr
        assert filtered.stdout == (tmp_path / "kept.vcf").read_bytes()
    assert sorted(listing(tmp_path)) == ["catalog.bed", "kept.vcf", "named.vcf.gz"]


@pytest.mark.parametrize("engine", ["builtin", "bedtools"])
def test_filter_repeats_to_a_gz_name_writes_indexed_bgzf(tmp_path, inputs, engine, require_tool):
    if engine == "bedtools":
        require_tool("bedtools")
    output = tmp_path / "kept.vcf.gz"
    done = callfold("filter-repeats", "--repeats", inputs["repeats"], "--engine", engine, "--output", str(output),
                    "--index", "--threads", "1", entry="script")
    assert done.returncode == 0, done.stderr
    assert done.stdout.splitlines() == [str(output), f"{output}.tbi"]
    plain = callfold("filter-repeats", "--repeats", inputs["repeats"], "--engine", engine,
                     "--output", str(tmp_path / "kept.vcf"))
    assert plain.returncode == 0, plain.stderr
    expected = {(line.split("\t")[0], int(line.split("\t")[1]))
                for line in (tmp_path / "kept.vcf").read_text().splitlines() if not line.startswith("#")}
    tabix = subprocess.run([require_tool("tabix"), str(output), "chr3"], capture_output=True, text=True, check=True)
    assert [line.split("\t")[1] for line in tabix.stdout.splitlines()] == ["63912684"]
    with pysam.VariantFile(str(output)) as kept:
        assert {(record.chrom, record.pos) for record in kept} == expected
    assert sorted(path.name for path in tmp_path.iterdir()) == ["inputs", "kept.vcf", "kept.vcf.gz", "kept.vcf.gz.tbi"]
