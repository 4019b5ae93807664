"""sort_and_compress as a file operation: what it returns, what it removes, and
that on every error the input stays as it was and no output or temporary file remains."""

from __future__ import annotations

import gzip
import os
import pathlib
import subprocess
import sys
import textwrap

import pytest

from Callfold.compression import sort_and_compress
from compression_helpers import bgzf_text, leftovers, record, split_vcf, vcf

GOOD = vcf([record("chr2", 5), record("chr1", 10)])


def test_returns_gz_path_and_removes_input(write_input):
    path = write_input("unified.vcf", GOOD)
    result = sort_and_compress(path)
    assert result == path + ".gz"
    assert not os.path.exists(path)
    assert leftovers(os.path.dirname(path), {"unified.vcf.gz"}) == set()
    assert not os.path.exists(result + ".tbi") and not os.path.exists(result + ".csi")
    header, records = split_vcf(bgzf_text(result))
    assert records == [record("chr1", 10), record("chr2", 5)]


def test_accepts_path_like_and_keyword(write_input):
    path = write_input("unified.vcf", GOOD)
    result = sort_and_compress(path=pathlib.Path(path))
    assert result == path + ".gz" and isinstance(result, str)


def test_replaces_existing_output(write_input):
    path = write_input("unified.vcf", GOOD)
    pathlib.Path(path + ".gz").write_bytes(b"stale")
    sort_and_compress(path)
    assert split_vcf(bgzf_text(path + ".gz"))[1] == [record("chr1", 10), record("chr2", 5)]


def test_gzip_input_is_read(write_input):
    path = write_input("unified.vcf", GOOD, "bgzf", block_size=100)
    assert split_vcf(bgzf_text(sort_and_compress(path)))[1] == [record("chr1", 10), record("chr2", 5)]


BAD_RECORDS = [
    pytest.param("chr1\n", "no POS column", id="one-column"),
    pytest.param("chr1 100 . N <DEL>\n", "no POS column", id="spaces-not-tabs"),
    pytest.param("chr1\tabc\t.\n", "POS 'abc' is not an integer", id="pos-text"),
    pytest.param("chr1\t\t.\n", "POS '' is not an integer", id="pos-empty"),
    pytest.param("chr1\t1.5\n", "POS '1.5' is not an integer", id="pos-decimal"),
    pytest.param("chr1\t1__0\n", "is not an integer", id="pos-double-underscore"),
    pytest.param("chr1\t99999999999999999999\n", "out of range", id="pos-overflow"),
    pytest.param("\t100\t.\n", "empty CHROM", id="chrom-empty"),
]


@pytest.mark.parametrize(("bad", "message"), BAD_RECORDS)
def test_unplaceable_record_raises_and_keeps_input(write_input, bad, message):
    # A blank line and a good record come before the bad one, another record after it.
    text = vcf([record("chr1", 3), "\n", bad, record("chr1", 1)])
    line = text.splitlines().index(bad.rstrip("\n")) + 1
    assert line == 11
    path = write_input("unified.vcf", text)
    existing = pathlib.Path(path + ".gz")
    existing.write_bytes(b"previous result")
    with pytest.raises(ValueError) as raised:
        sort_and_compress(path)
    assert raised.value.__notes__[0].startswith(f"VCF {path!r}, line {line}")
    assert message in str(raised.value)
    assert pathlib.Path(path).read_text() == text
    assert existing.read_bytes() == b"previous result"
    assert leftovers(os.path.dirname(path), {"unified.vcf", "unified.vcf.gz"}) == set()


@pytest.mark.parametrize(
    "text",
    [
        pytest.param("", id="empty-file"),
        pytest.param("##fileformat=VCFv4.2\n" + record("chr1", 1), id="meta-only"),
        pytest.param(record("chr1", 1), id="records-only"),
        pytest.param("\n \n", id="blank-lines"),
    ],
)
def test_no_column_header_raises_and_keeps_input(write_input, text):
    path = write_input("unified.vcf", text)
    with pytest.raises(ValueError, match='no "#CHROM" column header line'):
        sort_and_compress(path)
    assert pathlib.Path(path).read_text() == text
    assert leftovers(os.path.dirname(path), {"unified.vcf"}) == set()


@pytest.mark.parametrize(
    ("make", "error"),
    [
        pytest.param(lambda path: None, FileNotFoundError, id="missing"),
        pytest.param(os.mkdir, IsADirectoryError, id="directory"),
    ],
)
def test_unreadable_input(tmp_path, make, error):
    path = str(tmp_path / "unified.vcf")
    make(path)
    before = os.listdir(tmp_path)
    with pytest.raises(error) as raised:
        sort_and_compress(path)
    assert raised.value.filename == path
    assert os.listdir(tmp_path) == before


def test_output_name_taken_by_directory(write_input):
    path = write_input("unified.vcf", GOOD)
    os.mkdir(path + ".gz")
    with pytest.raises(IsADirectoryError) as raised:
        sort_and_compress(path)
    assert raised.value.filename == path + ".gz"
    assert pathlib.Path(path).read_text() == GOOD
    assert os.listdir(path + ".gz") == []
    assert leftovers(os.path.dirname(path), {"unified.vcf", "unified.vcf.gz"}) == set()


@pytest.mark.parametrize(
    ("data", "error"),
    [
        pytest.param(GOOD.encode() + b"chr1\t7\t\xff\n", UnicodeDecodeError, id="invalid-utf8"),
        pytest.param(gzip.compress(GOOD.encode())[:-12], EOFError, id="truncated-gzip"),
    ],
)
def test_undecodable_input_raises_and_keeps_input(write_input, data, error):
    path = write_input("unified.vcf", data)
    with pytest.raises(error):
        sort_and_compress(path)
    assert pathlib.Path(path).read_bytes() == data
    assert leftovers(os.path.dirname(path), {"unified.vcf"}) == set()


def test_failed_write_leaves_no_partial_file(write_input):
    # A file size limit makes the write fail part way through, as a full disk would.
    lines = [record(f"chr{i % 5}", i * 7919 % 100003, ident=f"id{i}-{i * i}") for i in range(20000)]
    path = write_input("big.vcf", vcf(lines))
    script = textwrap.dedent(
        f"""
        import errno, resource, signal
        from Callfold.compression import sort_and_compress
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (65536, 65536))
        try:
            sort_and_compress({path!r})
        except OSError as error:
            assert error.errno == errno.EFBIG, error
            print("failed as expected")
        """
    )
    done = subprocess.run([sys.executable, "-P", "-c", script], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert done.stdout.strip() == "failed as expected"
    assert pathlib.Path(path).read_text() == vcf(lines)
    assert leftovers(os.path.dirname(path), {"big.vcf"}) == set()


@pytest.mark.parametrize(
    ("argument", "error"),
    [
        pytest.param(b"/tmp/x.vcf", TypeError, id="bytes"),
        pytest.param(None, TypeError, id="none"),
        pytest.param("bad\0name.vcf", ValueError, id="nul"),
    ],
)
def test_bad_path_argument(argument, error):
    with pytest.raises(error):
        sort_and_compress(argument)
