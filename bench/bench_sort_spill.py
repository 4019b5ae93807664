"""Sorting a VCF larger than its memory bound: sort_and_compress with max_memory
against the unbounded sort of the same file and against `bcftools sort -m`.

Generates a plain VCF of at least --gigabytes GB (records of bench_compression.py,
shuffled), then, best of --repeat, each side in turn (A B C A B C ...):

  bounded    sort_and_compress(path, max_memory=BUDGET) in a child process
  unbounded  sort_and_compress(path)
  bcftools   bcftools sort -m BUDGET -Oz (temporary files beside the output)

Every child runs under /usr/bin/time -v, which gives its peak RSS. The bounded
output is then checked byte for byte against the unbounded one.

    python bench/bench_sort_spill.py [--gigabytes 2] [--budget 256] [--repeat 2] [--dir DIR]
"""

from __future__ import annotations

import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))  # run with -P, which leaves this folder off the path
from bench_compression import HEADER, section  # noqa: E402

SORT = "import sys; from Callfold.compression import sort_and_compress as s; s(sys.argv[1], max_memory={budget})"


def generate(path: str, gigabytes: float) -> int:
    """Blocks of 1,000,000 records, each generated afresh and shuffled; the records written.

    Every record is its own: copies of one block, positions moved, had put each
    record's copies side by side once sorted, which DEFLATE compressed twice as
    fast as any real file, flattering every sort that compresses only once."""
    rng = random.Random(11)
    count = 0
    with open(path, "w") as out:
        out.write(HEADER)
        while out.tell() < gigabytes * 1e9:
            block = [line for kind in ("SV", "CNV", "REPEATS", "ROH") for line in section(rng, 250_000, kind)]
            rng.shuffle(block)
            out.writelines(block)
            count += len(block)
    return count


def timed(command: list[str]) -> tuple[float, int]:
    """Wall seconds and peak RSS (bytes) of a child run under /usr/bin/time -v."""
    with tempfile.NamedTemporaryFile("r") as report:
        start = time.perf_counter()
        done = subprocess.run(["/usr/bin/time", "-v", "-o", report.name, *command], capture_output=True, text=True)
        wall = time.perf_counter() - start
        if done.returncode != 0:
            sys.exit(f"{command[0]} failed: {done.stderr}")
        peak = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", report.read()).group(1)) * 1024
    return wall, peak


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--gigabytes", type=float, default=2.0)
    parser.add_argument("--budget", type=int, default=256, help="MiB")
    parser.add_argument("--repeat", type=int, default=2)
    parser.add_argument("--dir", default=None, help="where the files go (default: a temporary directory)")
    parser.add_argument("--input", default=None, help="a plain VCF to sort instead of a generated one")
    args = parser.parse_args()
    budget = args.budget << 20

    work = tempfile.mkdtemp(prefix="bench-sort-spill-", dir=args.dir)
    try:
        source = os.path.join(work, "source.vcf")
        if args.input:
            os.link(args.input, source)
            print(f"input: {os.path.getsize(source) / 1e9:.2f} GB ({args.input}); budget {args.budget} MiB")
        else:
            started = time.perf_counter()
            records = generate(source, args.gigabytes)
            print(f"input: {os.path.getsize(source) / 1e9:.2f} GB, {records:,} records "
                  f"(generated in {time.perf_counter() - started:.0f} s); budget {args.budget} MiB")

        def callfold(name: str, limit: int | None) -> list[str]:
            path = os.path.join(work, name)
            for leftover in (path, path + ".gz"):
                if os.path.exists(leftover):
                    os.remove(leftover)
            os.link(source, path)  # sort_and_compress removes its input: a link of its own
            return [sys.executable, "-P", "-c", SORT.format(budget=limit), path]

        bcftools_tmp = os.path.join(work, "bcftools-tmp")
        sides = {
            "bounded": lambda: callfold("bounded.vcf", budget),
            "unbounded": lambda: callfold("unbounded.vcf", None),
            "bcftools": lambda: ["bcftools", "sort", "-m", f"{args.budget}M", "-T", bcftools_tmp, "-Oz",
                                 "-o", os.path.join(work, "bcftools.vcf.gz"), source],
        }
        best: dict[str, float] = {}
        peaks: dict[str, int] = {}
        for round_ in range(args.repeat):
            for name, command in sides.items():
                wall, peak = timed(command())
                print(f"  round {round_ + 1} {name:9s} {wall:7.1f} s  peak RSS {peak / 2**20:7.0f} MiB", flush=True)
                best[name] = min(wall, best.get(name, wall))
                peaks[name] = max(peak, peaks.get(name, 0))
        with open(os.path.join(work, "bounded.vcf.gz"), "rb") as a, open(os.path.join(work, "unbounded.vcf.gz"), "rb") as b:
            identical = all(x == y for x, y in iter(lambda: (a.read(1 << 24), b.read(1 << 24)), (b"", b"")))
        print(f"bounded output identical to unbounded: {identical}")
        reference = best["bounded"]
        for name, wall in best.items():
            peak = peaks[name]
            print(f"{name:9s} best {wall:7.1f} s ({wall / reference:.2f}x bounded)  "
                  f"largest peak RSS {peak / 2**20:.0f} MiB ({(peak - budget) / 2**20:+.0f} MiB vs budget)")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
