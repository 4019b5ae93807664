"""The CNV rule, repeat marking, ROH detection and conversion, SV filter-token dropping."""

import logging

import pytest
from hypothesis import given, strategies as st

import Callfold.unifier as unifier


def record(info=".", fmt="GT", *samples, alt="<DEL>"):
    return "\t".join(["chr1", "100", ".", "N", alt, ".", "PASS", info, fmt, *samples])


def python_unpack_message(count):
    try:
        _a, _b, _c, _d, _e, _f, _g, _h, _i, _j = ["x"] * count
    except ValueError as error:
        return str(error)
    raise AssertionError("ten values unpack")


@pytest.mark.parametrize(
    "line, keep",
    [
        ("##fileformat=VCFv4.2\n", True),
        ("#CHROM\tPOS\n", True),
        ("", True),
        ("\n", True),  # blank lines are kept like the empty text
        ("  \t \n", True),
        (record("SVTYPE=DEL;END=5", "GT", "./.\n"), True),
        (record("END=5", "GT:CN", "./.:2\n"), False),
        (record("END=5", "GT:CN", "0/1:3\n"), True),
        (record("END=5", "GT", "./.\n"), False),  # the genotype is judged without its terminator
        (record("END=5", "GT", "./.\r\n"), False),
        (record("END=5", "CN:GT", "2:./.", "0/1:1\n"), False),
        (record("END=5", "GT", ".\n"), True),
        (record("END=5", "GT", ".|.\n"), True),
        (record("END=5", "GT", "./.x\n"), True),
        (record("XSVTYPE=1", "GT", "./.\n"), True),
        (record("END=5", ":".join(f"K{i}" for i in range(48)) + ":GT", ":".join(["0"] * 48 + ["0/1"]) + "\n"), True),
    ],
)
def test_is_valid_line(line, keep):
    assert unifier.is_valid_line(line) is keep


@pytest.mark.parametrize(
    "line, error, message",
    [
        (record("END=5", "CN", "2\n"), ValueError, "'GT' is not in list"),
        ("\t".join(["chr1", "1", ".", "N", "<DEL>", ".", "PASS", "SVTYPE=DEL\n"]), IndexError, "list index out of range"),
        (record("END=5", "CN:GT", "2\n"), IndexError, "list index out of range"),
    ],
)
def test_is_valid_line_errors(line, error, message):
    with pytest.raises(error, match=f"^{message}$"):
        unifier.is_valid_line(line)


TRGT = record("TRID=HTT;END=120;MOTIFS=CAG", "GT:AL", "0/1:10,20\n", alt="CAGCAG")
ONT = record("SVTYPE=STR;END=120", "GT", "1/1\n", alt="<STR>")
NINE = "\t".join(["chr1", "1", ".", "N", "A", ".", "PASS", ".", "GT\n"])


@pytest.mark.parametrize(
    "line, needs", [(TRGT, True), (ONT, False), (NINE, False), ("\n", False), (record("", "GT", "0/1", "1/1\n"), True)]
)
def test_repeat_line_needs_svtype(line, needs):
    assert unifier._repeat_line_needs_svtype(line) is needs


@pytest.mark.parametrize(
    "line, mode, expected",
    [
        (TRGT, None, TRGT.replace("MOTIFS=CAG", "MOTIFS=CAG;SVTYPE=REP")),
        (ONT, None, ONT),
        ("\n", None, "\n"),
        (ONT, True, ONT.replace("END=120", "END=120;SVTYPE=REP")),
        (ONT, "yes", ONT.replace("END=120", "END=120;SVTYPE=REP")),
        (NINE, True, NINE),
        (TRGT, False, TRGT),
        (TRGT, 0, TRGT),
        (record(".", "GT", "0/1\n"), True, record(".;SVTYPE=REP", "GT", "0/1\n")),
        (record("", "GT", "0/1\n"), True, record(";SVTYPE=REP", "GT", "0/1\n")),
        ("#x\t1\t2\t3\t4\t5\t6\tI\t8\t9\n", None, "#x\t1\t2\t3\t4\t5\t6\tI;SVTYPE=REP\t8\t9\n"),
    ],
)
def test_marked_repeat_line(line, mode, expected):
    assert unifier._marked_repeat_line(line, mode) == expected


@pytest.mark.parametrize("mode", [None, True])
@pytest.mark.parametrize("samples", [["0/1", "1/1\n"], ["0/1:10/22", "0/0:10/10", "0/1:10/21\r\n"]])
def test_a_multi_sample_repeat_record_is_marked_with_its_samples_kept(mode, samples):
    line = record("END=5", "GT", *samples)
    expected = record("END=5;SVTYPE=REP", "GT", *samples)
    assert unifier._marked_repeat_line(line, mode) == unifier.modify_repeat_line(line) == expected


@pytest.mark.parametrize("count", [1, 9])
def test_modify_repeat_line_needs_ten_fields(count):
    with pytest.raises(ValueError) as caught:
        unifier.modify_repeat_line("\t".join(["f"] * count))
    assert str(caught.value) == python_unpack_message(count)


VCF_LINES = ["##fileformat=VCFv4.2\n", unifier._VCF_COLUMN_HEADER + "\tS1\n", "chr1\t1\t.\tN\t<ROH>\n"]
BED_LINES = ["chr1\t100\t500\t0.9\n", "chr2\t1\t2\t0.1\n"]


@pytest.mark.parametrize(
    "lines, declared, is_bed",
    [
        (VCF_LINES, "bed", True),
        (BED_LINES, "vcf", False),
        (VCF_LINES, "auto", False),
        (VCF_LINES, "AUTO", False),
        (VCF_LINES, None, False),
        (BED_LINES, "auto", True),
        ([], "auto", True),
        (["#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n", "chr1\t1\n"], "auto", True),
        (BED_LINES, unifier.RohFormat.AUTO, True),
    ],
)
def test_roh_lines_are_bed(lines, declared, is_bed):
    assert unifier._roh_lines_are_bed(lines, declared) is is_bed


ROH_RECORD = "chr1\t101\t.\tN\t<ROH>\t.\tPASS\tEND=500;SVTYPE=ROH;ROH_SCORE=0.93\tGT\t1/1\n"


@pytest.mark.parametrize(
    "bed_line, expected",
    [
        ("chr1\t100\t500\t0.93\n", ROH_RECORD),
        ("chr1\t500\t100\t0.93\n", ROH_RECORD),
        ("chr1\t100\t500\t0.93\r\n", ROH_RECORD),
        ("chr1\t100\t500\t0.93\textra\tmore\n", ROH_RECORD),
        ("chr1\t 100 \t+5_00\t0.93", ROH_RECORD),
        ("chr1\t100\t100\t0.5\n", "chr1\t101\t.\tN\t<ROH>\t.\tPASS\tEND=100;SVTYPE=ROH;ROH_SCORE=0.5\tGT\t1/1\n"),
        ("chr1\t-5\t-2\tx y\n", "chr1\t-4\t.\tN\t<ROH>\t.\tPASS\tEND=-2;SVTYPE=ROH;ROH_SCORE=x y\tGT\t1/1\n"),
        # Three columns, as most ROH tools write them (an empty last score is stripped away): no ROH_SCORE.
        ("chr1\t100\t500\t\t\n", ROH_RECORD.replace(";ROH_SCORE=0.93", "")),
        ("chr1\t500\t100\r\n", ROH_RECORD.replace(";ROH_SCORE=0.93", "")),
    ],
)
def test_roh_bed_line_to_vcf(bed_line, expected):
    assert unifier.roh_bed_line_to_vcf(bed_line) == expected


@pytest.mark.parametrize(
    "bed_line, error",
    [
        ("chr1\t100\n", IndexError),
        ("chr1\t1e3\t500\t0.9\n", ValueError),
        ("chr1\t1,000\t500\t0.9\n", ValueError),
        ("chr1\t100\t5__00\t0.9\n", ValueError),
        ("chr1\t100\t99999999999999999999\t0.9\n", OverflowError),
    ],
)
def test_roh_bed_line_errors(bed_line, error):
    with pytest.raises(error):
        unifier.roh_bed_line_to_vcf(bed_line)


def test_roh_invalid_bound_message_is_the_hosts():
    with pytest.raises(ValueError) as caught:
        unifier.roh_bed_line_to_vcf("chr1\t10\t'5x\"\t0.9\n")
    with pytest.raises(ValueError) as host:
        int("'5x\"")
    assert str(caught.value) == str(host.value)


BOUND_TEXT = st.one_of(
    st.integers(min_value=-(2**63), max_value=2**63 - 1).map(str),
    st.from_regex(r"\A[ \u00a0\u2003]{0,2}[+-]?[0-9_]{1,8}[ ]{0,2}\Z"),
    st.text(alphabet="0123456789_+- .e", max_size=6),
)


@given(start=BOUND_TEXT, end=BOUND_TEXT)
def test_bounds_parse_as_the_hosts_int(start, end):
    """Integer text: whatever int() accepts within 64 bits converts; everything else fails."""
    line = f"chr1\t{start}\t{end}\t0.9"
    try:
        values = (int(start), int(end))
    except ValueError:
        with pytest.raises(ValueError):
            unifier.roh_bed_line_to_vcf(line)
        return
    if any(not -(2**63) <= value < 2**63 for value in values):
        with pytest.raises(OverflowError):
            unifier.roh_bed_line_to_vcf(line)
        return
    low, high = min(values), max(values)
    assert unifier.roh_bed_line_to_vcf(line) == (
        f"chr1\t{low + 1}\t.\tN\t<ROH>\t.\tPASS\tEND={high};SVTYPE=ROH;ROH_SCORE=0.9\tGT\t1/1\n"
    )


SV_RECORD = "chr1\t1\t.\tN\t<INV>\t.\t{}\tSVTYPE=INV\tGT\t0/1\n"


@pytest.mark.parametrize(
    "filter_text, dropped",
    [
        ("InvBreakpoint", True),
        ("LowQual;InvBreakpoint", True),
        ("PASS", False),
        (".", False),
        ("InvBreakpoints", False),
        ("invbreakpoint", False),
        ("", False),
    ],
)
def test_drop_sv_records_by_filter_tokens(filter_text, dropped):
    line = SV_RECORD.format(filter_text)
    assert unifier.drop_sv_records_by_filter([line], ["InvBreakpoint"]) == ([] if dropped else [line])


@pytest.mark.parametrize(
    "line",
    ["#InvBreakpoint\n", "a\tb\tc\td\te\tf\n", "\n", "", "a\tb\tc\td\te\tf\tInvBreakpoint\r\n"],
)
def test_drop_sv_records_keeps_headers_short_and_blank_lines(line):
    assert unifier.drop_sv_records_by_filter([line], ("InvBreakpoint",)) == [line]


def test_drop_sv_records_strips_only_line_feeds_before_splitting():
    assert unifier.drop_sv_records_by_filter(["a\tb\tc\td\te\tf\tInvBreakpoint\n\n"], ["InvBreakpoint"]) == []


def test_drop_sv_records_logs_count_and_sorted_tokens(caplog):
    caplog.set_level(logging.INFO)
    lines = [SV_RECORD.format(f) for f in ("a", "PASS", "b", "a;c")]
    kept = unifier.drop_sv_records_by_filter(lines, ["b", "a", "b"])
    assert kept == [lines[1]] and kept[0] is lines[1]
    assert [(r.levelno, r.msg, r.args) for r in caplog.records] == [
        (logging.INFO, "Filtered %d SV records with FILTER in %s from the unified VCF", (3, ["a", "b"]))
    ]


@pytest.mark.parametrize("tokens", [[], (), None, ["nomatch"]])
def test_drop_sv_records_without_drops_logs_nothing(caplog, tokens):
    caplog.set_level(logging.INFO)
    lines = [SV_RECORD.format("PASS"), "junk", "\n"]
    result = unifier.drop_sv_records_by_filter(lines, tokens)
    assert result == lines and result is not lines
    assert caplog.records == []


def test_drop_sv_records_single_text_is_one_token():
    lines = [SV_RECORD.format("I"), SV_RECORD.format("InvBreakpoint")]
    assert unifier.drop_sv_records_by_filter(lines, "InvBreakpoint") == [lines[0]]
