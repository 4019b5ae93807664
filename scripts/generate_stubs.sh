#!/usr/bin/env bash
# Writes the type stubs of the installed extension modules, from what each module declares
# (signatures and docstrings of the bindings), with nanobind's stub generator:
#   scripts/generate_stubs.sh PYTHON OUTPUT_DIR
# `make stubs` writes them into src/Callfold; `make check-types` fails when the committed
# ones differ from what the modules declare.
set -euo pipefail
cd "$(dirname "$0")/.."
PYTHON=$1 OUTPUT=$2
mkdir -p "$OUTPUT"
# -P: the private operations the package's own command line and tests call are typed too.
"$PYTHON" -P -m nanobind.stubgen -q -P -p scripts/stub_patterns.txt \
  -m Callfold.compression -m Callfold.repeats -m Callfold.unifier -O "$OUTPUT"
