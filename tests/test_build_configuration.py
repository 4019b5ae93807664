"""CMake's configuration of the source tree as pip runs it: a missing compiler or zlib
stops it with one line naming what to install, and one line says which DEFLATE
library the build uses."""

from __future__ import annotations

import os
import subprocess
import sys
from pathlib import Path

import nanobind
import pytest

REPO = Path(__file__).resolve().parents[1]


def configure(tmp_path: Path, cmake: str, *options: str, **environment: str) -> subprocess.CompletedProcess[str]:
    return subprocess.run(
        [cmake, "-S", str(REPO), "-B", str(tmp_path / "build"), "-G", "Unix Makefiles", "-DSKBUILD=2",
         f"-DPython_EXECUTABLE={sys.executable}", f"-Dnanobind_DIR={nanobind.cmake_dir()}", *options],
        env={**os.environ, **environment}, capture_output=True, text=True, check=False,
    )


@pytest.fixture
def cmake(require_tool):
    return require_tool("cmake")


@pytest.mark.parametrize(
    ("options", "environment", "hint"),
    [
        ((), {"CXX": "/nonexistent/c++"}, "No C++ compiler found: install a C++20 compiler (Debian: g++)"),
        (("-DCMAKE_DISABLE_FIND_PACKAGE_ZLIB=ON",), {}, "install zlib (Debian: zlib1g-dev)"),
    ],
    ids=["no-compiler", "no-zlib"],
)
def test_a_missing_prerequisite_stops_with_one_line_naming_it(tmp_path, cmake, options, environment, hint):
    result = configure(tmp_path, cmake, *options, **environment)
    assert result.returncode != 0
    # CMake indents the message; the hint must not be wrapped over two lines.
    assert [line.strip() for line in result.stderr.splitlines() if hint in line], result.stderr


@pytest.mark.parametrize(
    ("options", "chosen", "with_libdeflate"),
    [
        ((), "Callfold compresses BGZF with libdeflate (/", True),
        (("-DCMAKE_DISABLE_FIND_PACKAGE_libdeflate=ON",),
         "Callfold compresses BGZF with zlib: libdeflate not found; installing it (Debian: libdeflate-dev)", False),
        (("-DCALLFOLD_USE_LIBDEFLATE=OFF",), "Callfold compresses BGZF with zlib (CALLFOLD_USE_LIBDEFLATE=OFF)", False),
    ],
    ids=["libdeflate-installed", "libdeflate-missing", "zlib-asked-for"],
)
def test_one_line_says_which_deflate_library_is_used(tmp_path, cmake, options, chosen, with_libdeflate):
    result = configure(tmp_path, cmake, *options)
    assert result.returncode == 0, result.stderr
    said = [line for line in result.stdout.splitlines() if "Callfold compresses BGZF" in line]
    assert len(said) == 1 and said[0].startswith(f"-- {chosen}"), result.stdout
    # The line tells what the core is really compiled with.
    flags = (tmp_path / "build" / "CMakeFiles" / "callfold_core.dir" / "flags.make").read_text()
    assert ("-DCALLFOLD_HAVE_LIBDEFLATE" in flags) is with_libdeflate
