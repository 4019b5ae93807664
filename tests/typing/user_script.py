"""A pipeline step as a typed caller writes it: the repeat calls restricted to the
shipped catalog, then every input unified into one sorted, BGZF-compressed VCF,
once with pathlib paths and once with str paths, and once stage by stage.

make check-types holds it to `mypy --strict`; the suite runs it:
    python user_script.py DATA_DIR OUTPUT_DIR
"""

import dataclasses
import logging
import sys
from pathlib import Path
from typing import assert_type

import Callfold
from Callfold import compression, repeats, unifier
from Callfold.unifier import RohFormat, UnifyOptions

DROPPED_SV_FILTERS = ("InvBreakpoint",)


def filtered_repeats(data: Path, out: Path) -> str:
    catalog = repeats.default_repeat_catalog_path()
    logging.info("bedtools on PATH: %s", repeats.bedtools_available())
    by_path = repeats.filter_repeats_vcf(data / "repeats.vcf", Path(catalog), repeats.BUILTIN, out / "repeats_kept.vcf")
    by_str = repeats.filter_repeats_vcf(
        full_repeat_path=str(data / "repeats.vcf"),
        repeat_bed_file_path=catalog,
        engine=repeats.BUILTIN,
        output_path=str(out / "repeats_kept_str.vcf"),
    )
    build, evidence = repeats.recognise_build(data / "repeats.vcf")
    assert_type(build, str | None)
    logging.info("build %s: %s", build, evidence)
    strict = repeats.filter_repeats_vcf(
        data / "repeats.vcf", repeats.catalog_path(build or repeats.CATALOG_BUILDS[0]),
        output_path=out / "repeats_strict.vcf", allow_build_mismatch=False,
    )
    assert_type(strict, str | None)
    assert_type(by_path, str | None)
    if by_path is None or by_str is None:
        raise SystemExit("the repeat VCF or the catalog is missing")
    return by_path


def whole_job(data: Path, out: Path, repeat_vcf: str) -> tuple[str, str]:
    by_path = Callfold.run(
        out / "unified.vcf",
        sv_path=data / "sv.vcf",
        cnv_path=data / "cnv.vcf",
        repeat_path=Path(repeat_vcf),
        roh_bed_path=data / "roh.bed",
        drop_sv_filters=list(DROPPED_SV_FILTERS),
    )
    by_str = unifier.run(
        str(out / "unified_str.vcf"),
        str(data / "sv.vcf"),
        str(data / "cnv.vcf"),
        repeat_vcf,
        str(data / "roh.bed"),
        False,
        DROPPED_SV_FILTERS,
    )
    assert_type(by_path, str | None)
    if by_path is None or by_str is None:
        raise SystemExit("no input could donate a header")
    return by_path, by_str


def stage_by_stage(data: Path, out: Path, repeat_vcf: str) -> str:
    """The stages a caller with a sorting step of its own calls, then the module's sort."""
    options = UnifyOptions(roh_format=RohFormat.BED, drop_sv_filters=DROPPED_SV_FILTERS)
    options = dataclasses.replace(options, add_repeat_svtype=None)
    paths: dict[str, str | Path | None] = {
        unifier.SV: data / "sv.vcf",
        unifier.CNV: str(data / "cnv.vcf"),
        unifier.REPEATS: repeat_vcf,
        unifier.ROH: data / "roh.bed",
    }
    lines = unifier.read_struct_lines(paths, options)
    for file_type in unifier.FILE_TYPES:
        found = lines[file_type]
        if found is None or unifier.is_empty(found):
            raise SystemExit(f"{file_type} input has no records")
    unified = unifier.unify_lines(lines, out / "stages.vcf", options)
    assert_type(unified, Path | None)
    if unified is None:
        raise SystemExit("no input could donate a header")
    # Sorted, compressed and indexed in one pass: unified + ".gz" and its ".tbi".
    return compression.sort_and_compress(unified, index=True)


def record_rules(data: Path) -> list[str]:
    """The per-record rules on their own, as a caller checking its inputs uses them."""
    sv_lines = unifier.get_lines(data / "sv.vcf")
    header = unifier.vcf_header_from_lines(sv_lines)
    kept_sv = unifier.drop_sv_records_by_filter(sv_lines, DROPPED_SV_FILTERS)
    cnv = [line for line in unifier.get_lines(str(data / "cnv.vcf")) if unifier.is_valid_line(line)]
    repeat_records = [line for line in unifier.get_lines(data / "repeats.vcf") if not line.startswith("#")]
    marked = unifier.modify_repeat_line(repeat_records[0])
    roh = unifier.roh_bed_line_to_vcf(unifier.get_lines(data / "roh.bed")[0])
    return [header, *kept_sv, *cnv, marked, roh]


def _refused() -> None:
    """Never called: each line is a mistake that the stubs must reject (under --strict an
    ignore that silences nothing is itself an error)."""
    options = UnifyOptions()
    options.roh_format = RohFormat.VCF  # type: ignore[misc]
    unifier.run(b"unified.vcf")  # type: ignore[arg-type]
    repeats.filter_repeats_vcf(full_repeat_path=7)  # type: ignore[arg-type]
    size: int = compression.sort_and_compress("unified.vcf")  # type: ignore[assignment]
    compression.sort_and_compress("unified.vcf", True)  # type: ignore[call-arg]
    unifier.unify_lines({unifier.SV: None}, "unified.vcf", options).upper()  # type: ignore[union-attr]
    del size


def main(data: Path, out: Path) -> None:
    logging.basicConfig(level=logging.INFO)
    repeat_vcf = filtered_repeats(data, out)
    for written in (*whole_job(data, out, repeat_vcf), stage_by_stage(data, out, repeat_vcf)):
        print(written)
    print(len(record_rules(data)), "lines checked")


if __name__ == "__main__":
    main(Path(sys.argv[1]), Path(sys.argv[2]))
