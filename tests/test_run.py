"""run, the whole job: end to end on the shipped example inputs, and its guards."""

import gzip
import logging
import os
import subprocess
from collections import Counter
from pathlib import Path

import pysam
import pytest
from hypothesis import HealthCheck, given, settings, strategies as st

import Callfold
import Callfold.unifier as unifier
from Callfold import compression
from compression_helpers import bgzf_blocks
from input_files import BGZF_EOF

CONTIG_ORDER = ["chr1", "chr2", "chr3", "chrX"]


def records_of(text):
    return [line for line in text.splitlines(keepends=True) if line.strip() and not line.startswith("#")]


def expected_records(data_copy, roh="roh.bed", drop=("InvBreakpoint",)):
    """What unify_lines writes for the shipped inputs: every record that should reach the .gz."""
    options = unifier.UnifyOptions(drop_sv_filters=tuple(drop))
    paths = {"sv": data_copy("sv.vcf"), "cnv": data_copy("cnv.vcf"), "repeats": data_copy("repeats.vcf"),
             "roh": data_copy(roh)}
    out = str(Path(paths["sv"]).parent / "reference.vcf")
    unifier.unify_lines(unifier.read_struct_lines(paths, options), out, options)
    return records_of(Path(out).read_text()), paths


@pytest.fixture
def spy(monkeypatch):
    calls = []

    def fake_sort_and_compress(*args, **kwargs):
        calls.append((args, kwargs))
        return "sorted.vcf.gz"

    monkeypatch.setattr(unifier, "sort_and_compress", fake_sort_and_compress)
    return calls


@pytest.mark.parametrize("compression, roh", [("plain", "roh.bed"), ("bgzf", "roh.bed"), ("gzip", "roh.vcf")])
def test_run_end_to_end(tmp_path, data_copy, write_input, require_tool, compression, roh):
    expected, paths = expected_records(data_copy, roh)
    if compression != "plain":
        paths = {key: write_input(f"z/{key}.gz", Path(path).read_text(), compression, block_size=300)
                 for key, path in paths.items()}
    output = str(tmp_path / "unified.vcf")
    result = Callfold.run(output, paths["sv"], paths["cnv"], paths["repeats"], paths["roh"],
                          drop_sv_filters=["InvBreakpoint"])
    assert result == output + ".gz"
    assert not os.path.exists(output)
    blocks = bgzf_blocks(result)  # parses every block strictly
    assert blocks[-1].data == b"" and Path(result).read_bytes().endswith(BGZF_EOF)
    text = gzip.decompress(Path(result).read_bytes()).decode()
    lines = text.splitlines(keepends=True)
    header_end = next(i for i, line in enumerate(lines) if line.startswith("#CHROM"))
    assert all(line.startswith("##") for line in lines[:header_end])
    assert not any(line.startswith("#") for line in lines[header_end + 1 :])
    assert Counter(records_of(text)) == Counter(expected)
    assert not any("InvBreakpoint\t" in line for line in records_of(text))
    assert sum("<ROH>" in line for line in records_of(text)) == (3 if roh == "roh.bed" else 2)
    # CNV records appended after an SV header go out unchanged, with or without SVTYPE=.
    without_svtype = {line.split("\t")[2] for line in records_of(text) if "SVTYPE=" not in line.split("\t")[7]}
    assert without_svtype == {"cnv.nocall.1", "cnv.dup.1", "cnv.nocall.2"}

    strict = subprocess.run([require_tool("bcftools"), "view", "-Ov", "-o", os.devnull, result],
                            capture_output=True, text=True, check=True)
    assert strict.stderr == ""
    subprocess.run([require_tool("tabix"), "-p", "vcf", result], check=True)
    with pysam.TabixFile(result) as indexed:
        region = [row.split("\t")[2] for row in indexed.fetch("chr1", 1_000_000, 3_000_000)]
    assert region == ["sv.bnd.1", "sv.inv.1"]
    for key, path in paths.items():
        assert os.path.exists(path), key


def test_run_no_inputs(tmp_path, caplog, spy):
    output = tmp_path / "unified.vcf"
    assert unifier.run(str(output)) is None
    assert [r.getMessage() for r in caplog.records] == [
        f"Can't unify file type \"{key}\". The file does not exist." for key in ("sv", "cnv", "repeats", "roh")
    ] + ["Empty/no vcf files to concatenate"]
    assert output.read_bytes() == b"" and spy == []


def test_run_only_roh_gives_none(tmp_path, data_copy, spy):
    assert unifier.run(str(tmp_path / "u.vcf"), roh_bed_path=data_copy("roh.bed")) is None
    assert spy == []


def test_run_calls_the_sort_step_bound_at_call_time(tmp_path, data_copy, spy):
    output = str(tmp_path / "u.vcf")
    assert unifier.run(output, sv_path=data_copy("sv.vcf")) == "sorted.vcf.gz"
    assert spy == [((output,), {})]
    assert unifier.run(output, sv_path=data_copy("sv.vcf"), threads=3) == "sorted.vcf.gz"
    assert unifier._run_with(unifier.sort_and_compress, output, data_copy("sv.vcf"), threads=1) == "sorted.vcf.gz"
    assert spy[1:] == [((output,), {"threads": 3}), ((output,), {"threads": 1})]


def test_threads_never_change_the_bytes(tmp_path):
    """Enough records for several BGZF blocks, index blocks and declaration-scan ranges."""
    lines = [f"chr{1 + i % 3}\t{10 + (i * 7919) % 900_000}\tsv{i}\tN\t<DEL>\t.\tPASS\tSVTYPE=DEL;END={2_000_000 + i}"
             f";K{i % 5}=1\tGT\t0/1\n" for i in range(220_000)]
    text = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tS1\n" + "".join(lines)
    written = {}
    for threads in (None, 1, 2, 5):
        path = tmp_path / f"t{threads}.vcf"
        path.write_text(text)
        result = compression.sort_and_compress(path, index=True, threads=threads)
        written[threads] = (Path(result).read_bytes(), Path(result + ".tbi").read_bytes())
    assert written[1] == written[None] == written[2] == written[5]
    with pytest.raises(ValueError, match="threads must be between 1 and 1024, not 0"):
        compression.sort_and_compress(tmp_path / "t1.vcf", threads=0)
    with pytest.raises(TypeError, match="threads must be an int or None, not float"):
        compression.sort_and_compress(tmp_path / "t1.vcf", threads=2.0)


def test_run_refuses_bad_threads_before_writing(tmp_path, data_copy):
    """threads caps the reading as well as the sort, so it is checked before anything is written."""
    output = tmp_path / "u.vcf"
    with pytest.raises(ValueError, match="threads must be between 1 and 1024, not 0"):
        unifier.run(output, sv_path=data_copy("sv.vcf"), threads=0)
    assert list(tmp_path.glob("u.vcf*")) == []


@pytest.mark.parametrize(
    "skip_svtype, marked", [(True, 0), (1, 0), (False, 4), (None, 4), (0, 4)]
)
def test_run_skip_svtype(tmp_path, data_copy, spy, skip_svtype, marked):
    output = tmp_path / "u.vcf"
    unifier.run(str(output), repeat_path=data_copy("repeats.vcf"), skip_svtype=skip_svtype)
    assert output.read_text().count(";SVTYPE=REP") == marked


@pytest.mark.parametrize("drop", [["InvBreakpoint"], ("InvBreakpoint",), "InvBreakpoint"])
def test_run_drop_sv_filters(tmp_path, data_copy, spy, drop):
    output = tmp_path / "u.vcf"
    unifier.run(str(output), sv_path=data_copy("sv.vcf"), drop_sv_filters=drop)
    ids = [line.split("\t")[2] for line in records_of(output.read_text())]
    assert "sv.inv.bp1" not in ids and "sv.ins.1" not in ids and len(ids) == 6


def test_run_missing_input_fails_before_writing(tmp_path, spy):
    output = tmp_path / "u.vcf"
    with pytest.raises(FileNotFoundError):
        unifier.run(str(output), sv_path=str(tmp_path / "missing.vcf"))
    assert not output.exists()


def same_file_spellings(tmp_path, target):
    """Ways of naming `target` (an existing file) other than by itself."""
    (tmp_path / "sub").mkdir(exist_ok=True)
    link = tmp_path / "link.vcf"
    link.symlink_to(target)
    hard = tmp_path / "hard.vcf"
    os.link(target, hard)
    return {
        "same": str(target),
        "dotdot": str(tmp_path / "sub" / ".." / Path(target).relative_to(tmp_path)),
        "symlink": str(link),
        "hardlink": str(hard),
    }


@pytest.mark.parametrize("spelling", ["same", "dotdot", "symlink", "hardlink"])
@pytest.mark.parametrize("compressed", [False, True])
def test_run_refuses_an_output_that_names_an_input(tmp_path, data_copy, spy, spelling, compressed):
    sv = data_copy("sv.vcf")
    before = Path(sv).read_bytes()
    if compressed:
        # The input is what the compressed result would replace: output + ".gz".
        gz_input = tmp_path / "inputs" / "cnv.vcf.gz"
        gz_input.write_bytes(gzip.compress(Path(data_copy("cnv.vcf")).read_bytes()))
        names = same_file_spellings(tmp_path, gz_input)
        output = names[spelling][: -len(".gz")]
        if spelling in ("symlink", "hardlink"):
            os.rename(names[spelling], names[spelling].replace(".vcf", ".vcf.gz"))
            output = names[spelling]
        kwargs = {"sv_path": sv, "cnv_path": str(gz_input)}
    else:
        output = same_file_spellings(tmp_path, Path(sv))[spelling]
        kwargs = {"sv_path": sv}
    with pytest.raises(ValueError, match="input"):
        unifier.run(output, **kwargs)
    assert Path(sv).read_bytes() == before and spy == []


def test_run_guard_names_the_first_input_met_and_the_output_over_it(tmp_path, data_copy, spy):
    # The inputs are met in the order sv, cnv: the sv input is the compressed name,
    # the cnv input the unified file itself.
    output = tmp_path / "x.vcf"
    output.write_bytes(Path(data_copy("cnv.vcf")).read_bytes())
    compressed = tmp_path / "x.vcf.gz"
    compressed.write_bytes(gzip.compress(Path(data_copy("sv.vcf")).read_bytes()))
    with pytest.raises(ValueError) as refused:
        unifier.run(str(output), sv_path=str(compressed), cnv_path=str(output))
    assert str(refused.value) == (f"the compressed output '{compressed}' is the sv input '{compressed}'; "
                                  "choose an output_path whose compressed name is not an input")
    with pytest.raises(ValueError) as refused:
        unifier.run(str(output), sv_path=data_copy("sv.vcf"), cnv_path=str(output))
    assert str(refused.value) == (f"output_path '{output}' is the cnv input '{output}'; "
                                  "writing the unified file there would destroy it")
    assert spy == []


def test_run_guard_refuses_only_a_file_that_exists(tmp_path, data_copy, spy):
    # Spelled through a directory that does not exist, the output names no file:
    # the guard lets it pass and opening it fails, the input untouched.
    sv = Path(data_copy("sv.vcf"))
    before = sv.read_bytes()
    with pytest.raises(FileNotFoundError):
        unifier.run(str(sv.parent / "nowhere" / ".." / sv.name), sv_path=str(sv))
    assert sv.read_bytes() == before and spy == []


def test_run_missing_input_error_comes_before_the_guard(tmp_path):
    missing = str(tmp_path / "missing.vcf")
    with pytest.raises(FileNotFoundError):
        unifier.run(missing, sv_path=missing)


RECORD = st.tuples(st.sampled_from(CONTIG_ORDER + ["chrUn"]), st.integers(1, 10_000), st.sampled_from(["DEL", "DUP"]))


@settings(max_examples=25, deadline=None, suppress_health_check=[HealthCheck.function_scoped_fixture])
@given(sv=st.lists(RECORD, max_size=30), cnv=st.lists(RECORD, max_size=30))
def test_sorted_output_keeps_every_record(tmp_path_factory, sv, cnv):
    base = tmp_path_factory.mktemp("prop")
    header = "".join(f"##contig=<ID={c}>\n" for c in CONTIG_ORDER) + unifier._VCF_COLUMN_HEADER + "\tS\n"

    def vcf(name, rows):
        body = "".join(f"{c}\t{p}\t{name}{i}\tN\t<{t}>\t.\tPASS\tSVTYPE={t};END={p + 5}\tGT\t0/1\n"
                       for i, (c, p, t) in enumerate(rows))
        path = base / f"{name}.vcf"
        path.write_text(header + body)
        return str(path)

    sv_path, cnv_path = vcf("sv", sv), vcf("cnv", cnv)
    reference = base / "reference.vcf"
    unifier.unify_lines(unifier.read_struct_lines({"sv": sv_path, "cnv": cnv_path}), str(reference))
    written = records_of(reference.read_text()) if reference.exists() else []
    result = unifier.run(str(base / "u.vcf"), sv_path=sv_path, cnv_path=cnv_path)
    if not sv and not cnv:
        assert result is None
        return
    records = records_of(gzip.decompress(Path(result).read_bytes()).decode())
    assert Counter(records) == Counter(written)
    rank = {c: i for i, c in enumerate(CONTIG_ORDER)}
    keys = [(rank.get(r.split("\t")[0], len(rank)), int(r.split("\t")[1])) for r in records]
    assert keys == sorted(keys)


def test_logging_reaches_handlers_as_it_happens(tmp_path, data_copy, spy):
    seen = []

    class Handler(logging.Handler):
        def emit(self, record):
            seen.append((record.levelname, record.getMessage(), (tmp_path / "u.vcf").exists()))

    handler = Handler(level=logging.INFO)
    root = logging.getLogger()
    root.addHandler(handler)
    old_level = root.level
    root.setLevel(logging.INFO)
    try:
        unifier.run(str(tmp_path / "u.vcf"), sv_path=data_copy("sv.vcf"), drop_sv_filters=["InvBreakpoint"])
    finally:
        root.removeHandler(handler)
        root.setLevel(old_level)
    assert seen[0] == ("INFO", "Filtered 2 SV records with FILTER in ['InvBreakpoint'] from the unified VCF", False)
    assert seen[-1] == ("INFO", f"Created unified vcf file at {tmp_path / 'u.vcf'}", True)


def test_run_with_hands_the_unified_file_to_the_given_sort_step(tmp_path, data_copy):
    seen = []
    output = str(tmp_path / "unified.vcf")
    result = unifier._run_with(lambda path: seen.append(path) or "sorted", output, data_copy("sv.vcf"),
                               skip_svtype=True, drop_sv_filters="InvBreakpoint")
    assert (result, seen) == ("sorted", [output])
    text = Path(output).read_text()
    assert "sv.inv.bp1" not in text and "sv.del.2" in text
    assert unifier._run_with(lambda path: pytest.fail("no sort without a donor"), output) is None
