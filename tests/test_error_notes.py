"""Errors met in an input's content keep their kind and text and gain a note
saying which input, which line, and how that line starts."""

from __future__ import annotations

import gzip
from pathlib import Path

import pytest

import Callfold
import Callfold.unifier as unifier
from Callfold import repeats
from Callfold.compression import sort_and_compress

HEADER = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tHG002\n"
SV = HEADER + "chr1\t100\tsv1\tN\t<DEL>\t50\tPASS\tSVTYPE=DEL;END=900\tGT\t0/1\n"
CNV_WITHOUT_GT = HEADER + "chr1\t5000\tcnv1\tN\t<DEL>\t.\tPASS\tEND=9000\tGT\t0/1\nchr2\t7000\tcnv2\tN\t<DEL>\t.\tPASS\tEND=9000\tCN\t1\n"
TWO_SAMPLE_REPEAT = "chr4\t3074877\t.\tC\t<STR>\t.\tPASS\tEND=3074933\tGT\t0/1\t0/0\n"
DATA = Path(__file__).parent / "data"


def note_of(raised: pytest.ExceptionInfo) -> str:
    notes = getattr(raised.value, "__notes__", [])
    assert len(notes) == 1, notes
    return notes[0]


@pytest.mark.parametrize(
    ("inputs", "error", "message", "input_name", "line", "start"),
    [
        pytest.param({"cnv": CNV_WITHOUT_GT}, ValueError, "'GT' is not in list", "cnv", 4,
                     r"'chr2\t7000\tcnv2\tN\t<DEL>\t.\tPASS\tEND=9000\tCN\t1'", id="cnv-rule"),
        pytest.param({"sv": SV, "roh": "# runs\nchr1 10000000 10250000\n"}, ValueError,
                     "the roh input is neither a BED", "roh", 2, r"'chr1 10000000 10250000'", id="roh-unplaceable"),
        pytest.param({"sv": SV, "roh": "chr1\t100\t200\t0.5\nchr1\t1e5\t200\t0.5\n"}, ValueError,
                     "invalid literal for int() with base 10: '1e5'", "roh", 2, r"'chr1\t1e5\t200\t0.5'", id="roh-bound"),
        pytest.param({"sv": SV, "roh": "# RG\nRG\tHG002\tchr1\t10\t20\t11\t3\t50.1\nRG\tHG002\tchr1\t30\n"}, IndexError,
                     "list index out of range", "roh", 3, r"'RG\tHG002\tchr1\t30'", id="bcftools-roh-short-line"),
    ],
)
def test_record_rule_errors_name_input_path_and_line(tmp_path, inputs, error, message, input_name, line, start):
    paths = {}
    for key, text in inputs.items():
        paths[key] = tmp_path / f"in.{key}"
        paths[key].write_text(text)
    output = tmp_path / "unified.vcf"
    with pytest.raises(error) as raised:
        Callfold.run(str(output), paths.get("sv"), paths.get("cnv"), paths.get("repeats"), paths.get("roh"))
    assert str(raised.value).startswith(message)
    assert note_of(raised).startswith(f"{input_name} input {str(paths[input_name])!r}, line {line}: {start}")

    # Called on the lines alone, the same error names the input and line but no path.
    lines = {key: path.read_text().splitlines(keepends=True) for key, path in paths.items()}
    with pytest.raises(error) as direct:
        unifier.unify_lines(lines, str(tmp_path / "direct.vcf"))
    assert str(direct.value) == str(raised.value)
    assert note_of(direct).startswith(f"{input_name} input, line {line}: {start}")


@pytest.mark.parametrize(
    "call",
    [
        pytest.param(lambda: unifier.is_valid_line("chr1\t5\t.\tN\t<DEL>\t.\tPASS\t.\tCN\t1\n"), id="is_valid_line"),
        pytest.param(lambda: unifier.roh_bed_line_to_vcf("chr1\t5\n"), id="roh_bed_line_to_vcf"),
        pytest.param(lambda: unifier.modify_repeat_line("chr1\t5\n"), id="modify_repeat_line"),
    ],
)
def test_one_line_alone_gets_no_note(call):
    with pytest.raises((ValueError, IndexError)) as raised:
        call()
    assert not hasattr(raised.value, "__notes__")


def test_undecodable_input_names_type_path_line_and_the_bytes(tmp_path):
    cnv = tmp_path / "cnv.vcf"
    cnv.write_bytes(HEADER.encode() + b"chr1\t5000\tcnv\xe9\tN\t<DEL>\t.\tPASS\tSVTYPE=DEL\tGT\t0/1\n")
    with pytest.raises(UnicodeDecodeError) as raised:
        unifier.read_struct_lines({"sv": None, "cnv": str(cnv)})
    with pytest.raises(UnicodeDecodeError) as host:
        cnv.read_text(encoding="utf-8")
    assert raised.value.args == host.value.args[:1] + raised.value.args[1:]  # codec first, as the host has it
    assert (raised.value.reason, raised.value.encoding) == (host.value.reason, host.value.encoding)
    assert note_of(raised) == f"cnv input {str(cnv)!r}, line 3: 'chr1\\t5000\\tcnv\\xe9\\tN\\t<DEL>\\t.\\tPASS\\tSVTYPE=DEL\\tGT\\t0/1'"

    with pytest.raises(UnicodeDecodeError) as alone:
        unifier.get_lines(cnv)
    assert note_of(alone).startswith(f"input {str(cnv)!r}, line 3: ")


def test_long_line_is_shown_cut_with_non_ascii_kept(tmp_path):
    info = "NOTE=" + "é" * 100
    path = tmp_path / "cnv.vcf"
    path.write_text(HEADER + f"chr1\t5\t.\tN\t<DEL>\t.\tPASS\t{info}\tCN\t1\n")
    with pytest.raises(ValueError) as raised:
        unifier.run(str(tmp_path / "u.vcf"), cnv_path=str(path))
    start = note_of(raised).split(": ", 1)[1]
    assert start.startswith("'chr1\\t5\\t.\\tN\\t<DEL>\\t.\\tPASS\\tNOTE=éé") and start.endswith("'...")
    assert len(start) < 120


@pytest.mark.parametrize(
    ("data", "error", "line", "start"),
    [
        pytest.param(HEADER.encode() + b"chr1\tfive\t.\n", ValueError, 3, r"'chr1\tfive\t.'", id="pos-not-integer"),
        pytest.param(HEADER.encode() + b"chr1\t5\n", ValueError, 3, r"'chr1\t5'", id="short-record"),
        # Judged once the column header arrives: the line is named, its text is no longer at hand.
        pytest.param(b"chr1\t5\n" + HEADER.encode(), ValueError, 1, None, id="record-before-header"),
        pytest.param(HEADER.encode() + b"chr1\t5\t.\tN\t<DEL>\t.\tPASS\t.\tGT\t0/1\nchr1\t\xff", UnicodeDecodeError, 4,
                     r"'chr1\t\xff'", id="invalid-utf8"),
    ],
)
def test_sort_and_compress_errors_name_the_line(tmp_path, data, error, line, start):
    path = tmp_path / "unified.vcf"
    path.write_bytes(data)
    with pytest.raises(error) as raised:
        sort_and_compress(str(path))
    if error is ValueError:
        assert f"line {line}" not in str(raised.value) and str(path) not in str(raised.value)  # in the note only
    expected = f"VCF {str(path)!r}, line {line}" + (f": {start}" if start else "")
    assert note_of(raised) == expected
    assert path.read_bytes() == data


def test_damaged_gzip_names_the_line_being_read(tmp_path):
    records = "".join(f"chr1\t{pos}\t.\tN\t<DEL>\t.\tPASS\t.\tGT\t0/1\n" for pos in range(1, 2001))
    data = gzip.compress((HEADER + records).encode())
    path = tmp_path / "unified.vcf"
    path.write_bytes(data[: len(data) // 2])
    with pytest.raises(EOFError) as raised:
        sort_and_compress(str(path))
    note = note_of(raised)
    line = int(note.split(", line ")[1].split(":")[0])
    assert note.startswith(f"VCF {str(path)!r}, line ") and 3 < line < 2003


@pytest.mark.parametrize("broken", ["repeat VCF", "catalog BED"])
def test_builtin_engine_reading_errors_name_the_file_and_line(tmp_path, broken):
    vcf_text = HEADER.encode() + b"chr1\t57367043\t.\tA\t<STR>\t.\tPASS\tEND=57367121\tGT\t0/1\n"
    bed_text = b"chr1\t57367043\t57367121\tDAB1\n"
    if broken == "repeat VCF":
        vcf_text += b"chr1\t99\t\xc3(\n"
    else:
        bed_text += b"chr2\t1\t2\tgen\xc3\n"
    vcf_path, bed_path = tmp_path / "repeats.vcf", tmp_path / "catalog.bed"
    vcf_path.write_bytes(vcf_text)
    bed_path.write_bytes(bed_text)
    with pytest.raises(UnicodeDecodeError) as raised:
        repeats.filter_repeats_vcf(str(vcf_path), str(bed_path), engine="builtin", output_path=str(tmp_path / "o.vcf"))
    path, line, start = (vcf_path, 4, r"'chr1\t99\t\xc3('") if broken == "repeat VCF" else (bed_path, 2, r"'chr2\t1\t2\tgen\xc3'")
    assert note_of(raised) == f"{broken} {str(path)!r}, line {line}: {start}"
