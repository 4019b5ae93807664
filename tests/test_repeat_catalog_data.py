"""The disease-locus catalogs shipped in src/Callfold/data: the files exactly as their
source published them, their licence beside them, and the installed package
carrying all of it."""

import hashlib
import importlib.metadata
import os
import re
from pathlib import Path

import pytest

from Callfold import repeats

DATA = Path(__file__).resolve().parents[1] / "src" / "Callfold" / "data"
CATALOGS = [
    "STRchive-disease-loci.hg38.TRGT.bed",
    "STRchive-disease-loci.hg19.TRGT.bed",
    "STRchive-disease-loci.T2T-chm13.TRGT.bed",
]
LICENCE = "STRchive-LICENSE"
CHROMOSOMES = {f"chr{n}" for n in range(1, 23)} | {"chrX"}


def recorded():
    """file name -> (loci, sha256) from the table in data/README.md."""
    table = re.findall(r"^\| `([^`]+)` \|[^|\n]*\| (\d+) \| `([0-9a-f]{64})` \|$", (DATA / "README.md").read_text(), re.M)
    return {name: (int(loci), digest) for name, loci, digest in table}


def test_readme_records_exactly_the_shipped_catalogs():
    assert sorted(recorded()) == sorted(CATALOGS) == sorted(path.name for path in DATA.glob("*.bed"))
    assert repeats._BUNDLED_CATALOG == CATALOGS[0]


@pytest.mark.parametrize("name", CATALOGS)
def test_catalog_is_the_published_file(name):
    loci, digest = recorded()[name]
    data = (DATA / name).read_bytes()
    assert hashlib.sha256(data).hexdigest() == digest
    assert data.count(b"\n") == loci


@pytest.mark.parametrize("name", CATALOGS)
def test_reader_loads_every_locus(name):
    # A line the reader skipped would be a locus silently left out of every filtered VCF.
    intervals = repeats._read_bed_intervals(str(DATA / name))
    assert sum(len(chromosome) for chromosome in intervals.values()) == recorded()[name][0]
    assert set(intervals) == CHROMOSOMES


def test_the_builds_hold_the_same_loci_on_the_same_chromosomes():
    def loci(name):
        rows = [line.split("\t") for line in (DATA / name).read_text().splitlines()]
        return sorted((row[3].split(";")[0], row[0]) for row in rows)

    assert loci(CATALOGS[0]) == loci(CATALOGS[1]) == loci(CATALOGS[2])


def test_licence_notice_is_shipped_and_named():
    licence = (DATA / LICENCE).read_text()
    readme = (DATA / "README.md").read_text()
    assert licence.startswith("MIT License\n")
    copyright_line = next(line for line in licence.splitlines() if line.startswith("Copyright (c)"))
    assert copyright_line in readme and f"`{LICENCE}`" in readme


def test_installed_package_carries_the_catalogs_and_licence():
    distribution = importlib.metadata.distribution("callfold")
    data_dir = Path(os.path.dirname(repeats.default_repeat_catalog_path())).resolve()
    installed = {
        Path(distribution.locate_file(f)).resolve()
        for f in distribution.files
        if Path(distribution.locate_file(f)).resolve().parent == data_dir
    }
    expected = [*CATALOGS, LICENCE, "README.md"]
    assert sorted(path.name for path in installed) == sorted(expected)
    for path in installed:
        assert path.read_bytes() == (DATA / path.name).read_bytes(), path.name
