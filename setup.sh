#!/usr/bin/env bash
# Installs everything Callfold needs on a Debian machine and builds it into a
# virtual environment: ./setup.sh [python]   (default: python3; venv in $VENV or .venv)
set -euo pipefail
cd "$(dirname "$0")"

PYTHON="${1:-${PYTHON:-python3}}"
VENV="${VENV:-.venv}"
DEBIAN_PACKAGES=(g++ make zlib1g-dev libdeflate-dev bedtools tabix bcftools)

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
fi
"$VENV/bin/python" -m pip install -q --upgrade pip
"$VENV/bin/python" -m pip install -q ".[test]"
echo "Callfold installed in $VENV ($("$VENV/bin/python" --version))"
