# The supported CPython versions and find_python, which finds an interpreter of one of
# them; sourced by the scripts that run or build for every supported version.
# shellcheck shell=bash

SUPPORTED=(3.11 3.12 3.13 3.14)

# The interpreter of version $1 if it is installed: on PATH or under pyenv.
find_python() {
  local version=$1 candidate
  local candidates=("$(command -v "python$version" || true)")
  if [[ -d "${PYENV_ROOT:-$HOME/.pyenv}/versions" ]]; then
    for candidate in $(ls -d "${PYENV_ROOT:-$HOME/.pyenv}/versions/$version".* 2>/dev/null | sort -V -r); do
      candidates+=("$candidate/bin/python$version")
    done
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
