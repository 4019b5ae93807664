"""The compressed file itself: BGZF blocks, their limits, the EOF block, content."""

from __future__ import annotations

import gzip
import random

from Callfold.compression import sort_and_compress
from compression_helpers import BGZF_EOF, bgzf_blocks, bgzf_text, record, split_vcf, vcf


def test_small_file_is_one_block_and_the_eof_block(write_input):
    text = vcf([record("chr1", 1)])
    gz = sort_and_compress(write_input("unified.vcf", text))
    blocks = bgzf_blocks(gz)
    assert [block.data for block in blocks] == [text.encode(), b""]
    with open(gz, "rb") as raw:
        assert raw.read()[-28:] == BGZF_EOF


def test_large_input_spans_many_blocks_in_order(write_input):
    rng = random.Random(7)
    contigs = ("chr1", "chr2")
    lines = [
        record(rng.choice(contigs + ("chrZ",)), rng.randrange(1, 10**6), f"r{i}", info=f"SVTYPE=DEL;END={rng.randrange(10**9)}")
        for i in range(40000)
    ]
    text = vcf(lines, contigs=contigs)
    assert len(text) > 2**21
    gz = sort_and_compress(write_input("unified.vcf", text))

    blocks = bgzf_blocks(gz)
    assert len(blocks) > 30
    assert all(block.size <= 65536 and 0 < len(block.data) <= 65280 for block in blocks[:-1])
    assert blocks[-1].data == b"" and blocks[-1].size == 28
    with open(gz, "rb") as raw:
        whole = raw.read()
    # Any gzip reader sees one stream.
    assert gzip.decompress(whole).decode() == bgzf_text(gz)

    header, records = split_vcf(bgzf_text(gz))
    rank = {"chr1": 0, "chr2": 1, "chrZ": 2}
    key = lambda line: (rank[line.split("\t")[0]], int(line.split("\t")[1]))  # noqa: E731
    assert records == sorted(lines, key=key)  # Python's sort is stable too
