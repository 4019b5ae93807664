"""BGZF blocks through the build's DEFLATE library, whichever it is (libdeflate or
zlib; `make test-zlib` runs this file against a zlib-only build): every valid
block shape reads back exactly, and written blocks are really compressed."""

from __future__ import annotations

import struct
import zlib

import pytest

from Callfold import compression, unifier
from compression_helpers import bgzf_blocks, record, vcf
from input_files import BGZF_EOF

LINE = "chr1\t100\t.\tN\t<DEL>\t.\tPASS\tSVTYPE=DEL;END=200\tGT\t0/1\n"


def deflate(data: bytes, level: int = 6, strategy: int = zlib.Z_DEFAULT_STRATEGY, flush_every: int = 0) -> bytes:
    compressor = zlib.compressobj(level, zlib.DEFLATED, -15, 8, strategy)
    if not flush_every:
        return compressor.compress(data) + compressor.flush()
    # Full flushes end a DEFLATE block each time: one member, several blocks.
    parts = [compressor.compress(data[i : i + flush_every]) + compressor.flush(zlib.Z_FULL_FLUSH)
             for i in range(0, len(data), flush_every)]
    return b"".join(parts) + compressor.flush()


def member(data: bytes, deflated: bytes | None = None, padding: bytes = b"") -> bytes:
    """One gzip member with the BC field; `padding` lies inside it after the DEFLATE data."""
    body = (deflate(data) if deflated is None else deflated) + padding
    header = struct.pack("<BBBBIBBHBBHH", 31, 139, 8, 4, 0, 0, 255, 6, 66, 67, 2, len(body) + 25)
    assert len(body) + 26 <= 65536
    return header + body + struct.pack("<II", zlib.crc32(data), len(data) & 0xFFFFFFFF)


def text_of(lines: int, start: int = 0) -> bytes:
    return "".join(LINE.replace("100", str(start + i)) for i in range(lines)).encode()


SMALL = text_of(40)
HUGE = LINE.encode() * 30000  # 1.5 MiB decoded, a few KiB deflated


@pytest.mark.parametrize(
    ("data", "encoded"),
    [
        (SMALL, member(SMALL, deflate(SMALL, level=0)) + BGZF_EOF),
        (SMALL, member(SMALL, deflate(SMALL, strategy=zlib.Z_FIXED)) + BGZF_EOF),
        (SMALL, member(SMALL, deflate(SMALL, flush_every=300)) + BGZF_EOF),
        (SMALL + SMALL, member(SMALL) + BGZF_EOF + BGZF_EOF + member(SMALL) + BGZF_EOF),
        (HUGE[: 900 * 1024], member(HUGE[: 900 * 1024]) + BGZF_EOF),
        (HUGE, member(HUGE) + BGZF_EOF),
        (SMALL, member(SMALL, padding=b"\0\0\x07") + BGZF_EOF),
        (SMALL, member(SMALL)),
        (b"", BGZF_EOF),
    ],
    ids=["stored", "fixed-codes", "several-deflate-blocks", "empty-blocks-between", "900KiB-in-one-block",
         "1.5MiB-in-one-block", "bytes-after-the-final-deflate-block", "no-eof-block", "eof-block-alone"],
)
def test_every_valid_block_shape_reads_back_exactly(write_input, data, encoded):
    path = write_input("in.vcf.gz", encoded)
    assert unifier.get_lines(path) == data.decode().splitlines(keepends=True)


@pytest.mark.parametrize(
    "damage",
    [
        lambda block: block[:-8] + struct.pack("<I", zlib.crc32(SMALL) ^ 1) + block[-4:],
        lambda block: block[:-4] + struct.pack("<I", len(SMALL) - 1),
        lambda block: block[:-4] + struct.pack("<I", len(SMALL) + 1),
        lambda block: block[:18] + b"\x07" + block[19:],  # reserved block type
    ],
    ids=["crc", "isize-short", "isize-long", "invalid-deflate"],
)
def test_a_damaged_block_is_an_error_not_text(write_input, damage):
    path = write_input("damaged.vcf.gz", damage(member(SMALL)) + BGZF_EOF)
    with pytest.raises(UnicodeDecodeError):
        unifier.get_lines(path)


def test_written_blocks_are_deflated_not_stored(write_input):
    # A compressor that never fit its output would still give valid, stored blocks.
    lines = [record("chr1", pos, f"id{pos}", info=f"SVTYPE=DEL;END={pos + 500}") for pos in range(1, 20001)]
    text = vcf(lines)
    path = compression.sort_and_compress(write_input("unified.vcf", text))
    blocks = bgzf_blocks(path)
    assert b"".join(block.data for block in blocks).decode() == text
    data_blocks = blocks[:-1]
    assert len(data_blocks) > 10
    assert all(block.size < len(block.data) // 3 for block in data_blocks)
