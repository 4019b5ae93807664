"""Peak memory of get_lines beside the host's own readlines(), on one large VCF.

Each reader runs in a child process of its own and reports its peak resident set
size (ru_maxrss); the VCF (default 512 MiB of SV records, plain text) is generated
once unless --input names one. Also prints each child's wall time.

  python -P bench/bench_get_lines_memory.py [--mib 512] [--input PATH] [--gzip]
"""

import argparse
import gzip
import random
import subprocess
import sys
import tempfile
import time
from pathlib import Path

READERS = {
    "readlines()": "lines = open(path, encoding='utf-8').readlines()",
    "readlines() of gzip": "import gzip; lines = gzip.open(path, 'rt', encoding='utf-8').readlines()",
    "get_lines": "import Callfold.unifier as u; lines = u.get_lines(path)",
}


def write_vcf(path: Path, mib: int, compress: bool) -> None:
    rng = random.Random(1)
    contigs = [f"chr{i}" for i in range(1, 23)] + ["chrX"]
    opener = gzip.open if compress else open
    with opener(path, "wt") as out:
        out.write("##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tS1\n")
        size, index, chunk = 0, 0, []
        while size < mib << 20:
            pos = rng.randrange(1, 200_000_000)
            line = f"{rng.choice(contigs)}\t{pos}\tsv{index}\tN\t<DEL>\t60\tPASS\tSVTYPE=DEL;END={pos + 500}\tGT\t0/1\n"
            chunk.append(line)
            size += len(line)
            index += 1
            if len(chunk) == 100_000:
                out.write("".join(chunk))
                chunk = []
        out.write("".join(chunk))


def measure(code: str, path: str) -> tuple[float, float]:
    script = (f"import resource, time\npath = {path!r}\nstart = time.perf_counter()\n{code}\n"
              "print(time.perf_counter() - start, resource.getrusage(resource.RUSAGE_SELF).ru_maxrss)")
    done = subprocess.run([sys.executable, "-P", "-c", script], capture_output=True, text=True, check=True)
    seconds, kib = done.stdout.split()
    return float(seconds), int(kib) / 1024


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--mib", type=int, default=512)
    parser.add_argument("--input")
    parser.add_argument("--gzip", action="store_true", help="generate the input gzip-compressed")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        path = args.input or str(Path(tmp) / ("big.vcf.gz" if args.gzip else "big.vcf"))
        if not args.input:
            write_vcf(Path(path), args.mib, args.gzip)
        compressed = path.endswith(".gz")
        names = ["readlines() of gzip" if compressed else "readlines()", "get_lines"]
        results = {name: measure(READERS[name], path) for name in names}
        print(f"input: {Path(path).stat().st_size / 2**20:.0f} MiB on disk{' (gzip)' if compressed else ''}")
        for name, (seconds, peak) in results.items():
            print(f"{name:22} peak {peak:7.0f} MiB   {seconds:6.2f} s")
        (_, host), (_, ours) = results.values()
        print(f"peak get_lines / readlines: {ours / host:.2f}")


if __name__ == "__main__":
    main()
