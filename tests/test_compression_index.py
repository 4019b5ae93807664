"""The tabix index sort_and_compress writes with index=True / csi=True: the one
current htslib (pysam from PyPI) builds for the same file, region queries through
pysam and through this machine's older tabix equal to those through each one's
own index, and no index (stale or partial) left otherwise."""

from __future__ import annotations

import os
import random
import shutil
import subprocess
import sys
from pathlib import Path

import pysam
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from Callfold.compression import sort_and_compress
from compression_helpers import COLUMNS, SITES_COLUMNS, bgzf_blocks, leftovers
from index_files import read_index

TBI_LIMIT = 2**29  # the last position a TBI describes
CONTIGS = {"chr1": 248_956_422, "chr2": 242_193_529, "chrX": 156_040_895}

# Keyword arguments, index suffix, and the tabix command building the same kind of index.
KIND_TABLE = {
    "tbi": ({"index": True}, ".tbi", ["-p", "vcf"]),
    "csi": ({"csi": True}, ".csi", ["--csi", "-p", "vcf"]),
    "index-and-csi": ({"index": True, "csi": True}, ".csi", ["--csi", "-p", "vcf"]),
}
KINDS = [pytest.param(*value, id=key) for key, value in KIND_TABLE.items()]


def header(contigs: dict[str, int] = CONTIGS, columns: str = COLUMNS) -> str:
    lines = ["##fileformat=VCFv4.2\n"]
    lines += [f"##contig=<ID={name},length={length}>\n" for name, length in contigs.items()]
    lines += [
        '##INFO=<ID=SVTYPE,Number=1,Type=String,Description="Type of structural variant">\n',
        '##INFO=<ID=END,Number=1,Type=Integer,Description="End position">\n',
        '##INFO=<ID=SVLEN,Number=A,Type=Integer,Description="Length of the variant">\n',
        '##ALT=<ID=DEL,Description="Deletion">\n',
        '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n',
    ]
    return "".join(lines) + columns


def line(chrom: str, pos: int, ident: str, ref: str = "N", info: str = ".", alt: str = "<DEL>") -> str:
    return f"{chrom}\t{pos}\t{ident}\t{ref}\t{alt}\t.\tPASS\t{info}\tGT\t0/1\n"


def many_records(count: int, seed: int = 7) -> list[str]:
    """Unsorted records over three contigs and one undeclared, spans from REF,
    INFO END or SVLEN of every size (points, kilobases, megabases), END that tabix
    ignores, SVLEN that only some alleles take."""
    rng = random.Random(seed)
    records = []
    for n in range(count):
        chrom = rng.choice([*CONTIGS, "chrUn_1"])
        pos = rng.randrange(1, 3_000_000)
        ref = rng.choice(["A", "A", "ACGTA", "N" * 300])
        svlen = rng.choice([-1, 1]) * rng.choice([5, 20_000, 500_000])
        info = rng.choice([
            ".",
            f"SVTYPE=DEL;END={pos + rng.randrange(1, 5_000)}",
            f"END={pos + rng.randrange(10_000, 2_000_000)};SVTYPE=DUP",
            f"SVTYPE=INV;END={max(1, pos - 50)}",  # before POS: ignored
            "SVTYPE=BND",
            f"SVTYPE=DEL;SVLEN={svlen}",
            f"SVLEN={svlen};END={pos + rng.randrange(1, 40_000)}",
        ])
        alt = rng.choice(["<DEL>", "<DUP:TANDEM>", "<CNV>", "<INV>", "<INS>", "A", "<DEL>,<INS>", "<INS>,<DUP>"])
        records.append(line(chrom, pos, f"r{n}", ref, info, alt))
    return records


def copy_without_index(gz: str, directory: Path) -> str:
    directory.mkdir()
    target = directory / Path(gz).name
    shutil.copyfile(gz, target)
    return str(target)


def indexed_copies(ours: str, directory: Path, tabix: str, tabix_args: list[str]) -> tuple[str, str]:
    """Copies of `ours` indexed by current htslib (pysam) and by this machine's tabix."""
    current = copy_without_index(ours, directory / "pysam")
    pysam.tabix_index(current, preset="vcf", csi="--csi" in tabix_args, force=True)
    older = copy_without_index(ours, directory / "tabix")
    subprocess.run([tabix, *tabix_args, older], check=True, capture_output=True)
    return current, older


def tabix_region(tabix: str, gz: str, region: str) -> list[str]:
    done = subprocess.run([tabix, gz, region], capture_output=True, text=True, check=True)
    return [row.split("\t")[2] for row in done.stdout.splitlines()]


@pytest.fixture(scope="module")
def indexed(tmp_path_factory, require_tool):
    """kind -> (gz with our index, the same gz indexed by pysam, and by tabix), over
    30,000 records in about 40 BGZF blocks."""
    tabix = require_tool("tabix")
    text = header() + "".join(many_records(30_000))
    made = {}
    for name, (options, suffix, tabix_args) in KIND_TABLE.items():
        directory = tmp_path_factory.mktemp(name)
        vcf = directory / "ours" / "unified.vcf"
        vcf.parent.mkdir()
        vcf.write_text(text)
        ours = sort_and_compress(vcf, **options)
        assert sorted(os.listdir(vcf.parent)) == ["unified.vcf.gz", "unified.vcf.gz" + suffix]
        current, older = indexed_copies(ours, directory, tabix, tabix_args)
        made[name] = (ours, current, older, suffix)
    return tabix, made


def test_records_span_many_blocks(indexed):
    _, made = indexed
    ours, _, _, suffix = made["tbi"]
    assert len(bgzf_blocks(ours)) > 30
    linear = [offset for reference in read_index(ours + suffix).references for offset in reference.linear]
    assert len({offset >> 16 for offset in linear}) > 20  # records start in many blocks...
    assert len({offset & 0xFFFF for offset in linear}) > 20  # ...and at many places within them


@pytest.mark.parametrize("kind", KIND_TABLE)
def test_index_is_the_one_current_htslib_builds(indexed, kind):
    _, made = indexed
    ours, theirs, _, suffix = made[kind]
    ours_index, theirs_index = read_index(ours + suffix), read_index(theirs + suffix)
    assert ours_index.kind == suffix[1:].upper()
    assert ours_index.names == ["chr1", "chr2", "chrX", "chrUn_1"]
    assert ours_index == theirs_index


REGIONS = ["chr1", "chr2:1-1", "chr1:1000000-1000100", "chrX:2500000-9000000", "chrUn_1:16384-16385",
           "chr2:16384-32768", "chr1:2999000-5000000", "chr3:1-100", "chrX:1-1"]


@pytest.mark.parametrize("kind", KIND_TABLE)
@pytest.mark.parametrize("region", REGIONS)
def test_tabix_queries_equal(indexed, kind, region):
    tabix, made = indexed
    ours, _, older, _ = made[kind]
    assert tabix_region(tabix, ours, region) == tabix_region(tabix, older, region)


@pytest.mark.parametrize("kind", ["tbi", "csi"])
@pytest.mark.parametrize("contig", [*CONTIGS, "chrUn_1"])
def test_whole_contig_query_returns_its_records(indexed, kind, contig):
    tabix, made = indexed
    ours, _, _, _ = made[kind]
    expected = [record.split("\t")[2] for record in sorted(
        (r for r in many_records(30_000) if r.startswith(contig + "\t")), key=lambda r: int(r.split("\t")[1]))]
    assert len(expected) > 5_000
    assert tabix_region(tabix, ours, contig) == expected


@pytest.mark.parametrize("kind", ["tbi", "csi"])
def test_tabix_lists_contigs(indexed, kind):
    tabix, made = indexed
    ours, _, _, _ = made[kind]
    listed = subprocess.run([tabix, "-l", ours], capture_output=True, text=True, check=True).stdout
    assert listed.splitlines() == ["chr1", "chr2", "chrX", "chrUn_1"]


@settings(max_examples=150, deadline=None)
@given(kind=st.sampled_from(["tbi", "csi"]), contig=st.sampled_from([*CONTIGS, "chrUn_1"]),
       start=st.integers(0, 3_200_000), length=st.integers(1, 400_000))
def test_pysam_random_regions(indexed, kind, contig, start, length):
    _, made = indexed
    ours, theirs, _, suffix = made[kind]
    with pysam.TabixFile(ours, index=ours + suffix) as mine, pysam.TabixFile(theirs, index=theirs + suffix) as reference:
        assert list(mine.fetch(contig, start, start + length)) == list(reference.fetch(contig, start, start + length))
    with pysam.VariantFile(ours, index_filename=ours + suffix) as mine, \
            pysam.VariantFile(theirs, index_filename=theirs + suffix) as reference:
        end = start + length
        assert [r.id for r in mine.fetch(contig, start, end)] == [r.id for r in reference.fetch(contig, start, end)]


def test_variant_file_reads_through_index_without_complaint(indexed, capfd):
    _, made = indexed
    ours, theirs, _, _ = made["tbi"]
    with pysam.VariantFile(ours) as mine, pysam.VariantFile(theirs) as reference:
        assert [r.id for r in mine.fetch("chr2", 100_000, 400_000)] == [
            r.id for r in reference.fetch("chr2", 100_000, 400_000)]
    # e.g. "The index file is older than the data file"
    assert "idx" not in capfd.readouterr().err


# Records whose placement turns on how readers size them: REF length, END at the
# start of INFO or after ";", END as C reads integers (hex, octal), END "." or
# before POS, a decoy key ending in END, POS 0, a missing REF; END shorter than
# REF; SVLEN per allele for <DEL>, <DUP>, <CNV>, <INV> and subtypes only, read
# past its own entry as htslib splits it; a gVCF block's FORMAT LEN.
EDGE_RECORDS = [
    line("chr1", 0, "pos0"),
    line("chr1", 5, "ref_long", "ACGTACGTACGTACGTACGT" * 900),
    line("chr1", 10, "end_first", info="END=70000;SVTYPE=DEL"),
    line("chr1", 20, "end_hex", info="SVTYPE=DEL;END=0x20000"),
    line("chr1", 30, "end_octal", info="SVTYPE=DEL;END=0400000"),
    line("chr1", 40, "end_dot", info="SVTYPE=DEL;END=."),
    line("chr1", 50, "end_before", info="END=3"),
    line("chr1", 60, "decoy", info="SVEND=900000"),
    line("chr1", 70, "end_empty", info="SVTYPE=DEL;END="),
    line("chr1", 80, "end_spaced", info="SVTYPE=DEL;END= 120000"),
    line("chr1", 90, "ref_empty", ""),
    line("chr1", 16384, "window_edge"),
    line("chr1", 16385, "past_window_edge"),
    line("chr2", 1, "first", info=f"END={TBI_LIMIT}"),
    line("chr1", 100, "end_short_of_ref", "A" * 40_000, info="END=120"),
    line("chr1", 200, "svlen_dup", info="SVTYPE=DUP;SVLEN=500000", alt="<DUP>"),
    line("chr1", 210, "svlen_negative", info="SVLEN=-300000", alt="<DEL:ME>"),
    line("chr1", 220, "svlen_over_end", info="END=300;SVLEN=400000", alt="<CNV:TR>"),
    line("chr1", 230, "svlen_second", info="SVLEN=5,450000", alt="<INS>,<INV>"),
    line("chr1", 240, "svlen_ins", info="SVLEN=700000", alt="<INS>"),
    line("chr1", 250, "svlen_not_symbolic", info="SVLEN=700000", alt="A"),
    line("chr1", 260, "svlen_lookalike", info="SVLEN=700000", alt="<DELETION>"),
    line("chr1", 270, "svlen_decoy", info="MYSVLEN=700000", alt="<DEL>"),
    line("chr1", 280, "svlen_spill", info="SVLEN=5;AF=0.5,650000", alt="<INS>,<DEL>"),
    line("chr1", 290, "gvcf_len", alt="<*>").replace("GT\t0/1", "GT:LEN\t0/0:550000"),
]


@pytest.mark.parametrize(("options", "suffix", "tabix_args"), KINDS)
def test_edge_records_placed_as_tabix_places_them(tmp_path, require_tool, options, suffix, tabix_args):
    tabix = require_tool("tabix")
    vcf = tmp_path / "ours" / "edge.vcf"
    vcf.parent.mkdir()
    vcf.write_text(header() + "".join(EDGE_RECORDS))
    ours = sort_and_compress(vcf, **options)
    current, older = indexed_copies(ours, tmp_path, tabix, tabix_args)
    assert read_index(ours + suffix) == read_index(current + suffix)
    for region in ["chr1:1-1", "chr1:100000-100000", "chr1:131072-131072", "chr1:69999-70001", "chr1:9000-9000",
                   "chr1:16384-16385", "chr1:91-91", "chr2:536870912-536870912", "chr1:600000-600000"]:
        assert tabix_region(tabix, ours, region) == tabix_region(tabix, older, region), region


def block_boundary_records(end_of_file: bool) -> tuple[list[str], str]:
    """Records laid out so that one (returned second) ends exactly where the first
    BGZF block's data (65,280 bytes) ends: the last record, or one followed by more."""
    text = header()
    records = []
    while len(text.encode()) + 200 < 65_280:
        record = line("chr1", 1000 + len(records), f"fill{len(records)}")
        records.append(record)
        text += record
    padding = 65_280 - len(text.encode()) - len(line("chr1", 900_000, ""))
    exact = line("chr1", 900_000, "x" * padding)
    records.append(exact)
    if not end_of_file:
        records += [line("chr2", 5, "after"), line("chr2", 70_000, "later", info="END=80000")]
    return records, exact


@pytest.mark.parametrize("end_of_file", [True, False], ids=["last-record", "inner-record"])
@pytest.mark.parametrize(("options", "suffix", "tabix_args"), KINDS[:2])
def test_record_ending_at_block_boundary(tmp_path, require_tool, end_of_file, options, suffix, tabix_args):
    tabix = require_tool("tabix")
    records, exact = block_boundary_records(end_of_file)
    vcf = tmp_path / "ours" / "boundary.vcf"
    vcf.parent.mkdir()
    vcf.write_text(header() + "".join(records))
    ours = sort_and_compress(vcf, **options)
    blocks = bgzf_blocks(ours)
    assert len(blocks[0].data) == 65_280 and blocks[0].data.endswith(exact.encode())
    assert len(blocks) == (2 if end_of_file else 3)  # then the EOF block
    current, _ = indexed_copies(ours, tmp_path, tabix, tabix_args)
    assert read_index(ours + suffix) == read_index(current + suffix)
    assert tabix_region(tabix, ours, "chr1:900000-900000") == [exact.split("\t")[2]]


@pytest.mark.parametrize(("options", "suffix", "tabix_args"), KINDS)
def test_header_only_file_has_empty_index(tmp_path, require_tool, options, suffix, tabix_args):
    tabix = require_tool("tabix")
    vcf = tmp_path / "ours" / "empty.vcf"
    vcf.parent.mkdir()
    vcf.write_text(header())
    ours = sort_and_compress(vcf, **options)
    current, _ = indexed_copies(ours, tmp_path, tabix, tabix_args)
    assert read_index(ours + suffix) == read_index(current + suffix)
    assert subprocess.run([tabix, "-l", ours], capture_output=True, text=True, check=True).stdout == ""
    assert tabix_region(tabix, ours, "chr1") == []


# A contig longer than TBI reaches; what each record's span asks for.
LONG_CONTIG = {"chr1": 248_956_422, "big": 2**31}
BEYOND_TBI = [
    pytest.param(line("big", TBI_LIMIT, "at_limit"), ".tbi", id="ends-at-limit"),
    pytest.param(line("big", TBI_LIMIT - 10, "end_at_limit", info=f"END={TBI_LIMIT}"), ".tbi", id="end-at-limit"),
    pytest.param(line("big", TBI_LIMIT + 1, "past_limit"), ".csi", id="pos-past-limit"),
    pytest.param(line("big", 100, "end_past", info=f"END={TBI_LIMIT + 1}"), ".csi", id="end-past-limit"),
    pytest.param(line("big", TBI_LIMIT - 1, "ref_past", "ACG"), ".csi", id="ref-past-limit"),
    pytest.param(line("big", 2**31 - 5, "near_2_31", info="END=2147483647"), ".csi", id="near-2^31"),
]


@pytest.mark.parametrize(("far_record", "suffix"), BEYOND_TBI)
def test_csi_when_tbi_cannot_hold_a_record(tmp_path, require_tool, far_record, suffix):
    tabix = require_tool("tabix")
    records = [line("chr1", 500, "near"), line("big", 1_000, "low"), far_record, line("big", 2**30, "high")]
    vcf = tmp_path / "ours" / "long.vcf"
    vcf.parent.mkdir()
    # The record at 2^30 alone already needs a CSI; drop it where the far record should keep TBI.
    kept = records if suffix == ".csi" else records[:-1]
    vcf.write_text(header(LONG_CONTIG) + "".join(kept))
    ours = sort_and_compress(vcf, index=True)
    other = ".csi" if suffix == ".tbi" else ".tbi"
    assert os.path.exists(ours + suffix) and not os.path.exists(ours + other)
    theirs = copy_without_index(ours, tmp_path / "theirs")
    tbi_attempt = subprocess.run([tabix, "-p", "vcf", theirs], capture_output=True)
    assert (tbi_attempt.returncode == 0) == (suffix == ".tbi")
    if suffix == ".csi":
        subprocess.run([tabix, "--csi", "-p", "vcf", theirs], check=True, capture_output=True)
    current = copy_without_index(ours, tmp_path / "pysam")
    pysam.tabix_index(current, preset="vcf", csi=suffix == ".csi", force=True)
    assert read_index(ours + suffix) == read_index(current + suffix)
    far = far_record.split("\t")
    for region in [f"big:{far[1]}-{far[1]}", f"big:{TBI_LIMIT}-{TBI_LIMIT + 1}", "big:1073741824-1073741824", "big"]:
        assert tabix_region(tabix, ours, region) == tabix_region(tabix, theirs, region), region
    assert far[2] in tabix_region(tabix, ours, f"big:{far[1]}-{far[1]}")


STALE_CASES = [
    pytest.param({}, [], id="no-index"),
    pytest.param({"index": True}, [".tbi"], id="index"),
    pytest.param({"csi": True}, [".csi"], id="csi"),
]


@pytest.mark.parametrize("stale", [".tbi", ".csi"])
@pytest.mark.parametrize(("options", "written"), STALE_CASES)
def test_stale_index_beside_output_is_removed(tmp_path, stale, options, written):
    vcf = tmp_path / "unified.vcf"
    vcf.write_text(header() + line("chr2", 7, "new"))
    Path(f"{vcf}.gz").write_bytes(b"earlier output")
    Path(f"{vcf}.gz{stale}").write_bytes(b"index of the earlier output")
    gz = sort_and_compress(vcf, **options)
    assert leftovers(tmp_path, {"unified.vcf.gz", *(f"unified.vcf.gz{s}" for s in written)}) == set()
    for suffix in written:
        assert read_index(gz + suffix).names == ["chr2"]


@pytest.mark.parametrize("arguments", [(True,), (True, True)])
def test_index_options_are_keyword_only(tmp_path, arguments):
    vcf = tmp_path / "unified.vcf"
    vcf.write_text(header() + line("chr1", 7, "a"))
    with pytest.raises(TypeError):
        sort_and_compress(str(vcf), *arguments)
    assert vcf.exists()


def assert_untouched(vcf: Path, text: str, previous: bytes | None, extra: set[str] = frozenset()) -> None:
    assert vcf.read_text() == text
    names = {vcf.name, *extra}
    if previous is not None:
        assert Path(f"{vcf}.gz").read_bytes() == previous
        names.add(vcf.name + ".gz")
    assert leftovers(vcf.parent, names) == set()


INDEX_REFUSALS = [
    pytest.param(line("chr1", 10, "nul\0id"), "chr1:10 holds a NUL byte", id="nul-in-record"),
    pytest.param("chr\0\t10\t.\tN\t<DEL>\t.\tPASS\t.\tGT\t0/1\n", "holds a NUL byte", id="nul-in-chrom"),
    # A meta line after the records joins the header.
    pytest.param("##source=caller\0v2\n", 'header line starting "##source=caller" holds a NUL byte', id="nul-in-header"),
    pytest.param(line("chr1", 10, "far", info=f"END={2**41 + 1}"), "chr1:10 ends at 2199023255553", id="end-past-2^41"),
    pytest.param(line("chr1", 2**41, "farpos", "AC"), "beyond the positions an index can describe", id="pos-past-2^41"),
]


@pytest.mark.parametrize("options", [{"index": True}, {"csi": True}], ids=["index", "csi"])
@pytest.mark.parametrize("previous", [None, b"earlier output"], ids=["fresh", "replacing"])
@pytest.mark.parametrize(("bad", "message"), INDEX_REFUSALS)
def test_unindexable_record_raises_and_leaves_nothing(tmp_path, options, previous, bad, message):
    vcf = tmp_path / "unified.vcf"
    text = header() + line("chr1", 5, "ok") + bad
    vcf.write_text(text)
    if previous is not None:
        Path(f"{vcf}.gz").write_bytes(previous)
    with pytest.raises(ValueError, match=message) as raised:
        sort_and_compress(vcf, **options)
    assert str(raised.value).startswith(f"{vcf}: ")
    assert_untouched(vcf, text, previous)


def test_same_records_without_index_are_written(tmp_path):
    # What cannot be indexed is still written when no index is asked for.
    vcf = tmp_path / "unified.vcf"
    vcf.write_text(header() + line("chr1", 10, "far", info=f"END={2**41 + 1}"))
    assert sort_and_compress(vcf) == f"{vcf}.gz"


@pytest.mark.parametrize("kind", [".tbi", ".csi"])
def test_index_name_taken_by_directory_raises_and_leaves_previous_output(tmp_path, kind):
    vcf = tmp_path / "unified.vcf"
    text = header() + line("chr1", 5, "ok")
    vcf.write_text(text)
    Path(f"{vcf}.gz").write_bytes(b"earlier output")
    (tmp_path / f"unified.vcf.gz{kind}").mkdir()
    with pytest.raises(OSError):
        sort_and_compress(vcf, index=True)
    assert_untouched(vcf, text, b"earlier output", {f"unified.vcf.gz{kind}"})


@pytest.mark.parametrize("previous", [None, b"earlier output"], ids=["fresh", "replacing"])
def test_index_that_cannot_be_created_leaves_no_output(tmp_path, previous):
    # Short enough for the .gz's temporary name, too long for the index's.
    vcf = tmp_path / ("x" * 232 + ".vcf")
    text = header() + line("chr1", 5, "ok")
    vcf.write_text(text)
    if previous is not None:
        Path(f"{vcf}.gz").write_bytes(previous)
    with pytest.raises(OSError) as raised:
        sort_and_compress(vcf, index=True)
    assert raised.value.errno == 36  # ENAMETOOLONG
    assert_untouched(vcf, text, previous)


def test_sites_only_file_indexed(tmp_path, require_tool):
    tabix = require_tool("tabix")
    vcf = tmp_path / "sites.vcf"
    vcf.write_text(header(columns=SITES_COLUMNS) + "chr1\t100\ts1\tACGT\t<DEL>\t.\tPASS\tSVTYPE=DEL;END=5000\n")
    gz = sort_and_compress(vcf, index=True)
    assert tabix_region(tabix, gz, "chr1:4000-4000") == ["s1"]


# Above 250,000 records the spans are read in ranges on several threads.
LARGE = 260_000


def large_records() -> list[str]:
    return [f"chr{1 + n * 3 // LARGE}\t{1 + n * 37}\tL{n}\tA\t<DEL>\t.\tPASS\tEND={n * 37 + 5 + n % 9000}\tGT\t0/1\n"
            for n in range(LARGE)]


def test_large_input_index_is_the_one_htslib_builds(tmp_path, require_tool):
    tabix = require_tool("tabix")
    vcf = tmp_path / "ours" / "large.vcf"
    vcf.parent.mkdir()
    vcf.write_text(header({"chr1": 10**8, "chr2": 10**8, "chr3": 10**8}) + "".join(large_records()))
    ours = sort_and_compress(vcf, index=True)
    current, _ = indexed_copies(ours, tmp_path, tabix, ["-p", "vcf"])
    assert read_index(ours + ".tbi") == read_index(current + ".tbi")


def test_large_input_reports_first_unindexable_record(tmp_path):
    records = large_records()
    # The first bad record ends the first half of the input, the second opens the other half.
    records[LARGE // 2 - 3] = line("chr2", 5_000_000, "early\0")
    records[LARGE // 2 + 3] = line("chr2", 6_000_000, "late\0")
    vcf = tmp_path / "large.vcf"
    text = header() + "".join(records)
    vcf.write_text(text)
    with pytest.raises(ValueError, match="the record at chr2:5000000 holds a NUL byte"):
        sort_and_compress(vcf, index=True)
    assert_untouched(vcf, text, None)


def svlen_sized_records(vcf: Path) -> list[tuple[str, int, int, str]]:
    """(chrom, POS, POS + |SVLEN|, ID) of the symbolic records sized by SVLEN alone."""
    found = []
    for row in vcf.read_text().splitlines():
        fields = row.split("\t")
        if row.startswith("#") or not fields[4].startswith("<"):
            continue
        svlen = abs(int(dict(e.split("=", 1) for e in fields[7].split(";") if "=" in e)["SVLEN"]))
        found.append((fields[0], int(fields[1]), int(fields[1]) + svlen, fields[2]))
    return found


@pytest.mark.parametrize("through", ["api", "command"])
@pytest.mark.parametrize("kind", [".tbi", ".csi"])
def test_current_reader_finds_svlen_sized_records_mid_span(data_copy, through, kind):
    # A long-read caller's <DEL>/<DUP>/<INV> carry SVLEN and no END: a query in the
    # middle of each, through the index written here, must find it.
    vcf = Path(data_copy("sv_long_read.vcf"))
    expected = svlen_sized_records(vcf)
    if through == "api":
        gz = sort_and_compress(vcf, **({"index": True} if kind == ".tbi" else {"csi": True}))
    else:
        flag = "--index" if kind == ".tbi" else "--csi"
        done = subprocess.run([sys.executable, "-P", "-m", "Callfold", "unify", "--output", str(vcf.with_suffix(".u.vcf")),
                               "--sv", str(vcf), flag], capture_output=True, text=True, check=True)
        gz = done.stdout.split()[0]
    assert os.path.exists(gz + kind)
    with pysam.VariantFile(gz, index_filename=gz + kind) as reader:
        for chrom, start, end, ident in expected:
            middle = (start + end) // 2
            assert [r.id for r in reader.fetch(chrom, middle, middle + 1)] == [ident]
