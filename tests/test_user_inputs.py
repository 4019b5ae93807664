"""The inputs users have: trio repeat calls, ROH as ROH tools write it, catalogs and the build of
every VCF, files that start with a byte order mark, stray bytes after gzip, readable notes."""

from __future__ import annotations

import gzip
import logging
import os
import subprocess
from pathlib import Path

import pysam
import pytest

import Callfold.unifier as unifier
from Callfold import repeats
from Callfold.compression import sort_and_compress
from input_files import encode

DATA = Path(__file__).parent / "data"
BOM = "\ufeff"


def test_trio_sv_with_trio_expansionhunter_repeats(tmp_path, require_tool):
    bcftools = require_tool("bcftools")
    result = unifier.run(str(tmp_path / "trio.vcf"), sv_path=DATA / "sv_trio.vcf",
                         repeat_path=DATA / "repeats_trio_expansionhunter.vcf")
    checked = subprocess.run([bcftools, "view", "-H", "-i", 'SVTYPE="REP"', result], capture_output=True, text=True)
    assert checked.returncode == 0, checked.stderr
    marked = [line.split("\t") for line in checked.stdout.splitlines()]
    assert sorted((fields[0], fields[1]) for fields in marked) == [("chr1", "57367043"), ("chr4", "3074876"),
                                                                 ("chrX", "147912050")]
    with pysam.VariantFile(result) as vcf:
        fmr1 = [record for record in vcf if record.pos == 147912050][0]
        # The sample columns are kept as written, the hemizygous call of HG003 included.
        assert [fmr1.samples[name]["REPCN"] for name in ("HG002", "HG003", "HG004")] == ["20/45", "20", "20/45"]


ROH_THREE = "chr1\t10000001\t.\tN\t<ROH>\t.\tPASS\tEND=10250000;SVTYPE=ROH\tGT\t1/1\n"
# bcftools roh regions are 1-based and inclusive: POS and END as they stand, the quality as ROH_SCORE.
ROH_REGIONS = [ROH_THREE.replace("ROH\tGT", "ROH;ROH_SCORE=78.4\tGT"),
               "chr2\t20000001\t.\tN\t<ROH>\t.\tPASS\tEND=20500000;SVTYPE=ROH;ROH_SCORE=81.0\tGT\t1/1\n"]


@pytest.mark.parametrize(
    "roh, roh_format, expected",
    [
        ("roh_three_columns.bed", unifier.RohFormat.AUTO,
         [ROH_THREE, ROH_THREE.replace("chr1\t10000001", "chr2\t20000001").replace("10250000", "20500000")]),
        ("roh_bcftools.txt", unifier.RohFormat.AUTO, ROH_REGIONS),
        ("roh_bcftools.txt", unifier.RohFormat.BCFTOOLS_ROH, ROH_REGIONS),
    ],
    ids=["three-column-bed-with-track-line", "bcftools-roh-detected", "bcftools-roh-declared"],
)
def test_roh_as_roh_tools_write_it(tmp_path, roh, roh_format, expected):
    options = unifier.UnifyOptions(roh_format=roh_format)
    lines = unifier.read_struct_lines({"sv": DATA / "sv.vcf", "roh": DATA / roh}, options)
    output = tmp_path / "unified.vcf"
    unifier.unify_lines(lines, str(output), options)
    assert [line for line in output.read_text().splitlines(keepends=True) if "<ROH>" in line] == expected


@pytest.mark.parametrize(
    "roh, error",
    [
        ("RG\tHG002\tchr1\t1\t9\t9\t3\t50\nRG\tHG003\tchr1\t1\t9\t9\t3\t50\nRG\tHG004 \tchr2\t1\t9\t9\t3\t50\n",
         "the roh input holds `bcftools roh` regions of 3 samples (HG002, HG003, HG004 )"),
        ("chrom start end\nchr1 100 500\n", "the roh input is neither a BED (chrom, start, end), a VCF"),
        ("ROH\tchr1\t100\t500\n", "the roh input is neither a BED (chrom, start, end), a VCF"),
    ],
    ids=["bcftools-roh-of-several-samples", "space-separated", "unknown-columns"],
)
def test_unusable_roh_refused_before_the_output_is_opened(tmp_path, roh, error):
    (tmp_path / "roh.txt").write_text("# runs\n" + roh)
    output = tmp_path / "unified.vcf"
    with pytest.raises(ValueError, match="^" + error.replace("(", r"\(").replace(")", r"\)")) as raised:
        unifier.run(str(output), sv_path=DATA / "sv.vcf", roh_bed_path=tmp_path / "roh.txt")
    if "neither" in error:
        assert raised.value.__notes__ == [f"roh input {str(tmp_path / 'roh.txt')!r}, line 2: {roh.splitlines()[0]!r}"]
    assert not output.exists()


@pytest.fixture
def cache(tmp_path, monkeypatch):
    monkeypatch.setenv("XDG_CACHE_HOME", str(tmp_path / "cache"))
    return tmp_path / "cache" / "callfold"


def test_catalog_of_every_build(cache):
    hg19 = Path(repeats.catalog_path("hg19")).read_text().splitlines(keepends=True)
    b37 = repeats.catalog_path("b37")
    assert Path(b37).parent == cache
    assert Path(b37).read_text().splitlines(keepends=True) == [line[3:] for line in hg19]
    assert Path(repeats.catalog_path("hg38")) == Path(repeats.default_repeat_catalog_path())
    assert [Path(repeats.catalog_path(build)).is_file() for build in repeats.CATALOG_BUILDS] == [True] * 4
    # Derived once: a second call leaves the file alone; an edited copy is derived anew.
    os.utime(b37, ns=(10**18, 10**18))
    assert repeats.catalog_path("b37") == b37 and os.stat(b37).st_mtime_ns == 10**18
    Path(b37).write_text("chr1\t1\t2\n")
    assert Path(repeats.catalog_path("b37")).read_text().splitlines(keepends=True) == [line[3:] for line in hg19]
    assert sorted(os.listdir(cache)) == ["STRchive-disease-loci.b37.TRGT.bed"]
    for build in ("GRCh37", "HG38", "", None):
        with pytest.raises(ValueError, match=f"^no catalog for build {build!r}; the known builds are hg38, hg19, b37, t2t$"):
            repeats.catalog_path(build)


def test_b37_catalog_keeps_every_grch37_call(tmp_path, cache):
    repeat = DATA / "repeats_grch37.vcf"
    assert repeats.recognise_build(repeat)[0] == "b37"
    out = repeats.filter_repeats_vcf(repeat, repeats.catalog_path("b37"), output_path=tmp_path / "out.vcf",
                                     allow_build_mismatch=False)
    assert Path(out).read_text() == repeat.read_text()


HEADER = "##fileformat=VCFv4.2\n"
COLUMNS = "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tHG002\n"


@pytest.mark.parametrize(
    "header, records, build, evidence",
    [
        ("##contig=<ID=chr1,length=248956422>\n", "", "hg38", "##contig chr1 length 248956422 (GRCh38)"),
        ('##contig=<ID=1,assembly=b37,length=249250621>\n', "", "b37",
         "##contig 1 length 249250621 (GRCh37); chromosomes named like 1"),
        ("##contig=<ID=chr1,length=249250621>\n", "", "hg19",
         "##contig chr1 length 249250621 (GRCh37); chromosomes named like chr1"),
        ("##contig=<ID=chr1,length=248387328>\n", "", "t2t", "##contig chr1 length 248387328 (T2T-CHM13)"),
        # The length outranks the reference's name.
        ("##reference=file:///ref/hs37d5.fa\n##contig=<ID=chr1,length=248956422>\n", "", "hg38",
         "##contig chr1 length 248956422 (GRCh38)"),
        ("##reference=file:///ref/hs37d5.fa\n", "2\t5\t.\tN\t<DEL>\t.\tPASS\t.\tGT\t0/1\n", "b37",
         "##reference=file:///ref/hs37d5.fa (GRCh37); chromosomes named like 2"),
        ("##assembly=GRCh38\n", "chrX\t5\t.\tN\t<DEL>\t.\tPASS\t.\tGT\t0/1\n", "hg38", "##assembly=GRCh38 (GRCh38)"),
        ("##contig=<ID=1,length=248956422>\n", "", None,
         "##contig 1 length 248956422 (GRCh38), but chromosomes named like 1: the hg38 catalog names them "
         "chr1..chr22, chrX"),
        ("##reference=GRCh37\n", "", None,
         "##reference=GRCh37 (GRCh37), but no chromosome name tells hg19 (chr1) from b37 (1)"),
        ("##contig=<ID=chr1,length=195471971>\n", "", None,
         "##contig chr1 length 195471971, which is chromosome 1 of no build with a shipped catalog "
         "(GRCh38 248956422, GRCh37 249250621, T2T-CHM13 248387328)"),
        ("", "chr1\t5\t.\tN\t<DEL>\t.\tPASS\t.\tGT\t0/1\n", None,
         "no ##contig length for chr1 or 1 and no ##reference or ##assembly line naming a build; "
         "chromosomes named like chr1 fit more than one build"),
    ],
    ids=["grch38", "b37", "hg19", "t2t", "length-first", "reference-and-records", "assembly", "grch38-bare",
         "grch37-no-names", "mouse", "names-only"],
)
@pytest.mark.parametrize("compression", ["plain", "bgzf"])
def test_recognise_build(tmp_path, header, records, build, evidence, compression):
    path = tmp_path / "calls.vcf.gz"
    path.write_bytes(encode(HEADER + header + COLUMNS + records, compression))
    assert repeats.recognise_build(str(path)) == (build, evidence)


GRCH37_CALL = "1\t57832715\t.\tA\t<STR>\t.\tPASS\tEND=57832793\tGT\t0/1\n"


@pytest.mark.parametrize("engine", [repeats.BUILTIN, repeats.BEDTOOLS])
@pytest.mark.parametrize(
    "text, catalog, message",
    [
        # A header of bare ##contig names against a chr catalog, whatever records there are.
        (HEADER + "##contig=<ID=1,length=249250621>\n" + COLUMNS, "hg19",
         "name chromosomes in different styles (1 against chr1)"),
        (HEADER + COLUMNS + GRCH37_CALL, "hg38", "name chromosomes in different styles (1 against chr1)"),
        (HEADER + COLUMNS + GRCH37_CALL.replace("1", "chrUn_gl000220", 1), "hg38", "nothing would be kept"),
    ],
    ids=["contigs-only", "records", "no-catalog-chromosome"],
)
def test_strict_filter_refuses_and_leaves_no_output(tmp_path, require_tool, cache, engine, text, catalog, message):
    if engine == repeats.BEDTOOLS:
        require_tool("bedtools")
    repeat = tmp_path / "r.vcf"
    repeat.write_text(text)
    out = tmp_path / "out.vcf"
    out.write_text("earlier\n")
    with pytest.raises(ValueError, match=message.replace("(", r"\(").replace(")", r"\)")):
        repeats.filter_repeats_vcf(repeat, repeats.catalog_path(catalog), engine, out, allow_build_mismatch=False)
    assert out.read_text() == "earlier\n"
    assert sorted(os.listdir(tmp_path)) == ["out.vcf", "r.vcf"]


def with_bom(text):
    return BOM + text


@pytest.mark.parametrize("compression", ["plain", "gzip", "bgzf"])
def test_a_byte_order_mark_is_dropped_from_every_input(tmp_path, compression, require_tool):
    def write(name, text):
        path = tmp_path / name
        path.write_bytes(encode(with_bom(text), compression))
        return path

    sv_text = (DATA / "sv.vcf").read_text()
    assert unifier.get_lines(write("sv.vcf", sv_text)) == sv_text.splitlines(keepends=True)
    result = unifier.run(str(tmp_path / "u.vcf"), sv_path=write("sv.vcf", sv_text),
                         roh_bed_path=write("roh.bed", (DATA / "roh_three_columns.bed").read_text()))
    bcftools = require_tool("bcftools")
    assert subprocess.run([bcftools, "view", "-H", result], capture_output=True, text=True).stdout.count("<ROH>") == 2
    catalog = tmp_path / "catalog.bed"
    catalog.write_text(BOM + "chr1\t57367043\t57367121\n")
    repeat = write("r.vcf", (DATA / "repeats.vcf").read_text())
    kept = Path(repeats.filter_repeats_vcf(repeat, catalog, output_path=tmp_path / "kept.vcf")).read_text()
    assert [line.split("\t")[:2] for line in kept.splitlines() if not line.startswith("#")] == [["chr1", "57367043"]]
    sorted_gz = sort_and_compress(str(write("sort.vcf", sv_text)))
    assert gzip.decompress(Path(sorted_gz).read_bytes()).startswith(b"##fileformat=VCFv4.2\n")


def test_stray_bytes_after_gzip_raise_what_python_raises(tmp_path):
    data = gzip.compress((DATA / "sv.vcf").read_bytes()) + b"\n"
    path = tmp_path / "sv.vcf"
    path.write_bytes(data)
    with pytest.raises(gzip.BadGzipFile) as host:
        gzip.decompress(data)
    with pytest.raises(gzip.BadGzipFile) as raised:
        sort_and_compress(str(path))
    assert str(raised.value) == str(host.value) == "Not a gzipped file (b'\\n')"
    assert path.read_bytes() == data


@pytest.mark.parametrize(
    "start",
    ["chr2\x007000", "chr2\x85\u2028\u2029x", "chr2\u202eLED\u202c\u2066", "chr2\ufeff\xa0\u200b", "chr\u00e9 ok"],
    ids=["nul", "next-line-separators", "bidi-overrides", "bom-nbsp-zero-width", "printable-kept"],
)
def test_notes_show_the_line_as_repr_does(tmp_path, start):
    cnv = tmp_path / "cnv.vcf"
    line = f"{start}\t7000\tcnv2\tN\t<DEL>\t.\tPASS\tEND=9000\tCN\t1"
    cnv.write_text(HEADER + COLUMNS + line + "\n", encoding="utf-8")
    with pytest.raises(ValueError) as raised:
        unifier.run(str(tmp_path / "u.vcf"), cnv_path=cnv)
    assert raised.value.__notes__ == [f"cnv input {str(cnv)!r}, line 3: {line!r}"]
    assert len(raised.value.__notes__[0].splitlines()) == 1
