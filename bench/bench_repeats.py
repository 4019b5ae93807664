"""Time the built-in repeat catalog filter against `bedtools intersect` on large inputs.

Generates (once, cached in --work-dir) a BGZF repeat VCF of --records records over
all GRCh38 chromosomes, shaped like tandem-repeat genotyper output (a record per
catalog locus, REF the reference repeat with its padding base, END in INFO equal
to POS - 1 + len(REF), allele sequences or "." as ALT, per-sample FORMAT values),
and a catalog BED of --intervals intervals. Then runs, side by side, the built-in
engine and `bedtools intersect -a VCF -b BED -header -u` against the catalog shipped
with Callfold.repeats and against the large catalog, checks that both wrote the same
bytes, and prints both times, their ratio and the output's sha256.

    python bench/bench_repeats.py [--records 1000000] [--intervals 1000000] [--repeat 3]
"""

from __future__ import annotations

import argparse
import gzip
import hashlib
import os
import random
import shutil
import struct
import subprocess
import sys
import time
import zlib
from pathlib import Path

import Callfold.repeats as repeats

sys.path.insert(0, str(Path(__file__).parent))  # run with -P, which leaves this folder off the path
from timing import best_of  # noqa: E402

# GRCh38 primary assembly chromosome lengths.
CHROMOSOMES = {
    "chr1": 248956422, "chr2": 242193529, "chr3": 198295559, "chr4": 190214555,
    "chr5": 181538259, "chr6": 170805979, "chr7": 159345973, "chr8": 145138636,
    "chr9": 138394717, "chr10": 133797422, "chr11": 135086622, "chr12": 133275309,
    "chr13": 114364328, "chr14": 107043718, "chr15": 101991189, "chr16": 90338345,
    "chr17": 83257441, "chr18": 80373285, "chr19": 58617616, "chr20": 64444167,
    "chr21": 46709983, "chr22": 50818468, "chrX": 156040895, "chrY": 57227415,
}
MOTIFS = ["A", "AC", "AG", "AT", "CAG", "CGG", "GAA", "AAAT", "AAAG", "ATTCT", "GGCCCC", "AAGGG", "CCTG"]
BASES = "ACGT"
HEADER = (
    "##fileformat=VCFv4.2\n"
    '##INFO=<ID=TRID,Number=1,Type=String,Description="Tandem repeat ID">\n'
    '##INFO=<ID=END,Number=1,Type=Integer,Description="End position of the variant">\n'
    '##INFO=<ID=MOTIFS,Number=.,Type=String,Description="Motifs that the tandem repeat is composed of">\n'
    '##INFO=<ID=STRUC,Number=1,Type=String,Description="Structure of the region">\n'
    '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n'
    '##FORMAT=<ID=AL,Number=.,Type=Integer,Description="Length of each allele">\n'
    '##FORMAT=<ID=ALLR,Number=.,Type=String,Description="Length range per allele">\n'
    '##FORMAT=<ID=SD,Number=.,Type=Integer,Description="Number of spanning reads supporting per allele">\n'
    '##FORMAT=<ID=MC,Number=.,Type=String,Description="Motif counts per allele">\n'
    '##FORMAT=<ID=AP,Number=.,Type=Float,Description="Allele purity per allele">\n'
    '##FORMAT=<ID=AM,Number=.,Type=Float,Description="Mean methylation level per allele">\n'
    + "".join(f"##contig=<ID={name},length={length}>\n" for name, length in CHROMOSOMES.items())
    + "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tSAMPLE\n"
)
BGZF_EOF = bytes.fromhex("1f8b08040000000000ff0600424302001b0003000000000000000000")


def bgzf_write(path: Path, chunks) -> None:
    """BGZF-compress the text chunks into path (bgzip when installed, else zlib here)."""
    bgzip = shutil.which("bgzip")
    if bgzip:
        with open(path, "wb") as out:
            process = subprocess.Popen([bgzip, "-c", "-@", "2"], stdin=subprocess.PIPE, stdout=out)
            for chunk in chunks:
                process.stdin.write(chunk.encode())
            process.stdin.close()
            if process.wait() != 0:
                raise RuntimeError("bgzip failed")
        return
    with open(path, "wb") as out:
        pending = b""
        for chunk in chunks:
            pending += chunk.encode()
            while len(pending) >= 65280:
                out.write(_bgzf_block(pending[:65280]))
                pending = pending[65280:]
        if pending:
            out.write(_bgzf_block(pending))
        out.write(BGZF_EOF)


def _bgzf_block(data: bytes) -> bytes:
    compressor = zlib.compressobj(6, zlib.DEFLATED, -15)
    deflated = compressor.compress(data) + compressor.flush()
    header = struct.pack("<BBBBIBBHBBHH", 31, 139, 8, 4, 0, 0, 255, 6, 66, 67, 2, len(deflated) + 25)
    return header + deflated + struct.pack("<II", zlib.crc32(data), len(data))


def shipped_loci() -> list[tuple[str, int, int]]:
    loci = []
    with open(repeats.default_repeat_catalog_path(), encoding="utf-8") as catalog:
        for line in catalog:
            chrom, start, end = line.split("\t")[:3]
            loci.append((chrom, int(start), int(end)))
    return loci


def repeat_loci(count: int, rng: random.Random) -> list[tuple[str, int, str]]:
    """(chromosome, 0-based start, motif) per locus, sorted, spread by chromosome length."""
    total = sum(CHROMOSOMES.values())
    loci = [(chrom, start, "CAG") for chrom, start, _ in shipped_loci()]
    for chrom, length in CHROMOSOMES.items():
        share = round(count * length / total)
        for start in rng.sample(range(10_000, length - 10_000), share):
            loci.append((chrom, start, rng.choice(MOTIFS)))
    order = {name: index for index, name in enumerate(CHROMOSOMES)}
    loci.sort(key=lambda locus: (order[locus[0]], locus[1]))
    return loci[:count] if len(loci) > count else loci


def vcf_chunks(loci, rng: random.Random):
    yield HEADER
    lines = []
    for index, (chrom, start, motif) in enumerate(loci):
        copies = rng.randint(4, 40)
        repeat = motif * copies
        pad = rng.choice(BASES)
        ref = pad + repeat
        pos = start  # the padding base sits just before the repeat
        end = pos - 1 + len(ref)
        kind = rng.random()
        if kind < 0.35:
            alt, gt = ".", "0/0"
            al = f"{len(repeat)},{len(repeat)}"
            mc = f"{copies},{copies}"
        elif kind < 0.8:
            a = motif * max(1, copies + rng.randint(-3, 3))
            alt, gt = pad + a, "0/1"
            al = f"{len(repeat)},{len(a)}"
            mc = f"{copies},{len(a) // len(motif)}"
        else:
            a = motif * max(1, copies + rng.randint(-5, -1))
            b = motif * (copies + rng.randint(1, 8))
            alt, gt = f"{pad + a},{pad + b}", "1/2"
            al = f"{len(a)},{len(b)}"
            mc = f"{len(a) // len(motif)},{len(b) // len(motif)}"
        trid = f"{chrom}_{start}_{start + len(repeat)}"
        info = f"TRID={trid};END={end};MOTIFS={motif};STRUC=({motif})n"
        sample = (
            f"{gt}:{al}:{al.replace(',', '-' + str(rng.randint(1, 9)) + ',')}:{rng.randint(3, 30)},{rng.randint(3, 30)}"
            f":{mc}:{rng.random():.6f},{rng.random():.6f}:{rng.random():.2f},{rng.random():.2f}"
        )
        lines.append(f"{chrom}\t{pos}\t{trid}\t{ref}\t{alt}\t.\tPASS\t{info}\tGT:AL:ALLR:SD:MC:AP:AM\t{sample}\n")
        if len(lines) == 20_000:
            yield "".join(lines)
            lines = []
    yield "".join(lines)


def large_catalog(path: Path, loci, count: int, rng: random.Random) -> None:
    """Most intervals are genotyped loci (so most records are kept), the rest lie anywhere;
    lines come unsorted, as a user's catalog may."""
    rows = []
    from_loci = min(len(loci), int(count * 0.7))
    for chrom, start, motif in rng.sample(loci, from_loci):
        rows.append(f"{chrom}\t{start}\t{start + len(motif) * rng.randint(4, 40)}\tID=L{len(rows)};MOTIFS={motif}\n")
    names = list(CHROMOSOMES)
    while len(rows) < count:
        chrom = rng.choice(names)
        start = rng.randrange(0, CHROMOSOMES[chrom] - 1000)
        rows.append(f"{chrom}\t{start}\t{start + rng.randint(10, 300)}\tID=R{len(rows)};MOTIFS=A\n")
    rng.shuffle(rows)
    with open(path, "w", encoding="utf-8", newline="") as out:
        out.write("track name=large_catalog\n#chrom\tstart\tend\tinfo\n")
        out.write("".join(rows))


def sha256(path: Path) -> str:
    digest = hashlib.sha256()
    with open(path, "rb") as handle:
        while block := handle.read(1 << 20):
            digest.update(block)
    return digest.hexdigest()


def linear_scan_estimate(vcf: Path, bed: Path, sample: int, records: int, rng: random.Random) -> float:
    """Seconds the reference scan (no bisection) would need for every record: the
    overlap test alone, measured on a sample of records and scaled to all of them."""
    intervals = repeats._read_bed_intervals(str(bed))
    spans = []
    with repeats._open_vcf_text(str(vcf)) as stream:
        for line in stream:
            if not line.startswith("#") and rng.random() < sample / records:
                spans.append(repeats._record_span(line))
    started = time.perf_counter()
    for chrom, start, end in spans:
        repeats._overlaps(intervals.get(chrom, []), start, end)
    return (time.perf_counter() - started) * records / max(len(spans), 1)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--records", type=int, default=1_000_000)
    parser.add_argument("--intervals", type=int, default=1_000_000)
    parser.add_argument("--repeat", type=int, default=3, help="runs per engine; the best time counts")
    parser.add_argument("--seed", type=int, default=20240605)
    parser.add_argument("--scan-sample", type=int, default=2000,
                        help="records timed with the reference linear scan (_overlaps), to extrapolate its cost")
    parser.add_argument("--work-dir", type=Path, default=Path(os.environ.get("TMPDIR", "/tmp")) / "callfold-bench-repeats")
    args = parser.parse_args()

    bedtools = shutil.which("bedtools")
    if bedtools is None:
        print("bedtools is not on PATH; nothing to compare against", file=sys.stderr)
        return 2

    work = args.work_dir
    work.mkdir(parents=True, exist_ok=True)
    vcf = work / f"repeats_{args.records}_{args.seed}.vcf.gz"
    big_bed = work / f"catalog_{args.intervals}_{args.records}_{args.seed}.bed"
    rng = random.Random(args.seed)
    if not vcf.exists() or not big_bed.exists():
        started = time.perf_counter()
        loci = repeat_loci(args.records, rng)
        bgzf_write(vcf, vcf_chunks(loci, rng))
        large_catalog(big_bed, loci, args.intervals, rng)
        print(f"generated inputs in {time.perf_counter() - started:.1f} s")
    with gzip.open(vcf, "rb") as handle:
        text_size = sum(len(block) for block in iter(lambda: handle.read(1 << 20), b""))
    print(f"repeat VCF: {vcf} ({vcf.stat().st_size / 1e6:.1f} MB BGZF, {text_size / 1e6:.1f} MB text, {args.records} records)")
    print(f"bedtools: {subprocess.run([bedtools, '--version'], capture_output=True, text=True).stdout.strip()}")

    catalogs = [("shipped catalog", Path(repeats.default_repeat_catalog_path())), (f"{args.intervals}-interval catalog", big_bed)]
    failed = False
    for label, bed in catalogs:
        builtin_out = work / "builtin.vcf"
        bedtools_out = work / "bedtools.vcf"

        def run_builtin() -> None:
            repeats._intersect_in_python(str(vcf), str(bed), str(builtin_out))

        def run_bedtools() -> None:
            with open(bedtools_out, "wb") as out:
                subprocess.run([bedtools, "intersect", "-a", str(vcf), "-b", str(bed), "-header", "-u"], stdout=out, check=True)

        # Alternating, so that both meet the same load on a shared machine.
        builtin_time = bedtools_time = float("inf")
        for _ in range(args.repeat):
            builtin_time = min(builtin_time, best_of(run_builtin, 1))
            bedtools_time = min(bedtools_time, best_of(run_bedtools, 1))
        builtin_sha, bedtools_sha = sha256(builtin_out), sha256(bedtools_out)
        identical = builtin_sha == bedtools_sha
        failed |= not identical
        kept = sum(1 for line in open(builtin_out, encoding="utf-8") if not line.startswith("#"))
        print(f"\n{label}: {bed.name}")
        print(f"  records kept      {kept}")
        print(f"  built-in engine   {builtin_time:8.3f} s")
        print(f"  bedtools          {bedtools_time:8.3f} s")
        print(f"  ratio             {bedtools_time / builtin_time:8.2f}x (bedtools time / built-in time)")
        print(f"  outputs identical {identical}")
        print(f"  output sha256     {builtin_sha}" + ("" if identical else f" (bedtools: {bedtools_sha})"))
        if args.scan_sample > 0:
            scan = linear_scan_estimate(vcf, bed, args.scan_sample, args.records, rng)
            print(f"  linear scan       {scan:8.3f} s (overlap tests alone by _overlaps, the reference scan over Python ints: {args.scan_sample} sampled records, scaled up)")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
