"""The whole job against the floor for any tool doing it: Callfold.run (read, unify,
sort, BGZF-compress, fsync) beside decompressing the same inputs (one file per call:
`bgzip -dc` for a BGZF input, `cat` for a plain one) to a file and compressing that
file again with `bgzip -@2` (no sorting, no checking), in one run. A pipeline that
streams the decompressed text straight into bgzip is also shown: it overlaps the two
steps, which a sort cannot (it needs every record first).

Inputs, by default: a run's four outputs as mixed_inputs.py writes them (100,000 SV,
10,000 CNV, 300,000 repeat records and 2,000 ROH intervals at --scale 1, records in
random order, SV and repeats BGZF, CNV and ROH plain). With --sv-cnv: a BGZF SV VCF
and a BGZF CNV VCF of --records short records in all, as bench_unifier.py writes them.
Each side runs --repeat times, in turn; the best wall time is shown with the ratio.
--memory also runs Callfold.run alone in a child process and shows its peak RSS
against the decompressed input.

  python -P bench/bench_run.py [--scale 1] [--sv-cnv [--records 2000000]] [--repeat 3] [--index] [--memory]
"""

import argparse
import os
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))  # run with -P, which leaves this folder off the path
from bench_unifier import write_inputs  # noqa: E402
from mixed_inputs import write_mixed_inputs  # noqa: E402
from timing import best_of  # noqa: E402

import Callfold  # noqa: E402
from Callfold import compression, unifier  # noqa: E402


def decompress_command(path: Path) -> str:
    # bgzip -d takes one file per call: given two, it decompresses only the first.
    return f"bgzip -dc {path}" if path.suffix == ".gz" else f"cat {path}"


def peak_rss_of_run(inputs: dict[str, Path], output: Path) -> int:
    """Peak RSS in bytes of a child process doing Callfold.run on the inputs."""
    # Through /usr/bin/time: a child's own rusage would count the pages it
    # shared with this process between fork and exec.
    script = ("import sys, os, Callfold\n"
              "kw = dict(a.split('=', 1) for a in sys.argv[2:])\n"
              "os.remove(Callfold.run(sys.argv[1], **kw))\n")
    done = subprocess.run(["/usr/bin/time", "-f", "%M", sys.executable, "-c", script, str(output)]
                          + [f"{k}={v}" for k, v in inputs.items()], check=True, capture_output=True, text=True)
    return int(done.stderr.strip().splitlines()[-1]) * 1024


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--scale", type=float, default=1.0, help="of the four-input run (1: about 105 MB of text)")
    parser.add_argument("--sv-cnv", action="store_true", help="two BGZF inputs of short records instead")
    parser.add_argument("--records", type=int, default=2_000_000, help="with --sv-cnv")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--index", action="store_true", help="Callfold also writes the tabix index in the same pass")
    parser.add_argument("--memory", action="store_true", help="also measure the peak RSS of Callfold.run")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        directory = Path(tmp)
        if args.sv_cnv:
            sv, cnv = write_inputs(directory, args.records, False)
            inputs = {"sv_path": Path(sv), "cnv_path": Path(cnv)}
            shape = f"{args.records:,} SV and CNV records"
        else:
            inputs = write_mixed_inputs(directory, args.scale)
            shape = f"SV, CNV, repeat and ROH inputs at scale {args.scale:g}"
        size = sum(os.path.getsize(p) for p in inputs.values())
        output = directory / "unified.vcf"
        plain = directory / "plain.vcf"
        decompress = " && ".join(decompress_command(p) for p in inputs.values())
        subprocess.run(f"{{ {decompress}; }} > {plain}", shell=True, check=True)
        text_size = os.path.getsize(plain)
        arguments = {key: str(path) for key, path in inputs.items()}

        def ours() -> None:
            if args.index:
                result = unifier._run_with(lambda path: compression.sort_and_compress(path, index=True), str(output),
                                           **arguments)
            else:
                result = Callfold.run(str(output), **arguments)
            os.remove(result)

        def floor() -> None:
            commands = [decompress_command(p) + (" > " if i == 0 else " >> ") + str(plain)
                        for i, p in enumerate(inputs.values())]
            subprocess.run(" && ".join(commands) + f" && bgzip -@2 -c {plain} > {directory / 'floor.vcf.gz'}",
                           shell=True, check=True)

        def streamed() -> None:
            subprocess.run(f"{{ {decompress}; }} | bgzip -@2 -c > {directory / 'streamed.vcf.gz'}",
                           shell=True, check=True)

        # Alternating, so that each side meets the same load on a shared machine.
        t_ours = t_floor = t_streamed = float("inf")
        for _ in range(args.repeat):
            t_ours = min(t_ours, best_of(ours, 1))
            t_floor = min(t_floor, best_of(floor, 1))
            t_streamed = min(t_streamed, best_of(streamed, 1))
        print(f"{shape}: {size / 2**20:.1f} MiB as given, {text_size / 2**20:.1f} MiB of text; best of {args.repeat}")
        print(f"Callfold.run{' + index in the same pass' if args.index else ''}: {t_ours:6.2f} s")
        print(f"decompress, then bgzip -@2:      {t_floor:6.2f} s   Callfold / this: {t_ours / t_floor:5.2f}")
        print(f"decompress | bgzip -@2:          {t_streamed:6.2f} s   Callfold / this: {t_ours / t_streamed:5.2f}")
        if args.memory:
            peak = min(peak_rss_of_run(inputs, output) for _ in range(2))
            print(f"Callfold.run peak RSS: {peak / 2**20:.1f} MiB, {peak / text_size:.2f}x the decompressed input")


if __name__ == "__main__":
    main()
