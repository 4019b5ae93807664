"""unify_lines and run warn when an appended input names none of the donor's chromosomes."""

import logging
from pathlib import Path

import pytest

import Callfold.unifier as unifier

DATA = Path(__file__).parent / "data"
UNSHARED = ("The %s input names no chromosome of the %s input (for example %s against %s); "
            "the reference build or chromosome naming probably differs")


def lines_of(name):
    return (DATA / name).read_text().splitlines(keepends=True)


def without_contigs(lines):
    return [line for line in lines if not line.startswith("##contig")]


def records_renamed(lines, names):
    """The VCF with its records moved to the chromosomes `names`, one record after another."""
    renamed = iter(names)
    return [line if line.startswith("#") else next(renamed) + line[line.index("\t"):] for line in lines]


SV = lines_of("sv.vcf")
CNV = lines_of("cnv.vcf")
CNV_37 = lines_of("cnv_grch37.vcf")
REPEATS_37 = records_renamed(lines_of("repeats.vcf"), ["1", "3", "X", "2", "2"])
ROH_BED_37 = ["# sample HG002\n", "1\t10000000\t10250000\t0.93\n", "\n", "X\t500\t900\t0.40\n"]


def unshared_warnings(caplog):
    return [r.args for r in caplog.records if r.msg == UNSHARED and r.levelno == logging.WARNING]


@pytest.mark.parametrize(
    "files_lines, warned",
    [
        ({"sv": SV, "cnv": CNV_37}, [("cnv", "sv", "1", "chr1")]),
        ({"sv": SV, "roh": ROH_BED_37}, [("roh", "sv", "1", "chr1")]),
        ({"sv": SV, "cnv": CNV, "repeats": REPEATS_37}, [("repeats", "sv", "1", "chr1")]),
        # Without ##contig lines the donor's records name its chromosomes, the first of them standing for all.
        ({"sv": without_contigs(SV), "cnv": CNV_37}, [("cnv", "sv", "1", "chr2")]),
        ({"cnv": CNV, "repeats": REPEATS_37}, [("repeats", "cnv", "1", "chr1")]),
    ],
    ids=["cnv", "roh-bed", "repeats-only", "donor-records", "cnv-donor"],
)
def test_unshared_chromosomes_are_warned_and_the_file_still_written(tmp_path, caplog, files_lines, warned):
    caplog.set_level(logging.INFO)
    output = tmp_path / "unified.vcf"
    assert unifier.unify_lines(files_lines, str(output)) == str(output)
    assert unshared_warnings(caplog) == warned
    assert caplog.records[-1].msg == "Created unified vcf file at %s"
    written = {line.split("\t")[0] for line in output.read_text().splitlines() if not line.startswith("#")}
    assert {"1", "X"} <= written


@pytest.mark.parametrize(
    "files_lines",
    [
        {"sv": SV, "cnv": CNV, "repeats": lines_of("repeats.vcf"), "roh": lines_of("roh.bed")},
        # A ##contig line of the donor counts although no donor record lies there.
        {"sv": ["##contig=<ID=1,length=249250621>\n"] + SV, "cnv": CNV_37},
        {"sv": ['##contig=<length=249250621,ID=1,assembly="GRCh37">\n'] + SV, "cnv": CNV_37},
        # One shared name is enough, wherever it comes.
        {"sv": SV, "cnv": records_renamed(CNV_37, ["1", "1", "chrX"])},
        # Nothing to hold against: a donor naming no chromosome, an input without records.
        {"sv": without_contigs(SV)[:-8], "cnv": CNV_37},
        {"sv": SV, "cnv": CNV_37[:-3]},
        # Left out by the writer (sites-only), so its names never reach the file.
        {"sv": SV, "repeats": ["#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n", "1\t5\t.\tN\t.\t.\tPASS\t.\n"]},
    ],
    ids=["shared", "contig-line", "contig-id-not-first", "shared-late", "donor-names-none", "input-without-records",
         "left-out"],
)
def test_no_warning_when_a_name_is_shared_or_one_side_names_none(tmp_path, caplog, files_lines):
    unifier.unify_lines(files_lines, str(tmp_path / "unified.vcf"))
    assert unshared_warnings(caplog) == []


def test_run_adds_the_warning_between_the_existing_messages(tmp_path, caplog, monkeypatch):
    caplog.set_level(logging.INFO)
    monkeypatch.setattr(unifier, "sort_and_compress", lambda path: path + ".gz")
    output = str(tmp_path / "unified.vcf")
    assert unifier.run(output, sv_path=str(DATA / "sv.vcf"), cnv_path=str(DATA / "cnv_grch37.vcf")) == output + ".gz"
    assert [r.getMessage() for r in caplog.records] == [
        "Can't unify file type \"repeats\". The file does not exist.",
        "Can't unify file type \"roh\". The file does not exist.",
        UNSHARED % ("cnv", "sv", "1", "chr1"),
        f"Created unified vcf file at {output}",
    ]
