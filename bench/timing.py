"""Best-of-N wall time, the one timing rule of the benchmarks (the machine may be shared)."""

from __future__ import annotations

import time
from typing import Callable


def best_of(action: Callable[[], object], repeat: int, prepare: Callable[[], object] = lambda: None) -> float:
    """Best wall time of `repeat` runs of action; prepare runs before each, untimed."""
    best = float("inf")
    for _ in range(repeat):
        prepare()
        start = time.perf_counter()
        action()
        best = min(best, time.perf_counter() - start)
    return best
