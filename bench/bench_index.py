"""Time run with the index written in the sort step against run followed by `tabix -p vcf`.

Generates the inputs of bench_unifier.py (a BGZF SV VCF and a BGZF CNV VCF, N records
in all), then, in one run and alternating, --repeat times each:
  - indexed:  Callfold.unifier.run with its sort step calling sort_and_compress(path, index=True);
  - peer:     Callfold.unifier.run as it is (no index), then `tabix -p vcf` of its result;
and, on one unified file (copied afresh before each call, the copy not timed):
  - sort_and_compress(path) against sort_and_compress(path, index=True): the index's own cost.
Prints the best time of each with ratios, and checks that the index written is the
one current htslib (pysam.tabix_index) writes for the same file (same bins, chunks
and linear index).

  python -P bench/bench_index.py [--records 2000000] [--repeat 3]
"""

from __future__ import annotations

import argparse
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

import pysam

import Callfold.unifier as unifier
from Callfold.compression import sort_and_compress

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(1, str(HERE.parent / "tests"))
from bench_unifier import write_inputs  # noqa: E402  (the same inputs as the unification benchmark)
from index_files import read_index  # noqa: E402
from timing import best_of  # noqa: E402


# One timing each: the two ways alternate, and the best of each is taken at the end.
def run_indexed(sv: str, cnv: str, out: Path) -> float:
    index_in_sort = lambda path: sort_and_compress(path, index=True)  # noqa: E731
    return best_of(lambda: unifier._run_with(index_in_sort, str(out), sv_path=sv, cnv_path=cnv), 1)


def run_then_tabix(sv: str, cnv: str, out: Path, tabix: str) -> tuple[float, float]:
    run_time = best_of(lambda: unifier.run(str(out), sv_path=sv, cnv_path=cnv), 1)
    tabix_time = best_of(lambda: subprocess.run([tabix, "-p", "vcf", f"{out}.gz"], check=True), 1)
    return run_time, tabix_time


def clear(out: Path) -> None:
    for suffix in ("", ".gz", ".gz.tbi", ".gz.csi"):
        Path(f"{out}{suffix}").unlink(missing_ok=True)


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--records", type=int, default=2_000_000)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    tabix = shutil.which("tabix")
    if tabix is None:
        sys.exit("tabix is not installed")

    with tempfile.TemporaryDirectory() as tmp:
        directory = Path(tmp)
        sv, cnv = write_inputs(directory, args.records, unshared_names=False)
        out = directory / "unified.vcf"
        indexed, runs, tabixes, peers = [], [], [], []
        for _ in range(args.repeat):
            clear(out)
            indexed.append(run_indexed(sv, cnv, out))
            ours = read_index(f"{out}.gz.tbi")
            clear(out)
            run_time, tabix_time = run_then_tabix(sv, cnv, out, tabix)
            runs.append(run_time)
            tabixes.append(tabix_time)
            peers.append(run_time + tabix_time)
        # The index current htslib builds for the same file (this machine's tabix is older).
        pysam.tabix_index(f"{out}.gz", preset="vcf", force=True)
        same = ours == read_index(f"{out}.gz.tbi")

        # The sort step alone on one unified file, with and without the index.
        clear(out)
        unifier._run_with(lambda path: path, str(out), sv_path=sv, cnv_path=cnv)
        source = directory / "unified.source.vcf"
        out.rename(source)
        plain, with_index = [], []
        for _ in range(args.repeat):
            for options, times in (({}, plain), ({"index": True}, with_index)):
                clear(out)
                shutil.copyfile(source, out)
                times.append(best_of(lambda: sort_and_compress(out, **options), 1))
        index_size = Path(f"{out}.gz.tbi").stat().st_size
        gz_size = Path(f"{out}.gz").stat().st_size

    best = min
    print(f"{args.records:,} records; .gz {gz_size / 2**20:.1f} MiB, .tbi {index_size / 2**10:.0f} KiB; "
          f"best of {args.repeat}")
    print(f"run, index in the sort step:        {best(indexed):.2f} s")
    print(f"run, then tabix -p vcf:             {best(peers):.2f} s "
          f"(run {best(runs):.2f} s + tabix {best(tabixes):.2f} s); ratio {best(peers) / best(indexed):.2f}x")
    print(f"sort_and_compress without index:    {best(plain):.2f} s")
    print(f"sort_and_compress with index:       {best(with_index):.2f} s "
          f"(+{best(with_index) - best(plain):.3f} s, {100 * (best(with_index) / best(plain) - 1):.1f}%)")
    print(f"index identical to current htslib's (pysam.tabix_index): {same}")


if __name__ == "__main__":
    main()
