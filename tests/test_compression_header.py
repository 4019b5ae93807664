"""Declarations added for what the records use and the header does not declare."""

from __future__ import annotations

import pytest

from Callfold.compression import sort_and_compress
from compression_helpers import COLUMNS, SITES_COLUMNS, bgzf_text, split_vcf

MINIMAL = "##fileformat=VCFv4.2\n##source=unifier\n"


def header_of(write_input, records: list[str], meta: str = MINIMAL, columns: str = COLUMNS) -> list[str]:
    text = meta + columns + "".join(records)
    return split_vcf(bgzf_text(sort_and_compress(write_input("unified.vcf", text))))[0]


def added(write_input, records: list[str], meta: str = MINIMAL, columns: str = COLUMNS) -> list[str]:
    header = header_of(write_input, records, meta, columns)
    original = meta.splitlines(keepends=True)
    assert header[: len(original)] == original and header[-1] == columns
    return [line.rstrip("\n") for line in header[len(original) : -1]]


def test_unified_records_get_every_declaration_in_kind_order(write_input):
    records = [
        "chr2\t10\t.\tN\t<ROH>\t.\tPASS\tEND=500;SVTYPE=ROH;ROH_SCORE=0.93\tGT\t1/1\n",
        "chr1\t5\t.\tN\t<DEL>,<INS:ME>\t.\tLowQual;PASS\tSVTYPE=DEL;END=50;SVLEN=-45;CIPOS=-3,3;IMPRECISE\tGT:CN:XQ\t0/1:1:ab\n",
    ]
    assert added(write_input, records) == [
        "##contig=<ID=chr2>",
        "##contig=<ID=chr1>",
        '##INFO=<ID=END,Number=1,Type=Integer,Description="End position of the variant described in this record">',
        '##INFO=<ID=SVTYPE,Number=1,Type=String,Description="Type of structural variant; REP marks a tandem '
        'repeat call and ROH a run of homozygosity">',
        '##INFO=<ID=ROH_SCORE,Number=1,Type=Float,Description="Score of the run of homozygosity, as its caller '
        'gave it">',
        '##INFO=<ID=SVLEN,Number=.,Type=Integer,Description="Difference in length between REF and ALT alleles">',
        '##INFO=<ID=CIPOS,Number=2,Type=Integer,Description="Confidence interval around POS for imprecise variants">',
        '##INFO=<ID=IMPRECISE,Number=0,Type=Flag,Description="Imprecise structural variation">',
        '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">',
        '##FORMAT=<ID=CN,Number=1,Type=Integer,Description="Copy number genotype for imprecise events">',
        '##FORMAT=<ID=XQ,Number=1,Type=String,Description="Not declared in the input header">',
        '##FILTER=<ID=LowQual,Description="Not declared in the input header">',
        '##ALT=<ID=ROH,Description="Run of homozygosity">',
        '##ALT=<ID=DEL,Description="Deletion">',
        '##ALT=<ID=INS:ME,Description="Insertion of a mobile element">',
    ]


def test_declared_ids_are_not_repeated_and_existing_lines_kept(write_input):
    meta = (
        "##fileformat=VCFv4.2\n"
        '##INFO=<Number=1,Type=String,ID=SVTYPE,Description="quoted, with \\"ID=END\\" inside">\n'
        "##contig=<ID=chr1,length=1000>\n"
        '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n'
        '##FILTER=<ID=LowQual,Description="low">\n'
        '##ALT=<ID=DEL,Description="Deletion">\n'
        "##unstructured=value\n"
    )
    records = ["chr1\t5\t.\tN\t<DEL>\t.\tLowQual\tSVTYPE=DEL;END=9\tGT\t0/1\n"]
    assert added(write_input, records, meta) == [
        '##INFO=<ID=END,Number=1,Type=Integer,Description="End position of the variant described in this record">'
    ]


@pytest.mark.parametrize(
    ("info", "declaration"),
    [
        # Standard keys keep their definition only where every value fits it.
        ("END=12", "END,Number=1,Type=Integer"),
        ("END=abc", "END,Number=1,Type=String"),
        ("END=1.5", "END,Number=1,Type=Float"),
        ("CIPOS=-5", "CIPOS,Number=1,Type=Integer"),
        ("CIPOS=1,2,3", "CIPOS,Number=.,Type=Integer"),
        ("IMPRECISE=1", "IMPRECISE,Number=1,Type=Integer"),
        ("SVLEN=3000000000", "SVLEN,Number=1,Type=String"),
        # Other keys get what every value satisfies.
        ("FLAGGED", "FLAGGED,Number=0,Type=Flag"),
        ("K=1,-2", "K,Number=.,Type=Integer"),
        ("K=1e-3", "K,Number=1,Type=Float"),
        ("K=.", "K,Number=1,Type=String"),
        ("K=1,.", "K,Number=.,Type=Integer"),
        ("K=", "K,Number=1,Type=String"),
        ("K=nan", "K,Number=1,Type=String"),
    ],
)
def test_info_definition_fits_the_values(write_input, info, declaration):
    lines = added(write_input, [f"chr1\t5\t.\tN\tA\t.\t.\t{info}\n"], columns=SITES_COLUMNS)
    assert [line for line in lines if line.startswith("##INFO")][0].startswith(f"##INFO=<ID={declaration},")


@pytest.mark.parametrize(
    ("values", "declaration"),
    [
        (["3", "4"], "K,Number=1,Type=Integer"),
        (["3", "x"], "K,Number=1,Type=String"),
        (["3", "K"], "K,Number=.,Type=Integer"),  # once without a value
    ],
)
def test_info_definition_covers_all_records(write_input, values, declaration):
    records = [f"chr1\t{i + 1}\t.\tN\tA\t.\t.\t{'K' if value == 'K' else 'K=' + value}\n" for i, value in enumerate(values)]
    lines = added(write_input, records, columns=SITES_COLUMNS)
    assert lines[1].startswith(f"##INFO=<ID={declaration},")


def test_format_definitions_come_from_every_sample(write_input):
    records = [
        "chr1\t5\t.\tN\tA\t.\t.\t.\tGT:DP:AB\t0/1:12:0.5\t./.:.:1\n",
        "chr1\t6\t.\tN\tA\t.\t.\t.\tGT:DP:AB\t1/1:x:2\t0/0\n",
    ]
    lines = added(write_input, records, columns=COLUMNS.replace("\n", "\tS2\n"))
    assert lines[1:] == [
        '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">',
        '##FORMAT=<ID=DP,Number=1,Type=String,Description="Not declared in the input header">',
        '##FORMAT=<ID=AB,Number=1,Type=Float,Description="Not declared in the input header">',
    ]


@pytest.mark.parametrize("samples", [1, 3])
def test_values_are_read_wherever_the_columns_fall(write_input, samples):
    # ID of every length from 0 to 139 moves INFO, FORMAT and the sample columns
    # across the blocks the columns are found in: a column taken from the wrong
    # place would show text where only integers and pairs of them stand.
    columns = SITES_COLUMNS.replace("\n", "\tFORMAT" + "".join(f"\tS{i}" for i in range(samples)) + "\n")
    records = [
        f"chr1\t{pad + 1}\t{'x' * pad}\tN\tA\t.\tPASS\tK={pad}\tGT:XP" + f"\t0/1:{pad},{pad + 1}" * samples + "\n"
        for pad in range(140)
    ]
    assert added(write_input, records, columns=columns) == [
        "##contig=<ID=chr1>",
        '##INFO=<ID=K,Number=1,Type=Integer,Description="Not declared in the input header">',
        '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">',
        '##FORMAT=<ID=XP,Number=.,Type=Integer,Description="Not declared in the input header">',
    ]


def test_ids_that_cannot_be_declared_are_left_out(write_input):
    records = ["chr1\t5\t.\tN\t<a,b>\t.\tbad=filter\tK<1=2;GOOD\tGT\t0/1\n", "chr one\t1\t.\tN\tA\t.\t.\t.\tGT\t0/1\n"]
    assert added(write_input, records) == [
        "##contig=<ID=chr1>",
        '##INFO=<ID=GOOD,Number=0,Type=Flag,Description="Not declared in the input header">',
        '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">',
    ]


def test_declarations_go_after_every_meta_line_even_late_ones(write_input):
    # A meta line after the records declares for them like any other.
    meta = "##fileformat=VCFv4.2\n"
    late = '##INFO=<ID=K,Number=1,Type=Integer,Description="late">\n'
    text = meta + COLUMNS + "chr1\t5\t.\tN\tA\t.\t.\tK=1;L\tGT\t0/1\n" + late + "#late comment\n"
    header = split_vcf(bgzf_text(sort_and_compress(write_input("unified.vcf", text))))[0]
    assert header == [
        meta,
        late,
        "#late comment\n",
        "##contig=<ID=chr1>\n",
        '##INFO=<ID=L,Number=0,Type=Flag,Description="Not declared in the input header">\n',
        '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n',
        COLUMNS,
    ]


def test_fileformat_line_added_only_when_missing(write_input):
    header = header_of(write_input, ["chr1\t5\t.\tN\tA\t.\t.\t.\n"], meta="##source=x\n", columns=SITES_COLUMNS)
    assert header == ["##fileformat=VCFv4.2\n", "##source=x\n", "##contig=<ID=chr1>\n", SITES_COLUMNS]


def test_large_input_findings_from_every_part_are_combined(write_input):
    # Enough records that they are scanned in parts: what only the later records
    # show (a text value of K, the key LATE, a contig) must still count, in order of first use.
    count = 250_000
    records = [f"chr1\t{i}\t.\tN\tA\t.\t.\tK={i}\n" for i in range(count)]
    records[-2] = "chr1\t1\t.\tN\tA\t.\t.\tK=text;LATE\n"
    records[-1] = "chrZ\t1\t.\tN\tA\t.\tlateFilter\tK=1\n"
    assert added(write_input, records, columns=SITES_COLUMNS) == [
        "##contig=<ID=chr1>",
        "##contig=<ID=chrZ>",
        '##INFO=<ID=K,Number=1,Type=String,Description="Not declared in the input header">',
        '##INFO=<ID=LATE,Number=0,Type=Flag,Description="Not declared in the input header">',
        '##FILTER=<ID=lateFilter,Description="Not declared in the input header">',
    ]
