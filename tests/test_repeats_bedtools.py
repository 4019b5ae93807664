"""The bedtools engine of Callfold.repeats, and the built-in engine checked against
bedtools itself on repeat VCFs shaped like genotyper output."""

import random
import subprocess
from pathlib import Path

import pytest

from Callfold import repeats
from repeats_helpers import HEADER, fake_program, random_catalog, random_repeat_records, record, vcf, write


def test_argument_vector_reaches_bedtools_intact(tmp_path, path_dir):
    fake_program(path_dir, "bedtools", 'printf "[%s]\\n" "$0" "$@"\n')
    repeat = write(tmp_path / "my calls; $(rm -rf x) 'q'.vcf", vcf())
    bed = write(tmp_path / "cat alog*.bed", "")
    out = tmp_path / "out put.vcf"
    out.write_text("previous content, longer than what bedtools writes\n" * 50)
    assert repeats._intersect_with_bedtools(repeat, bed, output_path=str(out)) is None
    arguments = ["intersect", "-a", repeat, "-b", bed, "-header", "-u"]
    assert out.read_text() == f"[{path_dir / 'bedtools'}]\n" + "".join(f"[{a}]\n" for a in arguments)


@pytest.mark.parametrize(("script", "status"), [("echo partial\nexit 3\n", 3), ("echo partial\nkill -9 $$\n", -9)])
def test_failed_run_raises_with_its_status_and_keeps_the_output(tmp_path, path_dir, script, status):
    fake_program(path_dir, "bedtools", script)
    repeat, bed, out = write(tmp_path / "r.vcf", vcf()), write(tmp_path / "c.bed", ""), tmp_path / "out.vcf"
    with pytest.raises(subprocess.CalledProcessError) as raised:
        repeats._intersect_with_bedtools(repeat, bed, str(out))
    assert raised.value.returncode == status
    assert raised.value.cmd == ["bedtools", "intersect", "-a", repeat, "-b", bed, "-header", "-u"]
    assert out.read_text() == "partial\n"


@pytest.mark.parametrize(
    ("make", "error"),
    [(lambda d: None, FileNotFoundError), (lambda d: fake_program(d, "bedtools", "exit 0\n", mode=0o644), PermissionError)],
)
def test_bedtools_that_cannot_start_leaves_an_empty_output(tmp_path, path_dir, make, error):
    make(path_dir)
    out = tmp_path / "out.vcf"
    out.write_text("previous\n")
    with pytest.raises(error) as raised:
        repeats._intersect_with_bedtools(write(tmp_path / "r.vcf", vcf()), write(tmp_path / "c.bed", ""), str(out))
    assert isinstance(raised.value, OSError)
    assert out.read_bytes() == b""


def test_unopenable_output_does_not_start_bedtools(tmp_path, path_dir):
    marker = tmp_path / "started"
    fake_program(path_dir, "bedtools", f": > '{marker}'\n")  # a shell builtin: PATH holds nothing else
    with pytest.raises(FileNotFoundError):
        repeats._intersect_with_bedtools(write(tmp_path / "r.vcf", vcf()), write(tmp_path / "c.bed", ""), str(tmp_path / "no" / "o.vcf"))
    assert not marker.exists()


def run_both(tmp_path, require_tool, repeat, bed):
    require_tool("bedtools")
    outputs = []
    for engine in (repeats.BUILTIN, repeats.BEDTOOLS):
        out = tmp_path / f"{engine}.vcf"
        assert repeats.filter_repeats_vcf(repeat, bed, engine, str(out)) == str(out)
        outputs.append(out.read_bytes())
    return outputs


SHIPPED = ["STRchive-disease-loci.hg38.TRGT.bed", "STRchive-disease-loci.hg19.TRGT.bed", "STRchive-disease-loci.T2T-chm13.TRGT.bed"]
ENGINES = [repeats.BUILTIN, repeats.BEDTOOLS]


def filter_with(tmp_path, require_tool, engine, repeat, bed):
    """The filtered VCF's text; a bedtools run needs bedtools (CI fails without it)."""
    if engine == repeats.BEDTOOLS:
        require_tool("bedtools")
    out = tmp_path / f"{engine}.vcf"
    assert repeats.filter_repeats_vcf(repeat, bed, engine, str(out)) == str(out)
    return out.read_text()


@pytest.mark.parametrize("engine", ENGINES)
@pytest.mark.parametrize("catalog", SHIPPED)
def test_both_engines_read_every_shipped_catalog(tmp_path, require_tool, catalog, engine):
    bed = str(Path(repeats.default_repeat_catalog_path()).with_name(catalog))
    loci = [line.split("\t") for line in Path(bed).read_text().splitlines()]
    # One genotyped record per locus (REF with its padding base), one just before each.
    records = []
    for chrom, start, end, _ in loci:
        ref = "C" * (int(end) - int(start) + 1)
        records.append(record(chrom, int(start), ref, info=f"TRID=x;END={int(start) - 1 + len(ref)}"))
        records.append(record(chrom, int(start) - 5, "ACGT", info=f"END={int(start) - 2}"))
    repeat = write(tmp_path / "sample.vcf.gz", vcf(*records), "bgzf")
    assert filter_with(tmp_path, require_tool, engine, repeat, bed) == "".join(HEADER) + "".join(records[::2])


@pytest.mark.parametrize("engine", ENGINES)
def test_example_repeat_genotypes_at_shipped_loci_are_kept_the_other_dropped(tmp_path, data_copy, require_tool, engine):
    repeat = data_copy("repeats.vcf")
    lines = Path(repeat).read_text().splitlines(keepends=True)
    expected = "".join(line for line in lines if "chr2_50000000_AT" not in line)  # a repeat at no disease locus
    assert len(expected) < len("".join(lines))
    assert filter_with(tmp_path, require_tool, engine, repeat, repeats.default_repeat_catalog_path()) == expected


def repeat_ids(text):
    return [line.split("\t")[7].rsplit("REPID=", 1)[1] for line in text.splitlines() if not line.startswith("#")]


VARIANT_CALLS = ["HTT", "ATXN1"]
REFERENCE_CALLS = ["PHOX2B", "PPP2R2B", "CBL", "PABPN1"]


@pytest.mark.parametrize(
    ("engine", "kept"),
    [
        (None, ["HTT", "PHOX2B", "PPP2R2B", "ATXN1", "CBL", "PABPN1"]),
        (repeats.BUILTIN, ["HTT", "PHOX2B", "PPP2R2B", "ATXN1", "CBL", "PABPN1"]),
        # bedtools sizes a record whose ALT is not symbolic by its REF alone: the reference
        # calls' one base lies just before the locus that their END covers.
        (repeats.BEDTOOLS, VARIANT_CALLS),
    ],
)
def test_reference_calls_are_sized_by_their_end(tmp_path, data_copy, require_tool, engine, kept):
    text = filter_with(tmp_path, require_tool, engine, data_copy("repeats_reference_calls.vcf"), repeats.default_repeat_catalog_path())
    assert repeat_ids(text) == kept


# A record at POS 90 against the locus [100, 200): where bedtools sizes it otherwise.
@pytest.mark.parametrize(
    ("ref", "alt", "info", "builtin_keeps", "bedtools"),
    [
        ("A", ".", "END=150", True, "dropped"),  # sequence ALT: REF alone
        ("A", "AT", "END=150", True, "dropped"),
        ("A" * 12, ".", "END=95", False, "kept"),
        ("A", "<STR>", "SVLEN=-5;END=150", True, "dropped"),  # symbolic: whichever INFO gives first
        ("A", "<STR>", "END=150;SVLEN=-5", True, "kept"),
        ("A", "<DEL>", "SVLEN=-50", False, "kept"),
        ("A", "<STR>", "RU=CAG", False, "fails"),  # symbolic with neither
        ("A", "<STR>", "END=88", False, "fails"),  # END below POS - 1
    ],
)
def test_where_bedtools_sizes_records_differently(tmp_path, require_tool, ref, alt, info, builtin_keeps, bedtools):
    line = record("chr1", 90, ref, alt, info)
    repeat, bed = write(tmp_path / "r.vcf", vcf(line)), write(tmp_path / "c.bed", "chr1\t100\t200\n")
    assert (line in filter_with(tmp_path, require_tool, repeats.BUILTIN, repeat, bed)) is builtin_keeps
    if bedtools == "fails":
        with pytest.raises(subprocess.CalledProcessError):
            filter_with(tmp_path, require_tool, repeats.BEDTOOLS, repeat, bed)
    else:
        assert (line in filter_with(tmp_path, require_tool, repeats.BEDTOOLS, repeat, bed)) is (bedtools == "kept")


@pytest.mark.parametrize(("blank", "bedtools_fails"), [("\n", False), (" \t\n", True)])
def test_blank_lines_between_records(tmp_path, require_tool, blank, bedtools_fails):
    records = [record("chr1", 120), record("chr1", 150)]
    repeat, bed = write(tmp_path / "r.vcf", vcf(records[0], blank, records[1])), write(tmp_path / "c.bed", "chr1\t100\t200\n")
    assert filter_with(tmp_path, require_tool, repeats.BUILTIN, repeat, bed) == "".join(HEADER + records)
    if bedtools_fails:
        with pytest.raises(subprocess.CalledProcessError):
            filter_with(tmp_path, require_tool, repeats.BEDTOOLS, repeat, bed)
    else:
        assert filter_with(tmp_path, require_tool, repeats.BEDTOOLS, repeat, bed) == "".join(HEADER + records)


@pytest.mark.parametrize("seed", range(6))
@pytest.mark.parametrize(("compression", "newline"), [("plain", "\n"), ("plain", "\r\n"), ("gzip", "\n"), ("bgzf", "\r\n")])
def test_builtin_engine_matches_bedtools(tmp_path, require_tool, seed, compression, newline):
    rng = random.Random(f"{seed}-{compression}-{newline}")
    intervals, catalog = random_catalog(rng)
    records = random_repeat_records(rng, intervals)
    bed = write(tmp_path / "catalog.bed", catalog.replace("\n", newline))
    repeat = write(tmp_path / "repeats.vcf", vcf(*records).replace("\n", newline), compression, block_size=4000)
    builtin, bedtools = run_both(tmp_path, require_tool, repeat, bed)
    assert builtin == bedtools
    kept = builtin.count(b"\n") - len(HEADER)
    assert 0 < kept < len(records)  # the inputs exercise both outcomes
