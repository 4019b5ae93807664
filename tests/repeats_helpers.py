"""Inputs for the Callfold.repeats tests: compressed files, VCF records, fake programs,
and seeded repeat VCFs shaped like tandem-repeat genotyper output."""

from __future__ import annotations

import random
from pathlib import Path

from input_files import bgzf, encode

HEADER = [
    "##fileformat=VCFv4.2\n",
    '##INFO=<ID=END,Number=1,Type=Integer,Description="End position">\n',
    "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tSAMPLE\n",
]


def write(path: Path, text: str | bytes, compression: str = "plain", block_size: int = 65280) -> str:
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(encode(text, compression, block_size))
    return str(path)


def record(chrom: str, pos: int, ref: str = "A", alt: str = ".", info: str = ".", ident: str = ".") -> str:
    return f"{chrom}\t{pos}\t{ident}\t{ref}\t{alt}\t.\tPASS\t{info}\tGT\t0/1\n"


def vcf(*records: str) -> str:
    return "".join(HEADER) + "".join(records)


def fake_program(directory: Path, name: str, script: str, mode: int = 0o755) -> Path:
    """A shell script standing in for a program on PATH."""
    directory.mkdir(parents=True, exist_ok=True)
    program = directory / name
    program.write_text("#!/bin/sh\n" + script)
    program.chmod(mode)
    return program


CHROMOSOMES = ["chr1", "chr2", "chr7", "chrX"]


def random_catalog(rng: random.Random, loci: int = 40) -> tuple[list[tuple[str, int, int]], str]:
    """Loci (some in clusters a few hundred bases apart, as the HOXA13 loci are) and the
    catalog text: lines shuffled, with comment, track and browser lines among them."""
    intervals = []
    while len(intervals) < loci:
        chrom = rng.choice(CHROMOSOMES[:3])  # chrX is named by records only
        start = rng.randrange(1_000, 200_000)
        for _ in range(rng.choice([1, 1, 1, 2, 3])):
            end = start + rng.randint(10, 120)
            intervals.append((chrom, start, end))
            start = end + rng.randint(0, 300)
    lines = [f"{c}\t{s}\t{e}\tID=L{i};MOTIFS=CAG;STRUC=(CAG)n\n" for i, (c, s, e) in enumerate(intervals)]
    rng.shuffle(lines)
    lines.insert(rng.randrange(len(lines)), "# loci of interest\n")
    lines.insert(0, "track name=disease_loci\n")
    lines.insert(1, "browser position chr1:1-1000\n")
    return intervals, "".join(lines)


def random_repeat_records(rng: random.Random, intervals: list[tuple[str, int, int]], count: int = 300) -> list[str]:
    """Records as repeat genotypers write them. Sequence-allele records carry
    END = POS - 1 + len(REF); symbolic-allele records carry END only. Positions cluster
    around catalog loci, some records reach across several nearby loci, some only touch
    a locus, some lie on chromosomes or stretches the catalog does not name."""
    records = []
    for index in range(count):
        chrom, start, end = rng.choice(intervals)
        motif = rng.choice(["CAG", "CGG", "GAA", "AAAT", "AT", "GCN"])
        length = rng.randint(300, 900) if rng.random() < 0.1 else rng.randint(1, 90)  # long: spans a cluster
        ref = rng.choice("ACGT") + (motif * (length // len(motif) + 1))[: length - 1]
        roll = rng.random()
        if roll < 0.15:
            chrom = rng.choice(CHROMOSOMES)
            pos = rng.randrange(1, 250_000)
        elif roll < 0.25:  # ends exactly where the locus starts, or starts exactly where it ends
            pos = rng.choice([start - len(ref) + 1, end + 1])
        else:
            pos = rng.randint(start - 150, end + 20)
        pos = max(pos, 1)
        ident = f"TR{index}"
        if rng.random() < 0.3:
            alt = rng.choice(["<STR12>", "<STR7>,<STR15>"])
            info = f"END={pos + rng.randint(0, 400)};REF={rng.randint(2, 40)};RL={length};RU={motif};REPID={ident}"
            ref = ref[0]
        else:
            alt = rng.choice([".", ref + motif, ref[: max(len(ref) - len(motif), 1)] + "," + ref + motif * 2])
            info = f"TRID={ident};END={pos - 1 + len(ref)};MOTIFS={motif};STRUC=({motif})n"
        sample = f"{rng.choice(['0/0', '0/1', '1/1', '1/2'])}:{len(ref)},{len(ref) + 3}:{rng.randint(1, 40)}"
        records.append(f"{chrom}\t{pos}\t{ident}\t{ref}\t{alt}\t.\tPASS\t{info}\tGT:AL:SD\t{sample}\n")
    records.sort(key=lambda line: (line.split("\t")[0], int(line.split("\t")[1])))
    return records
