"""_set_progress of each module: the registered callable hears how many bytes a
long call has done, no more often than asked, and can stop the call."""

from __future__ import annotations

import os
from pathlib import Path

import pytest

from Callfold import compression, repeats, unifier

HEADER = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tHG002\n"
RECORDS = 60_000  # about 5 MiB: several reads and compressed blocks


@pytest.fixture
def large_vcf(tmp_path: Path) -> Path:
    path = tmp_path / "large.vcf"
    with open(path, "w") as out:
        out.write(HEADER)
        for i in range(RECORDS):
            # Positions descending, so that sorting has work to do.
            position = 10_000_000 - i * 100
            out.write(f"chr1\t{position}\trep{i}\tCAGCAGCAGCAGCAG\tCAGCAG\t.\tPASS\t"
                      f"TRID=locus{i};END={position + 14};MOTIFS=CAG\tGT:AL\t0/1:6,15\n")
    return path


def catalog(tmp_path: Path) -> str:
    path = tmp_path / "catalog.bed"
    path.write_text("chr1\t0\t5000000\tfirst_half\n")
    return str(path)


CALLS = {
    "unifier": (unifier, lambda vcf, tmp: unifier.get_lines(str(vcf))),
    "compression": (compression, lambda vcf, tmp: compression.sort_and_compress(str(vcf))),
    "repeats": (repeats, lambda vcf, tmp: repeats.filter_repeats_vcf(str(vcf), catalog(tmp),
                                                                       output_path=str(tmp / "kept.vcf"))),
}


@pytest.fixture(params=sorted(CALLS))
def call(request):
    module, work = CALLS[request.param]
    yield module, work
    module._set_progress(None)


def test_callable_hears_increasing_byte_counts(call, large_vcf, tmp_path):
    module, work = call
    size = large_vcf.stat().st_size
    heard: list[int] = []
    module._set_progress(heard.append, min_interval=0)
    work(large_vcf, tmp_path)
    assert len(heard) >= 3
    assert all(earlier < later for earlier, later in zip(heard, heard[1:]))
    # The whole input was read, and counted once per read.
    assert size <= heard[-1] <= 3 * size


@pytest.mark.parametrize("registration", ["unregistered", "long interval"])
def test_callable_is_not_called(call, large_vcf, tmp_path, registration):
    module, work = call
    heard: list[int] = []
    module._set_progress(heard.append, min_interval=0)
    if registration == "unregistered":
        module._set_progress(None)
    else:
        module._set_progress(heard.append, min_interval=3600)
    work(large_vcf, tmp_path)
    assert heard == []


def test_an_error_in_the_callable_stops_the_call(call, large_vcf, tmp_path):
    module, work = call
    heard: list[int] = []

    def stop(bytes_done: int) -> None:
        heard.append(bytes_done)
        raise OSError(5, "the terminal went away")

    module._set_progress(stop, min_interval=0)
    with pytest.raises(OSError, match="the terminal went away"):
        work(large_vcf, tmp_path)
    assert len(heard) == 1
    # The call stopped at its first report: the input is intact, nothing was compressed.
    assert large_vcf.exists()
    assert not os.path.exists(str(large_vcf) + ".gz")


@pytest.mark.parametrize("module", [unifier, compression, repeats], ids=lambda module: module.__name__)
@pytest.mark.parametrize(
    "arguments, error",
    [
        pytest.param(("not callable",), TypeError, id="not-callable"),
        pytest.param((print, -1.0), ValueError, id="negative-interval"),
        pytest.param((print, float("nan")), ValueError, id="nan-interval"),
    ],
)
def test_bad_registrations_are_refused(module, arguments, error):
    with pytest.raises(error):
        module._set_progress(*arguments)



@pytest.mark.parametrize(
    "registered_with, called", [(a, b) for a in sorted(CALLS) for b in sorted(CALLS) if a != b]
)
def test_one_registration_serves_every_module(large_vcf, tmp_path, registered_with, called):
    setter = CALLS[registered_with][0]._set_progress
    heard: list[int] = []

    def stop(bytes_done: int) -> None:
        heard.append(bytes_done)
        raise OSError(5, "the terminal went away")

    setter(stop, min_interval=0)
    try:
        # Raised through the module that made the call, as the callable raised it.
        with pytest.raises(OSError, match="the terminal went away"):
            CALLS[called][1](large_vcf, tmp_path)
    finally:
        setter(None)
    assert len(heard) == 1
