"""unify_lines, _write_vcf_content and vcf_header_from_lines."""

import io
import logging
from pathlib import Path

import pytest

import Callfold.unifier as unifier

COLUMNS = unifier._VCF_COLUMN_HEADER + "\tS1\n"
SV = ["##source=sv\n", COLUMNS, "chr1\t10\t.\tN\t<DEL>\t.\tPASS\tSVTYPE=DEL;END=20\tGT\t0/1\n"]
CNV = ["##source=cnv\n", COLUMNS, "chr1\t30\t.\tN\t<DEL>\t.\tPASS\tSVTYPE=DEL;END=40\tGT:CN\t0/1:1\n",
       "chr2\t50\t.\tN\t<DEL>\t.\tPASS\tEND=60\tGT:CN\t./.:2\n"]
REPEATS = ["##source=trgt\n", COLUMNS, "chr1\t70\t.\tCAG\tCAGCAG\t.\tPASS\tTRID=X;END=72\tGT\t0/1\n",
           "chr1\t80\t.\tCAG\t<STR>\t.\tPASS\tSVTYPE=STR;END=82\tGT\t1/1\n"]
ROH_BED = ["# comment\n", "chr3\t99\t200\t0.9\n", "   \n", "chr3\t400\t300\t0.5\n"]
ROH_VCF = ["##source=roh\n", COLUMNS, "chr4\t5\t.\tN\t<ROH>\t.\tPASS\tEND=9;SVTYPE=ROH;ROH_SCORE=1\tGT\t1/1\n"]

MARKED = [REPEATS[2].replace("END=72", "END=72;SVTYPE=REP"), REPEATS[3]]
CONVERTED = [unifier.roh_bed_line_to_vcf(ROH_BED[1]), unifier.roh_bed_line_to_vcf(ROH_BED[3])]


def unify(tmp_path, files_lines, options=None):
    path = str(tmp_path / "unified.vcf")
    result = unifier.unify_lines(files_lines, path, options)
    return result, path, Path(path).read_text() if Path(path).exists() else None


@pytest.mark.parametrize(
    "files_lines, expected",
    [
        ({"sv": SV, "cnv": CNV, "repeats": REPEATS, "roh": ROH_BED}, SV + CNV[2:] + MARKED + CONVERTED),
        ({"cnv": CNV}, CNV[:3]),
        ({"sv": SV, "cnv": CNV}, SV + CNV[2:]),
        ({"repeats": REPEATS}, REPEATS[:2] + MARKED),
        ({"sv": SV, "roh": ROH_VCF}, SV + ROH_VCF[2:]),
        ({"cnv": CNV, "roh": ROH_BED, "extra": SV}, CNV[:3] + CONVERTED),
    ],
    ids=["all", "cnv-alone", "cnv-after-sv", "repeats-alone", "roh-vcf", "extra-key"],
)
def test_unify_lines_sections(tmp_path, caplog, files_lines, expected):
    caplog.set_level(logging.INFO)
    result, path, text = unify(tmp_path, files_lines)
    assert result == path
    assert text == "".join(expected)
    assert (caplog.records[-1].msg, caplog.records[-1].args) == ("Created unified vcf file at %s", (path,))


@pytest.mark.parametrize("files_lines", [{}, {"roh": ROH_BED}, {"sv": None, "cnv": None, "repeats": None}])
def test_unify_lines_without_a_donor(tmp_path, caplog, files_lines):
    (tmp_path / "unified.vcf").write_text("stale content")
    result, _path, text = unify(tmp_path, files_lines)
    assert result is None and text == ""
    assert [(r.levelno, r.getMessage()) for r in caplog.records] == [(logging.WARNING, "Empty/no vcf files to concatenate")]


@pytest.mark.parametrize("key, lines", [("cnv", CNV), ("repeats", REPEATS)])
def test_sites_only_input_is_left_out_with_a_warning(tmp_path, caplog, key, lines):
    sites_only = ["#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n", "chr9\t1\t.\tN\t<DEL>\t.\tPASS\tSVTYPE=DEL\n"]
    _, _, text = unify(tmp_path, {"sv": SV, key: sites_only})
    assert text == "".join(SV)
    assert ("No vcf header for given %s file", (key,)) in [(r.msg, r.args) for r in caplog.records]


def test_sites_only_repeat_donor_writes_its_header_only(tmp_path, caplog):
    sites_only = ["##x\n", "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n", "chr9\t1\t.\tN\t.\t.\tPASS\t.\n"]
    _, _, text = unify(tmp_path, {"repeats": sites_only})
    assert text == "".join(sites_only[:2])
    assert caplog.records[0].getMessage() == "No vcf header for given repeats file"


@pytest.mark.parametrize(
    "files_lines, last_lines",
    [
        ({"sv": SV[:-1] + [SV[-1].rstrip("\n")], "cnv": CNV}, [SV[-1]] + CNV[2:]),
        ({"cnv": CNV[:-2] + [CNV[-2].rstrip("\n")], "repeats": REPEATS}, [CNV[-2]] + MARKED),
        ({"sv": SV, "repeats": REPEATS[:-1] + [REPEATS[-1].rstrip("\n")], "roh": ROH_BED}, MARKED + CONVERTED),
        ({"sv": SV, "roh": ROH_VCF[:-1] + [ROH_VCF[-1].rstrip("\n")]}, ROH_VCF[2:]),
        ({"repeats": REPEATS[:2] + [REPEATS[2].rstrip("\n")]}, MARKED[:1]),
    ],
    ids=["sv", "cnv", "repeats", "roh-vcf", "repeats-donor"],
)
def test_unterminated_last_line_gets_its_newline(tmp_path, files_lines, last_lines):
    _, _, text = unify(tmp_path, files_lines)
    assert text.endswith("".join(last_lines))
    assert all(line.endswith("\n") for line in text.splitlines(keepends=True))


def test_blank_lines_in_a_cnv_donor_do_not_abort(tmp_path):
    _, _, text = unify(tmp_path, {"cnv": CNV[:3] + ["\n", "  \t\n"]})
    assert text == "".join(CNV[:3]) + "\n  \t\n"


def test_missing_output_directory_raises_without_logging(tmp_path, caplog):
    with pytest.raises(FileNotFoundError):
        unifier.unify_lines({"sv": SV}, str(tmp_path / "no" / "unified.vcf"))
    assert caplog.records == []


def test_rule_error_stops_and_keeps_what_was_written(tmp_path, caplog):
    caplog.set_level(logging.INFO)
    with pytest.raises(ValueError):
        unify(tmp_path, {"sv": SV, "roh": ["chr1\t100\t500\n", "chr1\t1e5\t500\n"]})
    roh = "chr1\t101\t.\tN\t<ROH>\t.\tPASS\tEND=500;SVTYPE=ROH\tGT\t1/1\n"
    assert (tmp_path / "unified.vcf").read_text() == "".join(SV) + roh
    assert "Created unified vcf file at %s" not in [r.msg for r in caplog.records]


@pytest.mark.parametrize(
    "options, expected",
    [
        (unifier.UnifyOptions(add_repeat_svtype=False), REPEATS[2:]),
        (unifier.UnifyOptions(add_repeat_svtype=True),
         [MARKED[0], REPEATS[3].replace("END=82", "END=82;SVTYPE=REP")]),
        (None, MARKED),
    ],
)
def test_repeat_marking_modes(tmp_path, options, expected):
    _, _, text = unify(tmp_path, {"sv": SV, "repeats": REPEATS}, options)
    assert text == "".join(SV + expected)


@pytest.mark.parametrize(
    "roh_format, lines, expected",
    [
        ("bed", ROH_BED, CONVERTED),
        (unifier.RohFormat.VCF, ROH_VCF, ROH_VCF[2:]),
        ("auto", ROH_VCF, ROH_VCF[2:]),
        ("whatever", ROH_BED, CONVERTED),
    ],
)
def test_write_vcf_content_to_an_open_file(caplog, roh_format, lines, expected):
    output = io.StringIO()
    calls = []
    original_write = output.write
    output.write = lambda text: calls.append(text) or original_write(text)
    unifier._write_vcf_content("roh", {"roh": lines}, output, unifier.UnifyOptions(roh_format=roh_format))
    assert calls == expected  # one write per line, through the caller's object
    assert caplog.records == []


def test_write_vcf_content_missing_key_is_a_key_error():
    with pytest.raises(KeyError):
        unifier._write_vcf_content("cnv", {}, io.StringIO(), unifier.UnifyOptions())


@pytest.mark.parametrize(
    "lines, header",
    [
        (SV, "".join(SV[:2])),
        (["##a\n", "x #CHROM y\n", "rec\n"], "##a\nx #CHROM y\n"),
        (["a\n", "b"], "a\nb"),
        ([], ""),
    ],
)
def test_vcf_header_from_lines(lines, header):
    assert unifier.vcf_header_from_lines(lines) == header
    assert unifier.vcf_header_from_lines(iter(lines)) == header


@pytest.mark.parametrize("call", [
    lambda path: unifier.unify_lines({"sv": SV}, path),
    lambda path: unifier.get_lines(path),
    lambda path: unifier.read_struct_lines({"cnv": path}),
])
def test_a_path_holding_nul_is_refused(tmp_path, call):
    # The system call would see only the part before the NUL: another file.
    (tmp_path / "a").write_text("".join(SV))
    with pytest.raises(ValueError, match="embedded null byte"):
        call(str(tmp_path / "a\0b"))
    assert (tmp_path / "a").read_text() == "".join(SV)
