"""Reading back what sort_and_compress writes: BGZF blocks, header and records."""

from __future__ import annotations

import os
import struct
import zlib
from dataclasses import dataclass
from pathlib import Path

from input_files import BGZF_EOF  # re-exported for the compression tests

SITES_COLUMNS = "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n"
COLUMNS = SITES_COLUMNS.replace("\n", "\tFORMAT\tS1\n")


@dataclass
class Block:
    offset: int
    size: int
    data: bytes


def bgzf_blocks(path: str | Path) -> list[Block]:
    """Parses every block strictly: gzip member with FEXTRA holding only the BC
    subfield, BSIZE equal to the member's size, CRC32 and ISIZE matching."""
    raw = Path(path).read_bytes()
    blocks = []
    offset = 0
    while offset < len(raw):
        id1, id2, cm, flg, _mtime, _xfl, _os, xlen = struct.unpack_from("<BBBBIBBH", raw, offset)
        assert (id1, id2, cm, flg) == (31, 139, 8, 4), f"not a BGZF block header at {offset}"
        assert xlen == 6, f"XLEN {xlen} at {offset}"
        si1, si2, slen, bsize = struct.unpack_from("<BBHH", raw, offset + 12)
        assert (si1, si2, slen) == (66, 67, 2), f"no BC subfield at {offset}"
        size = bsize + 1
        assert size <= 65536 and offset + size <= len(raw)
        member = raw[offset : offset + size]
        data = zlib.decompressobj(-15).decompress(member[18:-8])
        crc, isize = struct.unpack("<II", member[-8:])
        assert crc == zlib.crc32(data) and isize == len(data), f"footer mismatch in block at {offset}"
        blocks.append(Block(offset, size, data))
        offset += size
    return blocks


def bgzf_text(path: str | Path) -> str:
    return b"".join(block.data for block in bgzf_blocks(path)).decode("utf-8")


def split_vcf(text: str) -> tuple[list[str], list[str]]:
    """(header lines, record lines) of decompressed output, each line with its "\\n"."""
    lines = text.splitlines(keepends=True)
    header = [line for line in lines if line.startswith("#")]
    records = lines[len(header) :]
    assert lines[: len(header)] == header, "header lines after records"
    return header, records


def record(chrom: str, pos: int | str, ident: str = ".", alt: str = "<DEL>", info: str = "SVTYPE=DEL", rest: str = "GT\t0/1") -> str:
    return f"{chrom}\t{pos}\t{ident}\tN\t{alt}\t.\tPASS\t{info}\t{rest}\n"


def vcf(records: list[str], contigs: tuple[str, ...] = ("chr1", "chr2"), meta: tuple[str, ...] = ()) -> str:
    """A fully declared header (contigs in the given order) followed by the records."""
    header = ["##fileformat=VCFv4.2\n"]
    header += [f"##contig=<ID={name}>\n" for name in contigs]
    header += [
        '##INFO=<ID=SVTYPE,Number=1,Type=String,Description="Type of structural variant">\n',
        '##INFO=<ID=END,Number=1,Type=Integer,Description="End position">\n',
        '##ALT=<ID=DEL,Description="Deletion">\n',
        '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n',
    ]
    header += list(meta)
    return "".join(header) + COLUMNS + "".join(records)


def leftovers(directory: str | Path, keep: set[str]) -> set[str]:
    """Names in directory other than those in keep (temporary files, stray outputs)."""
    return set(os.listdir(directory)) - keep
