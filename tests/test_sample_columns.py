"""unify_lines and run: appended records must carry the sample columns of the header they go under."""

import logging
import os
import subprocess
from pathlib import Path

import pysam
import pytest

import Callfold.unifier as unifier

DATA = Path(__file__).parent / "data"
OLD_BYTES, OLD_MTIME_NS = b"an earlier unified file\n", 10**18
RUN_PARAMETERS = {"sv": "sv_path", "cnv": "cnv_path", "repeats": "repeat_path", "roh": "roh_bed_path"}


def lines_of(name):
    return (DATA / name).read_text().splitlines(keepends=True)


def resampled(name, samples):
    """A fixture VCF with the sample columns `samples`, each record repeating its first sample's value."""
    out = []
    for line in lines_of(name):
        fields = line.rstrip("\n").split("\t")
        if not line.startswith("##"):
            line = "\t".join(fields[:9] + (samples if line.startswith("#CHROM") else [fields[9]] * len(samples))) + "\n"
        out.append(line)
    return out


def write_inputs(tmp_path, inputs):
    """Each input (a fixture name or lines) as a file: paths by file type."""
    (tmp_path / "in").mkdir()
    paths = {key: str(tmp_path / "in" / f"{key}.txt") for key in inputs}
    for key, source in inputs.items():
        Path(paths[key]).write_text("".join(lines_of(source) if isinstance(source, str) else source))
    return paths


@pytest.mark.parametrize(
    "inputs, appended, donor",
    [
        ({"sv": "sv_trio.vcf", "cnv": "cnv_segments.vcf"}, "cnv input has 1 sample column ('NA12878')",
         "sv input, whose header the unified VCF takes, has 3 ('HG002', 'HG003', 'HG004')"),
        ({"sv": "sv_tumor_normal.vcf", "cnv": "cnv_segments.vcf"}, "cnv input has 1 sample column ('NA12878')",
         "sv input, whose header the unified VCF takes, has 2 ('TUMOR', 'NORMAL')"),
        ({"sv": "sv_sites_only.vcf", "roh": "roh.bed"}, "roh input has 1 sample column (converted from BED)",
         "sv input, whose header the unified VCF takes, has 0 (none)"),
        ({"sv": "sv.vcf", "repeats": "repeats_trio.vcf"}, "repeats input has 3 sample columns ('HG002', 'HG003', 'HG004')",
         "sv input, whose header the unified VCF takes, has 1 ('HG002')"),
        ({"sv": "sv_tumor_normal.vcf", "cnv": resampled("cnv_tumor_normal.vcf", ["NORMAL", "TUMOR"])},
         "cnv input has the same number of sample columns (2) as the sv input, whose header the unified VCF takes, "
         "with different names (sample column 1: 'NORMAL' against 'TUMOR')", None),
        ({"sv": "sv_trio.vcf", "repeats": resampled("repeats_trio.vcf", ["HG002", "HG003", "HG004 "])},
         "repeats input has the same number of sample columns (3) as the sv input, whose header the unified VCF "
         "takes, with different names (sample column 3: 'HG004 ' against 'HG004')", None),
        ({"sv": resampled("sv_trio.vcf", ["P1", "P2", "P3", "P4"]),
          "cnv": resampled("cnv_tumor_normal.vcf", ["P1", "P2", "P3", "P4", "P5"])},
         "cnv input has 5 sample columns ('P1', 'P2', 'P3', ...)",
         "sv input, whose header the unified VCF takes, has 4 ('P1', 'P2', 'P3', ...)"),
        ({"cnv": "cnv_tumor_normal.vcf", "repeats": "repeats.vcf"}, "repeats input has 1 sample column ('HG002')",
         "cnv input, whose header the unified VCF takes, has 2 ('TUMOR', 'NORMAL')"),
        ({"sv": "sv_sites_only.vcf", "cnv": resampled("cnv_segments.vcf", [])}, "cnv input has a FORMAT column",
         "sv input, whose header the unified VCF takes, has none"),
    ],
    ids=["trio-sv-single-cnv", "tumor-normal-sv-tumor-only-cnv", "sites-only-sv-roh-bed", "single-sv-trio-repeats",
         "same-names-other-order", "trailing-blank-in-a-name", "names-cut-after-three", "cnv-donor", "sites-only-sv-format-only-cnv"],
)
@pytest.mark.parametrize("entry", ["unify_lines", "run"])
def test_mismatch_refused_before_the_output_is_opened(tmp_path, caplog, monkeypatch, inputs, appended, donor, entry):
    caplog.set_level(logging.INFO)
    monkeypatch.setattr(unifier, "sort_and_compress", lambda path: pytest.fail("sort step reached"))
    paths = write_inputs(tmp_path, inputs)
    output = tmp_path / "unified.vcf"
    output.write_bytes(OLD_BYTES)
    os.utime(output, ns=(OLD_MTIME_NS, OLD_MTIME_NS))
    with pytest.raises(ValueError) as raised:
        if entry == "run":
            unifier.run(str(output), **{RUN_PARAMETERS[key]: path for key, path in paths.items()})
        else:
            unifier.unify_lines(unifier.read_struct_lines(paths), str(output))
    middle = f"{appended} but the {donor}" if donor else appended
    assert str(raised.value) == f"the {middle}; the unified VCF's records would not match its header"
    assert (output.read_bytes(), output.stat().st_mtime_ns) == (OLD_BYTES, OLD_MTIME_NS)
    assert not [r for r in caplog.records if r.msg.startswith(("Created", "Empty", "No vcf header"))]


@pytest.mark.parametrize(
    "inputs, samples",
    [
        ({"sv": "sv.vcf", "cnv": "cnv_segments.vcf", "roh": "roh.bed"}, ["HG002"]),
        ({"sv": "sv_tumor_normal.vcf", "cnv": "cnv_tumor_normal.vcf"}, ["TUMOR", "NORMAL"]),
        ({"sv": "sv_trio.vcf", "repeats": "repeats_trio.vcf"}, ["HG002", "HG003", "HG004"]),
    ],
    ids=["one-each-other-names", "tumor-normal", "trio"],
)
def test_agreeing_columns_give_a_file_vcf_readers_take(tmp_path, require_tool, inputs, samples):
    bcftools = require_tool("bcftools")
    paths = write_inputs(tmp_path, inputs)
    result = unifier.run(str(tmp_path / "unified.vcf"), **{RUN_PARAMETERS[key]: path for key, path in paths.items()})
    checked = subprocess.run([bcftools, "view", "-Ov", "-o", os.devnull, result], capture_output=True, text=True)
    assert (checked.returncode, checked.stderr) == (0, "")
    expected = sum(not unifier.is_empty([line]) for path in paths.values() for line in unifier.get_lines(path))
    with pysam.VariantFile(result) as vcf:
        assert list(vcf.header.samples) == samples
        assert [len(record.samples) for record in vcf] == [len(samples)] * expected


TRIO = lines_of("sv_trio.vcf")
NO_RECORDS = ["##fileformat=VCFv4.2\n", unifier._VCF_COLUMN_HEADER + "\tNA12878\n", "\n", "#none\n"]


@pytest.mark.parametrize(
    "files_lines",
    [
        # Left out by the writer (sites-only, with its warning), so never compared.
        {"sv": TRIO, "cnv": ["#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n", "chr1\t5\t.\tN\t.\t.\tPASS\t.\n"]},
        # Nothing but header and blank lines after the column header, or a BED of comments.
        {"sv": TRIO, "cnv": NO_RECORDS, "roh": ["# roh intervals\n", "\n", "   \n", "#chr1\t10\t20\t0.5\n"]},
        # A donor without any column header leaves nothing to compare with.
        {"sv": TRIO[:-4] + TRIO[-3:], "cnv": lines_of("cnv_segments.vcf")},
        # The terminator is not part of the last name.
        {"sv": [line.replace("\n", "\r\n") for line in lines_of("sv_tumor_normal.vcf")],
         "cnv": lines_of("cnv_tumor_normal.vcf")},
    ],
    ids=["left-out", "no-records", "donor-without-column-header", "crlf-donor"],
)
def test_nothing_that_could_disagree_is_refused(tmp_path, files_lines):
    output = tmp_path / "unified.vcf"
    assert unifier.unify_lines(files_lines, str(output)) == str(output)
