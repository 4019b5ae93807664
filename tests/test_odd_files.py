"""Odd files and odd names: zero bytes, endless devices, pipes read once,
file names that are not UTF-8, and a full disk under bedtools."""

from __future__ import annotations

import gzip
import logging
import os
import subprocess
import sys
import textwrap
import threading
from pathlib import Path

import pytest

import Callfold
import Callfold.unifier as unifier
from Callfold import repeats
from Callfold.compression import sort_and_compress

HEADER = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tHG002\n"
RECORD = "chr1\t57367050\t.\tA\t<STR>\t.\tPASS\tSVTYPE=DEL;END=57367100\tGT\t0/1\n"


def run_child(code: str, timeout: float = 60) -> subprocess.CompletedProcess:
    return subprocess.run([sys.executable, "-P", "-c", textwrap.dedent(code)], capture_output=True, text=True,
                          timeout=timeout)


@pytest.mark.parametrize("size", [1, 4096, 70000])
def test_zero_bytes_are_text_not_an_empty_gzip_stream(tmp_path, size):
    path = tmp_path / "zeros.vcf"
    path.write_bytes(b"\0" * size)
    assert unifier.get_lines(str(path)) == ["\0" * size]


def test_zero_filled_sv_input_is_an_error_not_a_silent_gap(tmp_path, caplog):
    sv, cnv = tmp_path / "sv.vcf", tmp_path / "cnv.vcf"
    sv.write_bytes(b"\0" * 4096)
    cnv.write_text(HEADER + RECORD)
    with pytest.raises(ValueError, match="no POS column"):
        Callfold.run(str(tmp_path / "unified.vcf"), sv_path=str(sv), cnv_path=str(cnv))


def test_zero_padding_after_a_member_is_still_padding(tmp_path):
    path = tmp_path / "padded.vcf.gz"
    path.write_bytes(gzip.compress((HEADER + RECORD).encode()) + b"\0" * 512)
    assert unifier.get_lines(str(path)) == (HEADER + RECORD).splitlines(keepends=True)


@pytest.mark.skipif("libasan" in os.environ.get("LD_PRELOAD", ""),
                    reason="AddressSanitizer reserves more address space than the limit this test sets")
def test_endless_input_ends_in_an_error():
    done = run_child("""
        import resource
        resource.setrlimit(resource.RLIMIT_AS, (2 << 30, 2 << 30))
        import Callfold.unifier as unifier
        try:
            unifier.get_lines("/dev/zero")
        except MemoryError:
            print("MemoryError")
    """, timeout=120)
    assert done.stdout.strip() == "MemoryError", done.stderr


@pytest.mark.parametrize("compression", ["plain", "gzip"])
def test_a_pipe_is_read_once_and_both_attempts_see_its_bytes(tmp_path, compression):
    fifo = tmp_path / "calls.vcf"
    os.mkfifo(fifo)
    data = (HEADER + RECORD * 3).encode()
    data = gzip.compress(data) if compression == "gzip" else data
    child = subprocess.Popen([sys.executable, "-P", "-c", f"import Callfold.unifier as u; print(repr(u.get_lines({str(fifo)!r})))"],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    writer = threading.Thread(target=lambda: fifo.write_bytes(data))
    writer.start()
    try:
        out, err = child.communicate(timeout=30)
    finally:
        if child.poll() is None:
            child.kill()
            os.close(os.open(fifo, os.O_RDONLY | os.O_NONBLOCK))  # lets a waiting writer go
        writer.join()
    assert out.strip() == repr((HEADER + RECORD * 3).splitlines(keepends=True)), err


ODD = os.fsdecode(b"u\xfe")  # a byte that is not UTF-8, as the file system hands it over


def test_names_that_are_not_utf8_work_end_to_end(tmp_path, caplog):
    caplog.set_level(logging.INFO)
    directory = tmp_path / ODD
    directory.mkdir()
    sv, output = directory / f"{ODD}.sv.vcf", directory / f"{ODD}.vcf"
    sv.write_text(HEADER + RECORD)
    assert unifier.get_lines(str(sv)) == [HEADER.splitlines(keepends=True)[0], HEADER.splitlines(keepends=True)[1], RECORD]
    assert unifier.read_struct_lines({"sv": str(sv)})["sv"] == unifier.get_lines(str(sv))
    with repeats._open_vcf_text(str(sv)) as stream:
        assert stream.name == str(sv)
    result = Callfold.run(str(output), sv_path=str(sv))
    assert result == str(output) + ".gz" and os.path.exists(result) and not output.exists()
    assert ("Created unified vcf file at %s", (str(output),)) in [(r.msg, r.args) for r in caplog.records]

    catalog = directory / f"{ODD}.bed"
    catalog.write_text("chr1\t57367043\t57367121\tDAB1\n")
    filtered = repeats.filter_repeats_vcf(str(sv), str(catalog))
    assert filtered == str(directory / f"{ODD}.sv_filtered.vcf")
    assert Path(filtered).read_text() == HEADER + RECORD
    assert ("Filtering %s against %s with the %s engine", (str(sv), str(catalog), "builtin")) in [
        (r.msg, r.args) for r in caplog.records]


def test_odd_names_reach_bedtools_intact(tmp_path, require_tool):
    require_tool("bedtools")
    directory = tmp_path / ODD
    directory.mkdir()
    vcf, catalog = directory / "r.vcf", directory / "c.bed"
    vcf.write_text(HEADER + RECORD)
    catalog.write_text("chr1\t57367043\t57367121\tDAB1\n")
    output = directory / f"{ODD}.out.vcf"
    assert repeats.filter_repeats_vcf(str(vcf), str(catalog), engine="bedtools", output_path=str(output)) == str(output)
    assert output.read_text() == HEADER + RECORD


def test_odd_names_in_errors_and_guards(tmp_path):
    missing = tmp_path / f"{ODD}.vcf"
    with pytest.raises(FileNotFoundError) as raised:
        sort_and_compress(str(missing))
    assert raised.value.filename == str(missing)
    present = tmp_path / f"{ODD}.sv.vcf"
    present.write_text(HEADER + RECORD)
    with pytest.raises(ValueError) as guarded:
        Callfold.run(str(present), sv_path=str(present))
    assert str(present) in str(guarded.value)


@pytest.mark.parametrize("output", ["/dev/full", "limited"])
def test_a_failed_write_under_bedtools_is_an_error(tmp_path, require_tool, output):
    require_tool("bedtools")
    vcf = tmp_path / "repeats.vcf"
    vcf.write_text(HEADER + RECORD * 20000)
    catalog = tmp_path / "catalog.bed"
    catalog.write_text("chr1\t57367043\t57367121\tDAB1\n")
    target = output if output == "/dev/full" else str(tmp_path / "filtered.vcf")
    # A file size limit makes writes fail part way, as a full disk does.
    done = run_child(f"""
        import errno, resource, signal
        from Callfold import repeats
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (65536, 65536))
        try:
            repeats.filter_repeats_vcf({str(vcf)!r}, {str(catalog)!r}, engine="bedtools", output_path={target!r})
        except OSError as error:
            print("OSError", errno.errorcode[error.errno])
    """)
    assert done.stdout.strip() in ("OSError ENOSPC", "OSError EFBIG"), done.stderr
