"""The shipped example sets end to end, compared byte for byte with the outputs kept in
tests/data/expected/: any change of output shows here as a diff."""

from __future__ import annotations

import difflib
import gzip
import shutil
from pathlib import Path

import pytest

from Callfold import repeats, unifier

DATA = Path(__file__).parent / "data"
EXPECTED = DATA / "expected"
COHORT_EXAMPLE = Path(__file__).parent.parent / "workflows" / "cohort" / "example" / "NA12878"

# name: (folder, inputs by run parameter, whether the repeat calls are filtered first, FILTER tokens dropped)
EXAMPLE_SETS = {
    "demo": (DATA, {"sv_path": "sv.vcf", "cnv_path": "cnv.vcf", "repeat_path": "repeats.vcf",
                    "roh_bed_path": "roh.bed"}, True, ("InvBreakpoint",)),
    "demo_roh_vcf": (DATA, {"sv_path": "sv.vcf", "cnv_path": "cnv.vcf", "repeat_path": "repeats.vcf",
                            "roh_bed_path": "roh.vcf"}, True, ("InvBreakpoint",)),
    "trio": (DATA, {"sv_path": "sv_trio.vcf", "repeat_path": "repeats_trio.vcf"}, False, ()),
    "tumor_normal": (DATA, {"sv_path": "sv_tumor_normal.vcf", "cnv_path": "cnv_tumor_normal.vcf"}, False, ()),
    "cohort_NA12878": (COHORT_EXAMPLE, {"sv_path": "NA12878.sv.vcf", "cnv_path": "NA12878.cnv.vcf",
                                        "repeat_path": "NA12878.repeats.vcf", "roh_bed_path": "NA12878.roh.bed"},
                       True, ("InvBreakpoint",)),
}
FILTERED_REPEATS = {"demo": DATA / "repeats.vcf", "cohort_NA12878": COHORT_EXAMPLE / "NA12878.repeats.vcf"}


def require_same(actual: bytes, expected_path: Path, actual_path: Path) -> None:
    expected = expected_path.read_bytes()
    if actual == expected:
        return
    actual_path.write_bytes(actual)
    diff = difflib.unified_diff(expected.decode().splitlines(keepends=True), actual.decode().splitlines(keepends=True),
                                fromfile=str(expected_path), tofile=str(actual_path))
    pytest.fail(f"the output differs from {expected_path.name} (the new output is kept at {actual_path}):\n"
                + "".join(diff), pytrace=False)


def filtered(repeat_vcf: Path, folder: Path, engine: str | None = None) -> Path:
    output = folder / (repeat_vcf.stem + "_filtered.vcf")
    assert repeats.filter_repeats_vcf(str(repeat_vcf), repeats.default_repeat_catalog_path(), engine,
                                      str(output)) == str(output)
    return output


@pytest.mark.parametrize("name", EXAMPLE_SETS)
def test_unified_output_is_the_kept_one(tmp_path, name):
    folder, inputs, filter_repeats, drop = EXAMPLE_SETS[name]
    paths = {}
    for parameter, file_name in inputs.items():
        paths[parameter] = tmp_path / file_name
        shutil.copyfile(folder / file_name, paths[parameter])
    if filter_repeats:
        paths["repeat_path"] = filtered(paths["repeat_path"], tmp_path)
    result = unifier.run(str(tmp_path / "unified.vcf"), **{key: str(path) for key, path in paths.items()},
                         drop_sv_filters=drop)
    assert result == str(tmp_path / "unified.vcf.gz")
    require_same(gzip.decompress(Path(result).read_bytes()), EXPECTED / f"{name}.unified.vcf",
                 tmp_path / f"{name}.unified.vcf")


@pytest.mark.parametrize("engine", [repeats.BUILTIN, repeats.BEDTOOLS])
@pytest.mark.parametrize("name", FILTERED_REPEATS)
def test_filtered_repeats_are_the_kept_ones(tmp_path, require_tool, name, engine):
    if engine == repeats.BEDTOOLS:
        require_tool("bedtools")
    output = filtered(FILTERED_REPEATS[name], tmp_path, engine)
    require_same(output.read_bytes(), EXPECTED / f"{name}.repeats_filtered.vcf", tmp_path / f"{name}.actual.vcf")
