"""Checks a repaired wheel before it ships: it carries the licences (its own, the
catalogs', libdeflate's) and its own libdeflate, nothing asks the system for a
libdeflate, and the three extension modules load the one copy of the core with the
host layer (and of nanobind) from beside them.

    python scripts/check_wheel.py dist/callfold-*.whl

Reads the modules' ELF dynamic sections with pyelftools (installed with auditwheel).
Prints what it checked; exits 1 naming each problem."""

from __future__ import annotations

import io
import sys
import zipfile
from pathlib import Path, PurePosixPath

from elftools.elf.dynamic import DynamicSection
from elftools.elf.elffile import ELFFile

REPO = Path(__file__).resolve().parent.parent
BUNDLE = "callfold.libs"
# The core with the host layer, and nanobind.
SHARED = ("libcallfold.so.0", "libcallfold_nanobind.so.0")


def dynamic_entries(elf_bytes: bytes) -> tuple[list[str], list[str]]:
    """(DT_NEEDED names, RUNPATH/RPATH directories) of a shared object."""
    needed, search = [], []
    for section in ELFFile(io.BytesIO(elf_bytes)).iter_sections():
        if not isinstance(section, DynamicSection):
            continue
        for tag in section.iter_tags():
            if tag.entry.d_tag == "DT_NEEDED":
                needed.append(tag.needed)
            elif tag.entry.d_tag in ("DT_RUNPATH", "DT_RPATH"):
                search += (tag.runpath if tag.entry.d_tag == "DT_RUNPATH" else tag.rpath).split(":")
    return needed, search


def problems_of(wheel: Path) -> list[str]:
    problems = []
    if "manylinux" not in wheel.name:
        problems.append(f"{wheel.name} has no manylinux platform tag (not repaired?)")
    with zipfile.ZipFile(wheel) as archive:
        names = archive.namelist()
        shipped = {
            "LICENSE": [n for n in names if PurePosixPath(n).match("callfold-*.dist-info/licenses/LICENSE")],
            "src/Callfold/data/STRchive-LICENSE": [n for n in names if n == "Callfold/data/STRchive-LICENSE"],
        }
        for source, found in shipped.items():
            if len(found) != 1 or archive.read(found[0]) != (REPO / source).read_bytes():
                problems.append(f"{source} is not shipped unchanged (found {found})")

        bundled = {PurePosixPath(n).name for n in names if n.startswith(f"{BUNDLE}/") and not n.endswith("/")}
        if not any(name.startswith("libdeflate") for name in bundled):
            problems.append(f"no libdeflate in {BUNDLE}/ (found {sorted(bundled)})")
        notice = [n for n in names if PurePosixPath(n).match("callfold-*.dist-info/licenses/libdeflate-copyright")]
        if len(notice) != 1 or b"Permission is hereby granted" not in archive.read(notice[0]):
            problems.append(f"libdeflate's licence is not in the dist-info (found {notice})")
        # The modules link the one library holding the core and the host layer, and nanobind's
        # own: each once, beside them, never a grafted copy.
        modules = [n for n in names if PurePosixPath(n).match("Callfold/*.cpython-*.so")]
        if len(modules) != 3:
            problems.append(f"expected three extension modules, found {modules}")
        libraries = [n for n in names if PurePosixPath(n).match("Callfold/lib*.so*")]
        if sorted(libraries) != [f"Callfold/{name}" for name in SHARED]:
            problems.append(f"expected {', '.join(SHARED)} beside the modules, found {libraries}")
        grafted = [name for name in bundled if not name.startswith("libdeflate")]
        if grafted:
            problems.append(f"{BUNDLE}/ holds copies of {grafted}")
        for elf in modules + libraries:
            needed, search = dynamic_entries(archive.read(elf))
            deflate = [name for name in needed if name.startswith("libdeflate")]
            print(f"{elf}: NEEDED {', '.join(needed)}; RUNPATH {':'.join(search)}")
            for name in deflate:
                if name not in bundled:
                    problems.append(f"{elf} needs {name}, which only the system could provide")
            if deflate and f"$ORIGIN/../{BUNDLE}" not in search:
                problems.append(f"{elf} does not search $ORIGIN/../{BUNDLE}")
            if elf in modules and (not set(SHARED) <= set(needed) or "$ORIGIN" not in search):
                problems.append(f"{elf} does not load {', '.join(SHARED)} from beside it")
            if elf == f"Callfold/{SHARED[0]}" and not deflate:
                problems.append(f"{elf} does not use libdeflate")
    return problems


def main(arguments: list[str]) -> int:
    if len(arguments) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    problems = problems_of(Path(arguments[0]))
    for problem in problems:
        print(f"check_wheel: {problem}", file=sys.stderr)
    if not problems:
        print(f"check_wheel: {Path(arguments[0]).name} carries its licences, libdeflate and one libcallfold")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
