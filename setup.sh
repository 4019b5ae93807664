#!/usr/bin/env bash
# Installs everything Callfold needs on a Debian machine and builds it into a
# virtual environment: ./setup.sh [python]   (default: python3; venv in $VENV or .venv)
# Nothing is rebuilt when no source changed since the environment's last build.
set -euo pipefail
cd "$(dirname "$0")"

PYTHON="${1:-${PYTHON:-python3}}"
VENV="${VENV:-.venv}"
STAMP="$VENV/.callfold-built"
DEBIAN_PACKAGES=(g++ make zlib1g-dev libdeflate-dev bedtools tabix bcftools)

# Debian's own interpreters keep venv and the C headers in packages of their own.
if [[ "$(readlink -f "$(command -v "$PYTHON")")" == /usr/bin/python3* ]]; then
  version=$("$PYTHON" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
  DEBIAN_PACKAGES+=("python$version-venv" "python$version-dev")
fi

missing=()
for package in "${DEBIAN_PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
  as_root=()
  [[ "$(id -u)" -eq 0 ]] || as_root=(sudo)
  echo "Installing Debian packages: ${missing[*]}"
  "${as_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi

if [[ ! -x "$VENV/bin/python" ]]; then
  "$PYTHON" -m venv "$VENV"
  rm -f "$STAMP"
fi
# The DEFLATE library the build would choose: libdeflate's header and library where the
# compiler finds them (empty: zlib). The stamp keeps it, so installing or removing
# libdeflate rebuilds.
deflate_library() {
  ls /usr/include/libdeflate.h /usr/local/include/libdeflate.h \
    /usr/lib/*/libdeflate.so /usr/lib/libdeflate.so /usr/local/lib/libdeflate.so 2>/dev/null || true
}
deflate=$(deflate_library)
# Up to date when no file the build reads is newer than the last build and the DEFLATE
# library is the one it was built with.
if [[ -f "$STAMP" && "$(cat "$STAMP")" == "$deflate" &&
      -z "$(find src cmake CMakeLists.txt pyproject.toml setup.sh -newer "$STAMP" -print -quit)" ]]; then
  echo "Callfold is up to date in $VENV ($("$VENV/bin/python" --version))"
  exit 0
fi
"$VENV/bin/python" -m pip install -q --upgrade pip
"$VENV/bin/python" -m pip install -q ".[test]"
printf '%s' "$deflate" >"$STAMP"
echo "Callfold installed in $VENV ($("$VENV/bin/python" --version))"
