"""A genome analysis run's outputs as the unifier meets them: an SV VCF, a CNV VCF and a
tandem-repeat VCF with one sample each, and a BED of runs of homozygosity; each input's
records in random order; the SV and repeat VCFs BGZF-compressed, the CNV VCF and the BED plain.

At scale 1: 100,000 SV records (a long-read caller's INFO keys, short insertions with their sequence),
10,000 CNV records, 300,000 repeat records (with their allele sequences, as repeat
genotypers write them, no SVTYPE) and 2,000 ROH intervals: about 136 MB (130 MiB) of text.
"""

from __future__ import annotations

import random
import subprocess
from pathlib import Path

CONTIGS = [(f"chr{i}", 248_956_422 - (i - 1) * 9_000_000) for i in range(1, 23)] + [
    ("chrX", 156_040_895), ("chrY", 57_227_415)]
BASES = "ACGT"


def _header(sample: str, declarations: str) -> str:
    return ("##fileformat=VCFv4.2\n" + "".join(f"##contig=<ID={c},length={n}>\n" for c, n in CONTIGS)
            + declarations + f"#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\t{sample}\n")


SV_HEADER = _header("HG002", (
    '##FILTER=<ID=PASS,Description="All filters passed">\n'
    '##FILTER=<ID=GT,Description="Genotype filter">\n'
    '##INFO=<ID=PRECISE,Number=0,Type=Flag,Description="Precise structural variant">\n'
    '##INFO=<ID=SVTYPE,Number=1,Type=String,Description="Type of structural variation">\n'
    '##INFO=<ID=SVLEN,Number=1,Type=Integer,Description="Length of structural variation">\n'
    '##INFO=<ID=END,Number=1,Type=Integer,Description="End position">\n'
    '##INFO=<ID=SUPPORT,Number=1,Type=Integer,Description="Supporting reads">\n'
    '##INFO=<ID=COVERAGE,Number=.,Type=Float,Description="Coverage around the call">\n'
    '##INFO=<ID=STRAND,Number=1,Type=String,Description="Strands of supporting reads">\n'
    '##INFO=<ID=AF,Number=1,Type=Float,Description="Allele frequency">\n'
    '##INFO=<ID=STDEV_LEN,Number=1,Type=Float,Description="Standard deviation of length">\n'
    '##INFO=<ID=STDEV_POS,Number=1,Type=Float,Description="Standard deviation of position">\n'
    '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n'
    '##FORMAT=<ID=GQ,Number=1,Type=Integer,Description="Genotype quality">\n'
    '##FORMAT=<ID=DR,Number=1,Type=Integer,Description="Reference reads">\n'
    '##FORMAT=<ID=DV,Number=1,Type=Integer,Description="Variant reads">\n'))
CNV_HEADER = _header("HG002", (
    '##INFO=<ID=SVTYPE,Number=1,Type=String,Description="Type of structural variation">\n'
    '##INFO=<ID=END,Number=1,Type=Integer,Description="End position">\n'
    '##INFO=<ID=SVLEN,Number=1,Type=Integer,Description="Length of the CNV">\n'
    '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n'
    '##FORMAT=<ID=CN,Number=1,Type=Integer,Description="Copy number">\n'))
REPEAT_HEADER = _header("HG002", (
    '##INFO=<ID=TRID,Number=1,Type=String,Description="Tandem repeat ID">\n'
    '##INFO=<ID=END,Number=1,Type=Integer,Description="End position">\n'
    '##INFO=<ID=MOTIFS,Number=.,Type=String,Description="Motifs">\n'
    '##INFO=<ID=STRUC,Number=1,Type=String,Description="Structure">\n'
    '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n'
    '##FORMAT=<ID=AL,Number=.,Type=Integer,Description="Allele lengths">\n'
    '##FORMAT=<ID=ALLR,Number=.,Type=String,Description="Allele length ranges">\n'
    '##FORMAT=<ID=SD,Number=.,Type=Integer,Description="Spanning reads">\n'
    '##FORMAT=<ID=MC,Number=.,Type=String,Description="Motif counts">\n'
    '##FORMAT=<ID=MS,Number=.,Type=String,Description="Motif spans">\n'
    '##FORMAT=<ID=AP,Number=.,Type=Float,Description="Allele purity">\n'
    '##FORMAT=<ID=AM,Number=.,Type=Float,Description="Mean methylation">\n'))


def _sequence(rng: random.Random, length: int) -> str:
    return "".join(rng.choices(BASES, k=length))


def _place(rng: random.Random) -> tuple[str, int]:
    name, length = rng.choice(CONTIGS)
    return name, rng.randrange(10_000, length - 200_000)


def sv_lines(rng: random.Random, count: int) -> list[str]:
    lines = []
    for n in range(count):
        chrom, pos = _place(rng)
        kind = rng.choice(["DEL", "INS", "INS", "DUP", "INV"])
        size = rng.randrange(50, 5_000)
        ref, alt = _sequence(rng, 1), f"<{kind}>"
        if kind == "INS" and size < 300:
            alt = ref + _sequence(rng, size)
        svlen = -size if kind == "DEL" else size
        info = (f"PRECISE;SVTYPE={kind};SVLEN={svlen};END={pos + (0 if kind == 'INS' else size)};"
                f"SUPPORT={rng.randrange(3, 40)};COVERAGE={rng.randrange(10, 40)},{rng.randrange(10, 40)},"
                f"{rng.randrange(10, 40)},{rng.randrange(10, 40)},{rng.randrange(10, 40)};STRAND=+-;"
                f"AF={rng.random():.3f};STDEV_LEN={rng.random() * 10:.3f};STDEV_POS={rng.random() * 10:.3f}")
        lines.append(f"{chrom}\t{pos}\tsv.{kind}.{n:X}\t{ref}\t{alt}\t{rng.randrange(1, 61)}\t"
                     f"{rng.choice(['PASS', 'PASS', 'PASS', 'GT'])}\t{info}\tGT:GQ:DR:DV\t"
                     f"{rng.choice(['0/1', '1/1'])}:{rng.randrange(1, 61)}:{rng.randrange(0, 30)}:{rng.randrange(3, 30)}\n")
    return lines


def cnv_lines(rng: random.Random, count: int) -> list[str]:
    lines = []
    for n in range(count):
        chrom, pos = _place(rng)
        kind = rng.choice(["DEL", "DUP"])
        size = rng.randrange(10_000, 2_000_000)
        lines.append(f"{chrom}\t{pos}\tCNV_{n}\tN\t<{kind}>\t{rng.randrange(1, 100)}\tPASS\t"
                     f"SVTYPE={kind};END={pos + size};SVLEN={size}\tGT:CN\t"
                     f"{rng.choice(['0/1', '1/1', './.'])}:{rng.choice([0, 1, 3, 4])}\n")
    return lines


def repeat_lines(rng: random.Random, count: int) -> list[str]:
    lines = []
    for n in range(count):
        chrom, pos = _place(rng)
        motif = _sequence(rng, rng.randrange(2, 7))
        copies = rng.randrange(6, 30)
        ref = motif * copies
        alleles = [motif * max(1, copies + rng.randrange(-4, 5)) for _ in range(2)]
        alt = ",".join(a for a in dict.fromkeys(alleles) if a != ref) or "."
        lengths = ",".join(str(len(a)) for a in alleles)
        lines.append(f"{chrom}\t{pos}\t.\t{ref}\t{alt}\t.\t.\t"
                     f"TRID={chrom}_{pos}_{pos + len(ref)};END={pos + len(ref) - 1};MOTIFS={motif};STRUC=({motif})n\t"
                     f"GT:AL:ALLR:SD:MC:MS:AP:AM\t{rng.choice(['0/0', '0/1', '1/1'])}:{lengths}:"
                     f"{lengths.replace(',', '-')},{lengths.replace(',', '-')}:{rng.randrange(5, 30)},{rng.randrange(5, 30)}:"
                     f"{copies},{copies}:0({0}-{len(ref)}),0(0-{len(ref)}):1.000000,0.980000:0.12,0.34\n")
    return lines


def roh_lines(rng: random.Random, count: int) -> list[str]:
    lines = []
    for _ in range(count):
        chrom, start = _place(rng)
        lines.append(f"{chrom}\t{start}\t{start + rng.randrange(100_000, 5_000_000)}\t{rng.random():.2f}\n")
    return lines


def _bgzip(plain: Path) -> Path:
    subprocess.run(["bgzip", "-f", "-@2", str(plain)], check=True)
    return plain.with_name(plain.name + ".gz")


def write_mixed_inputs(directory: Path, scale: float = 1.0, seed: int = 19) -> dict[str, Path]:
    """The four inputs in `directory`; keys are run's path arguments."""
    rng = random.Random(seed)
    shapes = (("sv_path", "sv.vcf", SV_HEADER, sv_lines, 100_000, True),
              ("cnv_path", "cnv.vcf", CNV_HEADER, cnv_lines, 10_000, False),
              ("repeat_path", "repeats.vcf", REPEAT_HEADER, repeat_lines, 300_000, True),
              ("roh_bed_path", "roh.bed", "", roh_lines, 2_000, False))
    paths = {}
    for key, name, header, make_lines, count, compressed in shapes:
        path = directory / name
        with path.open("w", encoding="utf-8", newline="") as out:
            out.write(header)
            out.writelines(make_lines(rng, max(1, int(count * scale))))
        paths[key] = _bgzip(path) if compressed else path
    return paths
