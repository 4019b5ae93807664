"""Unify the small example inputs shipped in tests/data and index the result."""

import logging
import shutil
import sys
from pathlib import Path

import pysam

import Callfold

EXAMPLE = Path(__file__).resolve().parent.parent / "tests" / "data"
OUTPUT = Path.cwd() / "demo-output"


def main() -> int:
    logging.basicConfig(level=logging.INFO, format="%(levelname)s %(message)s")
    OUTPUT.mkdir(exist_ok=True)
    for stale in OUTPUT.glob("unified.vcf*"):
        stale.unlink()
    inputs = {}
    for name in ("sv.vcf", "cnv.vcf", "repeats.vcf", "roh.bed"):
        inputs[name] = OUTPUT / name
        shutil.copyfile(EXAMPLE / name, inputs[name])

    compressed = Callfold.run(
        str(OUTPUT / "unified.vcf"),
        sv_path=str(inputs["sv.vcf"]),
        cnv_path=str(inputs["cnv.vcf"]),
        repeat_path=str(inputs["repeats.vcf"]),
        roh_bed_path=str(inputs["roh.bed"]),
        drop_sv_filters=("InvBreakpoint",),
    )
    if compressed is None:
        print("nothing to unify", file=sys.stderr)
        return 1
    pysam.tabix_index(compressed, preset="vcf", force=True)
    with pysam.VariantFile(compressed) as unified:
        records = sum(1 for _ in unified)
    print(f"Unified VCF: {compressed} ({records} records, tabix index {compressed}.tbi)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
