"""The unified header: the appended inputs' declarations before the donor's column header line and a
FORMAT GT declaration corrected to Number=1,Type=String; end to end, with the sort step declaring what
the unifier writes itself, the file is read whole by bcftools, tabix and pysam."""

from __future__ import annotations

import gzip
import logging
import shutil
import subprocess
from pathlib import Path

import pysam
import pytest

import Callfold
from Callfold import compression, unifier

DATA = Path(__file__).parent / "data"
COLUMNS = unifier._VCF_COLUMN_HEADER + "\tS1\n"
GT = '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n'
GT_INTEGER = '##FORMAT=<ID=GT,Number=1,Type=Integer,Description="Genotype, as an allele index">\n'
GT_CORRECTED = '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype, as an allele index">\n'

SV = ["##fileformat=VCFv4.2\n", '##INFO=<ID=SVTYPE,Number=1,Type=String,Description="Type">\n', GT, COLUMNS,
      "chr1\t10\t.\tN\t<DEL>\t.\tPASS\tSVTYPE=DEL;END=20\tGT\t0/1\n"]
CNV = ["##fileformat=VCFv4.2\n", "##contig=<ID=chr2,length=242193529>\n",
       '##INFO=<ID=SVTYPE,Number=1,Type=String,Description="Kind of event">\n',
       '##FORMAT=<ID=CN,Number=1,Type=Integer,Description="Copy number, \\"total\\", per sample">\n', COLUMNS,
       "chr1\t30\t.\tN\t<DEL>\t.\tPASS\tSVTYPE=DEL;END=40\tGT:CN\t0/1:1\n"]
REPEATS = ["##fileformat=VCFv4.2\n", '##ALT=<ID=STR,Description="Tandem repeat">\n',
           '##FORMAT=<ID=CN,Number=.,Type=Float,Description="Copies, per allele">\n',
           '##FORMAT=<ID=AD,Number=R,Type=Integer,Description="Depth, per allele">\n', COLUMNS,
           "chr1\t80\t.\tCAG\t<STR>\t.\tPASS\tEND=82\tGT:CN:AD\t1/1:3.5:0,9\n"]
ROH_VCF = ["##fileformat=VCFv4.2\n", '##INFO=<ID=ROH_SCORE,Number=1,Type=Float,Description="Score">\n', GT_INTEGER,
           COLUMNS, "chr1\t5\t.\tN\t<ROH>\t.\tPASS\tEND=9;SVTYPE=ROH;ROH_SCORE=1\tGT\t1/1\n"]
ROH_BED = ["chr1\t99\t200\t0.9\n"]

CN_CONFLICT = ("The %s input declares %s %s with %s but the %s input declared it first; the unified header keeps %s",
               ("repeats", "FORMAT", "CN", "Number=.,Type=Float", "cnv", "Number=1,Type=Integer"))
GT_CONFLICT = ("The %s input declares %s %s with %s but the %s input declared it first; the unified header keeps %s",
               ("roh", "FORMAT", "GT", "Number=1,Type=Integer", "sv", "Number=1,Type=String"))


def gt_warning(key: str, shape: str) -> tuple[str, tuple[str, ...]]:
    return ("The %s input declares FORMAT GT with %s; the unified header declares it with Number=1,Type=String, "
            "the genotype text that its records hold", (key, shape))


def warnings(caplog) -> list[tuple[str, tuple]]:
    return [(r.msg, r.args) for r in caplog.records if r.levelno == logging.WARNING]


@pytest.mark.parametrize(
    "files_lines, header, expected_warnings",
    [
        # Input order, first declaration wins, quoted commas and escapes kept verbatim, one
        # warning per differing Number/Type naming both inputs.
        ({"sv": SV, "cnv": CNV, "repeats": REPEATS, "roh": ROH_VCF},
         SV[:3] + [CNV[1], CNV[3], REPEATS[1], REPEATS[3], ROH_VCF[1]], [CN_CONFLICT, GT_CONFLICT]),
        # The donor's own GT declaration is corrected; a ROH BED declares nothing.
        ({"cnv": CNV[:4] + [GT_INTEGER] + CNV[4:], "roh": ROH_BED},
         CNV[:4] + [GT_CORRECTED], [gt_warning("cnv", "Number=1,Type=Integer")]),
        # An appended GT declaration that the donor lacks is added corrected.
        ({"repeats": REPEATS, "roh": ROH_VCF}, REPEATS[:4] + [ROH_VCF[1], GT_CORRECTED],
         [gt_warning("roh", "Number=1,Type=Integer")]),
        # A sites-only input, which the writer leaves out, declares nothing.
        ({"sv": SV, "cnv": CNV[:4] + ["#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n"]}, SV[:3],
         [("No vcf header for given %s file", ("cnv",))]),
    ],
    ids=["four-inputs", "cnv-donor-gt", "appended-gt", "sites-only"],
)
def test_header_holds_what_every_input_declares(tmp_path, caplog, files_lines, header, expected_warnings):
    path = str(tmp_path / "unified.vcf")
    assert unifier.unify_lines(files_lines, path) == path
    lines = Path(path).read_text().splitlines(keepends=True)
    column = lines.index(COLUMNS)
    assert lines[:column] == header
    assert warnings(caplog) == expected_warnings
    # Everything from the column header line on is what the writer wrote before.
    unchanged = {key: [line for line in value if not line.startswith("##")] for key, value in files_lines.items()}
    unify_without_meta = tmp_path / "without_meta.vcf"
    unifier.unify_lines(unchanged, str(unify_without_meta))
    assert lines[column:] == unify_without_meta.read_text().splitlines(keepends=True)


@pytest.mark.parametrize(
    "line, written",
    [
        (GT_INTEGER, GT_CORRECTED),
        ('##FORMAT=<ID=GT,Number=.,Type=String,Description="Genotype">\r\n',
         '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\r\n'),
        ('##FORMAT=<ID=GT,Description="Genotype, Type=Integer">\n',
         '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype, Type=Integer">\n'),
        ('##FORMAT=<ID=DP,Number=1,Type=Integer,Description="Depth, not ID=GT">\n', None),
        (GT, None),
    ],
    ids=["integer", "any-number-crlf", "undeclared-shape", "other-key", "already-right"],
)
def test_gt_declaration_is_corrected_alone(tmp_path, caplog, line, written):
    donor = ["##fileformat=VCFv4.2\n", line, COLUMNS, "chr1\t10\t.\tN\t<DEL>\t.\tPASS\tSVTYPE=DEL\tGT\t0/1\n"]
    path = tmp_path / "unified.vcf"
    unifier.unify_lines({"sv": donor}, str(path))
    assert path.read_bytes().decode() == "".join(donor[:1] + [written or line] + donor[2:])
    assert len(warnings(caplog)) == (written is not None)


def reader_output(*command: str) -> str:
    done = subprocess.run(command, capture_output=True, text=True, check=False)
    assert (done.returncode, done.stderr) == (0, ""), command
    return done.stdout


@pytest.mark.parametrize("stages", [False, True], ids=["run", "unify-then-sort-with-index"])
def test_readers_take_the_whole_unified_file(tmp_path, caplog, require_tool, stages):
    bcftools, tabix = require_tool("bcftools"), require_tool("tabix")
    inputs = {name: tmp_path / name for name in ("cnv_intervals.vcf", "repeats_declared.vcf", "roh.bed")}
    for name, path in inputs.items():
        shutil.copyfile(DATA / name, path)
    output = str(tmp_path / "unified.vcf")
    if stages:
        lines = unifier.read_struct_lines({unifier.CNV: str(inputs["cnv_intervals.vcf"]),
                                           unifier.REPEATS: str(inputs["repeats_declared.vcf"]),
                                           unifier.ROH: str(inputs["roh.bed"])})
        gz = compression.sort_and_compress(unifier.unify_lines(lines, output), index=True)
    else:
        gz = Callfold.run(output, cnv_path=str(inputs["cnv_intervals.vcf"]),
                          repeat_path=str(inputs["repeats_declared.vcf"]), roh_bed_path=str(inputs["roh.bed"]))
        reader_output(tabix, "-p", "vcf", gz)

    records = 4 + 3 + 3  # CNV intervals, repeat calls, ROH intervals
    assert len(reader_output(bcftools, "view", "-H", gz).splitlines()) == records
    assert len(reader_output(tabix, gz, "chr1", "chr2", "chr3", "chrX").splitlines()) == records
    with pysam.VariantFile(gz) as unified:
        genotypes = [record.samples[0]["GT"] for record in unified]
        assert unified.header.formats["AD"].number == "R"
    assert len(genotypes) == records and genotypes.count((1, 1)) == 3 + 1

    ad = '##FORMAT=<ID=AD,Number=R,Type=Integer,Description="Read depth of each allele, \\"spanning\\" reads only">'
    header = gzip.decompress(Path(gz).read_bytes()).decode().splitlines()
    assert ad in header
    # What the unifier wrote itself and no input declared, declared by the sort step with its meaning.
    own_keys = ("##INFO=<ID=SVTYPE,", "##INFO=<ID=ROH_SCORE,", "##ALT=<ID=ROH,")
    own = [line for line in header if line.startswith(own_keys)]
    assert len(own) == 3 and not any("Not declared" in line for line in own), own
    assert gt_warning("cnv", "Number=1,Type=Integer") in warnings(caplog)
