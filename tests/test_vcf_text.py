"""The VCF text rules every reader and writer shares: lines split alike in the core and the binding,
line terminators, the column header, and structured ##contig lines read quote-aware."""

import pytest

from Callfold import repeats, unifier

COLUMNS = "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tHG002\n"


@pytest.mark.parametrize(
    "contig, build",
    [
        # A quoted value may hold "," and ">": the length after it still counts.
        ('##contig=<ID=chr1,description="GRCh38 chromosome 1, <primary>",length=248956422>\n', "hg38"),
        ('##contig=<ID="1",length=249250621>\n', "b37"),
        ('##contig=<ID=chr1,length=248387328,note="T2T\\"v2\\"">\r\n', "t2t"),
    ],
    ids=["quoted-comma-and-bracket", "quoted-id", "escaped-quote-crlf"],
)
def test_contig_lines_read_as_structured_lines(tmp_path, contig, build):
    path = tmp_path / "calls.vcf"
    path.write_text("##fileformat=VCFv4.2\n" + contig + COLUMNS)
    assert repeats.recognise_build(str(path))[0] == build


@pytest.mark.parametrize(
    "text",
    ["a\nb\n", "a\nb", "\n\n", "only", "".join(f"chr1\t{i}\t.\tN\t<DEL>\t.\tPASS\t.\n" for i in range(200000))],
    ids=["terminated", "last-unterminated", "blank-lines", "one-unterminated", "many-runs"],
)
def test_get_lines_splits_as_the_text_splits(tmp_path, text):
    path = tmp_path / "lines.txt"
    path.write_text(text)
    assert unifier.get_lines(str(path)) == text.splitlines(keepends=True)


@pytest.mark.parametrize(
    "sample, valid",
    [("./.\n", False), ("./.\r\n", False), ("./.", False), ("0/1\r\n", True), ("./.:2\n", False)],
)
def test_cnv_genotype_judged_without_its_terminator(sample, valid):
    fmt = "GT:CN" if ":" in sample else "GT"
    assert unifier.is_valid_line(f"chr1\t5\t.\tN\t<DEL>\t.\tPASS\tEND=9\t{fmt}\t{sample}") is valid


@pytest.mark.parametrize(
    "lines, kept",
    [
        (["##a\n", "#CHROM\tPOS\n", "r\n"], 2),
        (["##a\n", "x #CHROM y\n", "r\n"], 2),  # "#CHROM" anywhere in the line ends the header
        (["##a\n", "r\n"], 2),                  # no column header: every line
    ],
    ids=["prefix", "inside", "none"],
)
def test_header_ends_at_the_line_mentioning_the_column_header(lines, kept):
    assert unifier.vcf_header_from_lines(lines) == "".join(lines[:kept])
