"""The operations that report every file they write: sort_and_compress_indexed and
run_indexed return the .gz and the index actually written (TBI, or CSI when asked or
needed), which a reader opens as given; filtered_repeat_path names filter_repeats_vcf's
default output."""

import gzip
import os
from pathlib import Path

import pysam
import pytest

import Callfold.unifier as unifier
from Callfold import compression, repeats

HEADER = ("##fileformat=VCFv4.2\n##contig=<ID=chr1,length=248956422>\n##contig=<ID=big,length=2147483648>\n"
          '##INFO=<ID=END,Number=1,Type=Integer,Description="End position">\n'
          "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n")
NEAR = "chr1\t900\tnear\tA\tG\t.\tPASS\t.\nchr1\t100\tfirst\tC\tT\t.\tPASS\t.\n"
FAR = NEAR + f"big\t{2**29 + 5}\tfar\tG\tA\t.\tPASS\t.\n"  # beyond what TBI holds


@pytest.mark.parametrize(("records", "csi", "suffix"), [
    pytest.param(NEAR, False, ".tbi", id="tbi"),
    pytest.param(NEAR, True, ".csi", id="csi-asked"),
    pytest.param(FAR, False, ".csi", id="csi-needed"),
])
def test_sort_and_compress_indexed_returns_the_index_written(tmp_path, records, csi, suffix):
    vcf = tmp_path / "calls.vcf"
    vcf.write_text(HEADER + records)
    gz, index = compression.sort_and_compress_indexed(vcf, csi=csi, threads=1)
    assert (gz, index) == (str(vcf) + ".gz", str(vcf) + ".gz" + suffix)
    assert sorted(os.listdir(tmp_path)) == sorted(Path(path).name for path in (gz, index))
    with pysam.TabixFile(gz, index=index) as tabix:
        assert [row.split("\t")[2] for row in tabix.fetch("chr1")] == ["first", "near"]


def test_run_indexed_writes_what_run_writes_and_its_index(tmp_path, data_copy):
    inputs = {"sv_path": data_copy("sv.vcf"), "cnv_path": data_copy("cnv.vcf"), "roh_bed_path": data_copy("roh.bed")}
    plain = unifier.run(str(tmp_path / "plain.vcf"), **inputs)
    gz, index = unifier.run_indexed(str(tmp_path / "indexed.vcf"), **inputs, csi=True)
    assert (gz, index) == (str(tmp_path / "indexed.vcf.gz"), str(tmp_path / "indexed.vcf.gz.csi"))
    assert gzip.decompress(Path(gz).read_bytes()) == gzip.decompress(Path(plain).read_bytes())
    with pysam.VariantFile(gz, index_filename=index) as reader:
        assert len(list(reader.fetch("chr1"))) > 0
    assert unifier.run_indexed(str(tmp_path / "none.vcf"), roh_bed_path=inputs["roh_bed_path"]) is None


def test_filtered_repeat_path_is_public_under_its_old_name_too():
    assert repeats.filtered_repeat_path("d/s1.repeats.vcf.gz") == "d/s1.repeats_filtered.vcf"
    assert repeats._filtered_repeat_path is repeats.filtered_repeat_path
