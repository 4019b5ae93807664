#!/usr/bin/env bash
# Runs the test suite on every supported CPython this machine has (3.11 to 3.14),
# each in a virtual environment of its own, and says in one line which versions
# ran and which were skipped. With CI=true every supported version is required.
#   scripts/test_supported_pythons.sh [pytest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/supported_pythons.sh
# -P keeps the source tree off sys.path, so the tests import the installed package.
PYTEST=(-P -m pytest -p no:cacheprovider)

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
