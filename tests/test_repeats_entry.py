"""The repeat filtering entry of Callfold.repeats: input checks and their warnings,
engine choice, the default output name, the guard against overwriting an input, and
the catalog shipped with the installed package."""

import importlib.metadata
import logging
import os
from pathlib import Path

import pytest
from hypothesis import given
from hypothesis import strategies as st

from Callfold import repeats
from repeats_helpers import HEADER, fake_program, record, vcf, write

REPO = Path(__file__).resolve().parents[1]
RUNTIME_MESSAGE = "bedtools was requested to filter the repeats VCF but is not on PATH"


def test_constants():
    assert (repeats.BEDTOOLS, repeats.BUILTIN) == ("bedtools", "builtin")
    assert repeats._BUNDLED_CATALOG == "STRchive-disease-loci.hg38.TRGT.bed"


def test_shipped_catalog_is_found_in_the_installed_package():
    path = repeats.default_repeat_catalog_path()
    module_dir = os.path.dirname(os.path.abspath(repeats.__file__))
    assert path == os.path.join(module_dir, "data", repeats._BUNDLED_CATALOG)
    # The module in use comes from an installed wheel, whose record lists the catalog.
    assert not Path(module_dir).resolve().is_relative_to(REPO / "src" / "Callfold")
    distribution = importlib.metadata.distribution("callfold")
    installed = [f for f in distribution.files if f.name == repeats._BUNDLED_CATALOG]
    assert [Path(distribution.locate_file(f)).resolve() for f in installed] == [Path(path).resolve()]
    assert Path(path).read_bytes() == (REPO / "src" / "Callfold" / "data" / repeats._BUNDLED_CATALOG).read_bytes()


def test_catalog_path_follows_the_module_file_and_is_not_tested(monkeypatch, tmp_path):
    monkeypatch.setattr(repeats, "__file__", str(tmp_path / "elsewhere" / "repeats.so"))
    assert repeats.default_repeat_catalog_path() == str(tmp_path / "elsewhere" / "data" / repeats._BUNDLED_CATALOG)


@pytest.mark.parametrize(
    ("make", "found"),
    [
        (lambda d: None, False),
        (lambda d: fake_program(d, "bedtools", "exit 0\n"), True),
        (lambda d: fake_program(d, "bedtools", "exit 0\n", mode=0o644), False),
        (lambda d: (d / "bedtools").mkdir(), False),
        (lambda d: fake_program(d, "bedtools.sh", "exit 0\n"), False),
    ],
)
def test_bedtools_available_searches_path_each_call(path_dir, make, found):
    assert repeats.bedtools_available() is False
    make(path_dir)
    assert repeats.bedtools_available() is found


@pytest.fixture
def inputs(tmp_path):
    data = tmp_path / "data"
    repeat = write(data / "sample.repeats.vcf.gz", vcf(record("chr1", 101, "ACG"), record("chr1", 5000)), "bgzf")
    bed = write(data / "catalog.bed", "chr1\t100\t200\n")
    return repeat, bed


def logged(caplog):
    return [(r.name, r.levelname, r.msg, r.args) for r in caplog.records]


@pytest.mark.parametrize(
    ("repeat", "bed", "message", "argument"),
    [
        (None, None, "Can't filter repeats file \"%s\". The file does not exist", None),
        (None, "catalog", "Can't filter repeats file \"%s\". The file does not exist", None),
        ("missing.vcf", None, "Can't filter repeats file with \"%s\". The bed file does not exist", None),
        ("vcf", None, "Can't filter repeats file with \"%s\". The bed file does not exist", None),
        ("missing.vcf", "missing.bed", "%s file doesn't exist", "missing.vcf"),
        ("vcf", "missing.bed", "%s doesn't exist", "missing.bed"),
    ],
)
def test_missing_inputs_warn_and_give_none(tmp_path, inputs, caplog, repeat, bed, message, argument):
    caplog.set_level(logging.INFO)
    names = {"vcf": inputs[0], "catalog": inputs[1], "missing.vcf": str(tmp_path / "missing.vcf"), "missing.bed": str(tmp_path / "missing.bed")}
    result = repeats.filter_repeats_vcf(names.get(repeat), names.get(bed), engine=repeats.BUILTIN)
    expected_argument = names[argument] if argument else None
    assert result is None
    assert logged(caplog) == [("root", "WARNING", message, (expected_argument,))]
    assert caplog.records[0].getMessage().count("None") == (argument is None)
    assert sorted(os.listdir(tmp_path / "data")) == ["catalog.bed", "sample.repeats.vcf.gz"]


def test_directories_count_as_existing(tmp_path, inputs):
    with pytest.raises(IsADirectoryError):
        repeats.filter_repeats_vcf(str(tmp_path), inputs[1], repeats.BUILTIN, str(tmp_path / "out.vcf"))


@pytest.mark.parametrize("engine", [None, "bedtools"])
def test_bedtools_absent(path_dir, inputs, caplog, engine):
    caplog.set_level(logging.INFO)
    if engine is None:  # falls back to the built-in engine
        out = repeats.filter_repeats_vcf(*inputs)
        assert out == str(Path(inputs[0]).parent / "sample.repeats_filtered.vcf")
        assert Path(out).read_text() == "".join(HEADER) + record("chr1", 101, "ACG")
        assert logged(caplog) == [
            ("root", "INFO", "Filtering %s against %s with the %s engine", (*inputs, "builtin")),
            ("root", "INFO", "Repeat records kept: %d, outside the catalog: %d", (1, 1)),
        ]
    else:
        with pytest.raises(RuntimeError) as raised:
            repeats.filter_repeats_vcf(*inputs, engine=engine)
        assert str(raised.value) == RUNTIME_MESSAGE
        assert logged(caplog) == []
        assert not (Path(inputs[0]).parent / "sample.repeats_filtered.vcf").exists()


@pytest.mark.parametrize(
    ("engine", "announced"),
    [(None, "builtin"), ("BEDTOOLS", "BEDTOOLS"), ("builtin", "builtin"), ("anything", "anything"), ("", "")],
)
def test_every_engine_but_bedtools_runs_the_builtin_engine_even_where_bedtools_is(tmp_path, inputs, path_dir, caplog, engine, announced):
    # The filtered set must not depend on what the machine has installed.
    fake_program(path_dir, "bedtools", "exit 7\n")  # would fail if it ran
    caplog.set_level(logging.INFO)
    out = str(tmp_path / "out.vcf")
    assert repeats.filter_repeats_vcf(full_repeat_path=inputs[0], repeat_bed_file_path=inputs[1], engine=engine, output_path=out) == out
    assert Path(out).read_text() == "".join(HEADER) + record("chr1", 101, "ACG")
    assert logged(caplog) == [
        ("root", "INFO", "Filtering %s against %s with the %s engine", (*inputs, announced)),
        ("root", "INFO", "Repeat records kept: %d, outside the catalog: %d", (1, 1)),
    ]


def test_bedtools_engine_runs_when_named(tmp_path, inputs, path_dir, caplog):
    fake_program(path_dir, "bedtools", 'printf "%s|" "$@"\n')
    caplog.set_level(logging.INFO)
    out = repeats.filter_repeats_vcf(*inputs, repeats.BEDTOOLS, "")  # an empty output path is no output path
    assert out == str(Path(inputs[0]).parent / "sample.repeats_filtered.vcf")
    assert Path(out).read_text() == f"intersect|-a|{inputs[0]}|-b|{inputs[1]}|-header|-u|"
    assert logged(caplog) == [("root", "INFO", "Filtering %s against %s with the %s engine", (*inputs, "bedtools"))]


def test_output_path_is_used_unchanged_and_overwritten(tmp_path, inputs):
    out = tmp_path / "not" / ".." / "result.txt"
    (tmp_path / "not").mkdir()
    (tmp_path / "result.txt").write_text("x" * 10000)
    assert repeats.filter_repeats_vcf(*inputs, repeats.BUILTIN, str(out)) == str(out)
    assert (tmp_path / "result.txt").read_text() == "".join(HEADER) + record("chr1", 101, "ACG")


@pytest.mark.parametrize(
    ("path", "expected"),
    [
        ("d/sample.repeats.sorted.vcf.gz", "d/sample.repeats.sorted_filtered.vcf"),
        ("sample.vcf", "sample_filtered.vcf"),
        ("calls.vcf.vcf", "calls.vcf_filtered.vcf"),
        ("/abs/x.vcf.bgz", "/abs/x_filtered.vcf"),
        ("a.vcf.gz.tmp", "a_filtered.vcf"),
        (".hidden.vcf", ".hidden_filtered.vcf"),
        ("d//x.vcf", "d/x_filtered.vcf"),
        ("/x.vcf", "/x_filtered.vcf"),
        # No ".vcf" extension at any level: the whole name, less one .gz/.bgz.
        ("d/calls.bcf", "d/calls.bcf_filtered.vcf"),
        ("calls.txt.gz", "calls.txt_filtered.vcf"),
        ("CALLS.VCF.GZ", "CALLS.VCF_filtered.vcf"),
        ("x.BGZ", "x_filtered.vcf"),
        (".vcf", ".vcf_filtered.vcf"),
        ("d/.vcf.gz", "d/.vcf_filtered.vcf"),
        ("noext", "noext_filtered.vcf"),
        ("d/", "d/_filtered.vcf"),
    ],
)
def test_filtered_repeat_path(path, expected):
    assert repeats._filtered_repeat_path(path) == expected
    assert repeats._filtered_repeat_path(full_repeat_path=path) == expected


def stripping_loop(path):
    """The stripping loop as the naming rule states it, or None where it never ends."""
    directory, name = os.path.split(path)
    suffix = ""
    for _ in range(len(name) + 2):
        if suffix == ".vcf":
            return os.path.join(directory, name + "_filtered.vcf")
        name, suffix = os.path.splitext(name)
    return None


@given(st.lists(st.sampled_from(["a", ".", "vcf", ".vcf", ".gz", "/", "V"]), max_size=10).map("".join))
def test_names_the_stripping_loop_handles_keep_its_result(path):
    result = repeats._filtered_repeat_path(path)
    expected = stripping_loop(path)
    if expected is not None:
        assert result == expected
    else:
        assert result.endswith("_filtered.vcf") and os.path.dirname(result) == os.path.dirname(path)


def naming(kind, target, tmp_path, monkeypatch):
    """Another spelling of `target`: the same text, a path through "..", a relative path,
    a symbolic link, or a hard link."""
    if kind == "same":
        return target
    if kind == "dotdot":
        (target.parent / "sub").mkdir(exist_ok=True)
        return target.parent / "sub" / ".." / target.name
    if kind == "dotdot-missing":
        return target.parent / "nowhere" / ".." / target.name
    if kind == "relative":
        monkeypatch.chdir(target.parent)
        return Path(target.name)
    if kind == "symlink":
        link = tmp_path / f"link-{target.name}"
        link.symlink_to(target)
        return link
    if kind == "hardlink":
        link = tmp_path / f"hard-{target.name}"
        os.link(target, link)
        return link
    raise ValueError(kind)


NAMINGS = ["same", "dotdot", "dotdot-missing", "relative", "symlink", "hardlink"]


def guarded_inputs(tmp_path, bin_dir):
    fake_program(bin_dir, "bedtools", "echo would overwrite\n")
    return Path(write(tmp_path / "in" / "r.vcf", vcf(record("chr1", 101)))), Path(write(tmp_path / "in" / "c.bed", "chr1\t1\t500\n"))


@pytest.mark.parametrize("engine", [repeats.BUILTIN, repeats.BEDTOOLS])
@pytest.mark.parametrize("target", ["vcf", "bed"])
@pytest.mark.parametrize("kind", NAMINGS)
def test_filter_refuses_an_output_naming_an_input(tmp_path, path_dir, monkeypatch, caplog, engine, target, kind):
    caplog.set_level(logging.INFO)
    repeat, bed = guarded_inputs(tmp_path, path_dir)
    before = (repeat.read_bytes(), bed.read_bytes())
    output = naming(kind, repeat if target == "vcf" else bed, tmp_path, monkeypatch)
    with pytest.raises(ValueError, match="destroy"):
        repeats.filter_repeats_vcf(str(repeat), str(bed), engine, str(output))
    assert (repeat.read_bytes(), bed.read_bytes()) == before
    assert logged(caplog) == []  # refused before the engine is announced


@pytest.mark.parametrize("engine", ["_intersect_in_python", "_intersect_with_bedtools"])
@pytest.mark.parametrize("target", ["vcf", "bed"])
@pytest.mark.parametrize("kind", NAMINGS)
def test_engines_refuse_an_output_naming_an_input(tmp_path, path_dir, monkeypatch, engine, target, kind):
    repeat, bed = guarded_inputs(tmp_path, path_dir)
    before = (repeat.read_bytes(), bed.read_bytes())
    output = naming(kind, repeat if target == "vcf" else bed, tmp_path, monkeypatch)
    with pytest.raises(ValueError, match="destroy"):
        getattr(repeats, engine)(str(repeat), str(bed), str(output))
    assert (repeat.read_bytes(), bed.read_bytes()) == before


@pytest.mark.parametrize(
    "engine, target, named",
    [
        ("_intersect_in_python", "vcf", "the repeat VCF"),
        ("_intersect_in_python", "bed", "the catalog BED"),
        ("_intersect_with_bedtools", "vcf", "the repeat VCF"),
        ("_intersect_with_bedtools", "bed", "the catalog BED"),
        # bedtools reads nothing before the guard: a catalog that does not exist is
        # still refused as an output spelled like it.
        ("_intersect_with_bedtools", "missing bed", "the catalog BED"),
    ],
)
def test_output_guard_names_the_input(tmp_path, path_dir, engine, target, named):
    repeat, bed = guarded_inputs(tmp_path, path_dir)
    if target == "missing bed":
        bed = tmp_path / "nowhere.bed"
    output = repeat if target == "vcf" else bed
    spelled = str(output.parent / "sub" / ".." / output.name)
    with pytest.raises(ValueError) as refused:
        getattr(repeats, engine)(str(repeat), str(bed), spelled)
    assert str(refused.value) == f"output path '{spelled}' names {named} '{output}'; writing it would destroy the input"
    assert not (tmp_path / "nowhere.bed").exists()


def test_runtime_error_comes_before_the_output_guard(tmp_path, path_dir):
    repeat = Path(write(tmp_path / "r.vcf", vcf()))
    with pytest.raises(RuntimeError, match=RUNTIME_MESSAGE):
        repeats.filter_repeats_vcf(str(repeat), str(repeat), repeats.BEDTOOLS, str(repeat))


def test_paths_with_a_nul_character_name_no_file(tmp_path, inputs, caplog):
    # A NUL would cut the path short at the system call and name another file.
    caplog.set_level(logging.INFO)
    assert repeats.filter_repeats_vcf(inputs[0] + "\0x", inputs[1]) is None
    assert logged(caplog) == [("root", "WARNING", "%s file doesn't exist", (inputs[0] + "\0x",))]
    out = str(tmp_path / "out.vcf")
    for call in (repeats._intersect_in_python, repeats._intersect_with_bedtools):
        with pytest.raises(ValueError, match="embedded null byte"):
            call(*inputs, out + "\0" + inputs[0])
    with pytest.raises(ValueError, match="embedded null byte"):
        repeats.filter_repeats_vcf(*inputs, repeats.BUILTIN, out + "\0")
    assert not os.path.exists(out)
