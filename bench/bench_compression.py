"""Time Callfold.compression.sort_and_compress against a shell pipeline doing the same job.

Generates an unsorted unified VCF of a few million records (by default: an SV,
a CNV, a repeat and an ROH section one after another, each in its own order, as
the unifier writes them, with contigs not in header order), then times in one run:

  callfold   sort_and_compress(path)
  bcftools   `bcftools sort -Oz` (the field's own VCF sorter, BGZF output)
  peer       header + `sort -t TAB -k1,1 -k2,2n -s` of the records, piped to `bgzip -@N`
  bgzip      `bgzip -@N` of the unsorted file alone (compression only, no sorting)

and prints each time with its ratio to callfold. The callfold output is then
checked: tabix indexes it and it holds every record.

    python bench/bench_compression.py [--records 3000000] [--threads 2] [--repeat 3] [--shuffle]
"""

from __future__ import annotations

import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

from Callfold.compression import sort_and_compress

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))  # run with -P, which leaves this folder off the path
from timing import best_of  # noqa: E402

CONTIGS = [(f"chr{i}", 250_000_000 - i * 8_000_000) for i in range(1, 23)] + [("chrX", 156_000_000), ("chrY", 57_000_000)]

HEADER = (
    "##fileformat=VCFv4.2\n"
    + "".join(f"##contig=<ID={name},length={length}>\n" for name, length in CONTIGS)
    + '##INFO=<ID=SVTYPE,Number=1,Type=String,Description="Type of structural variant">\n'
    + '##INFO=<ID=END,Number=1,Type=Integer,Description="End position">\n'
    + '##INFO=<ID=SVLEN,Number=.,Type=Integer,Description="SV length">\n'
    + '##INFO=<ID=CIPOS,Number=2,Type=Integer,Description="Confidence interval around POS">\n'
    + '##INFO=<ID=CN,Number=1,Type=Integer,Description="Copy number">\n'
    + '##INFO=<ID=TRID,Number=1,Type=String,Description="Tandem repeat ID">\n'
    + '##INFO=<ID=MOTIFS,Number=1,Type=String,Description="Repeat motifs">\n'
    + '##INFO=<ID=STRUC,Number=1,Type=String,Description="Repeat structure">\n'
    + '##INFO=<ID=ROH_SCORE,Number=1,Type=Float,Description="ROH score">\n'
    + '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n'
    + '##FORMAT=<ID=GQ,Number=1,Type=Integer,Description="Genotype quality">\n'
    + "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tSAMPLE\n"
)


def section(rng: random.Random, count: int, kind: str) -> list[str]:
    lines = []
    genotypes = ["0/1", "1/1", "0/0", "./."]
    for n in range(count):
        name, length = rng.choice(CONTIGS)
        pos = rng.randrange(1, length)
        size = rng.randrange(50, 20_000)
        if kind == "SV":
            svtype = rng.choice(["DEL", "DUP", "INV", "INS"])
            info = f"SVTYPE={svtype};END={pos + size};SVLEN={-size if svtype == 'DEL' else size};CIPOS=-{n % 40},{n % 40}"
            alt = f"<{svtype}>"
        elif kind == "CNV":
            svtype = rng.choice(["DEL", "DUP"])
            info = f"SVTYPE={svtype};END={pos + size * 10};CN={rng.randrange(0, 6)}"
            alt = f"<{svtype}>"
        elif kind == "REPEATS":
            info = f"TRID=TR{n};END={pos + 40};MOTIFS=CAG;STRUC=(CAG)n;SVTYPE=STR"
            alt = "<STR>"
        else:
            info = f"END={pos + size * 50};SVTYPE=ROH;ROH_SCORE={rng.random():.2f}"
            alt = "<ROH>"
        lines.append(
            f"{name}\t{pos}\t{kind}_{n}\tN\t{alt}\t{rng.randrange(1, 999)}\tPASS\t{info}\tGT:GQ\t{rng.choice(genotypes)}:{rng.randrange(1, 99)}\n"
        )
    # Each input arrives sorted its own way: by position alone, not by contig.
    lines.sort(key=lambda line: int(line.split("\t", 2)[1]))
    return lines


def write_input(path: str, records: int, shuffle: bool, seed: int) -> int:
    rng = random.Random(seed)
    shares = {"SV": 0.4, "CNV": 0.2, "REPEATS": 0.3, "ROH": 0.1}
    lines: list[str] = []
    for kind, share in shares.items():
        lines.extend(section(rng, int(records * share), kind))
    if shuffle:
        rng.shuffle(lines)
    with open(path, "w", encoding="utf-8", newline="") as out:
        out.write(HEADER)
        out.writelines(lines)
    return len(lines)


def peer_pipeline(path: str, out_path: str, threads: int) -> None:
    script = (
        "set -eo pipefail; "
        f"{{ grep '^#' {path!s}; grep -v '^#' {path!s} | LC_ALL=C sort -t \"$(printf '\\t')\" -k1,1 -k2,2n -s "
        f"--parallel={threads} -S 25%; }} | bgzip -@{threads} -c > {out_path!s}"
    )
    subprocess.run(["bash", "-c", script], check=True)


def add_input_options(parser: argparse.ArgumentParser) -> None:
    """The options of write_input's input, for every benchmark that times it."""
    parser.add_argument("--records", type=int, default=3_000_000)
    parser.add_argument("--shuffle", action="store_true", help="records in random order instead of sorted sections")
    parser.add_argument("--seed", type=int, default=1)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    add_input_options(parser)
    parser.add_argument("--threads", type=int, default=2, help="threads for the peer's sort and bgzip")
    parser.add_argument("--repeat", type=int, default=3, help="runs of each step; the best time is shown")
    parser.add_argument("--dir", default=None, help="where to write the files (default: a temporary directory)")
    args = parser.parse_args()
    for tool in ("bgzip", "tabix", "sort", "grep", "bcftools"):
        if shutil.which(tool) is None:
            raise SystemExit(f"{tool} is not installed")

    with tempfile.TemporaryDirectory(dir=args.dir) as work:
        source = os.path.join(work, "source.vcf")
        start = time.perf_counter()
        count = write_input(source, args.records, args.shuffle, args.seed)
        size = os.path.getsize(source)
        print(f"input: {count:,} records, {size / 2**20:.1f} MiB, generated in {time.perf_counter() - start:.1f} s")

        # sort_and_compress removes its input: each run gets a fresh copy (not timed).
        ours = os.path.join(work, "ours.vcf")
        result: list[str] = []
        t_ours = best_of(lambda: result.append(sort_and_compress(ours)), args.repeat, lambda: shutil.copyfile(source, ours))
        bcftools_gz = os.path.join(work, "bcftools.vcf.gz")
        t_bcftools = best_of(lambda: subprocess.run(["bcftools", "sort", "-Oz", "-T", work, "-o", bcftools_gz, source],
                                                  check=True, capture_output=True), args.repeat)
        peer_gz = os.path.join(work, "peer.vcf.gz")
        t_peer = best_of(lambda: peer_pipeline(source, peer_gz, args.threads), args.repeat)
        plain_gz = os.path.join(work, "plain.gz")

        def bgzip_alone() -> None:
            with open(plain_gz, "wb") as out:
                subprocess.run(["bgzip", f"-@{args.threads}", "-c", source], check=True, stdout=out)

        t_bgzip = best_of(bgzip_alone, args.repeat)

        gz = result[-1]
        subprocess.run(["tabix", "-p", "vcf", gz], check=True)
        contigs = subprocess.run(["tabix", "-l", gz], check=True, capture_output=True, text=True).stdout.split()
        written = subprocess.run(f"bgzip -dc {gz} | grep -vc '^#'", shell=True, check=True, capture_output=True, text=True)
        if int(written.stdout) != count:
            raise SystemExit(f"output holds {written.stdout.strip()} records, expected {count}")
        print(f"check: tabix indexed the output; {len(contigs)} contigs, {count:,} records")

        rows = [
            ("callfold sort_and_compress", t_ours, os.path.getsize(gz)),
            ("bcftools sort -Oz", t_bcftools, os.path.getsize(bcftools_gz)),
            (f"peer: sort -k1,1 -k2,2n | bgzip -@{args.threads}", t_peer, os.path.getsize(peer_gz)),
            (f"bgzip -@{args.threads} alone (no sort)", t_bgzip, os.path.getsize(plain_gz)),
        ]
        print(f"best of {args.repeat} runs each")
        print(f"{'step':<42} {'seconds':>8} {'x callfold':>10} {'MiB out':>8} {'MB/s in':>8}")
        for name, seconds, out_size in rows:
            print(f"{name:<42} {seconds:8.2f} {seconds / t_ours:10.2f} {out_size / 2**20:8.1f} {size / 1e6 / seconds:8.1f}")


if __name__ == "__main__":
    main()
