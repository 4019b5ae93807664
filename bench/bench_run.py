"""The whole job against the floor for any tool doing it: Callfold.run (read, unify,
sort, BGZF-compress, fsync) beside decompressing the same inputs (one file per bgzip call) to a file and
compressing that file again with `bgzip -@2` (no sorting, no checking), in one run.
A pipeline that streams the decompressed text straight into bgzip is also shown:
it overlaps the two steps, which a sort cannot (it needs every record first).

Inputs: a BGZF SV VCF and a BGZF CNV VCF of --records records in all, as
bench_unifier.py writes them. Each side runs --repeat times, in turn; the best wall time
is shown with the ratio.

  python -P bench/bench_run.py [--records 2000000] [--repeat 3] [--index]
"""

import argparse
import os
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))  # run with -P, which leaves this folder off the path
from bench_unifier import write_inputs  # noqa: E402
from timing import best_of  # noqa: E402

import Callfold  # noqa: E402
from Callfold import compression, unifier  # noqa: E402


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--records", type=int, default=2_000_000)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--index", action="store_true", help="Callfold also writes the tabix index in the same pass")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        directory = Path(tmp)
        sv, cnv = write_inputs(directory, args.records, False)
        size = sum(os.path.getsize(p) for p in (sv, cnv))
        output = directory / "unified.vcf"

        def ours() -> None:
            if args.index:
                result = unifier._run_with(lambda path: compression.sort_and_compress(path, index=True), str(output),
                                           sv_path=sv, cnv_path=cnv)
            else:
                result = Callfold.run(str(output), sv_path=sv, cnv_path=cnv)
            os.remove(result)

        plain = directory / "plain.vcf"

        def floor() -> None:
            # bgzip -d takes one file per call: given two, it decompresses only the first.
            subprocess.run(f"bgzip -dc {sv} > {plain} && bgzip -dc {cnv} >> {plain} && "
                           f"bgzip -@2 -c {plain} > {directory / 'floor.vcf.gz'}", shell=True, check=True)

        def streamed() -> None:
            subprocess.run(f"{{ bgzip -dc {sv} && bgzip -dc {cnv}; }} | bgzip -@2 -c > {directory / 'streamed.vcf.gz'}",
                           shell=True, check=True)

        # Alternating, so that each side meets the same load on a shared machine.
        t_ours = t_floor = t_streamed = float("inf")
        for _ in range(args.repeat):
            t_ours = min(t_ours, best_of(ours, 1))
            t_floor = min(t_floor, best_of(floor, 1))
            t_streamed = min(t_streamed, best_of(streamed, 1))
        print(f"{args.records:,} records, {size / 2**20:.1f} MiB compressed input; best of {args.repeat}")
        print(f"Callfold.run{' + index in the same pass' if args.index else ''}: {t_ours:6.2f} s")
        print(f"decompress, then bgzip -@2:      {t_floor:6.2f} s   Callfold / this: {t_ours / t_floor:5.2f}")
        print(f"decompress | bgzip -@2:          {t_streamed:6.2f} s   Callfold / this: {t_ours / t_streamed:5.2f}")


if __name__ == "__main__":
    main()
