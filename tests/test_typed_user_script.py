"""The typed example caller (tests/typing/user_script.py) runs as written: pathlib and
str paths give the same files, and the stages one by one give what run gives."""

import gzip
import subprocess
import sys
from pathlib import Path

SCRIPT = Path(__file__).parent / "typing" / "user_script.py"
DATA = Path(__file__).parent / "data"


def test_user_script_runs_with_path_and_str_paths(tmp_path):
    result = subprocess.run(
        [sys.executable, "-P", str(SCRIPT), str(DATA), str(tmp_path)], capture_output=True, text=True, check=False
    )
    assert result.returncode == 0, result.stderr
    written = result.stdout.splitlines()[:3]
    assert written == [str(tmp_path / name) for name in ("unified.vcf.gz", "unified_str.vcf.gz", "stages.vcf.gz")]
    by_path, by_str, stages = (gzip.decompress(Path(path).read_bytes()).decode() for path in written)
    assert all(mark in by_path for mark in ("sv.del.2", "cnv.dup.1", "SVTYPE=REP", "SVTYPE=ROH"))  # every input
    assert by_path == by_str == stages
    assert (tmp_path / "repeats_kept.vcf").read_text() == (tmp_path / "repeats_kept_str.vcf").read_text()
    assert (tmp_path / "repeats_strict.vcf").read_text() == (tmp_path / "repeats_kept.vcf").read_text()
    assert sorted(p.name for p in tmp_path.iterdir()) == sorted(
        ["repeats_kept.vcf", "repeats_kept_str.vcf", "repeats_strict.vcf", "unified.vcf.gz", "unified_str.vcf.gz", "stages.vcf.gz",
         "stages.vcf.gz.tbi"]
    )
