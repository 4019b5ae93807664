"""sort_and_compress under a memory bound: records sorted in parts and merged
through a temporary file give the bytes of the in-memory sort, and leave no
temporary behind whatever the outcome."""

from __future__ import annotations

import gzip
import random
from pathlib import Path

import pytest

from compression_helpers import COLUMNS, leftovers, record, vcf
from Callfold.compression import sort_and_compress

TINY = 2000  # bytes: a part of a few records, so every input spills many times


def shuffled_calls(count: int = 400, seed: int = 7) -> str:
    """SV calls out of order, with equal positions, contigs undeclared or declared
    only after some records, and keys the header lacks."""
    rng = random.Random(seed)
    records = []
    for i in range(count):
        chrom = rng.choice(["chr2", "chr1", "chrUn_1", "chrX"])
        pos = rng.choice([rng.randint(1, 900), 500])
        info = f"SVTYPE=DEL;END={pos + rng.randint(1, 9000)};SCORE={rng.random():.3f}"
        records.append(record(chrom, pos, f"call{i}", info=info, rest=f"GT:CN\t0/1:{rng.randint(0, 4)}"))
    records.insert(count // 2, '##contig=<ID=chrX>\n##INFO=<ID=SCORE,Number=1,Type=Float,Description="s">\n')
    return vcf(records)


def write_input(path: Path, text: str, compressed: bool) -> None:
    path.write_bytes(gzip.compress(text.encode()) if compressed else text.encode())


# With one thread, each part is written as a run before the next is read; with more, beside it.
@pytest.mark.parametrize(("compressed", "threads"), [(False, None), (True, 1)], ids=["plain", "gzip-one-thread"])
@pytest.mark.parametrize("index", [{}, {"index": True}, {"csi": True}], ids=["no-index", "tbi", "csi"])
def test_spilled_sort_writes_the_bytes_of_the_in_memory_sort(tmp_path, compressed, threads, index):
    text = shuffled_calls()
    spill_dir = tmp_path / "spill"
    (tmp_path / "memory").mkdir()
    spill_dir.mkdir()
    scratch = tmp_path / "scratch"
    scratch.mkdir()
    write_input(tmp_path / "memory" / "calls.vcf", text, compressed)
    write_input(spill_dir / "calls.vcf", text, compressed)
    in_memory = Path(sort_and_compress(tmp_path / "memory" / "calls.vcf", **index))
    spilled = Path(sort_and_compress(spill_dir / "calls.vcf", max_memory=TINY, temp_dir=scratch, threads=threads,
                                     **index))
    assert spilled.read_bytes() == in_memory.read_bytes()
    written = {"calls.vcf.gz"}
    for suffix in (".tbi", ".csi"):
        if Path(f"{in_memory}{suffix}").exists():
            assert Path(f"{spilled}{suffix}").read_bytes() == Path(f"{in_memory}{suffix}").read_bytes()
            written.add(f"calls.vcf.gz{suffix}")
    assert set(p.name for p in spill_dir.iterdir()) == written and not list(scratch.iterdir())


BAD_POS = record("chr1", "12x", "bad")
NUL_RECORD = record("chr2", 40, "nul\0")


@pytest.mark.parametrize("case", ["bad POS late", "NUL early, bad POS late"])
def test_a_failed_spilled_sort_reports_the_in_memory_error_and_leaves_nothing(tmp_path, case):
    lines = shuffled_calls().splitlines(keepends=True)
    lines.insert(len(lines) - 20, BAD_POS)  # after many parts were spilled
    if case.startswith("NUL"):
        lines.insert(len(lines) - 350, NUL_RECORD)  # an index error waits for the reading's
    text = "".join(lines)
    errors = []
    for max_memory in (None, TINY):
        directory = tmp_path / str(max_memory)
        directory.mkdir()
        write_input(directory / "calls.vcf", text, False)
        with pytest.raises(ValueError) as raised:
            sort_and_compress(directory / "calls.vcf", index=True, max_memory=max_memory)
        errors.append(" ".join([str(raised.value), *getattr(raised.value, "__notes__", [])]).replace(str(directory), "DIR"))
        assert (directory / "calls.vcf").read_text() == text
        assert not leftovers(directory, {"calls.vcf"})
    assert errors[0] == errors[1] and "12x" in errors[0]


@pytest.mark.parametrize("max_memory", [0, -5, 1.5, "768M", True])
def test_max_memory_must_be_a_positive_int(tmp_path, max_memory):
    path = tmp_path / "calls.vcf"
    path.write_text(vcf([record("chr1", 5)]))
    with pytest.raises(ValueError, match="max_memory"):
        sort_and_compress(path, max_memory=max_memory)
    assert path.exists() and not leftovers(tmp_path, {"calls.vcf"})


def test_missing_temp_dir_is_named(tmp_path):
    path = tmp_path / "calls.vcf"
    path.write_text(shuffled_calls())
    with pytest.raises(FileNotFoundError) as raised:
        sort_and_compress(path, max_memory=TINY, temp_dir=tmp_path / "absent")
    assert raised.value.filename == str(tmp_path / "absent")
    assert path.exists() and not leftovers(tmp_path, {"calls.vcf"})


def odd_lines_calls(count: int, seed: int = 11, line_ends: str = "crlf") -> str:
    """Records out of order, with the lines a reader must drop, rewrite or keep
    aside scattered through them: blank and whitespace-only lines, CRLF line ends
    (with line_ends "crlf"), POS with a sign, leading zeros or underscores, meta
    lines after records and repeated column headers. With line_ends "late", only
    one record late in the text ends in CRLF, and holds a letter beyond ASCII."""
    rng = random.Random(seed)
    lines = []
    for i in range(count):
        pos = rng.randint(1, 2_000_000)
        written = rng.choice([str(pos)] * 20 + [f"+{pos}", f"00{pos}", f"{pos:_}"])
        info = f"SVTYPE=DEL;END={pos + rng.randint(50, 90_000)};SUPPORT={rng.randint(3, 60)};AF={rng.random():.4f}"
        line = record(rng.choice(["chr1", "chr2", f"chrUn_{i % 7}"]), written, f"call{i}", info=info,
                      rest=f"GT:CN\t0/1:{i % 5}")
        if line_ends == "crlf" and i % 97 == 0:
            line = line.replace("\n", "\r\n")
        if line_ends == "late" and i == count * 3 // 4:
            line = line.replace("SVTYPE=DEL", "SVTYPE=DEL;NOTE=Mérida").replace("\n", "\r\n")
        lines.append(line)
        if i % 1000 == 500:
            lines.append(rng.choice(["\n", " \t \n", COLUMNS, f'##INFO=<ID=K{i},Number=0,Type=Flag,Description="k">\n']))
    return vcf(lines)


@pytest.mark.parametrize(("compressed", "bound", "line_ends"), [
    (False, None, "lf"), (False, None, "crlf"), (False, 2**34, "late"), (True, None, "crlf"), (True, 2**34, "lf"),
], ids=["plain-lf", "plain-crlf", "plain-within-bound-late", "gzip-crlf", "gzip-within-bound-lf"])
def test_a_text_read_whole_in_parts_sorts_as_read_line_by_line(tmp_path, compressed, bound, line_ends):
    # Over 8 MiB: read whole and collected in parts on several threads (a plain
    # file within a bound too; plain ASCII text with "\n" line ends is read on
    # several threads as well, other text decoded as a stream); spilled, it is
    # read line by line.
    text = odd_lines_calls(120_000, line_ends=line_ends)
    assert len(text) > 9 * 2**20
    for name in ("whole", "by_line"):
        (tmp_path / name).mkdir()
        write_input(tmp_path / name / "calls.vcf", text, compressed)
    whole = Path(sort_and_compress(tmp_path / "whole" / "calls.vcf", max_memory=bound, index=True))
    by_line = Path(sort_and_compress(tmp_path / "by_line" / "calls.vcf", max_memory=2**20, index=True))
    assert whole.read_bytes() == by_line.read_bytes()
    assert Path(f"{whole}.tbi").read_bytes() == Path(f"{by_line}.tbi").read_bytes()


@pytest.mark.parametrize("bound", [None, 2**20], ids=["whole", "spilled"])
def test_positions_past_32_bits_sort_among_the_others(tmp_path, bound):
    # Positions are held in 32 bits until one does not fit; over 8 MiB, the
    # whole text is collected in parts, only some of which hold such positions.
    rng = random.Random(3)
    outside = [-2, 0, 2**32 - 1, 2**32, 2**32 + 1, 2**40, 2**62]
    positions = [rng.choice(outside) if i % 20_000 == 7 else rng.randint(1, 2**32 - 2) for i in range(150_000)]
    text = vcf([record("chr1", str(pos), f"call{i}", info=f"SVTYPE=DEL;SUPPORT={i % 60}")
                for i, pos in enumerate(positions)])
    assert len(text) > 9 * 2**20
    write_input(tmp_path / "calls.vcf", text, compressed=False)
    with gzip.open(sort_and_compress(tmp_path / "calls.vcf", max_memory=bound), "rt") as sorted_file:
        ids = [line.split("\t")[2] for line in sorted_file if not line.startswith("#")]
    assert ids == [f"call{i}" for i in sorted(range(len(positions)), key=positions.__getitem__)]
