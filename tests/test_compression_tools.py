"""The result as indexers and strict readers see it: tabix, bcftools, pysam."""

from __future__ import annotations

import subprocess

import pysam
import pytest

from Callfold.compression import sort_and_compress
from compression_helpers import bgzf_text, split_vcf

# A unified file as the unifier writes it: the SV donor's header (declaring
# only some of what follows), then CNV, repeat and ROH records appended.
UNIFIED = (
    "##fileformat=VCFv4.2\n"
    "##contig=<ID=chr2,length=242193529>\n"
    "##contig=<ID=chr1,length=248956422>\n"
    '##INFO=<ID=SVTYPE,Number=1,Type=String,Description="Type of structural variant">\n'
    '##FILTER=<ID=PASS,Description="All filters passed">\n'
    "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tS1\n"
    "chr1\t5000\tsv1\tN\t<DEL>\t50\tPASS\tSVTYPE=DEL;END=6000;SVLEN=-1000;CIPOS=-10,10;CIEND=-5,5;IMPRECISE\tGT:GQ\t0/1:40\n"
    "chr2\t100\tsv2\tN\tN[chr1:7000[\t60\tPASS\tSVTYPE=BND;MATEID=sv3\tGT:GQ\t0/1:50\n"
    "chr1\t7000\tsv3\tN\t]chr2:100]N\t60\tPASS\tSVTYPE=BND;MATEID=sv2\tGT:GQ\t0/1:50\n"
    "chr1\t1000\tcnv1\tN\t<DUP>\t.\tcnvQual\tSVTYPE=DUP;END=90000;CN=3\tGT:CN\t./.:3\n"
    "chrX\t300\ttr1\tCAGCAG\t<STR>\t.\tPASS\tTRID=HTT;END=306;MOTIFS=CAG;SVTYPE=STR\tGT:AL\t0/1:6,9\n"
    "chr2\t50\t.\tN\t<ROH>\t.\tPASS\tEND=9000;SVTYPE=ROH;ROH_SCORE=0.93\tGT\t1/1\n"
    "chr1\t1000\troh2\tN\t<ROH>\t.\tPASS\tEND=1500;SVTYPE=ROH;ROH_SCORE=12\tGT\t1/1\n"
)
ORDER = [".", "sv2", "cnv1", "roh2", "sv1", "sv3", "tr1"]


@pytest.fixture
def unified_gz(write_input) -> str:
    return sort_and_compress(write_input("unified.vcf", UNIFIED))


def test_order_follows_header_contigs(unified_gz):
    assert [line.split("\t")[2] for line in split_vcf(bgzf_text(unified_gz))[1]] == ORDER


def test_bcftools_reads_without_warnings(unified_gz, require_tool):
    bcftools = require_tool("bcftools")
    done = subprocess.run([bcftools, "view", unified_gz], capture_output=True, text=True)
    assert done.returncode == 0 and done.stderr == ""
    query = subprocess.run(
        [bcftools, "query", "-f", "%ID %INFO/ROH_SCORE %INFO/CIPOS[ %CN]\\n", unified_gz],
        capture_output=True, text=True, check=True,
    )
    assert query.stderr == ""
    assert query.stdout.splitlines() == [
        ". 0.93 . .", "sv2 . . .", "cnv1 . . 3", "roh2 12 . .", "sv1 . -10,10 .", "sv3 . . .", "tr1 . . .",
    ]


@pytest.mark.parametrize(
    ("region", "ids"),
    [("chr1:900-1200", ["cnv1", "roh2"]), ("chr2", [".", "sv2"]), ("chrX:301-301", ["tr1"]), ("chr1:95000-99999", [])],
)
def test_tabix_indexes_and_queries(unified_gz, require_tool, region, ids):
    tabix = require_tool("tabix")
    subprocess.run([tabix, "-p", "vcf", unified_gz], check=True, capture_output=True)
    found = subprocess.run([tabix, unified_gz, region], check=True, capture_output=True, text=True).stdout
    assert [line.split("\t")[2] for line in found.splitlines()] == ids


def test_pysam_indexes_and_reads_in_order(unified_gz, capfd):
    assert pysam.tabix_index(unified_gz, preset="vcf") == unified_gz
    with pysam.TabixFile(unified_gz) as tabix:
        assert [row.split("\t")[2] for row in tabix.fetch("chr1", 999, 1000)] == ["cnv1", "roh2"]
    with pysam.VariantFile(unified_gz) as vcf:
        records = list(vcf)
        assert [r.id or "." for r in records] == ORDER
        assert records[0].info["ROH_SCORE"] == pytest.approx(0.93)
        assert records[4].info["CIPOS"] == (-10, 10) and records[4].info["IMPRECISE"] is True
        assert list(vcf.fetch("chrX")) and records[-1].alts == ("<STR>",)
    assert "W::" not in capfd.readouterr().err


# Two callers' VCFs run together, each with its whole header, and a meta line
# the second caller appended after its records.
RUN_TOGETHER = (
    "##fileformat=VCFv4.2\n"
    "##source=svcaller\n"
    "##contig=<ID=chr1,length=248956422>\n"
    '##INFO=<ID=SVTYPE,Number=1,Type=String,Description="Type of structural variant">\n'
    '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n'
    "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tS1\n"
    "chr1\t9000\tsv1\tN\t<DEL>\t50\tPASS\tSVTYPE=DEL;END=9500\tGT\t0/1\n"
    "##fileformat=VCFv4.2\n"
    "##source=cnvcaller\n"
    "##contig=<ID=chr1,length=248956422>\n"
    "##contig=<ID=chr2,length=242193529>\n"
    '##INFO=<ID=SVTYPE,Number=1,Type=String,Description="Type of structural variant">\n'
    '##INFO=<ID=CN,Number=1,Type=Integer,Description="Copy number">\n'
    '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n'
    "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tS1\n"
    "chr2\t500\tcnv1\tN\t<DUP>\t.\tPASS\tSVTYPE=DUP;END=4000;CN=3\tGT\t0/1\n"
    "chr1\t100\tcnv2\tN\t<DEL>\t.\tPASS\tSVTYPE=DEL;END=900;CN=1\tGT\t0/1\n"
    "##cnvcaller_command=cnvcaller call --sample S1\n"
)


def test_vcfs_run_together_read_without_warnings(write_input, require_tool, capfd):
    bcftools = require_tool("bcftools")
    run_together_gz = sort_and_compress(write_input("unified.vcf", RUN_TOGETHER))
    done = subprocess.run([bcftools, "view", run_together_gz], capture_output=True, text=True)
    assert done.returncode == 0 and done.stderr == ""
    assert done.stdout.count("#CHROM") == 1 and "\n##cnvcaller_command=cnvcaller call --sample S1\n" in done.stdout
    query = subprocess.run(
        [bcftools, "query", "-f", "%CHROM %POS %ID %INFO/CN [%GT]\\n", run_together_gz],
        capture_output=True, text=True, check=True,
    )
    assert query.stderr == ""
    assert query.stdout.splitlines() == ["chr1 100 cnv2 1 0/1", "chr1 9000 sv1 . 0/1", "chr2 500 cnv1 3 0/1"]
    assert pysam.tabix_index(run_together_gz, preset="vcf") == run_together_gz
    with pysam.VariantFile(run_together_gz) as vcf:
        assert list(vcf.header.samples) == ["S1"]
        assert [record.id for record in vcf.fetch("chr1")] == ["cnv2", "sv1"]
    assert "W::" not in capfd.readouterr().err
