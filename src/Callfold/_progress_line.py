"""A self-overwriting line on a terminal that says how much work a command has done."""

from __future__ import annotations

import time
from typing import Callable, TextIO

_UNITS = ("B", "KiB", "MiB", "GiB", "TiB", "PiB")
_ERASE_LINE = "\r\x1b[K"


def format_bytes(count: int) -> str:
    """1288490188 -> "1.2 GiB"; whole bytes below 1 KiB."""
    size = float(count)
    for unit in _UNITS[:-1]:
        if size < 1024:
            return f"{count} B" if unit == "B" else f"{size:.1f} {unit}"
        size /= 1024
    return f"{size:.1f} {_UNITS[-1]}"


class ProgressLine:
    """Shows "  <stage>: <size> done" once the command has run for `delay` seconds,
    so that quick commands print nothing; clear() removes the line again."""

    def __init__(self, stream: TextIO, delay: float = 2.0, clock: Callable[[], float] = time.monotonic) -> None:
        self._stream = stream
        self._delay = delay
        self._clock = clock
        self._started = clock()
        self._shown = False
        self.stage = "working"

    def update(self, bytes_done: int) -> None:
        if self._clock() - self._started < self._delay:
            return
        self._stream.write(f"{_ERASE_LINE}  {self.stage}: {format_bytes(bytes_done)} done")
        self._stream.flush()
        self._shown = True

    def clear(self) -> None:
        if not self._shown:
            return
        self._stream.write(_ERASE_LINE)
        self._stream.flush()
        self._shown = False
