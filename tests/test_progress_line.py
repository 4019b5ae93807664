"""The command's progress line: sizes as people read them, nothing for quick work,
each line drawn over the last, and the line taken away when the work ends."""

from __future__ import annotations

import io

import pytest

import Callfold
from Callfold._progress_line import ProgressLine, format_bytes
from Callfold.cli import progress_shown

ERASE = "\r\x1b[K"


@pytest.mark.parametrize(
    "count, text",
    [
        (0, "0 B"),
        (1023, "1023 B"),
        (1024, "1.0 KiB"),
        (1536, "1.5 KiB"),
        (5 * 1024**2 - 1, "5.0 MiB"),
        (1288490188, "1.2 GiB"),
        (3 * 1024**4, "3.0 TiB"),
        (2 * 1024**5, "2.0 PiB"),
        (4096 * 1024**5, "4096.0 PiB"),
    ],
)
def test_format_bytes(count, text):
    assert format_bytes(count) == text


class Clock:
    def __init__(self) -> None:
        self.now = 100.0

    def __call__(self) -> float:
        return self.now


def test_nothing_is_shown_before_the_delay_and_each_line_replaces_the_last():
    stream, clock = io.StringIO(), Clock()
    line = ProgressLine(stream, delay=2.0, clock=clock)
    line.stage = "unifying"
    clock.now += 1.9
    line.update(1024)
    line.clear()
    assert stream.getvalue() == ""

    clock.now += 0.2
    line.update(1536)
    line.update(3 * 1024**3)
    assert stream.getvalue() == f"{ERASE}  unifying: 1.5 KiB done{ERASE}  unifying: 3.0 GiB done"


def test_clear_takes_the_line_away_once():
    stream, clock = io.StringIO(), Clock()
    line = ProgressLine(stream, delay=0.0, clock=clock)
    line.update(10)
    line.clear()
    line.clear()
    assert stream.getvalue() == f"{ERASE}  working: 10 B done{ERASE}"


def test_progress_shown_registers_once_and_cleans_up(monkeypatch):
    registered: list = []
    monkeypatch.setattr(Callfold, "set_progress", registered.append)
    stream = io.StringIO()
    line = ProgressLine(stream, delay=0.0)
    with pytest.raises(RuntimeError):
        with progress_shown(line):
            assert registered == [line.update]
            line.update(2048)
            raise RuntimeError("the work failed")
    assert registered == [line.update, None]
    assert stream.getvalue().endswith(f"2.0 KiB done{ERASE}")
