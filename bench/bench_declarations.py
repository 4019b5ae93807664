"""Time the sort step's scan for undeclared IDs alone, each way it can run.

Builds bench/declarations (the C++ core as the package builds it, plus a driver)
with CMake into build/bench-declarations, generates bench_compression.py's input
(3,000,000 records by default), reads it once and times missing_declarations on it
each way in turn, round robin, checking that every way declares the same lines.

    python bench/bench_declarations.py [--records 3000000] [--rounds 5] [--shuffle]
"""

from __future__ import annotations

import argparse
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)

from bench_compression import add_input_options, write_input  # noqa: E402


def build() -> str:
    build_dir = os.path.join(ROOT, "build", "bench-declarations")
    subprocess.run(["cmake", "-S", os.path.join(HERE, "declarations"), "-B", build_dir, "-DCMAKE_BUILD_TYPE=Release"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "-j2"], check=True, stdout=subprocess.DEVNULL)
    return os.path.join(build_dir, "bench_declarations")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    add_input_options(parser)
    parser.add_argument("--rounds", type=int, default=5, help="runs of each way; best and median are shown")
    parser.add_argument("--dir", default=None, help="where to write the input (default: a temporary directory)")
    args = parser.parse_args()
    program = build()
    with tempfile.TemporaryDirectory(dir=args.dir) as work:
        source = os.path.join(work, "source.vcf")
        start = time.perf_counter()
        count = write_input(source, args.records, args.shuffle, args.seed)
        print(f"input: {count:,} records, {os.path.getsize(source) / 2**20:.1f} MiB, "
              f"generated in {time.perf_counter() - start:.1f} s")
        subprocess.run([program, source, str(args.rounds)], check=True)


if __name__ == "__main__":
    main()
