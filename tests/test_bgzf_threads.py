"""BGZF read on several threads against one: the same text, or the same error at the same line."""

from __future__ import annotations

import gzip
import pathlib
import struct

import pytest

from Callfold.compression import sort_and_compress
from compression_helpers import record, vcf
from input_files import BGZF_EOF, bgzf

# About 60 blocks of 700 bytes: many times the blocks read ahead.
TEXT = vcf([record("chr1" if i % 3 else "chr2", 1000 + i, ident=f"rec{i}") for i in range(700)]).encode()
MIDDLE = 30


def blocks(data: bytes) -> list[bytes]:
    out, at = [], 0
    while at < len(data):
        size = struct.unpack_from("<H", data, at + 16)[0] + 1
        out.append(data[at : at + size])
        at += size
    return out


def damaged(change) -> bytes:
    parts = blocks(bgzf(TEXT, 700))
    parts[MIDDLE] = change(parts[MIDDLE])
    return b"".join(parts)


def flip(block: bytes, at: int) -> bytes:
    return block[:at] + bytes([block[at] ^ 0x40]) + block[at + 1 :]


def cut(data: bytes, at: int) -> bytes:
    return data[: sum(map(len, blocks(bgzf(TEXT, 700))[:MIDDLE])) + at]


@pytest.mark.parametrize(
    ("data", "ok"),
    [
        pytest.param(bgzf(TEXT, 700), True, id="bgzf"),
        pytest.param(b"".join(gzip.compress(TEXT[i : i + 5000]) for i in range(0, len(TEXT), 5000)), True, id="members"),
        pytest.param(bgzf(TEXT[:20000], 700)[: -len(BGZF_EOF)] + gzip.compress(TEXT[20000:]), True, id="bgzf-then-gzip"),
        pytest.param(b"\0".join(blocks(bgzf(TEXT, 700))), True, id="zero-padding"),
        # A block size one too large: the block is read as a gzip member instead.
        pytest.param(damaged(lambda b: b[:16] + struct.pack("<H", len(b)) + b[18:]), True, id="block-size-off"),
        pytest.param(damaged(lambda b: flip(b, len(b) - 8)), False, id="crc"),
        pytest.param(damaged(lambda b: flip(b, len(b) - 4)), False, id="isize"),
        pytest.param(damaged(lambda b: flip(b, 40)), False, id="deflate-data"),
        pytest.param(damaged(lambda b: b[:2] + b"\x09" + b[3:]), False, id="method"),
        pytest.param(cut(bgzf(TEXT, 700), 10), False, id="cut-in-header"),
        pytest.param(cut(bgzf(TEXT, 700), 200), False, id="cut-in-block"),
        pytest.param(bgzf(TEXT, 700) + b"chr1\t5\n", False, id="trailing-text"),
    ],
)
def test_threads_read_as_one_thread(tmp_path, data, ok):
    path = tmp_path / "unified.vcf"
    outcomes = []
    for threads in (1, 2, 1, 2):
        path.write_bytes(data)
        try:
            written = sort_and_compress(path, threads=threads)
            outcomes.append(gzip.decompress(pathlib.Path(written).read_bytes()))
        except Exception as error:  # noqa: BLE001 - the error itself is compared
            outcomes.append((type(error), str(error), getattr(error, "__notes__", None)))
    assert outcomes[0] == outcomes[1] == outcomes[2] == outcomes[3]
    assert isinstance(outcomes[0], bytes) == ok, outcomes[0]
