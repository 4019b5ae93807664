"""The installed distribution: one version number, the licence files it carries,
and the shared libraries its extension modules load (a repaired wheel brings its
own libdeflate)."""

from __future__ import annotations

import importlib
import importlib.metadata
import re
import shutil
import subprocess
from pathlib import Path

import pytest
from packaging.version import Version

import Callfold
from Callfold import compression

REPO = Path(__file__).resolve().parents[1]
DISTRIBUTION = importlib.metadata.distribution("callfold")


def installed(pattern: str) -> list[Path]:
    """Files of the installed distribution whose path (with "/") matches `pattern`."""
    return [Path(DISTRIBUTION.locate_file(f)) for f in DISTRIBUTION.files if re.fullmatch(pattern, f.as_posix())]


def test_version_is_the_distributions():
    assert Callfold.__version__ == DISTRIBUTION.version
    assert str(Version(Callfold.__version__)) == Callfold.__version__


def test_licence_is_in_the_distribution_metadata():
    [licence] = installed(r"callfold-[^/]+\.dist-info/(licenses/)?LICENSE")
    assert licence.read_bytes() == (REPO / "LICENSE").read_bytes()
    text = licence.read_text()
    assert text.startswith("MIT License\n") and re.search(r"^Copyright \(c\) \d{4} Callfold developers$", text, re.M)
    assert installed(r"Callfold/data/STRchive-LICENSE")


def loaded_libraries(module_file: str) -> dict[str, str]:
    """soname -> the file the dynamic loader picks for it ("not found" when none)."""
    ldd = shutil.which("ldd")
    if ldd is None:
        pytest.skip("ldd is not installed")
    output = subprocess.run([ldd, module_file], capture_output=True, text=True, check=True).stdout
    return dict(re.findall(r"^\s*(\S+) => (not found|\S+)", output, re.M))


@pytest.mark.parametrize("name", ["unifier", "compression", "repeats"])
def test_extension_module_loads_its_deflate_library_from_the_right_place(name):
    module = importlib.import_module(f"Callfold.{name}")
    libraries = loaded_libraries(module.__file__)
    assert "not found" not in libraries.values(), libraries
    deflate = {soname: path for soname, path in libraries.items() if soname.startswith("libdeflate")}
    if compression._deflate_library == "zlib":
        assert deflate == {}
        return
    assert compression._deflate_library == "libdeflate"
    [path] = deflate.values()
    bundled = installed(r"callfold\.libs/libdeflate[^/]*\.so[^/]*")
    if bundled:  # a repaired wheel: its own copy, never the system's, and its licence
        assert [Path(path).resolve()] == [p.resolve() for p in bundled]
        assert installed(r"callfold-[^/]+\.dist-info/licenses/libdeflate-copyright")


@pytest.mark.parametrize("name", ["unifier", "compression", "repeats"])
def test_extension_modules_share_the_one_library_beside_them(name):
    module = importlib.import_module(f"Callfold.{name}")
    libraries = loaded_libraries(module.__file__)
    package = Path(Callfold.__file__).resolve().parent
    for stem in ("libcallfold", "libcallfold_nanobind"):
        assert Path(libraries[f"{stem}.so.0"]).resolve() == package / f"{stem}.so.0", libraries
        # One copy in the distribution: a repaired wheel grafts none (renamed stem-hash.so.0) beside libdeflate.
        assert installed(rf"[^/]+/{stem}(-[0-9a-f]+)?\.so[^/]*") == installed(rf"Callfold/{stem}\.so\.0")
