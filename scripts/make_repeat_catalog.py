#!/usr/bin/env python3
"""Build Callfold's catalog BED of disease-associated tandem-repeat loci.

The loci come from the GRCh38 variant catalog shipped by the MIT-licensed
``stranger`` package (``stranger/resources/variant_catalog_hg38.json``,
version 0.10.2 when the shipped BED was made).  Each catalog entry becomes one
BED line:

    chrom  start  end  ID=<locus>;MOTIFS=<m1>[,<m2>...];STRUC=(<m1>)n[(<m2>)n...]

Usage:
    python scripts/make_repeat_catalog.py [SOURCE] [-o OUT]

SOURCE is the catalog JSON file, or a downloaded ``stranger`` wheel, or left
out to use the copy inside an installed ``stranger``.  Without ``-o`` the BED
goes to stdout.  The output depends only on the input bytes.

Coordinates.  A catalog ``ReferenceRegion`` reads ``chrom:start-end`` with a
0-based start and an exclusive end, which is already the BED convention, so
both numbers are carried over unchanged.  Checks on well-known loci:
HTT CAG is ``chr4:3074876-3074933``, i.e. 1-based 3,074,877..3,074,933,
57 bp = 19 CAG; FMR1 CGG is ``chrX:147912050-147912110``, i.e. 1-based
147,912,051..147,912,110, 60 bp = 20 CGG.  Across the catalog, 52 of the 66
repeat segments are a whole number of motifs long when read as half-open,
against 14 if read as 1-based inclusive.

Loci made of several repeats (HTT, CNBP, FXN, ...) list one region per
repeat; the BED line spans from the lowest start to the highest end, MOTIFS
lists each distinct motif once in reference order, and STRUC gives one
``(motif)n`` per repeat in reference order, keeping any fixed sequence the
catalog places between two repeats (HTT's CAACAG).  Fixed sequence before the
first or after the last repeat lies outside the BED interval and is dropped.
"""

from __future__ import annotations

import argparse
import hashlib
import importlib.util
import json
import re
import sys
import zipfile
from pathlib import Path

SOURCE_PACKAGE = "stranger"
SOURCE_MEMBER = "stranger/resources/variant_catalog_hg38.json"
# sha256 of SOURCE_MEMBER in stranger 0.10.2, the version the shipped BED was made from.
SOURCE_SHA256 = "00a6ab1218e5c49e8bb33f6766a543acec512a38ebd30150edb31797f7ba705e"

CHROM_ORDER = {f"chr{n}": n for n in range(1, 23)} | {"chrX": 23, "chrY": 24}
MOTIF_RE = re.compile(r"[ACGTRYSWKMBDHVN]+")
REGION_RE = re.compile(r"(?P<chrom>[^:\s]+):(?P<start>\d+)-(?P<end>\d+)")
# A structure is repeat units "(MOTIF)*" with optional fixed sequence around them.
STRUCTURE_TOKEN_RE = re.compile(r"\((?P<motif>[A-Z]+)\)\*|(?P<fixed>[A-Z]+)")


class CatalogError(ValueError):
    """An entry of the source catalog cannot be turned into a BED line."""


def locate_installed_source() -> Path | None:
    """Path of the catalog JSON inside an installed source package, or None.

    Uses the import machinery's search only, without running the package.
    """
    found = importlib.util.find_spec(SOURCE_PACKAGE)
    if found is None or not found.submodule_search_locations:
        return None
    for root in found.submodule_search_locations:
        path = Path(root).parent / SOURCE_MEMBER
        if path.is_file():
            return path
    return None


def read_source(path: Path) -> bytes:
    """Raw catalog bytes from a JSON file or from a wheel holding it."""
    if path.suffix == ".whl":
        with zipfile.ZipFile(path) as wheel:
            return wheel.read(SOURCE_MEMBER)
    return path.read_bytes()


def parse_region(text: str) -> tuple[str, int, int]:
    match = REGION_RE.fullmatch(text)
    if match is None:
        raise CatalogError(f"malformed region {text!r}")
    chrom = match["chrom"]
    if not chrom.startswith("chr"):
        chrom = "chr" + chrom  # the unprefixed GRCh38 flavour of the catalog
    start, end = int(match["start"]), int(match["end"])
    if start >= end:
        raise CatalogError(f"empty or reversed region {text!r}")
    return chrom, start, end


def parse_structure(text: str) -> list[tuple[str, str]]:
    """Split a structure into ("repeat", motif) and ("fixed", sequence) tokens."""
    tokens, pos = [], 0
    for match in STRUCTURE_TOKEN_RE.finditer(text):
        if match.start() != pos:
            break
        pos = match.end()
        if match["motif"]:
            tokens.append(("repeat", match["motif"]))
        else:
            tokens.append(("fixed", match["fixed"]))
    if pos != len(text) or not any(kind == "repeat" for kind, _ in tokens):
        raise CatalogError(f"malformed locus structure {text!r}")
    return tokens


def entry_to_bed(entry: dict) -> tuple[str, int, int, str]:
    """One catalog entry as (chrom, start, end, info column)."""
    locus = entry.get("LocusId")
    if not isinstance(locus, str) or not re.fullmatch(r"[A-Za-z0-9_.-]+", locus):
        raise CatalogError(f"bad locus id {locus!r}")
    raw_regions = entry.get("ReferenceRegion")
    if isinstance(raw_regions, str):
        raw_regions = [raw_regions]
    if not isinstance(raw_regions, list) or not all(isinstance(r, str) for r in raw_regions):
        raise CatalogError(f"{locus}: missing or malformed ReferenceRegion")
    regions = [parse_region(r) for r in raw_regions]
    if len({chrom for chrom, _, _ in regions}) != 1:
        raise CatalogError(f"{locus}: regions on several chromosomes")

    structure = entry.get("LocusStructure")
    if not isinstance(structure, str):
        raise CatalogError(f"{locus}: missing LocusStructure")
    tokens = parse_structure(structure)
    while tokens[0][0] == "fixed":  # outside the interval: drop
        tokens.pop(0)
    while tokens[-1][0] == "fixed":
        tokens.pop()
    motifs = [seq for kind, seq in tokens if kind == "repeat"]
    if len(motifs) != len(regions):
        raise CatalogError(f"{locus}: {len(motifs)} repeats in structure but {len(regions)} regions")
    for motif in motifs:
        if not MOTIF_RE.fullmatch(motif):
            raise CatalogError(f"{locus}: motif {motif!r} is not nucleotide code")

    starts = [start for _, start, _ in regions]
    if starts == sorted(starts, reverse=True) and starts != sorted(starts):
        # Regions listed from the highest position down: put the structure in reference order.
        if any(kind == "fixed" for kind, _ in tokens):
            raise CatalogError(f"{locus}: fixed sequence in a structure listed in reverse")
        tokens.reverse()
        motifs.reverse()
    elif starts != sorted(starts):
        raise CatalogError(f"{locus}: regions out of order")

    chrom = regions[0][0]
    if chrom not in CHROM_ORDER:
        raise CatalogError(f"{locus}: unexpected chromosome {chrom!r}")
    start = min(starts)
    end = max(region_end for _, _, region_end in regions)
    struc = "".join(f"({seq})n" if kind == "repeat" else seq for kind, seq in tokens)
    distinct = ",".join(dict.fromkeys(motifs))
    return chrom, start, end, f"ID={locus};MOTIFS={distinct};STRUC={struc}"


def catalog_to_bed(source: bytes) -> str:
    """The whole BED text for catalog JSON bytes, sorted by chromosome then start."""
    entries = json.loads(source)
    if not isinstance(entries, list) or not entries:
        raise CatalogError("catalog is not a non-empty list of loci")
    rows = [entry_to_bed(entry) for entry in entries]
    ids = [info.split(";", 1)[0] for *_, info in rows]
    duplicates = sorted({i for i in ids if ids.count(i) > 1})
    if duplicates:
        raise CatalogError(f"duplicate locus ids: {', '.join(duplicates)}")
    rows.sort(key=lambda row: (CHROM_ORDER[row[0]], row[1], row[2], row[3]))
    return "".join(f"{chrom}\t{start}\t{end}\t{info}\n" for chrom, start, end, info in rows)


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n", 1)[0])
    parser.add_argument("source", nargs="?", type=Path,
                        help="catalog JSON or stranger wheel (default: installed stranger)")
    parser.add_argument("-o", "--output", type=Path, help="BED path (default: stdout)")
    args = parser.parse_args(argv)

    source_path = args.source or locate_installed_source()
    if source_path is None:
        parser.error(f"no SOURCE given and package {SOURCE_PACKAGE!r} is not installed")
    source = read_source(source_path)
    digest = hashlib.sha256(source).hexdigest()
    if digest != SOURCE_SHA256:
        print(f"warning: {source_path} has sha256 {digest}, not the {SOURCE_SHA256} "
              "the shipped catalog was made from", file=sys.stderr)
    try:
        bed = catalog_to_bed(source)
    except CatalogError as err:
        print(f"error: {err}", file=sys.stderr)
        return 1
    if args.output is None:
        sys.stdout.write(bed)
    else:
        args.output.write_text(bed, encoding="ascii", newline="\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
