"""Ctrl-C during a long call: the call ends within about a second with
KeyboardInterrupt, its inputs intact, no temporary file and no compressed
result left. The calls wait on a FIFO whose writer trickles records and never
finishes, so without a look at the host's signals they would never end."""

from __future__ import annotations

import os
import shutil
import signal
import subprocess
import sys
import textwrap
import threading
import time
from pathlib import Path

import pytest

HEADER = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tHG002\n"
GRACE = 2.0  # a second to act, and a margin for a loaded machine


def trickle(fifo: Path, stop: threading.Event) -> threading.Thread:
    """A writer that opens the FIFO and writes a record every few milliseconds until stopped."""

    def write() -> None:
        try:
            with open(fifo, "w") as out:
                out.write(HEADER)
                position = 1
                while not stop.is_set():
                    out.write(f"chr1\t{position}\t.\tN\t<DEL>\t.\tPASS\tSVTYPE=DEL;END={position + 9}\tGT\t0/1\n")
                    out.flush()
                    position += 10
                    time.sleep(0.005)
        except BrokenPipeError:
            pass

    thread = threading.Thread(target=write, daemon=True)
    thread.start()
    return thread


def interrupt(code: str, *, group: bool = False, env: dict | None = None) -> tuple[float, subprocess.CompletedProcess]:
    """Runs `code` in a child, sends SIGINT once it has worked half a second; the time to its end."""
    child = subprocess.Popen([sys.executable, "-P", "-c", "print('started', flush=True)\n" + textwrap.dedent(code)],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env,
                             start_new_session=True)
    try:
        assert child.stdout.readline() == "started\n"
        time.sleep(0.5)
        sent = time.monotonic()
        if group:
            os.killpg(child.pid, signal.SIGINT)  # as a terminal's Ctrl-C reaches every process of the job
        else:
            child.send_signal(signal.SIGINT)
        out, err = child.communicate(timeout=30)
        return time.monotonic() - sent, subprocess.CompletedProcess(child.args, child.returncode, out, err)
    finally:
        if child.poll() is None:
            child.kill()
            child.wait()


@pytest.fixture
def fifo_input(tmp_path):
    path = tmp_path / "inputs" / "calls.vcf"
    path.parent.mkdir()
    os.mkfifo(path)
    stop = threading.Event()
    writer = trickle(path, stop)
    yield path
    stop.set()
    try:  # a writer still waiting for a reader is let go
        os.close(os.open(path, os.O_RDONLY | os.O_NONBLOCK))
    except OSError:
        pass
    writer.join(timeout=5)


CALLS = {
    "run": "import Callfold; Callfold.run({out!r}, sv_path={fifo!r})",
    "read_struct_lines": "import Callfold.unifier as u; u.read_struct_lines({{'sv': {fifo!r}}})",
    "get_lines": "import Callfold.unifier as u; u.get_lines({fifo!r})",
    "sort_and_compress": "from Callfold.compression import sort_and_compress; sort_and_compress({fifo!r})",
    # Parts of the records already in the temporary file when the interrupt comes.
    "sort_and_compress spilling": "from Callfold.compression import sort_and_compress; "
                                  "sort_and_compress({fifo!r}, max_memory=1000)",
    "builtin engine": "from Callfold import repeats; repeats.filter_repeats_vcf({fifo!r}, {bed!r}, output_path={out!r})",
}


@pytest.mark.parametrize("call", CALLS)
def test_interrupt_stops_a_long_call(tmp_path, fifo_input, call):
    bed = tmp_path / "catalog.bed"
    bed.write_text("chr1\t100\t200\tL1\n")
    out = tmp_path / "out" / "unified.vcf"
    out.parent.mkdir()
    took, done = interrupt(CALLS[call].format(fifo=str(fifo_input), out=str(out), bed=str(bed)))
    assert done.stderr.strip().splitlines()[-1] == "KeyboardInterrupt", done.stderr
    assert took < GRACE
    assert fifo_input.exists() and bed.read_text() == "chr1\t100\t200\tL1\n"
    assert sorted(p.name for p in fifo_input.parent.iterdir()) == ["calls.vcf"]  # no temporary file, no .gz
    assert [p.name for p in out.parent.iterdir()] in ([], ["unified.vcf"])


@pytest.mark.parametrize("call", ["sort_and_compress", "get_lines", "builtin engine"])
def test_the_signal_handlers_own_error_reaches_the_caller(tmp_path, fifo_input, call):
    # Every module loaded: the error must not depend on which module's translator raises it.
    bed = tmp_path / "catalog.bed"
    bed.write_text("chr1\t100\t200\tL1\n")
    took, done = interrupt(f"""
        import signal
        from Callfold import compression, repeats, unifier
        class Stopped(Exception):
            pass
        def stop(signum, frame):
            raise Stopped("stopped by the host's handler")
        signal.signal(signal.SIGINT, stop)
        {CALLS[call].format(fifo=str(fifo_input), out=str(tmp_path / 'out.vcf'), bed=str(bed))}
    """)
    assert done.stderr.strip().splitlines()[-1] == "Stopped: stopped by the host's handler", done.stderr
    assert took < GRACE


def test_first_interrupt_stops_get_lines_on_a_fifo_nobody_writes(tmp_path):
    fifo = tmp_path / "calls.vcf"
    os.mkfifo(fifo)
    took, done = interrupt(f"import Callfold.unifier as u; u.get_lines({str(fifo)!r})")
    assert done.stderr.strip().splitlines()[-1] == "KeyboardInterrupt"
    assert took < GRACE


def test_interrupt_stops_unify_lines_blocked_on_its_output(tmp_path):
    # unify_lines writing into a FIFO that nobody reads blocks in the open; the FIFO stays.
    target = tmp_path / "unified.vcf"
    os.mkfifo(target)
    took, done = interrupt(f"""
        import Callfold.unifier as u
        u.unify_lines({{'sv': [{HEADER!r}] + ['chr1\\t1\\t.\\tN\\t<DEL>\\t.\\tPASS\\t.\\tGT\\t0/1\\n'] * 10}}, {str(target)!r})
    """)
    assert done.stderr.strip().splitlines()[-1] == "KeyboardInterrupt"
    assert took < GRACE and target.exists()


@pytest.mark.parametrize("group", [False, True], ids=["host-only", "whole-job"])
def test_interrupt_stops_bedtools_and_its_child(tmp_path, path_dir, group):
    pid_file = tmp_path / "bedtools.pid"
    bedtools = path_dir / "bedtools"
    bedtools.write_text(f"#!/bin/sh\necho $$ > {pid_file}\nexec {shutil.which('sleep', path=os.defpath)} 60\n")
    bedtools.chmod(0o755)
    vcf, bed = tmp_path / "repeats.vcf", tmp_path / "catalog.bed"
    vcf.write_text(HEADER)
    bed.write_text("chr1\t100\t200\tL1\n")
    took, done = interrupt(f"""
        from Callfold import repeats
        repeats.filter_repeats_vcf({str(vcf)!r}, {str(bed)!r}, engine="bedtools", output_path={str(tmp_path / 'o.vcf')!r})
    """, group=group, env=dict(os.environ))
    assert done.stderr.strip().splitlines()[-1] == "KeyboardInterrupt", done.stderr
    assert took < GRACE
    child = int(pid_file.read_text())
    with pytest.raises(ProcessLookupError):
        os.kill(child, 0)  # terminated and reaped, not left running
