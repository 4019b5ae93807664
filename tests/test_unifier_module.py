"""What loading Callfold.unifier defines: constants, RohFormat, UnifyOptions, operations."""

import dataclasses
import subprocess
import sys
import typing

import pytest

import Callfold
import Callfold.compression
import Callfold.unifier as unifier

OPERATIONS = [
    ("get_lines", "(file_path: str | os.PathLike[str]) -> List[str]"),
    ("is_empty", "(lines: Iterable[str]) -> bool"),
    ("vcf_header_from_lines", "(vcf_lines: Iterable[str]) -> str"),
    ("is_valid_line", "(line: str) -> bool"),
    ("modify_repeat_line", "(repeat_line: str) -> str"),
    ("_repeat_line_needs_svtype", "(repeat_line: str) -> bool"),
    ("_marked_repeat_line", "(repeat_line: str, add_repeat_svtype: Optional[bool]) -> str"),
    ("_roh_lines_are_bed", "(roh_lines: Sequence[str], declared: str) -> bool"),
    ("roh_bed_line_to_vcf", "(bed_line: str) -> str"),
    ("drop_sv_records_by_filter", "(lines: Sequence[str], filter_tokens: Sequence[str]) -> List[str]"),
    (
        "_write_vcf_content",
        "(file_type: str, lines_dict: Dict[str, Optional[List[str]]], output_h, options: UnifyOptions) -> None",
    ),
    (
        "unify_lines",
        "(files_lines: Dict[str, Optional[List[str]]], output_path: str | os.PathLike[str],"
        " options: Optional[UnifyOptions] = None) -> str | os.PathLike[str] | None",
    ),
    (
        "read_struct_lines",
        "(struct_files: collections.abc.Mapping[str, str | os.PathLike[str] | None],"
        " options: Optional[UnifyOptions] = None) -> Dict[str, Optional[List[str]]]",
    ),
    (
        "run",
        "(output_path: str | os.PathLike[str], sv_path: str | os.PathLike[str] | None = None,"
        " cnv_path: str | os.PathLike[str] | None = None, repeat_path: str | os.PathLike[str] | None = None,"
        " roh_bed_path: str | os.PathLike[str] | None = None, skip_svtype: bool = False,"
        " drop_sv_filters: Sequence[str] = (), *, allow_build_mismatch: bool = True, threads: int | None = None) -> Optional[str]",
    ),
]


def test_module_attributes_in_load_order():
    expected = ["gzip", "logging", "dataclass", "field", "Dict", "Iterable", "List", "Optional", "Sequence",
                "sort_and_compress", "SV", "CNV", "REPEATS", "ROH", "FILE_TYPES", "_VCF_COLUMN_HEADER",
                "RohFormat", "UnifyOptions"] + [name for name, _ in OPERATIONS] + ["run_indexed", "_run_with",
                                                                                 "_set_progress"]
    names = [name for name in vars(unifier) if not name.startswith("__")]
    assert names == expected
    assert unifier.Dict is typing.Dict and unifier.field is dataclasses.field
    assert unifier.sort_and_compress is Callfold.compression.sort_and_compress
    assert unifier.__doc__ == "Unify SV / CNV / repeat / ROH calls into one structural VCF for Orvane."
    assert Callfold.run is unifier.run


def test_constants():
    assert (unifier.SV, unifier.CNV, unifier.REPEATS, unifier.ROH) == ("sv", "cnv", "repeats", "roh")
    assert unifier.FILE_TYPES == ("sv", "cnv", "repeats", "roh") and isinstance(unifier.FILE_TYPES, tuple)
    header = unifier._VCF_COLUMN_HEADER
    assert header == "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT"
    assert header in header + "\tHG002\n"
    assert header not in "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n"


@pytest.mark.parametrize("name, signature", OPERATIONS)
def test_operation_signature_and_summary(name, signature):
    operation = getattr(unifier, name)
    doc = operation.__doc__
    assert doc.startswith(name + signature + "\n")
    assert doc.splitlines()[2].strip()  # a summary line follows the signature


def test_roh_format_is_a_namespace_of_texts():
    rf = unifier.RohFormat
    assert (rf.AUTO, rf.BED, rf.VCF, rf.BCFTOOLS_ROH) == ("auto", "bed", "vcf", "bcftools_roh")
    assert rf.__doc__ == "How a caller's ROH input arrives."
    assert rf.__bases__ == (object,) and rf.__module__ == "Callfold.unifier"


def test_unify_options_defaults_equality_hash():
    options_type = unifier.UnifyOptions
    assert dataclasses.is_dataclass(options_type)
    assert options_type.__doc__ == "Per-caller differences in how the inputs are read."
    assert [f.name for f in dataclasses.fields(options_type)] == ["add_repeat_svtype", "roh_format", "drop_sv_filters",
                                                                  "allow_build_mismatch"]
    default = options_type()
    assert default == options_type(None, "auto", (), True)
    assert default != options_type(allow_build_mismatch=False)
    assert default == options_type(add_repeat_svtype=None, roh_format=unifier.RohFormat.AUTO, drop_sv_filters=())
    assert hash(default) == hash(options_type())
    assert options_type(roh_format="bed") == options_type(roh_format=unifier.RohFormat.BED)
    assert repr(default) == (
        "UnifyOptions(add_repeat_svtype=None, roh_format='auto', drop_sv_filters=(), allow_build_mismatch=True)"
    )
    assert options_type().drop_sv_filters == ()
    with pytest.raises(TypeError):
        hash(options_type(drop_sv_filters=["a"]))


def test_unify_options_frozen():
    options = unifier.UnifyOptions()
    with pytest.raises(dataclasses.FrozenInstanceError):
        options.roh_format = "bed"
    assert options.roh_format == "auto"


def test_loading_fails_with_import_error_without_compression():
    script = (
        "import sys\n"
        "class Block:\n"
        "    def find_spec(self, name, path=None, target=None):\n"
        "        if name == 'Callfold.compression': raise ImportError('blocked')\n"
        "sys.meta_path.insert(0, Block())\n"
        "try:\n"
        "    import Callfold.unifier\n"
        "except ImportError as error:\n"
        "    print('ImportError', type(error).__name__)\n"
    )
    result = subprocess.run([sys.executable, "-P", "-c", script], capture_output=True, text=True, check=True)
    assert result.stdout.strip() == "ImportError ImportError"
