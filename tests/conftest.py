"""Shared fixtures: writing inputs plain, gzip-compressed or as multi-member BGZF."""

import gzip
import os
import shutil
import struct
import zlib
from pathlib import Path
from typing import Callable

import pytest

DATA = Path(__file__).parent / "data"

BGZF_EOF = bytes.fromhex("1f8b08040000000000ff0600424302001b0003000000000000000000")


def bgzf_bytes(data: bytes, block_size: int = 65280) -> bytes:
    """BGZF: one gzip member per block of at most block_size input bytes, then the EOF block."""
    out = bytearray()
    for start in range(0, len(data), block_size):
        chunk = data[start : start + block_size]
        compressor = zlib.compressobj(6, zlib.DEFLATED, -15)
        deflated = compressor.compress(chunk) + compressor.flush()
        header = struct.pack("<BBBBIBBHBBHH", 31, 139, 8, 4, 0, 0, 255, 6, 66, 67, 2, len(deflated) + 25)
        out += header + deflated + struct.pack("<II", zlib.crc32(chunk), len(chunk))
    return bytes(out + BGZF_EOF)


def encode(text: str | bytes, compression: str, block_size: int = 65280) -> bytes:
    data = text.encode("utf-8") if isinstance(text, str) else text
    if compression == "plain":
        return data
    if compression == "gzip":
        return gzip.compress(data)
    if compression == "bgzf":
        return bgzf_bytes(data, block_size)
    if compression == "multi":  # plain gzip members back to back
        half = len(data) // 2
        return gzip.compress(data[:half]) + gzip.compress(data[half:])
    raise ValueError(compression)


WriteInput = Callable[..., str]


@pytest.fixture
def bgzf() -> Callable[..., bytes]:
    """bgzf(data, block_size=65280) -> the BGZF bytes of data."""
    return bgzf_bytes


@pytest.fixture
def write_input(tmp_path: Path) -> WriteInput:
    """write_input(name, text, compression="plain", block_size=65280) -> path as str."""

    def write(name: str, text: str | bytes, compression: str = "plain", block_size: int = 65280) -> str:
        path = tmp_path / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(encode(text, compression, block_size))
        return str(path)

    return write


@pytest.fixture
def data_copy(tmp_path: Path) -> Callable[[str], str]:
    """Copies a shipped example input into the test's own directory (run removes nothing of it)."""

    def copy(name: str) -> str:
        target = tmp_path / "inputs" / name
        target.parent.mkdir(exist_ok=True)
        shutil.copyfile(DATA / name, target)
        return str(target)

    return copy


@pytest.fixture
def require_tool() -> Callable[[str], str]:
    """require_tool(name) -> its path; in CI a missing tool fails the test instead of skipping it."""

    def require(name: str) -> str:
        found = shutil.which(name)
        if found is None:
            if os.environ.get("CI") == "true":
                pytest.fail(f"{name} is required in CI")
            pytest.skip(f"{name} is not installed")
        return found

    return require
