"""The shipped catalog BED of disease tandem-repeat loci, and the script that makes it.

These tests read the data file directly and never import Callfold itself.
"""

import hashlib
import importlib.util
import json
import re
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

REPO = Path(__file__).parents[1]
BED = REPO / "Callfold" / "data" / "STRchive-disease-loci.hg38.TRGT.bed"
SCRIPT = REPO / "scripts" / "make_repeat_catalog.py"
README = REPO / "Callfold" / "data" / "README.md"

CHROMS = [f"chr{n}" for n in range(1, 23)] + ["chrX", "chrY"]
INFO_RE = re.compile(
    r"ID=(?P<id>[A-Za-z0-9_.-]+);MOTIFS=(?P<motifs>[ACGTRYSWKMBDHVN]+(?:,[ACGTRYSWKMBDHVN]+)*);"
    r"STRUC=(?P<struc>(?:\([ACGTRYSWKMBDHVN]+\)n|[ACGTN]+)*\([ACGTRYSWKMBDHVN]+\)n)"
)


def load_script():
    loader_info = importlib.util.spec_from_file_location("make_repeat_catalog", SCRIPT)
    module = importlib.util.module_from_spec(loader_info)
    loader_info.loader.exec_module(module)
    return module


@pytest.fixture(scope="module")
def rows():
    text = BED.read_bytes().decode("ascii")
    assert text.endswith("\n") and "\r" not in text
    return [line.split("\t") for line in text.splitlines()]


@pytest.fixture(scope="module")
def by_id(rows):
    return {INFO_RE.fullmatch(r[3])["id"]: r for r in rows}


def test_every_line_is_a_well_formed_catalog_record(rows):
    assert len(rows) >= 50
    for fields in rows:
        assert len(fields) == 4, fields
        chrom, start, end, info = fields
        assert chrom in CHROMS
        assert start.isdigit() and end.isdigit()
        assert int(start) < int(end) and int(end) - int(start) < 1000, fields
        match = INFO_RE.fullmatch(info)
        assert match, info
        # MOTIFS lists exactly the distinct motifs of STRUC, in the same order.
        struc_motifs = re.findall(r"\(([A-Z]+)\)n", match["struc"])
        assert match["motifs"].split(",") == list(dict.fromkeys(struc_motifs))


def test_ids_unique_and_lines_sorted(rows):
    ids = [INFO_RE.fullmatch(r[3])["id"] for r in rows]
    assert len(ids) == len(set(ids))
    keys = [(CHROMS.index(r[0]), int(r[1])) for r in rows]
    assert keys == sorted(keys)


@pytest.mark.parametrize(
    "locus, chrom, motif, inside_1based",
    [
        ("HTT", "chr4", "CAG", (3074877, 3074933)),
        ("FMR1", "chrX", "CGG", (147912051, 147912110)),
        ("C9ORF72", "chr9", "GGCCCC", None),
        ("ATXN1", "chr6", "CTG", None),
        ("ATXN3", "chr14", "CTG", None),
        ("DMPK", "chr19", "CAG", None),
        ("FXN", "chr9", "GAA", None),
        ("AR", "chrX", "GCA", None),
        ("RFC1", "chr4", "AARRG", None),
        ("CNBP", "chr3", "CAGG", None),
    ],
)
def test_well_known_locus_present(by_id, locus, chrom, motif, inside_1based):
    assert locus in by_id
    row_chrom, start, end, info = by_id[locus]
    assert row_chrom == chrom
    assert motif in INFO_RE.fullmatch(info)["motifs"].split(",")
    if inside_1based:
        first, last = inside_1based  # 1-based inclusive, so BED start is first - 1
        assert int(start) == first - 1 and int(end) >= last


def test_regenerates_byte_for_byte(tmp_path):
    script = load_script()
    source = script.locate_installed_source()
    if source is None:
        pytest.skip("stranger is not installed")
    if hashlib.sha256(source.read_bytes()).hexdigest() != script.SOURCE_SHA256:
        pytest.skip("installed stranger is not the version the catalog was made from")
    out = tmp_path / "catalog.bed"
    subprocess.run([sys.executable, str(SCRIPT), "-o", str(out)], check=True)
    assert out.read_bytes() == BED.read_bytes()
    piped = subprocess.run([sys.executable, str(SCRIPT), str(source)],
                           check=True, capture_output=True)
    assert piped.stdout == BED.read_bytes() and piped.stderr == b""


def test_readme_records_source_digest():
    assert load_script().SOURCE_SHA256 in README.read_text()


@pytest.mark.skipif(shutil.which("bedtools") is None, reason="bedtools not on PATH")
def test_bedtools_intersect_accepts_catalog(tmp_path):
    vcf = tmp_path / "calls.vcf"
    vcf.write_text(
        "##fileformat=VCFv4.2\n"
        "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n"
        "chr1\t1000\toutside\tA\tG\t.\tPASS\t.\n"
        "chr4\t3074900\tin_htt\tC\tT\t.\tPASS\t.\n"
        "chrX\t147912051\tin_fmr1\tC\tG\t.\tPASS\t.\n"
    )
    result = subprocess.run(["bedtools", "intersect", "-a", str(vcf), "-b", str(BED),
                             "-header", "-u"], capture_output=True, text=True)
    assert result.returncode == 0, result.stderr
    kept = [line.split("\t")[2] for line in result.stdout.splitlines() if not line.startswith("#")]
    assert kept == ["in_htt", "in_fmr1"]
    assert "#CHROM" in result.stdout


def entry(locus="L1", region="chr2:100-130", structure="(CAG)*"):
    return {"LocusId": locus, "ReferenceRegion": region, "LocusStructure": structure}


@pytest.mark.parametrize(
    "item, expected",
    [
        (entry(), ("chr2", 100, 130, "ID=L1;MOTIFS=CAG;STRUC=(CAG)n")),
        (entry(region="7:5-20"), ("chr7", 5, 20, "ID=L1;MOTIFS=CAG;STRUC=(CAG)n")),
        (entry(region=["chr4:10-40", "chr4:46-70"], structure="(CAG)*CAACAG(CCG)*"),
         ("chr4", 10, 70, "ID=L1;MOTIFS=CAG,CCG;STRUC=(CAG)nCAACAG(CCG)n")),
        (entry(region=["chr8:90-99", "chr8:60-89"], structure="(TAAAA)*(TGAAA)*"),
         ("chr8", 60, 99, "ID=L1;MOTIFS=TGAAA,TAAAA;STRUC=(TGAAA)n(TAAAA)n")),
        (entry(region=["chr1:0-10", "chr1:10-20", "chr1:20-30"], structure="AC(AAAAT)*(GAAAT)*(AAAAT)*TT"),
         ("chr1", 0, 30, "ID=L1;MOTIFS=AAAAT,GAAAT;STRUC=(AAAAT)n(GAAAT)n(AAAAT)n")),
    ],
)
def test_entry_conversion(item, expected):
    assert load_script().entry_to_bed(item) == expected


@pytest.mark.parametrize(
    "item",
    [
        entry(region="chr2:130-100"),
        entry(region="chr2-100-130"),
        entry(region="chrUn_x:1-5"),
        entry(region=["chr2:1-5", "chr3:8-9"], structure="(CA)*(CG)*"),
        entry(region=["chr2:1-5", "chr2:8-9"], structure="(CA)*"),
        entry(region=["chr2:5-8", "chr2:1-4", "chr2:9-12"], structure="(CA)*(CG)*(CT)*"),
        entry(region=["chr2:8-9", "chr2:1-5"], structure="(CA)*GG(CG)*"),
        entry(structure="(cag)*"),
        entry(structure="(CAG)"),
        entry(structure="(CXG)*"),
        {"LocusId": "L1", "LocusStructure": "(CA)*"},
        entry(locus="bad id"),
    ],
)
def test_entry_rejected(item):
    script = load_script()
    with pytest.raises(script.CatalogError):
        script.entry_to_bed(item)


def test_catalog_sorted_naturally_and_ids_checked():
    script = load_script()
    items = [entry("X", "chrX:5-9"), entry("T", "chr10:5-9"), entry("B", "chr2:50-60"),
             entry("A", "chr2:5-9")]
    bed = script.catalog_to_bed(json.dumps(items).encode())
    assert [line.split("\t")[0:2] for line in bed.splitlines()] == [
        ["chr2", "5"], ["chr2", "50"], ["chr10", "5"], ["chrX", "5"]]
    with pytest.raises(script.CatalogError, match="duplicate"):
        script.catalog_to_bed(json.dumps(items + [entry("A", "chr3:1-4")]).encode())
