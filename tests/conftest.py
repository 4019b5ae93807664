"""Shared fixtures: writing inputs plain, gzip-compressed or as multi-member BGZF."""

import importlib.util
import os
import shutil
from pathlib import Path
from typing import Callable

import pytest

from input_files import bgzf as bgzf_bytes, encode

DATA = Path(__file__).parent / "data"

WriteInput = Callable[..., str]


@pytest.fixture
def bgzf() -> Callable[..., bytes]:
    """bgzf(data, block_size=65280) -> the BGZF bytes of data."""
    return bgzf_bytes


@pytest.fixture
def write_input(tmp_path: Path) -> WriteInput:
    """write_input(name, text, compression="plain", block_size=65280) -> path as str."""

    def write(name: str, text: str | bytes, compression: str = "plain", block_size: int = 65280) -> str:
        path = tmp_path / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(encode(text, compression, block_size))
        return str(path)

    return write


@pytest.fixture
def data_copy(tmp_path: Path) -> Callable[[str], str]:
    """Copies a shipped example input into the test's own directory (run removes nothing of it)."""

    def copy(name: str) -> str:
        target = tmp_path / "inputs" / name
        target.parent.mkdir(exist_ok=True)
        shutil.copyfile(DATA / name, target)
        return str(target)

    return copy


def missing(name: str, install: str) -> None:
    """What a test does without `name`: fails in CI, where everything is installed; skips elsewhere."""
    if os.environ.get("CI") == "true":
        pytest.fail(f"{name} is required in CI")
    pytest.skip(f"{name} is not installed ({install})")


@pytest.fixture(scope="session")
def require_tool() -> Callable[[str], str]:
    """require_tool(name) -> its path; in CI a missing tool fails the test instead of skipping it."""

    def require(name: str) -> str:
        found = shutil.which(name)
        if found is None:
            missing(name, "setup.sh installs it")
        return found

    return require


@pytest.fixture(scope="session")
def require_module() -> Callable[[str], None]:
    """require_module(name): as require_tool, for a Python package of the test extra."""

    def require(name: str) -> None:
        if importlib.util.find_spec(name) is None:
            missing(name, "pip install '.[test]'")

    return require


@pytest.fixture
def path_dir(tmp_path, monkeypatch):
    """An empty directory as the whole search path (PATH)."""
    directory = tmp_path / "bin"
    directory.mkdir()
    monkeypatch.setenv("PATH", str(directory))
    return directory
