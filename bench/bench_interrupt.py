"""How soon Ctrl-C stops a long run: SIGINT to a child running Callfold.run on a
large plain SV VCF (default 512 MiB, generated), at several moments into the job
(reading, unifying, sorting, compressing), and the time from the signal to the
child's end with KeyboardInterrupt. Also checks that the input is intact and that
neither a .gz nor a temporary file was left.

  python -P bench/bench_interrupt.py [--mib 512] [--delays 0.5,1,2,3,4]
"""

import argparse
import filecmp
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))  # run with -P, which leaves this folder off the path
from bench_get_lines_memory import write_vcf  # noqa: E402


def interrupted_run(source: Path, work: Path, delay: float) -> tuple[float, str, list[str]]:
    for leftover in work.iterdir():
        leftover.unlink()
    sv = work / "sv.vcf"
    shutil.copyfile(source, sv)
    code = f"import Callfold\nprint('ready', flush=True)\nCallfold.run({str(work / 'unified.vcf')!r}, sv_path={str(sv)!r})"
    child = subprocess.Popen([sys.executable, "-P", "-c", code], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    child.stdout.readline()
    time.sleep(delay)
    sent = time.monotonic()
    child.send_signal(signal.SIGINT)
    _, err = child.communicate(timeout=600)
    took = time.monotonic() - sent
    last = err.strip().splitlines()[-1] if err.strip() else f"exit {child.returncode}"
    intact = filecmp.cmp(source, sv, shallow=False)
    return took, last if intact else last + " (input changed!)", sorted(p.name for p in work.iterdir())


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--mib", type=int, default=512)
    parser.add_argument("--delays", default="0.5,1,1.5,2,2.5,3,4")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        source = Path(tmp) / "source.vcf"
        write_vcf(source, args.mib, False)
        work = Path(tmp) / "work"
        work.mkdir()
        start = time.perf_counter()
        subprocess.run([sys.executable, "-P", "-c", f"import Callfold; Callfold.run({str(work / 'u.vcf')!r}, "
                        f"sv_path={str(source)!r})"], check=True, capture_output=True)
        print(f"uninterrupted run: {time.perf_counter() - start:.2f} s on {args.mib} MiB")
        for delay in (float(d) for d in args.delays.split(",")):
            took, last, left = interrupted_run(source, work, delay)
            print(f"SIGINT at {delay:4.1f} s: ended {took:.3f} s later with {last}; files left: {', '.join(left)}")


if __name__ == "__main__":
    main()
