#!/usr/bin/env bash
# Runs the test suite on every supported CPython this machine has (3.11 to 3.14),
# each in a virtual environment of its own, and says in one line which versions
# ran and which were skipped. With CI=true every supported version is required.
#   scripts/test_supported_pythons.sh [pytest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."

SUPPORTED=(3.11 3.12 3.13 3.14)
# -P keeps the source tree off sys.path, so the tests import the installed package.
PYTEST=(-P -m pytest -p no:cacheprovider)

# The interpreter of version $1 if it is installed: on PATH, under pyenv, under /opt;
# CPython 3.14 from the workplace's installer when that lies beside the clone.
find_python() {
  local version=$1 candidate
  local candidates=("$(command -v "python$version" || true)" "/usr/bin/python$version" "/opt/python$version/bin/python$version")
  if [[ -d "${PYENV_ROOT:-$HOME/.pyenv}/versions" ]]; then
    for candidate in $(ls -d "${PYENV_ROOT:-$HOME/.pyenv}/versions/$version".* 2>/dev/null | sort -V -r); do
      candidates+=("$candidate/bin/python$version")
    done
  fi
  if [[ "$version" == 3.14 && -f ../shared/tools/python314.sh ]]; then
    candidates+=("$(bash ../shared/tools/python314.sh 2>/dev/null | tail -n 1 || true)")
  fi
  for candidate in "${candidates[@]}"; do
    [[ -n "$candidate" && -x "$candidate" ]] || continue
    if "$candidate" -c "import sys; sys.exit(sys.version_info[:2] != tuple(map(int, '$version'.split('.'))))" 2>/dev/null; then
      echo "$candidate"
      return 0
    fi
  done
  return 1
}

default_version=$(python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])' 2>/dev/null || true)
ran=() skipped=() failed=()
for version in "${SUPPORTED[@]}"; do
  if ! python=$(find_python "$version"); then
    skipped+=("$version")
    continue
  fi
  # The default interpreter's environment is the one `make demo` uses too.
  venv=".venv-$version"
  [[ "$version" == "$default_version" ]] && venv=".venv"
  VENV="$venv" ./setup.sh "$python"
  label="$("$venv/bin/python" -c 'import platform; print(platform.python_version())')"
  echo "== CPython $label ($venv)"
  if "$venv/bin/python" "${PYTEST[@]}" "$@" tests; then
    ran+=("$label")
  else
    failed+=("$label")
  fi
done

summary="Test suite ran on CPython ${ran[*]:-(none)}"
((${#failed[@]})) && summary+="; failed on ${failed[*]}"
summary+="; skipped ${skipped[*]:-none}"
((${#skipped[@]})) && summary+=" (not installed)"
echo "$summary."
if ((${#failed[@]})); then exit 1; fi
if ((${#ran[@]} == 0)); then echo "No supported CPython (${SUPPORTED[*]}) found." >&2; exit 1; fi
if [[ "${CI:-}" == true ]] && ((${#skipped[@]})); then
  echo "CI requires every supported version; missing: ${skipped[*]}." >&2
  exit 1
fi
