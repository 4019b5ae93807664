"""Record spans and the VCF text stream of Callfold.repeats."""

import gzip
import zlib

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from Callfold import repeats
from repeats_helpers import bgzf, encode, write


@pytest.mark.parametrize(
    ("info", "end"),
    [
        ("SVTYPE=STR;END=120", 120),
        ("END=9;END=10", 9),  # the first END entry decides
        ("END=abc;END=5", None),  # ... even when it does not parse
        ("END=;END=5", None),
        ("END= 7 ", 7),
        ("END=+7", 7),
        ("END=-5", -5),
        ("END=1_000", 1000),
        ("END=1__0", None),
        ("END=1e5", None),
        ("END=120.0", None),
        ("END=9223372036854775807", 9223372036854775807),
        ("END=9223372036854775808", None),  # beyond 64 bits: a parse failure, never wrapped
        ("END=99999999999999999999999", None),
        ("SVEND=500", None),
        ("A=1; END=5", None),
        ("END", None),
        ("end=5", None),
        (".", None),
        ("", None),
    ],
)
def test_info_end(info, end):
    assert repeats._info_end(info) == end
    assert repeats._info_end(info=info) == end


def line(pos="101", ref="ACG", info="SVTYPE=STR;END=120", chrom="chr1", extra="\tGT\t0/1\n"):
    return f"{chrom}\t{pos}\t.\t{ref}\t<STR>\t.\tPASS\t{info}{extra}"


@pytest.mark.parametrize(
    ("text", "span"),
    [
        (line(), ("chr1", 100, 120)),
        (line(ref="ACGTACGT"), ("chr1", 100, 120)),  # END beats REF
        (line(info="SVTYPE=STR"), ("chr1", 100, 103)),
        (line(ref="A", info="."), ("chr1", 100, 101)),
        (line(ref="", info="."), ("chr1", 100, 101)),
        (line(ref="ÄÖÜ", info="."), ("chr1", 100, 103)),  # characters, not bytes
        (line(info="END=abc;END=130"), ("chr1", 100, 103)),
        (line(pos="1", ref="A", info="."), ("chr1", 0, 1)),
        (line(pos="0", ref="A", info="."), ("chr1", -1, 0)),
        (line(pos=" +101 ", info="."), ("chr1", 100, 103)),
        (line(info="END=50"), ("chr1", 100, 50)),  # inverted, returned unchanged
        (line(chrom=" chr1 "), (" chr1 ", 100, 120)),
        (line(info="END=120  ", extra="\n\n"), ("chr1", 100, 120)),  # 8 columns, INFO last
        (line(extra=""), ("chr1", 100, 120)),
        ("chr1\t101\t.\tACG\t.\t.\t.\t\n", ("chr1", 100, 103)),  # empty INFO
        (line(pos="9223372036854775807", info="END=9223372036854775807"), ("chr1", 2**63 - 2, 2**63 - 1)),
        (line(pos="9223372036854775807", info="."), None),  # start + len(REF) needs more than 64 bits
        (line(pos="9223372036854775808", info="."), None),
        (line(pos="."), None),
        (line(pos=""), None),
        (line(pos="1.5"), None),
        ("chr1\t101\t.\tACG\t.\t.\tPASS\n", None),  # 7 columns
        ("chr1 101 . ACG . . PASS END=5 GT 0/1\n", None),
        ("#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n", None),
        ("", None),
    ],
)
def test_record_span(text, span):
    assert repeats._record_span(text) == span
    assert repeats._record_span(line=text) == span


def test_record_span_keeps_everything_but_line_feeds():
    # A carriage return stays in the last column; END values tolerate it as whitespace.
    assert repeats._record_span(line(info="END=120\r", extra="\n")) == ("chr1", 100, 120)
    assert repeats._record_span(line(info="X=1\r", extra="\n")) == ("chr1", 100, 103)


def lines_of(path):
    stream = repeats._open_vcf_text(path)
    try:
        return list(stream)
    finally:
        stream.close()


@pytest.mark.parametrize("compression", ["gzip", "bgzf", "members"])
@pytest.mark.parametrize("name", ["calls.vcf", "calls.vcf.gz", "calls.txt"])
def test_compressed_input_is_found_by_its_magic_bytes(tmp_path, compression, name):
    text = "".join(f"line {i}\n" for i in range(5000))
    path = write(tmp_path / name, text, compression, block_size=1000)
    assert lines_of(path) == text.splitlines(keepends=True)


@pytest.mark.parametrize(
    ("data", "lines"),
    [
        (b"", []),
        (b"x", ["x"]),
        (b"\x1f", ["\x1f"]),  # one byte of the magic number is not gzip
        (b"a\r\nb\rc\n\rd", ["a\n", "b\n", "c\n", "\n", "d"]),
        (b"caf\xc3\xa9\n", ["café\n"]),
    ],
)
def test_plain_input(tmp_path, data, lines):
    path = tmp_path / "calls.vcf.gz"
    path.write_bytes(data)
    assert lines_of(str(path)) == lines


@pytest.mark.parametrize("tail", ["\r\nnext\n", "é\n", "\r", "😀x\r\n"])
def test_plain_text_split_across_read_chunks(tmp_path, tail):
    # The plain reader reads 1 MiB at a time: put a CRLF or a multi-byte character on the edge.
    text = "a" * (2**20 - 1) + tail
    path = tmp_path / "big.vcf"
    path.write_bytes(text.encode())
    with open(path, encoding="utf-8") as expected:
        assert lines_of(str(path)) == list(expected)


@settings(max_examples=60, deadline=None)
@given(
    text=st.text(alphabet=st.sampled_from(["a", "\t", "\n", "\r", "é", "€", "😀", "#"]), max_size=300),
    block=st.integers(1, 17),
)
def test_gzip_stream_reads_as_the_host_reads(tmp_path_factory, text, block):
    path = tmp_path_factory.mktemp("bgzf") / "x.vcf.gz"
    path.write_bytes(bgzf(text.encode(), block_size=block))  # blocks split characters and CRLFs
    with gzip.open(path, "rt", encoding="utf-8") as expected:
        assert lines_of(str(path)) == list(expected)


def test_stream_is_a_closable_iterator(tmp_path):
    path = write(tmp_path / "x.vcf", "one\ntwo\nthree", "bgzf")
    with repeats._open_vcf_text(path=path) as stream:
        assert stream.readline() == "one\n"
        assert next(stream) == "two\n"
        assert stream.read() == "three"
        assert stream.readline() == ""
    assert stream.closed
    with pytest.raises(ValueError):
        next(stream)


def corrupt_bgzf(tmp_path, mutate):
    data = bytearray(bgzf(b"good line\n" * 2000, block_size=5000))
    mutate(data)
    path = tmp_path / "bad.vcf.gz"
    path.write_bytes(bytes(data))
    return str(path)


@pytest.mark.parametrize(
    ("mutate", "error"),
    [
        (lambda d: d.__delitem__(slice(len(d) - 40, None)), EOFError),  # truncated
        (lambda d: d.__setitem__(slice(30, 34), b"\xff\xff\xff\xff"), zlib.error),  # damaged deflate data
        (lambda d: d.__setitem__(slice(len(d) - 40, len(d) - 36), b"\0\0\0\0"), gzip.BadGzipFile),  # CRC
        (lambda d: d.extend(b"trailing garbage"), gzip.BadGzipFile),
    ],
)
def test_damaged_gzip_raises_the_hosts_errors(tmp_path, mutate, error):
    with pytest.raises(error):
        lines_of(corrupt_bgzf(tmp_path, mutate))


def test_zero_padding_after_the_last_member_is_ignored(tmp_path):
    path = tmp_path / "padded.vcf.gz"
    path.write_bytes(encode("a\nb\n", "gzip") + b"\0" * 100)
    assert lines_of(str(path)) == ["a\n", "b\n"]


def test_invalid_utf8_fails_after_the_lines_before_it(tmp_path):
    path = tmp_path / "bad.vcf"
    path.write_bytes(b"good\nalso good\nbad \xff line\nnever\n")
    stream = repeats._open_vcf_text(str(path))
    assert [next(stream), next(stream)] == ["good\n", "also good\n"]
    with pytest.raises(UnicodeDecodeError):
        next(stream)
    stream.close()


@pytest.mark.parametrize(("make", "error"), [(lambda p: None, FileNotFoundError), (lambda p: p.mkdir(), IsADirectoryError)])
def test_unopenable_path(tmp_path, make, error):
    make(tmp_path / "x.vcf")
    with pytest.raises(error) as raised:
        repeats._open_vcf_text(str(tmp_path / "x.vcf"))
    assert raised.value.filename == str(tmp_path / "x.vcf")


@pytest.mark.parametrize("shift", [-5, +7, +10**5])
def test_bgzf_block_with_a_wrong_size_field_reads_as_gzip(tmp_path, shift):
    # The block size in the BGZF header is a hint: gzip readers ignore it, and so must we.
    text = b"".join(b"chr1\t%d\t.\tA\t.\t.\t.\t.\n" % i for i in range(3000))
    data = bytearray(bgzf(text, block_size=20000))
    size = int.from_bytes(data[16:18], "little")
    data[16:18] = max(0, min(65535, size + shift)).to_bytes(2, "little")
    path = tmp_path / "x.vcf.gz"
    path.write_bytes(bytes(data))
    with gzip.open(path, "rt", encoding="utf-8") as expected:
        assert lines_of(str(path)) == list(expected)


@pytest.mark.parametrize(
    ("ref", "info", "after", "span"),
    [
        ("ACG", "SVTYPE=STR;END=120", "\tGT\t0/1", (100, 120)),
        ("ACGTACGTAC", "SVTYPE=STR", "\tGT\t0/1", (100, 110)),  # no END: REF's length
        ("A", "X=1;END=130", "", (100, 130)),  # INFO the last column
        ("A" * 70, "RU=CAG", "\tGT:AL\t0/1:3,4\t1/1:5,5", (100, 170)),  # columns past INFO in later blocks
    ],
)
def test_span_wherever_the_columns_fall(tmp_path, ref, info, after, span):
    # Columns are found a block of bytes at a time: padding the ID column moves the
    # later TABs and the line's end across every block boundary, one line after another.
    lines = [f"chr1\t101\t{'x' * pad}\t{ref}\t<STR>\t.\tPASS\t{info}{after}\n" for pad in range(140)]
    assert {repeats._record_span(text) for text in lines} == {("chr1", *span)}
    vcf = write(tmp_path / "r.vcf", "".join(lines))
    for start, kept in ((span[1] - 1, lines), (span[1], [])):  # the span's last base, then just past it
        out = tmp_path / "out.vcf"
        repeats._intersect_in_python(vcf, write(tmp_path / "c.bed", f"chr1\t{start}\t{start + 1}\n"), str(out))
        assert out.read_text() == "".join(kept)
