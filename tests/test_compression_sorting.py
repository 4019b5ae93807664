"""Which lines end up where: header block, record order, line ends, POS text."""

from __future__ import annotations

import collections
import random

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

from Callfold.compression import sort_and_compress
from compression_helpers import COLUMNS, bgzf_text, record, split_vcf, vcf


def sorted_records(write_input, text: str | bytes) -> list[str]:
    return split_vcf(bgzf_text(sort_and_compress(write_input("unified.vcf", text))))[1]


def test_declared_contigs_first_in_header_order_then_first_appearance(write_input):
    lines = [
        record("chrU", 1, "u1"),
        record("chr1", 5, "a"),
        record("chrV", 1, "v1"),
        record("chr2", 9, "b"),
        record("chrU", 0, "u0"),
        record("chr1", 2, "c"),
    ]
    out = sorted_records(write_input, vcf(lines, contigs=("chr2", "chr1")))
    assert [line.split("\t")[2] for line in out] == ["b", "c", "a", "u0", "u1", "v1"]


def test_pos_is_compared_as_integer_and_ties_keep_input_order(write_input):
    lines = [record("chr1", pos, f"r{i}") for i, pos in enumerate([100, 20, 3, 20, 100, -1, 0, 20])]
    out = sorted_records(write_input, vcf(lines))
    assert [line.split("\t")[2] for line in out] == ["r5", "r6", "r2", "r1", "r3", "r7", "r0", "r4"]


def test_contigs_alike_in_length_and_ending_keep_their_own_records(write_input):
    # Names that differ only early on are told apart by the whole name, however
    # they are looked up.
    rng = random.Random(5)
    names = [f"ctg{k:03d}_AB" for k in range(150)]
    lines = [record(rng.choice(names), rng.randint(1, 10_000), f"r{i}") for i in range(3000)]
    first_seen = list(dict.fromkeys(line.split("\t")[0] for line in lines))
    expected = sorted(lines, key=lambda line: (first_seen.index(line.split("\t")[0]), int(line.split("\t")[1])))
    assert sorted_records(write_input, vcf(lines)) == expected


def test_header_lines_anywhere_join_the_meta_block_and_blank_lines_go(write_input):
    text = (
        vcf([record("chr1", 9)])
        + "   \n\n"
        + "  ##late=header with leading spaces\n"
        + "\t\n"
        + record("chr1", 4)
    )
    header, records = split_vcf(bgzf_text(sort_and_compress(write_input("unified.vcf", text))))
    assert header == vcf([], meta=("##late=header with leading spaces\n",)).splitlines(keepends=True)
    assert records == [record("chr1", 4), record("chr1", 9)]


@pytest.mark.parametrize(
    "end", [pytest.param(b"", id="unterminated"), pytest.param(b"\r\n", id="crlf"), pytest.param(b"\r", id="lone-cr")]
)
def test_every_record_ends_in_one_newline(write_input, end):
    last = record("chr1", 5)
    out = sorted_records(write_input, vcf([record("chr1", 9)]).encode() + last.rstrip("\n").encode() + end)
    assert out == [last, record("chr1", 9)]


def test_header_only_file_with_unterminated_column_header(write_input):
    text = vcf([]).rstrip("\n")
    header, records = split_vcf(bgzf_text(sort_and_compress(write_input("unified.vcf", text))))
    assert "".join(header) == vcf([]) and records == []


@pytest.mark.parametrize(
    ("pos", "written", "value"),
    [
        ("+7", "7", 7),
        ("007", "7", 7),
        ("1_000", "1000", 1000),
        (" 12 ", "12", 12),
        ("-3", "-3", -3),
        ("15", "15", 15),
    ],
)
def test_pos_is_written_as_plain_digits(write_input, pos, written, value):
    # Readers parse POS as decimal digits: the written text must give the value sorted by.
    out = sorted_records(write_input, vcf([record("chr1", 9, "nine"), record("chr1", pos, "x")]))
    moved = [line for line in out if line.split("\t")[2] == "x"]
    assert moved == [record("chr1", written, "x")]
    assert (out.index(moved[0]) == 0) == (value < 9)


@pytest.mark.parametrize("pos", ["+7", "007", "7"])
def test_pos_is_read_and_rewritten_wherever_the_columns_fall(write_input, pos):
    # CHROM of every length from 1 to 139 moves POS and the TAB after it across
    # the blocks the columns are found in; the rest of each line stays as it was.
    lines = [record("c" * length, pos, f"id{length}") for length in range(1, 140)]
    out = sorted_records(write_input, vcf(lines))
    assert out == [record("c" * length, "7", f"id{length}") for length in range(1, 140)]


# A small universe of contigs, some declared, and POS values with many ties.
DECLARED = ("chr3", "chr1", "chrM")
contigs = st.sampled_from(["chr1", "chr2", "chr3", "chrM", "chrUn", "HLA-A"])
positions = st.integers(min_value=-2, max_value=40)
suffixes = st.sampled_from(
    ["\tN\t<DEL>\t.\tPASS\tSVTYPE=DEL\tGT\t0/1", "\tN\t<DUP>\t9\tq10\tSVTYPE=DUP;END=99\tGT:CN\t1/1:3", "\tN\tA\t.\t.\t.\tGT\t./."]
)


@settings(max_examples=60, deadline=None, suppress_health_check=[HealthCheck.function_scoped_fixture])
@given(st.lists(st.tuples(contigs, positions, suffixes), max_size=40))
def test_records_are_kept_and_ordered_by_contig_rank_then_pos(write_input, drawn):
    lines = [f"{chrom}\t{pos}\tid{i}{suffix}\n" for i, (chrom, pos, suffix) in enumerate(drawn)]
    out = sorted_records(write_input, vcf(lines, contigs=DECLARED))

    assert collections.Counter(out) == collections.Counter(lines)
    undeclared = [chrom for chrom, _, _ in drawn if chrom not in DECLARED]
    rank = {name: i for i, name in enumerate(list(DECLARED) + list(dict.fromkeys(undeclared)))}
    keys = [(rank[line.split("\t")[0]], int(line.split("\t")[1]), int(line.split("\t")[2][2:])) for line in out]
    assert keys == sorted(keys)  # the input index third: ties keep input order


# Lines of a file that several writers appended to: meta lines, records, blank
# lines and copies of the column header, in any order.
items = st.lists(st.sampled_from(["meta", "record", "blank", "columns"]), max_size=30)


@settings(max_examples=60, deadline=None, suppress_health_check=[HealthCheck.function_scoped_fixture])
@given(items, st.integers(min_value=0, max_value=30))
def test_meta_lines_anywhere_precede_one_column_header(write_input, drawn, header_at):
    drawn.insert(min(header_at, len(drawn)), "columns")
    declared = vcf([]).replace(COLUMNS, "")
    made = {"meta": lambda i: f"##note={i}\n", "record": lambda i: record("chr1", i % 7, f"id{i}"),
            "blank": lambda i: "\n", "columns": lambda i: COLUMNS}
    lines = [made[kind](i) for i, kind in enumerate(drawn)]
    header, records = split_vcf(bgzf_text(sort_and_compress(write_input("unified.vcf", declared + "".join(lines)))))

    assert header == declared.splitlines(keepends=True) + [line for line in lines if line.startswith("##")] + [COLUMNS]
    written = [line for line in lines if line.startswith("chr1")]
    assert records == sorted(written, key=lambda line: int(line.split("\t")[1]))
