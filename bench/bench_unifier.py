"""Time the unification stage of run on whole-genome-sized inputs, beside a peer.

Generates a BGZF SV VCF and a BGZF CNV VCF (N records in all), then times, in one run:
  - the peer: decompressing both inputs with Python's gzip and writing the text out again
    (the floor for any reader that must see every byte);
  - Callfold's read_struct_lines + unify_lines through run, with the sort step replaced.
Prints both times and their ratio. With --unshared-names the CNV input names its
chromosomes without "chr", so the check for chromosome names shared with the SV input
reads every record of both (its worst case) and warns.

  python -P bench/bench_unifier.py [--records 2000000] [--unshared-names]
"""

import argparse
import gzip
import random
import shutil
import tempfile
import time
from pathlib import Path

import pysam

import Callfold.unifier as unifier

CONTIGS = [f"chr{i}" for i in range(1, 23)] + ["chrX", "chrY"]


def write_inputs(directory: Path, records: int, unshared_names: bool) -> tuple[str, str]:
    rng = random.Random(7)
    paths = []
    for name, count, info in (("sv", records // 2, "SVTYPE=DEL;END={end};SVLEN=-{length}"),
                              ("cnv", records - records // 2, "SVTYPE=DUP;END={end}")):
        contigs = [c.removeprefix("chr") for c in CONTIGS] if unshared_names and name == "cnv" else CONTIGS
        header = "##fileformat=VCFv4.2\n" + "".join(f"##contig=<ID={c}>\n" for c in contigs)
        header += unifier._VCF_COLUMN_HEADER + "\tS1\n"
        plain = directory / f"{name}.vcf"
        with plain.open("w") as out:
            out.write(header)
            for i in range(count):
                pos = rng.randrange(1, 200_000_000)
                length = rng.randrange(50, 100_000)
                fields = [rng.choice(contigs), str(pos), f"{name}{i}", "N", "<DEL>", "60", "PASS",
                          info.format(end=pos + length, length=length), "GT:CN", "0/1:1"]
                out.write("\t".join(fields) + "\n")
        pysam.tabix_compress(str(plain), str(plain) + ".gz", force=True)
        plain.unlink()
        paths.append(str(plain) + ".gz")
    return paths[0], paths[1]


def peer(sv: str, cnv: str, out: Path) -> float:
    start = time.perf_counter()
    with out.open("w") as target:
        for path in (sv, cnv):
            with gzip.open(path, "rt") as source:
                shutil.copyfileobj(source, target, 1 << 20)
    return time.perf_counter() - start


def callfold(sv: str, cnv: str, out: Path) -> float:
    original = unifier.sort_and_compress
    unifier.sort_and_compress = lambda path: path
    try:
        start = time.perf_counter()
        unifier.run(str(out), sv_path=sv, cnv_path=cnv)
        return time.perf_counter() - start
    finally:
        unifier.sort_and_compress = original


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--records", type=int, default=2_000_000)
    parser.add_argument("--unshared-names", action="store_true")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        directory = Path(tmp)
        sv, cnv = write_inputs(directory, args.records, args.unshared_names)
        size = sum(Path(p).stat().st_size for p in (sv, cnv))
        peer_time = peer(sv, cnv, directory / "peer.vcf")
        ours = callfold(sv, cnv, directory / "unified.vcf")
        print(f"{args.records} records, {size / 1e6:.1f} MB compressed")
        print(f"peer (gzip decompress + write): {peer_time:.2f} s")
        print(f"Callfold unification:           {ours:.2f} s")
        print(f"ratio peer / Callfold:          {peer_time / ours:.2f}x")


if __name__ == "__main__":
    main()
