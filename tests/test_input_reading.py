"""get_lines, is_empty and read_struct_lines."""

import errno
import logging

import pytest

import Callfold.unifier as unifier

HEADER = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tS1\n"
RECORD = "chr1\t100\t.\tN\t<DEL>\t.\tPASS\tSVTYPE=DEL;END=200\tGT\t0/1\n"


def warnings_of(caplog):
    return [(r.levelno, r.msg, r.args) for r in caplog.records]


@pytest.mark.parametrize("compression", ["plain", "gzip", "bgzf", "members"])
@pytest.mark.parametrize("name", ["in.vcf", "in.vcf.gz"])
def test_get_lines_reads_whatever_the_name(write_input, compression, name):
    text = HEADER + RECORD * 3 + "chr2\t5\t.\tN\t.\t.\tPASS\t.\tGT\t1/1"
    assert unifier.get_lines(write_input(name, text, compression)) == text.splitlines(keepends=True)


def test_get_lines_bgzf_over_a_mebibyte_with_blocks_cut_mid_line(write_input):
    lines = [f"chr{i % 22 + 1}\t{i}\t.\tA\tT\t.\tPASS\tDP={i}\tGT\t0/1\n" for i in range(30000)]
    text = HEADER + "".join(lines)
    assert len(text) > 1 << 20
    path = write_input("big.vcf.gz", text, "bgzf", block_size=65279)  # an odd size: blocks end mid-line
    assert unifier.get_lines(path) == text.splitlines(keepends=True)


@pytest.mark.parametrize(
    "raw, expected",
    [
        (b"a\r\nb\r\n", ["a\n", "b\n"]),
        (b"a\rb\rc", ["a\n", "b\n", "c"]),
        (b"a\n\r\nb", ["a\n", "\n", "b"]),
        (b"", []),
        (b"x\xc2\xa0y\n", ["x\u00a0y\n"]),
    ],
)
@pytest.mark.parametrize("compression", ["plain", "gzip"])
def test_get_lines_newlines(write_input, raw, expected, compression):
    assert unifier.get_lines(write_input("f.txt", raw, compression)) == expected


def test_get_lines_cr_lf_split_across_bgzf_blocks(write_input):
    raw = b"a" * 9 + b"\r\nb\rc\r\n"
    assert unifier.get_lines(write_input("f.gz", raw, "bgzf", block_size=10)) == ["a" * 9 + "\n", "b\n", "c\n"]


def test_truncated_gzip_gives_the_plain_attempts_decode_error(write_input):
    compressed = (RECORD * 2000).encode()
    import gzip

    data = gzip.compress(compressed)[:-40]
    path = write_input("cut.vcf.gz", data)
    with pytest.raises(UnicodeDecodeError) as caught:
        unifier.get_lines(path)
    error = caught.value
    assert error.encoding == "utf-8" and error.reason == "invalid start byte"
    assert (error.start, error.end) == (1, 2)  # 0x8b, the second byte of the gzip magic


def test_gzip_text_is_strict_utf8(write_input):
    path = write_input("latin1.gz", "caf\u00e9\n".encode("latin-1"), "gzip")
    # The gzip attempt fails on the text; the plain attempt fails on the compressed bytes.
    with pytest.raises(UnicodeDecodeError):
        unifier.get_lines(path)


def test_plain_invalid_utf8_reports_position(write_input):
    path = write_input("bad.vcf", b"ok\nab\xffcd\n")
    with pytest.raises(UnicodeDecodeError) as caught:
        unifier.get_lines(path)
    assert (caught.value.start, caught.value.end, caught.value.reason) == (5, 6, "invalid start byte")


@pytest.mark.parametrize(
    "make_path, error_type, number",
    [
        (lambda tmp: str(tmp / "missing.vcf"), FileNotFoundError, errno.ENOENT),
        (lambda tmp: str(tmp), IsADirectoryError, errno.EISDIR),
    ],
)
def test_get_lines_os_errors(tmp_path, make_path, error_type, number):
    path = make_path(tmp_path)
    with pytest.raises(error_type) as caught:
        unifier.get_lines(path)
    assert caught.value.errno == number and caught.value.filename == path


@pytest.mark.parametrize(
    "lines, expected",
    [
        ([], True),
        (["##a\n", "#CHROM\n", "\n", "   \t\n"], True),
        (["   #word\n"], True),
        (["  chr1\t1\t.\n"], False),
        (["\x1c\x1d\x1e\x1f\x85\u00a0\u2003\u3000\n"], True),
        (["#h\n"] * 100 + ["chr1\t1\n"], False),
        ([""], True),
    ],
)
def test_is_empty(lines, expected):
    assert unifier.is_empty(lines) is expected
    assert unifier.is_empty(line for line in lines) is expected


def test_is_empty_stops_at_the_first_record():
    def lines():
        yield "chr1\t1\n"
        raise AssertionError("read past the first record")

    assert unifier.is_empty(lines()) is False


def test_read_struct_lines_only_sv(write_input, caplog):
    caplog.set_level(logging.INFO)
    sv = write_input("sv.vcf", HEADER + RECORD)
    result = unifier.read_struct_lines({"sv": sv, "other": "ignored"})
    assert list(result) == ["sv", "cnv", "repeats", "roh"]
    assert result == {"sv": [HEADER.splitlines(True)[0], HEADER.splitlines(True)[1], RECORD],
                      "cnv": None, "repeats": None, "roh": None}
    message = "Can't unify file type \"%s\". The file does not exist."
    assert warnings_of(caplog) == [(logging.WARNING, message, (key,)) for key in ("cnv", "repeats", "roh")]


@pytest.mark.parametrize("content", [HEADER, "", "\n  \n\t\n", "##only meta\n"])
def test_read_struct_lines_header_only_inputs_are_absent(write_input, caplog, content):
    path = write_input("cnv.vcf", content)
    result = unifier.read_struct_lines({"sv": None, "cnv": path})
    assert result["cnv"] is None
    assert warnings_of(caplog)[1] == (
        logging.WARNING, "Can't unify file type \"%s\". The file is empty or contains only headers.", ("cnv",))


def test_read_struct_lines_missing_file_fails_before_any_warning(tmp_path, caplog):
    with pytest.raises(FileNotFoundError):
        unifier.read_struct_lines({"sv": str(tmp_path / "nope.vcf")})
    assert caplog.records == []


def test_read_struct_lines_drops_sv_records_then_tests_emptiness(write_input, caplog):
    caplog.set_level(logging.INFO)
    dropped = RECORD.replace("PASS", "InvBreakpoint")
    path = write_input("sv.vcf", HEADER + dropped)
    options = unifier.UnifyOptions(drop_sv_filters=("InvBreakpoint",))
    assert unifier.read_struct_lines({"sv": path}, options)["sv"] is None
    assert [r.getMessage() for r in caplog.records][:2] == [
        "Filtered 1 SV records with FILTER in ['InvBreakpoint'] from the unified VCF",
        "Can't unify file type \"sv\". The file is empty or contains only headers.",
    ]


@pytest.mark.parametrize("options", [None, False, 0, unifier.UnifyOptions()])
def test_read_struct_lines_default_options(write_input, options):
    path = write_input("sv.vcf", HEADER + RECORD.replace("PASS", "InvBreakpoint"))
    assert unifier.read_struct_lines({"sv": path}, options)["sv"][-1].endswith("0/1\n")


def test_read_struct_lines_sv_filters_given_as_one_text(write_input):
    kept = RECORD.replace("PASS", "I")  # a one-letter token must not drop this record
    dropped = RECORD.replace("PASS", "InvBreakpoint")
    path = write_input("sv.vcf", HEADER + kept + dropped)
    options = unifier.UnifyOptions(drop_sv_filters="InvBreakpoint")
    assert unifier.read_struct_lines({"sv": path}, options)["sv"][-1] == kept


def _damage_crc(data: bytes) -> bytes:
    block = int.from_bytes(data[16:18], "little") + 1
    return data[: block - 8] + bytes([data[block - 8] ^ 1]) + data[block - 7 :]


def _damage_size(data: bytes) -> bytes:
    block = int.from_bytes(data[16:18], "little") + 1
    return data[: block - 4] + bytes([data[block - 4] ^ 1]) + data[block - 3 :]


@pytest.mark.parametrize(
    "damage",
    [_damage_crc, _damage_size, lambda data: data[:30], lambda data: data[:-40], lambda data: data[:100] + data[101:]],
    ids=["crc", "isize", "cut-in-first-block", "cut-in-eof-block", "byte-missing"],
)
def test_damaged_bgzf_fails_the_gzip_attempt(write_input, bgzf, damage):
    data = damage(bgzf((RECORD * 50).encode(), block_size=1000))
    with pytest.raises(UnicodeDecodeError):
        unifier.get_lines(write_input("damaged.vcf.gz", data))
