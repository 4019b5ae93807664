"""The built-in catalog intersection of Callfold.repeats: catalog reading, the overlap
rule and the engine that streams a repeat VCF through them."""

import gzip
import logging
from pathlib import Path

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from Callfold import repeats
from repeats_helpers import HEADER, record, vcf, write

SUMMARY = "Repeat records kept: %d, outside the catalog: %d"


def test_catalog_lines_are_read_skipped_and_sorted(tmp_path):
    bed = write(
        tmp_path / "c.bed",
        "track name=x\nbrowser position chr1\n#chrom\tstart\tend\ntrackless\t1\t2\n"
        "chrom\tstart\tend\n\n  \t \nchr2\t500\t600\tID=B\r\n"
        "chr1\t300\t400\nchr1\t100\t200\tID=A\nchr1\t100\t150\nchr1\t100\t150\n"
        " #chr3\t1\t2\n"  # leading space: not a comment, and its chromosome is " #chr3"
        "chr1 700 800\nchr1\t5\nchr1\t1.5\t9\nchr1\t1.5\t9223372036854775808\nchr1\t-1_0\t+2\n",
    )
    intervals = repeats._read_bed_intervals(bed)
    assert intervals == {
        "chr2": [(500, 600)],
        "chr1": [(-10, 2), (100, 150), (100, 150), (100, 200), (300, 400)],
        " #chr3": [(1, 2)],
    }
    assert list(intervals) == ["chr2", "chr1", " #chr3"]  # first-seen order
    assert repeats._read_bed_intervals(bed_path=Path(bed)) == intervals


@pytest.mark.parametrize(
    ("line", "bound"),
    [("chr1\t9223372036854775808\t9", "9223372036854775808"), ("chrX\t5\t99999999999999999999\tID=Z", "99999999999999999999")],
)
def test_catalog_bound_beyond_64_bits_is_refused_with_its_line(tmp_path, line, bound):
    # Integer text that no interval can hold: skipping it would drop the locus and its records unseen.
    bed = write(tmp_path / "c.bed", f"# loci\nchr1\t100\t200\n{line}\n")
    out = tmp_path / "out.vcf"
    with pytest.raises(ValueError, match=f"^catalog interval bound beyond 64 bits: {bound}") as raised:
        repeats.filter_repeats_vcf(write(tmp_path / "r.vcf", vcf(record("chrX", 6))), bed, repeats.BUILTIN, str(out))
    assert raised.value.__notes__ == [f"catalog BED {bed!r}, line 3: {line!r}"]
    assert not out.exists()


@pytest.mark.parametrize(
    ("data", "error"),
    [(b"chr1\t1\t2\xff\n", UnicodeDecodeError), (gzip.compress(b"chr1\t1\t2\n"), UnicodeDecodeError)],
)
def test_catalog_is_strict_utf8_without_gzip_detection(tmp_path, data, error):
    path = tmp_path / "c.bed"
    path.write_bytes(data)
    with pytest.raises(error):
        repeats._read_bed_intervals(str(path))


# The record span [100, 103) against single intervals: touching is not overlapping.
@pytest.mark.parametrize(
    ("interval", "expected"),
    [((103, 200), False), ((50, 100), False), ((102, 103), True), ((0, 101), True), ((101, 102), True)],
)
def test_overlap_rule(tmp_path, interval, expected):
    assert repeats._overlaps([interval], 100, 103) is expected
    bed = write(tmp_path / "c.bed", f"chr1\t{interval[0]}\t{interval[1]}\n")
    out = tmp_path / "out.vcf"
    repeats._intersect_in_python(write(tmp_path / "r.vcf", vcf(record("chr1", 101, "ACG"))), bed, str(out))
    assert (out.read_text().count("chr1\t101") == 1) is expected


def test_overlaps_is_the_scan_with_its_early_stop():
    # The scan never looks past the first interval starting at or after end.
    assert repeats._overlaps([(0, 50), (200, 300), "not a pair"], 100, 150) is False
    assert repeats._overlaps(intervals=iter([(0, 50), (120, 130)]), start=100, end=150) is True
    assert repeats._overlaps([], 0, 10) is False
    assert repeats._overlaps([(2**70, 2**71)], 2**70, 2**70 + 1) is True  # no 64-bit limit here
    with pytest.raises(ValueError):
        repeats._overlaps([(1, 2, 3)], 0, 10)


def host_scan(intervals, start, end):
    for interval_start, interval_end in intervals:
        if interval_start >= end:
            return False
        if start < interval_end:
            return True
    return False


class Reversed(int):
    """An int that compares the other way round: it must be asked, not converted."""

    def __ge__(self, other):
        return int(self) < other

    def __lt__(self, other):
        return int(self) >= other

    def __le__(self, other):
        return int(self) > other

    def __gt__(self, other):
        return int(self) <= other


# Values on both sides of the 64-bit limits, and values that are not plain ints.
EDGE = [2**63 - 1, 2**63, -(2**63), -(2**63) - 1, 0]
values = st.one_of(st.integers(-3, 3), st.sampled_from(EDGE), st.integers(-(2**70), 2**70),
                   st.floats(-4, 4, allow_nan=False), st.booleans())


@settings(max_examples=300, deadline=None)
@given(intervals=st.lists(st.tuples(values, values), max_size=6), start=values, end=values)
def test_overlaps_judges_any_numbers_as_the_host_compares_them(intervals, start, end):
    assert repeats._overlaps(intervals, start, end) is host_scan(intervals, start, end)


@pytest.mark.parametrize(
    "intervals, start, end, expected",
    [
        ([(Reversed(5), 10)], 0, 3, True),  # 5 >= 3 would end the scan; Reversed says it does not
        ([(0, Reversed(10))], 5, 7, False),  # 5 < 10 asks Reversed, which says no
        ([(float("nan"), 10)], 0, 3, True),  # nan >= 3 is false, 0 < 10 true
        ([[1, 2]], 0, 10, True),  # any sequence of two
        ([(2**63 - 1, 2**63)], 2**63 - 1, 2**63, True),
    ],
)
def test_overlaps_values_the_core_does_not_hold(intervals, start, end, expected):
    assert repeats._overlaps(intervals, start, end) is expected


def test_overlaps_raises_what_the_comparison_raises():
    with pytest.raises(TypeError):
        repeats._overlaps([("1", 2)], 0, 10)
    with pytest.raises(TypeError):
        repeats._overlaps([(1, 2)], None, 10)


spans = st.tuples(st.integers(-5, 60), st.integers(-5, 60))


@settings(max_examples=150, deadline=None)
@given(intervals=st.lists(spans, max_size=12), records=st.lists(spans, min_size=1, max_size=12))
def test_engine_keeps_exactly_what_the_scan_finds(tmp_path_factory, intervals, records):
    # Empty, inverted, duplicate and touching intervals and spans included: the engine's
    # bisection must agree with the reference scan on the sorted catalog, record by record.
    tmp = tmp_path_factory.mktemp("scan")
    bed = write(tmp / "c.bed", "".join(f"chr1\t{s}\t{e}\n" for s, e in intervals))
    lines = [record("chr1", start + 1, "A", "<STR>", f"END={end}", f"r{i}") for i, (start, end) in enumerate(records)]
    out = tmp / "out.vcf"
    repeats._intersect_in_python(write(tmp / "r.vcf", vcf(*lines)), bed, str(out))
    catalog = repeats._read_bed_intervals(bed).get("chr1", [])
    expected = [text for text, (start, end) in zip(lines, records) if repeats._overlaps(catalog, start, end)]
    assert out.read_text() == "".join(HEADER) + "".join(expected)


def run(tmp_path, vcf_text, bed_text="chr1\t100\t200\nchr1\t400\t500\nchr1\t800\t900\n", compression="plain"):
    out = tmp_path / "out.vcf"
    repeats._intersect_in_python(write(tmp_path / "r.vcf", vcf_text, compression), write(tmp_path / "c.bed", bed_text), str(out))
    return out.read_bytes().decode()


def test_records_are_kept_once_in_order_and_counted(tmp_path, caplog):
    caplog.set_level(logging.INFO)
    across = record("chr1", 150, "A" * 700, ident="across_three")  # [149, 849)
    records = [
        record("chr1", 101, "ACG", ident="in"),
        "\n",
        " \t \n",
        across,
        record("1", 150, ident="naming"),
        record("chrX", 150, ident="unnamed"),
        "chr1\t150\t.\tA\t.\t.\tPASS\n",
        "chr1\t.\t.\tA\t.\t.\tPASS\t.\n",
        "##late=header\n",
        record("chr1", 100, ident="touching"),  # [99, 100)
        record("chr1", 850, ident="last"),
    ]
    assert run(tmp_path, vcf(*records)) == "".join(HEADER) + records[0] + across + "##late=header\n" + records[-1]
    summary = [r for r in caplog.records if r.msg == SUMMARY]
    assert [(r.name, r.levelname, r.args) for r in summary] == [("root", "INFO", (3, 5))]


def test_records_passed_over_by_chromosome_and_position_are_counted(tmp_path, caplog):
    # Runs on a chromosome the catalog lacks, and records starting at or past the last
    # interval's end, are dropped on CHROM and POS alone; a record starting just before
    # that end is read whole, and kept for its END.
    caplog.set_level(logging.INFO)
    records = [
        record("chrX", 150, ident="absent"),
        "chrX\t150\n",
        record("chrX", 450, "A" * 80),
        record("chr1", 950, ident="past"),
        "chr1\t950\n",
        record("chr1", 850, ident="kept"),
        record("chr1", 901, ident="at_end"),
        record("chr1", 899, "A", "<STR>", "END=2000", ident="reaching"),
        record("chr2", 450, ident="absent_again"),
    ]
    assert run(tmp_path, vcf(*records)) == "".join(HEADER) + records[5] + records[7]
    summary = [r for r in caplog.records if r.msg == SUMMARY]
    assert [r.args for r in summary] == [(2, 7)]


@pytest.mark.parametrize("compression", ["plain", "gzip", "bgzf", "members"])
def test_output_is_plain_lf_text_whatever_the_input(tmp_path, compression):
    text = vcf(record("chr1", 101, "ACG"), record("chr1", 300), record("chr1", 401)).replace("\n", "\r\n")
    expected = "".join(HEADER) + record("chr1", 101, "ACG") + record("chr1", 401)
    assert run(tmp_path, text, compression=compression) == expected


def test_unterminated_last_record_stays_unterminated(tmp_path):
    assert run(tmp_path, vcf(record("chr1", 101).rstrip("\n"))) == "".join(HEADER) + record("chr1", 101).rstrip("\n")


@pytest.mark.parametrize("bed_text", ["", "track name=x\n#only comments\nbrowser hide all\n", "a\tb\tc\n"])
def test_empty_catalog_keeps_headers_only(tmp_path, bed_text, caplog):
    caplog.set_level(logging.INFO)
    assert run(tmp_path, vcf(record("chr1", 101), record("chr2", 5)), bed_text) == "".join(HEADER)
    assert [r.args for r in caplog.records if r.msg == SUMMARY] == [(0, 2)]


def test_header_only_vcf(tmp_path, caplog):
    caplog.set_level(logging.INFO)
    assert run(tmp_path, vcf()) == "".join(HEADER)
    assert [r.args for r in caplog.records if r.msg == SUMMARY] == [(0, 0)]


def test_existing_output_is_overwritten(tmp_path):
    (tmp_path / "out.vcf").write_text("old content that is longer than the new one\n" * 100)
    assert run(tmp_path, vcf()) == "".join(HEADER)


@pytest.mark.parametrize("missing", ["vcf", "bed"])
def test_unreadable_input_leaves_the_output_untouched(tmp_path, missing):
    out = tmp_path / "out.vcf"
    out.write_text("previous\n")
    vcf_path = tmp_path / "r.vcf" if missing == "vcf" else Path(write(tmp_path / "r.vcf", vcf()))
    bed_path = tmp_path / "c.bed" if missing == "bed" else Path(write(tmp_path / "c.bed", "chr1\t1\t2\n"))
    with pytest.raises(FileNotFoundError):
        repeats._intersect_in_python(str(vcf_path), str(bed_path), str(out))
    assert out.read_text() == "previous\n"


@pytest.mark.parametrize(
    ("data", "error"),
    [
        (b"".join(h.encode() for h in HEADER) + record("chr1", 101).encode() + b"chr1\t5\t.\t\xff\n", UnicodeDecodeError),
        (gzip.compress(vcf(record("chr1", 101)).encode() * 50)[:-30], EOFError),
    ],
)
def test_damaged_vcf_fails_and_keeps_what_was_written(tmp_path, data, error, caplog):
    caplog.set_level(logging.INFO)
    (tmp_path / "r.vcf").write_bytes(data)
    out = tmp_path / "out.vcf"
    with pytest.raises(error):
        repeats._intersect_in_python(str(tmp_path / "r.vcf"), write(tmp_path / "c.bed", "chr1\t100\t200\n"), str(out))
    assert out.read_text().startswith("".join(HEADER) + record("chr1", 101))
    assert not [r for r in caplog.records if r.msg == SUMMARY]


def test_output_in_a_missing_directory(tmp_path):
    with pytest.raises(FileNotFoundError):
        repeats._intersect_in_python(write(tmp_path / "r.vcf", vcf()), write(tmp_path / "c.bed", ""), str(tmp_path / "no" / "out.vcf"))


field = st.text(alphabet=st.sampled_from("ACGT.;=0123456789 "), max_size=70)
info = st.lists(st.sampled_from(["END=", "END=15", "END=+40", "XEND=30", "SVTYPE=STR", "END=9" * 9, "RU=CAG"]), max_size=5).map(";".join)
record_lines = st.builds(
    lambda chrom, pos, columns, info_text, tail: "\t".join([chrom, pos, *columns[:2], *columns[2:5], info_text, *tail]),
    st.sampled_from(["chr1", "chr2", "chr3", " chr1", "\tchr1", ""]),
    st.sampled_from(["1", "10", "25", "31", "32", "150", " 7", "x", "99999999999999999999"]),
    st.lists(field, min_size=0, max_size=5),
    info,
    st.lists(field, max_size=4),
)


@settings(max_examples=200, deadline=None)
@given(lines=st.lists(record_lines, max_size=8), crlf=st.booleans())
def test_engine_agrees_with_record_span_on_any_line(tmp_path_factory, lines, crlf):
    # The engine scans columns in bulk; each line must be judged as _record_span and
    # _overlaps judge it, whatever its length and column count.
    tmp = tmp_path_factory.mktemp("lines")
    bed = write(tmp / "c.bed", "chr1\t5\t12\nchr1\t30\t31\nchr2\t0\t100\n")
    catalog = repeats._read_bed_intervals(bed)
    text = "".join(line + "\n" for line in lines)
    out = tmp / "out.vcf"
    repeats._intersect_in_python(write(tmp / "r.vcf", text.replace("\n", "\r\n") if crlf else text), bed, str(out))
    expected = []
    for line in text.splitlines(keepends=True):
        if line.startswith("#") or not line.strip():
            expected.append(line if line.startswith("#") else "")
            continue
        span = repeats._record_span(line)
        if span and repeats._overlaps(catalog.get(span[0], []), span[1], span[2]):
            expected.append(line)
    assert out.read_text() == "".join(expected)
