"""unify_lines and run warn of, or refuse, inputs of different reference builds: chromosomes named in
different styles, or one contig given different ##contig lengths. Inputs that merely share no
chromosome are of one build."""

import logging
import os
from pathlib import Path

import pytest

import Callfold.unifier as unifier

DATA = Path(__file__).parent / "data"
MISMATCH = "The %s input and the %s input %s: they come from different reference builds or chromosome namings"
NAMING = "name chromosomes in different styles ({} against {})"
LENGTHS = "give contig {} different lengths ({} against {})"


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
ROH_BED_37 = ["track name=roh\n", "# sample HG002\n", "1\t10000000\t10250000\n", "\n", "X\t500\t900\t0.40\n"]
# hg19's chr1 under the same name as GRCh38's: only the ##contig length tells them apart.
CNV_HG19 = [line.replace("ID=1,length=249250621", "ID=chr1,length=249250621") for line in CNV_37
            if not line.startswith(("##contig=<ID=2", "##contig=<ID=X"))]
CNV_HG19 = records_renamed(CNV_HG19, ["chr1"] * 8)[: len(CNV_HG19)]
CNV_REFSEQ = records_renamed(without_contigs(CNV_37), ["NC_000001.11", "NC_000001.11", "NC_000023.11"])


def mismatch_warnings(caplog):
    return [r.args for r in caplog.records if r.msg == MISMATCH and r.levelno == logging.WARNING]


@pytest.mark.parametrize(
    "files_lines, warned",
    [
        ({"sv": SV, "cnv": CNV_37}, [("cnv", "sv", NAMING.format("1", "chr1"))]),
        ({"sv": SV, "roh": ROH_BED_37}, [("roh", "sv", NAMING.format("1", "chr1"))]),
        ({"sv": SV, "cnv": CNV, "repeats": REPEATS_37}, [("repeats", "sv", NAMING.format("1", "chr1"))]),
        # Without ##contig lines the donor's first record names its style.
        ({"sv": without_contigs(SV), "cnv": CNV_37}, [("cnv", "sv", NAMING.format("1", "chr2"))]),
        ({"cnv": CNV, "repeats": REPEATS_37}, [("repeats", "cnv", NAMING.format("1", "chr1"))]),
        # The ##contig lines speak whatever records happen to be present.
        ({"sv": SV, "cnv": records_renamed(CNV_37, ["chr1", "chr1", "chrX"])}, [("cnv", "sv", NAMING.format("1", "chr1"))]),
        ({"sv": SV, "cnv": CNV_REFSEQ}, [("cnv", "sv", NAMING.format("NC_000001.11", "chr1"))]),
        ({"sv": SV, "cnv": CNV_HG19}, [("cnv", "sv", LENGTHS.format("chr1", 249250621, 248956422))]),
        # A donor ##contig line in the other style does not excuse records named in one the input never uses.
        ({"sv": ["##contig=<ID=1,length=249250621>\n"] + SV, "cnv": CNV_37}, [("cnv", "sv", NAMING.format("1", "chr2"))]),
    ],
    ids=["cnv", "roh-bed", "repeats-only", "donor-records", "cnv-donor", "contigs-over-records", "refseq",
         "contig-length", "donor-records-in-another-style"],
)
def test_build_mismatch_is_warned_and_the_file_still_written(tmp_path, caplog, files_lines, warned):
    caplog.set_level(logging.INFO)
    output = tmp_path / "unified.vcf"
    assert unifier.unify_lines(files_lines, str(output)) == str(output)
    assert mismatch_warnings(caplog) == warned
    assert caplog.records[-1].msg == "Created unified vcf file at %s"


@pytest.mark.parametrize(
    "files_lines",
    [
        {"sv": SV, "cnv": CNV, "repeats": lines_of("repeats.vcf"), "roh": lines_of("roh.bed")},
        # Both styles among the donor's ##contig lines, its records in the one the other input uses.
        {"sv": ["##contig=<ID=1,length=249250621>\n"] + SV, "cnv": without_contigs(CNV)},
        # A sparse donor without ##contig lines that shares no chromosome, in one style.
        {"sv": records_renamed(without_contigs(SV), ["chr5"] * 8)[: len(without_contigs(SV))],
         "cnv": without_contigs(CNV)},
        # Nothing to hold against: a donor naming no chromosome, an input without records.
        {"sv": without_contigs(SV)[:-8], "cnv": CNV_37},
        {"sv": SV, "cnv": CNV_37[:-3]},
        # Left out by the writer (sites-only), so its names never reach the file.
        {"sv": SV, "repeats": ["#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n", "1\t5\t.\tN\t.\t.\tPASS\t.\n"]},
        # Names that are no primary chromosome tell no style.
        {"sv": SV, "cnv": records_renamed(without_contigs(CNV_37), ["GL000192.1", "HLA-A*01:01", "NC_007605"])},
    ],
    ids=["one-build", "both-styles", "sparse-donor", "donor-names-none", "input-without-records", "left-out",
         "no-primary-names"],
)
def test_no_warning_for_one_build(tmp_path, caplog, files_lines):
    unifier.unify_lines(files_lines, str(tmp_path / "unified.vcf"))
    assert mismatch_warnings(caplog) == []


@pytest.mark.parametrize("entry", ["unify_lines", "run"])
@pytest.mark.parametrize(
    "inputs, message",
    [
        ({"sv": SV, "cnv": CNV_37}, "the cnv input and the sv input " + NAMING.format("1", "chr1")),
        ({"sv": SV, "cnv": CNV_HG19}, "the cnv input and the sv input " + LENGTHS.format("chr1", 249250621, 248956422)),
    ],
    ids=["naming", "lengths"],
)
def test_build_mismatch_refused_before_the_output_is_opened(tmp_path, monkeypatch, entry, inputs, message):
    monkeypatch.setattr(unifier, "sort_and_compress", lambda path: pytest.fail("sort step reached"))
    paths = {key: tmp_path / f"{key}.vcf" for key in inputs}
    for key, lines in inputs.items():
        paths[key].write_text("".join(lines))
    output = tmp_path / "unified.vcf"
    output.write_bytes(b"kept\n")
    os.utime(output, ns=(10**18, 10**18))
    with pytest.raises(ValueError) as raised:
        if entry == "run":
            unifier.run(str(output), sv_path=paths["sv"], cnv_path=paths["cnv"], allow_build_mismatch=False)
        else:
            options = unifier.UnifyOptions(allow_build_mismatch=False)
            unifier.unify_lines(unifier.read_struct_lines(paths, options), str(output), options)
    assert str(raised.value) == message + ": they come from different reference builds or chromosome namings"
    assert (output.read_bytes(), output.stat().st_mtime_ns) == (b"kept\n", 10**18)


def test_run_adds_the_warning_between_the_existing_messages(tmp_path, caplog, monkeypatch):
    caplog.set_level(logging.INFO)
    monkeypatch.setattr(unifier, "sort_and_compress", lambda path: path + ".gz")
    output = str(tmp_path / "unified.vcf")
    assert unifier.run(output, sv_path=str(DATA / "sv.vcf"), cnv_path=str(DATA / "cnv_grch37.vcf")) == output + ".gz"
    assert [r.getMessage() for r in caplog.records] == [
        "Can't unify file type \"repeats\". The file does not exist.",
        "Can't unify file type \"roh\". The file does not exist.",
        MISMATCH % ("cnv", "sv", NAMING.format("1", "chr1")),
        f"Created unified vcf file at {output}",
    ]
