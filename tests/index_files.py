"""Reading tabix indexes (.tbi and .csi) into plain values, to compare two indexes of one file."""

from __future__ import annotations

import gzip
import struct
from dataclasses import dataclass, field
from pathlib import Path


@dataclass
class Reference:
    # bin number -> (loff, chunks); loff is 0 throughout a TBI, which has no per-bin offsets.
    bins: dict[int, tuple[int, list[tuple[int, int]]]] = field(default_factory=dict)
    linear: list[int] = field(default_factory=list)  # TBI only


@dataclass
class Index:
    kind: str  # "TBI" or "CSI"
    min_shift: int
    depth: int
    conf: tuple[int, int, int, int, int, int]  # format, col_seq, col_beg, col_end, meta char, skip
    names: list[str]
    references: list[Reference]
    no_coordinate: int


class _Reader:
    def __init__(self, data: bytes):
        self.data = data
        self.at = 0

    def take(self, fmt: str):
        values = struct.unpack_from("<" + fmt, self.data, self.at)
        self.at += struct.calcsize("<" + fmt)
        return values if len(values) > 1 else values[0]

    def raw(self, size: int) -> bytes:
        value = self.data[self.at : self.at + size]
        assert len(value) == size, "index ends early"
        self.at += size
        return value


def _tabix_meta(reader: _Reader) -> tuple[tuple, list[str]]:
    conf = reader.take("6i")
    names_size = reader.take("i")
    names = reader.raw(names_size).split(b"\0")
    assert names[-1] == b"", "names not NUL-terminated"
    return conf, [name.decode() for name in names[:-1]]


def read_index(path: str | Path) -> Index:
    """Parses a whole TBI or CSI file; fails on a short or over-long one."""
    raw = Path(path).read_bytes()
    assert raw[:4] == b"\x1f\x8b\x08\x04", "index is not BGZF"
    reader = _Reader(gzip.decompress(raw))
    magic = reader.raw(4)
    if magic == b"TBI\x01":
        kind, min_shift, depth = "TBI", 14, 5
        count = reader.take("i")
        conf, names = _tabix_meta(reader)
    else:
        assert magic == b"CSI\x01", f"magic {magic!r}"
        kind = "CSI"
        min_shift, depth, aux_size = reader.take("3i")
        aux_end = reader.at + aux_size
        conf, names = _tabix_meta(reader)
        assert reader.at == aux_end, "CSI aux size does not match its content"
        count = reader.take("i")
    references = []
    for _ in range(count):
        reference = Reference()
        for _ in range(reader.take("i")):
            number = reader.take("I")
            loff = reader.take("Q") if kind == "CSI" else 0
            chunks = [reader.take("2Q") for _ in range(reader.take("i"))]
            assert number not in reference.bins, f"bin {number} twice"
            reference.bins[number] = (loff, chunks)
        if kind == "TBI":
            reference.linear = [reader.take("Q") for _ in range(reader.take("i"))]
        references.append(reference)
    no_coordinate = reader.take("Q")
    assert reader.at == len(reader.data), "bytes after the index"
    return Index(kind, min_shift, depth, conf, names, references, no_coordinate)
