"""The cohort workflow in workflows/cohort, run by Snakemake on 2 cores on its shipped
two-sample example in a copy of the repository's layout, judged by its outputs."""

from __future__ import annotations

import os
import shutil
import subprocess
import sys
from pathlib import Path

import pysam
import pytest


REPOSITORY = Path(__file__).resolve().parent.parent
SAMPLES = ("HG002", "NA12878")
# A sample on contigs beyond TBI's range: its index is a .csi.
LONG_CONTIG_SAMPLE = "LARGE1"
# The example's repeat calls by sample: those at disease loci of the GRCh38 catalog, and those elsewhere.
REPEATS_AT_LOCI = {
    "HG002": {("chr1", 57367043), ("chr2", 190880872), ("chr3", 63912684), ("chrX", 147912050)},
    "NA12878": {("chr4", 3074877), ("chr6", 16327634), ("chr9", 27573485), ("chrX", 147912050)},
}
REPEATS_ELSEWHERE = {
    "HG002": {("chr2", 50000001)},
    "NA12878": {("chr7", 4047501), ("chr12", 6885101), ("chr17", 50201632)},
}
DROPPED_SV_IDS = {"HG002": {"sv.inv.bp1", "sv.ins.1"}, "NA12878": {"sv.INV.1.bp"}}


def cohort_copy(root: Path) -> Path:
    """The workflow with its example data, and nothing else of the repository."""
    shutil.copytree(REPOSITORY / "workflows" / "cohort", root / "workflows" / "cohort")
    return root / "workflows" / "cohort"


def snakemake(workflow: Path, *arguments: str) -> subprocess.CompletedProcess:
    # callfold is found where this interpreter's scripts are, as on a machine where it is installed.
    env = {**os.environ, "PATH": f"{Path(sys.executable).parent}{os.pathsep}{os.environ.get('PATH', '')}"}
    return subprocess.run([sys.executable, "-m", "snakemake", *arguments], cwd=workflow, env=env,
                          capture_output=True, text=True, timeout=600)


@pytest.fixture(scope="module")
def cohort(tmp_path_factory, require_module) -> Path:
    require_module("snakemake")
    workflow = cohort_copy(tmp_path_factory.mktemp("cohort"))
    done = snakemake(workflow, "--cores", "2", "--printshellcmds")
    assert done.returncode == 0, done.stderr
    (workflow / "snakemake-output.txt").write_text(done.stdout + done.stderr)
    return workflow / "results"


def records(path: Path) -> list[pysam.VariantRecord]:
    with pysam.VariantFile(str(path)) as vcf:
        return list(vcf)


@pytest.mark.parametrize("sample", SAMPLES)
def test_each_sample_is_unified_and_indexed(cohort, sample, require_tool):
    unified = cohort / sample / f"{sample}.unified.vcf.gz"
    assert (cohort / sample / f"{sample}.unified.vcf.gz.tbi").is_file()
    assert not (cohort / sample / f"{sample}.unified.vcf").exists()

    listed = subprocess.run([require_tool("tabix"), "-l", str(unified)], capture_output=True, text=True, check=True)
    everything = records(unified)
    assert listed.stdout.split() == list(dict.fromkeys(record.chrom for record in everything))
    with pysam.TabixFile(str(unified)) as tabix:
        fetched = sum(1 for chromosome in tabix.contigs for _ in tabix.fetch(chromosome))
    assert fetched == len(everything) > 0
    assert {record.id for record in everything}.isdisjoint(DROPPED_SV_IDS[sample])


@pytest.mark.parametrize("sample", SAMPLES)
def test_repeat_calls_outside_the_catalog_are_filtered_out(cohort, sample):
    unified = records(cohort / sample / f"{sample}.unified.vcf.gz")
    repeats = {(record.chrom, record.pos) for record in unified if record.info.get("SVTYPE") in ("REP", "STR")}
    assert repeats == REPEATS_AT_LOCI[sample]
    filtered = records(cohort / sample / f"{sample}.repeats_filtered.vcf")
    assert {(record.chrom, record.pos) for record in filtered} == REPEATS_AT_LOCI[sample]
    log = (cohort / "logs" / f"{sample}.filter_repeats.log").read_text()
    assert f"outside the catalog: {len(REPEATS_ELSEWHERE[sample])}" in log


def test_a_long_contig_sample_gets_the_csi_it_declares(cohort):
    folder = cohort / LONG_CONTIG_SAMPLE
    unified = folder / f"{LONG_CONTIG_SAMPLE}.unified.vcf.gz"
    assert sorted(path.name for path in folder.iterdir()) == [unified.name, f"{unified.name}.csi"]
    with pysam.VariantFile(str(unified), index_filename=f"{unified}.csi") as vcf:
        assert [record.id for record in vcf.fetch("chr1p", 600_000_000, 700_000_000)] == ["sv.del.2"]
    log = (cohort / "logs" / f"{LONG_CONTIG_SAMPLE}.unify.log").read_text()
    assert "WARNING: Can't unify file type" not in log  # cnv and repeats were not given


def test_the_jobs_are_given_their_threads(cohort):
    commands = (cohort.parent / "snakemake-output.txt").read_text()
    assert commands.count("unify --threads 2 ") == len(SAMPLES) + 1, commands
    assert commands.count("filter-repeats --threads 1 ") == len(SAMPLES)


def test_a_second_run_has_nothing_to_do(cohort):
    done = snakemake(cohort.parent, "--cores", "2", "--dry-run")
    assert done.returncode == 0, done.stderr
    assert "Nothing to be done" in done.stdout + done.stderr


HEADER = "sample\tsv\tcnv\trepeats\troh\n"


@pytest.mark.parametrize(
    "sheet, config, complaint",
    [
        pytest.param(HEADER + "S1\ta.vcf\t\t\t\nS1\tb.vcf\t\t\t\n", "", "line 3: sample S1 is listed twice", id="twice"),
        pytest.param("sample\tsv\tcnv\troh\nS1\ta.vcf\t\t\n", "", "lacks the column(s) repeats", id="no-column"),
        pytest.param(HEADER + "S1\t\t\t\troh.bed\n", "", "line 2: sample S1 has none of sv, cnv, repeats",
                     id="roh-only"),
        pytest.param(HEADER + "../S1\ta.vcf\t\t\t\n", "", "sample name '../S1'", id="path-as-name"),
        pytest.param(HEADER, "", "no samples", id="empty"),
        pytest.param(HEADER + "S1\ta.vcf\t\t\t\n", "catalog_build=hg18", "catalog_build is 'hg18'", id="build"),
    ],
)
def test_a_bad_sample_sheet_or_config_stops_before_any_job(tmp_path, sheet, config, complaint, require_module):
    require_module("snakemake")
    workflow = cohort_copy(tmp_path)
    (workflow / "sheet.tsv").write_text(sheet)
    done = snakemake(workflow, "--cores", "1", "--dry-run", "--config", "samples=sheet.tsv",
                     *([config] if config else []))
    assert done.returncode != 0
    assert complaint in done.stdout + done.stderr
    assert not (workflow / "results").exists()
