"""Record width against the column header line, and column header lines that
repeat: what is written, and what is refused with the input left as it was."""

from __future__ import annotations

import os
import pathlib

import pytest

from Callfold.compression import sort_and_compress
from compression_helpers import COLUMNS, bgzf_text, leftovers, split_vcf

META = (
    "##fileformat=VCFv4.2\n"
    "##contig=<ID=chr1>\n"
    '##INFO=<ID=SVTYPE,Number=1,Type=String,Description="Type of structural variant">\n'
    '##ALT=<ID=DEL,Description="Deletion">\n'
    '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n'
)
HEADER_FIELDS = ["#CHROM", "POS", "ID", "REF", "ALT", "QUAL", "FILTER", "INFO", "FORMAT", "S1", "S2", "S3"]
RECORD_FIELDS = ["chr1", "0", ".", "N", "<DEL>", ".", "PASS", "SVTYPE=DEL", "GT", "0/1", "1/1", "0/0"]


def column_header(width: int) -> str:
    return "\t".join(HEADER_FIELDS[:width]) + "\n"


def row(pos: int, width: int) -> str:
    """A record of `width` columns: 8 is sites-only, 9 has FORMAT but no sample."""
    return "\t".join(["chr1", str(pos)] + RECORD_FIELDS[2:width]) + "\n"


def refused(path: str, text: str | bytes, line: int, problem: str) -> None:
    """sort_and_compress(path) raises exactly this, leaving the input and no other file."""
    with pytest.raises(ValueError) as raised:
        sort_and_compress(path)
    # The note names the file and line; the message says what is wrong.
    assert str(raised.value) == problem
    assert raised.value.__notes__[0].startswith(f"VCF {path!r}, line {line}")
    data = text.encode() if isinstance(text, str) else text
    assert pathlib.Path(path).read_bytes() == data
    assert leftovers(os.path.dirname(path), {"unified.vcf"}) == set()


def width_problem(record_width: int, header_width: int) -> str:
    return f"record has {record_width} TAB-separated columns but the column header line has {header_width}"


@pytest.mark.parametrize(
    ("header_width", "record_width"),
    [
        pytest.param(10, 10, id="one-sample-exact"),
        pytest.param(8, 8, id="sites-only-exact"),
        pytest.param(12, 12, id="three-samples-exact"),
        pytest.param(10, 8, id="fewer-sites-only-record"),
        pytest.param(10, 9, id="fewer-format-without-sample"),
        pytest.param(10, 11, id="more-extra-sample"),
        pytest.param(8, 10, id="more-than-sites-only-header"),
        pytest.param(12, 11, id="fewer-than-multi-sample-header"),
    ],
)
def test_record_width_must_equal_column_header_width(write_input, header_width, record_width):
    # Lines 1-5 meta, 6 column header, 7 a full-width record, 8 blank, 9 the record
    # tested, 10 another full-width one.
    text = META + column_header(header_width) + row(9, header_width) + "\n" + row(5, record_width) + row(1, header_width)
    path = write_input("unified.vcf", text)
    if header_width != record_width:
        refused(path, text, 9, width_problem(record_width, header_width))
        return
    header, records = split_vcf(bgzf_text(sort_and_compress(path)))
    assert header[-1] == column_header(header_width)
    assert records == [row(1, header_width), row(5, header_width), row(9, header_width)]


@pytest.mark.parametrize(
    ("last", "record_width"),
    [
        pytest.param(b"chr1\t5", 2, id="two-columns-unterminated"),
        pytest.param(row(5, 10).replace("\n", "\t\n").encode(), 11, id="trailing-tab"),
        pytest.param(row(5, 10).replace("\n", "\t\r\n").encode(), 11, id="trailing-tab-crlf"),
        pytest.param(row(5, 10).replace("0/1", "0/1\t").rstrip("\n").encode(), 11, id="trailing-tab-unterminated"),
    ],
)
def test_empty_and_unterminated_last_columns_count(write_input, last, record_width):
    text = (META + COLUMNS + row(9, 10)).encode() + last  # the last line is line 8
    refused(write_input("unified.vcf", text), text, 8, width_problem(record_width, 10))


@pytest.mark.parametrize(
    ("early_widths", "first_bad"),
    [
        pytest.param([10, 10, 10], None, id="all-full-width"),
        pytest.param([8], 1, id="first-short"),
        pytest.param([10, 10, 9, 10, 11], 3, id="later-short"),
        pytest.param([10, 11, 11], 2, id="run-of-wide"),
    ],
)
def test_records_before_the_column_header_are_checked_once_it_comes(write_input, early_widths, first_bad):
    # Records written before the header's last lines (a header completed later):
    # not refused for where they stand, only for their width.
    early = [row(100 - i, width) for i, width in enumerate(early_widths)]
    text = META + "".join(early) + "##source=late\n" + COLUMNS + row(1, 10)
    path = write_input("unified.vcf", text)
    if first_bad is not None:  # 1-based among the early records, which start on line 6
        refused(path, text, 5 + first_bad, width_problem(early_widths[first_bad - 1], 10))
        return
    header, records = split_vcf(bgzf_text(sort_and_compress(path)))
    assert header == (META + "##source=late\n" + COLUMNS).splitlines(keepends=True)
    assert records == [row(1, 10)] + early[::-1]


@pytest.mark.parametrize(
    "second",
    [
        pytest.param(COLUMNS, id="identical"),
        pytest.param(COLUMNS.replace("\n", "\r\n"), id="identical-crlf"),
        pytest.param("  " + COLUMNS, id="identical-after-leading-spaces"),
    ],
)
def test_repeated_column_header_is_dropped(write_input, second):
    # Two VCFs run together: the second one's meta lines join the first's.
    text = META + COLUMNS + row(9, 10) + "##fileformat=VCFv4.2\n##source=second\n" + second + row(2, 10)
    header, records = split_vcf(bgzf_text(sort_and_compress(write_input("unified.vcf", text))))
    assert header == (META + "##fileformat=VCFv4.2\n##source=second\n" + COLUMNS).splitlines(keepends=True)
    assert records == [row(2, 10), row(9, 10)]


@pytest.mark.parametrize(
    "second",
    [
        pytest.param(COLUMNS.replace("S1", "S2"), id="other-sample"),
        pytest.param(column_header(11), id="extra-sample"),
        pytest.param(column_header(8), id="sites-only"),
        pytest.param(COLUMNS.replace("\n", "\t\n"), id="trailing-tab"),
    ],
)
def test_different_second_column_header_is_refused(write_input, second):
    # The first column header is line 6, the second line 9, after a record and a meta line.
    text = META + COLUMNS + row(9, 10) + "##source=second\n" + second + row(2, 10)
    refused(write_input("unified.vcf", text), text, 9, "a second column header line differs from the first (line 6)")
