"""Callfold.repeats warns, with either engine, when the repeat VCF names chromosomes in another
style than the catalog, or when no record of it lies on a chromosome that the catalog names: a
VCF on another build or naming than the catalog would otherwise keep nothing without a word."""

import logging
import os
import threading
from pathlib import Path

import pytest

from Callfold import repeats
from repeats_helpers import HEADER, record, vcf, write

DATA = Path(__file__).parent / "data"
FILTERING = "Filtering %s against %s with the %s engine"
SUMMARY = "Repeat records kept: %d, outside the catalog: %d"
NAMING = "No record of %s is on a chromosome that %s names (VCF: %s; catalog: %s)"
STYLE = ("The repeat VCF %s and the catalog %s %s: they come from different reference builds or chromosome "
         "namings; use the catalog of the VCF's build")
STYLES = "name chromosomes in different styles ({} against {})"
ENGINES = [repeats.BUILTIN, repeats.BEDTOOLS]


def shipped(name):
    return str(Path(repeats.default_repeat_catalog_path()).with_name(name))


def filter_logged(tmp_path, caplog, require_tool, engine, repeat, bed):
    """Runs the filter; returns the output's bytes and the logged (level, format, arguments)."""
    if engine == repeats.BEDTOOLS:
        require_tool("bedtools")
    caplog.set_level(logging.INFO)
    out = str(tmp_path / "out.vcf")
    assert repeats.filter_repeats_vcf(repeat, bed, engine, out) == out
    return Path(out).read_bytes(), [(r.levelname, r.msg, r.args) for r in caplog.records]


def engine_messages(engine, repeat, bed, kept, dropped):
    messages = [("INFO", FILTERING, (repeat, bed, engine))]
    if engine == repeats.BUILTIN:
        messages.append(("INFO", SUMMARY, (kept, dropped)))
    return messages


@pytest.mark.parametrize("engine", ENGINES)
@pytest.mark.parametrize("catalog", ["STRchive-disease-loci.hg38.TRGT.bed", "STRchive-disease-loci.hg19.TRGT.bed"])
def test_grch37_names_against_a_chr_catalog_warn_after_the_engine(tmp_path, caplog, require_tool, engine, catalog):
    repeat, bed = str(DATA / "repeats_grch37.vcf"), shipped(catalog)
    text, logged = filter_logged(tmp_path, caplog, require_tool, engine, repeat, bed)
    assert text == b"".join(line for line in Path(repeat).read_bytes().splitlines(keepends=True) if line.startswith(b"#"))
    assert logged == engine_messages(engine, repeat, bed, 0, 5) + [
        ("WARNING", STYLE, (repeat, bed, STYLES.format(1, "chr1")))
    ]
    assert caplog.records[-1].getMessage() == (
        f"The repeat VCF {repeat} and the catalog {bed} name chromosomes in different styles (1 against chr1): "
        "they come from different reference builds or chromosome namings; use the catalog of the VCF's build"
    )


@pytest.mark.parametrize("engine", ENGINES)
def test_the_same_calls_named_as_the_catalog_are_kept_without_warning(tmp_path, caplog, require_tool, engine):
    lines = (DATA / "repeats_grch37.vcf").read_text().splitlines(keepends=True)
    renamed = "".join(line if line.startswith("#") else "chr" + line for line in lines)
    repeat, bed = write(tmp_path / "chr_named.vcf", renamed), shipped("STRchive-disease-loci.hg19.TRGT.bed")
    text, logged = filter_logged(tmp_path, caplog, require_tool, engine, repeat, bed)
    assert text == renamed.encode()
    assert logged == engine_messages(engine, repeat, bed, 5, 0)


CATALOG = "chr1\t100\t200\nchr2\t100\t200\n"


@pytest.mark.parametrize("engine", ENGINES)
@pytest.mark.parametrize(
    ("records", "bed_text", "dropped"),
    [
        # One record on a catalog chromosome, even with nothing overlapping, rules it out.
        ([record("1", 150), record("chr2", 5000), record("X", 150)], CATALOG, 3),
        ([record("chr2", 5000), record("1", 150)], CATALOG, 2),
        ([], CATALOG, 0),  # no record
        ([record("1", 150)], "track name=none\n# no interval\n", 1),  # no interval
        ([record("1", 150)], "", 1),
    ],
)
def test_no_warning_unless_every_record_is_off_the_catalog_chromosomes(tmp_path, caplog, require_tool, engine, records, bed_text, dropped):
    repeat, bed = write(tmp_path / "r.vcf", vcf(*records)), write(tmp_path / "c.bed", bed_text)
    text, logged = filter_logged(tmp_path, caplog, require_tool, engine, repeat, bed)
    assert text == "".join(HEADER).encode()
    assert logged == engine_messages(engine, repeat, bed, 0, dropped)


@pytest.mark.parametrize("engine", ENGINES)
@pytest.mark.parametrize(
    ("chromosomes", "bed_text", "warned"),
    [
        # Another naming style: the first name of each side.
        (["2", "2", "1", "2", "3", "MT", "X"], "chrX\t1\t9\nchr2\t1\t9\nchr2\t5\t9\nchr1\t1\t9\nchr7\t1\t9\n",
         (STYLE, (STYLES.format(2, "chrX"),))),
        (["NC_000001.11", "NC_000004.12"], "chr1\t1\t9\n#chr4\t1\t9\nchr4\t1\t9\n",
         (STYLE, (STYLES.format("NC_000001.11", "chr1"),))),
        # One style, no chromosome shared: at most three distinct names of each side.
        (["chrM", "chrY", "chrM", "chr22", "chr21"], "chr5\t1\t9\nchr6\t1\t9\nchr7\t1\t9\nchr8\t1\t9\n",
         (NAMING, ("chrM, chrY, chr22", "chr5, chr6, chr7"))),
    ],
)
def test_warning_names_what_differs(tmp_path, caplog, require_tool, engine, chromosomes, bed_text, warned):
    records = [record(name, 5 + i) for i, name in enumerate(chromosomes)]
    repeat = write(tmp_path / "r.vcf.gz", vcf(*records), "bgzf")
    bed = write(tmp_path / "c.bed", bed_text)
    _, logged = filter_logged(tmp_path, caplog, require_tool, engine, repeat, bed)
    assert logged[-1] == ("WARNING", warned[0], (repeat, bed, *warned[1]))


def test_bedtools_run_is_not_failed_by_a_vcf_that_only_it_reads(tmp_path, caplog, require_tool):
    # bedtools does not check that bytes are UTF-8; its finished run stands, undecided.
    repeat = tmp_path / "r.vcf"
    repeat.write_bytes(vcf(record("1", 150)).encode().replace(b"\n", b"\n##source=G\xe9notypeur\n", 1))
    bed = write(tmp_path / "c.bed", CATALOG)
    text, logged = filter_logged(tmp_path, caplog, require_tool, repeats.BEDTOOLS, str(repeat), bed)
    assert text == repeat.read_bytes().replace(record("1", 150).encode(), b"")
    assert logged == engine_messages(repeats.BEDTOOLS, str(repeat), bed, 0, 0)


@pytest.mark.parametrize("pipe_is", ["vcf", "output"])
def test_bedtools_check_never_reopens_a_pipe(tmp_path, caplog, require_tool, pipe_is):
    # A pipe is consumed by bedtools, and opening a FIFO with no one at the other end blocks.
    require_tool("bedtools")
    caplog.set_level(logging.INFO)
    text = (DATA / "repeats_grch37.vcf").read_text()
    pipe = tmp_path / "pipe"
    os.mkfifo(pipe)
    bed = shipped("STRchive-disease-loci.hg38.TRGT.bed")
    if pipe_is == "vcf":
        repeat, out = str(pipe), str(tmp_path / "out.vcf")
        other_end = threading.Thread(target=lambda: pipe.write_text(text), daemon=True)
    else:
        repeat, out = write(tmp_path / "r.vcf", text), str(pipe)
        other_end = threading.Thread(target=pipe.read_text, daemon=True)
    results = []
    worker = threading.Thread(target=lambda: results.append(repeats.filter_repeats_vcf(repeat, bed, repeats.BEDTOOLS, out)), daemon=True)
    other_end.start()
    worker.start()
    worker.join(timeout=60)
    try:
        assert not worker.is_alive(), "the filter blocked on the pipe"
    finally:
        if worker.is_alive():  # release it: a FIFO opened for reading and writing never blocks
            os.close(os.open(pipe, os.O_RDWR | os.O_NONBLOCK))
    assert results == [out]
    warnings = [r.args[2:] for r in caplog.records if r.msg == STYLE]
    # Only a regular VCF can be read a second time to tell.
    assert warnings == ([] if pipe_is == "vcf" else [(STYLES.format(1, "chr1"),)])
