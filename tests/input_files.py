"""Encoding test inputs as the readers meet them: plain, gzip, BGZF, several gzip members."""

from __future__ import annotations

import gzip
import struct
import zlib

BGZF_EOF = bytes.fromhex("1f8b08040000000000ff0600424302001b0003000000000000000000")


def bgzf(data: bytes, block_size: int = 65280) -> bytes:
    """One gzip member with the BGZF "BC" field per block of at most block_size bytes, then the EOF block."""
    out = bytearray()
    for start in range(0, len(data), block_size):
        chunk = data[start : start + block_size]
        compressor = zlib.compressobj(6, zlib.DEFLATED, -15)
        deflated = compressor.compress(chunk) + compressor.flush()
        header = struct.pack("<BBBBIBBHBBHH", 31, 139, 8, 4, 0, 0, 255, 6, 66, 67, 2, len(deflated) + 25)
        out += header + deflated + struct.pack("<II", zlib.crc32(chunk), len(chunk))
    return bytes(out + BGZF_EOF)


def encode(text: str | bytes, compression: str = "plain", block_size: int = 65280) -> bytes:
    data = text.encode("utf-8") if isinstance(text, str) else text
    if compression == "plain":
        return data
    if compression == "gzip":
        return gzip.compress(data)
    if compression == "bgzf":
        return bgzf(data, block_size)
    if compression == "members":  # ordinary gzip members back to back
        third = len(data) // 3
        return b"".join(gzip.compress(part) for part in (data[:third], data[third : 2 * third], data[2 * third :]))
    raise ValueError(compression)
