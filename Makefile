# make demo: install everything and unify the shipped example.
# make test: install and run the whole test suite on every supported CPython installed
#   (3.11 to 3.14; with CI=true all of them are required). make test-default: python3 only.
# make stubs: the type stubs generated from the built modules into src/Callfold (commit them).
# make check-types: the committed stubs are the generated ones, match the built modules (mypy's
#   stubtest), and type a caller under mypy --strict.
# make fuzz: every parser of the core under libFuzzer with ASan/UBSan, FUZZ_SECONDS each.
# make wheel: one wheel repaired by auditwheel (it carries libdeflate) for each supported CPython
#   found, in WHEEL_DIR, each checked and run in a fresh virtual environment.
# make test-wheel: PYTHON's wheel in a fresh virtual environment outside the source tree, the
# whole suite against it with LD_LIBRARY_PATH unset.
# make test-zlib: the compression and reading tests against a build without libdeflate.
# make sanitize: the suite against a build with AddressSanitizer and UBSan (the preload reaches
# child processes too; bedtools itself trips alloc-dealloc-mismatch, so that check is off).
VENV ?= .venv
VENV_ASAN ?= .venv-asan
VENV_ZLIB ?= .venv-zlib
WHEEL_DIR ?= dist
LIBDEFLATE_NOTICE ?= /usr/share/doc/libdeflate0/copyright
SANITIZE = -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer
PYTHON ?= python3
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = line_stream int_text line_columns unifier_rules repeat_spans catalog sort_and_compress vcf_records
ZLIB_TESTS = tests/test_deflate_blocks.py tests/test_packaging.py tests/test_compression_bgzf.py \
  tests/test_compression_files.py tests/test_compression_tools.py tests/test_input_reading.py tests/test_odd_files.py
# -P keeps the source tree off sys.path, so tests import the installed package.
PYTEST = -P -m pytest -p no:cacheprovider

.PHONY: demo install test test-default stubs check-types sanitize fuzz wheel test-wheel test-zlib clean

install:
	VENV=$(VENV) ./setup.sh $(PYTHON)

demo: install
	scripts/demo.sh $(VENV)

test:
	scripts/test_supported_pythons.sh

test-default: install
	$(VENV)/bin/python $(PYTEST) tests

# The stubs are generated from the built modules (make stubs) and committed: check-types fails
# when they differ from what the modules declare, then holds the modules to them. All read the
# installed package (the source tree is never on the path: -P, src/ layout).
stubs: install
	scripts/generate_stubs.sh $(VENV)/bin/python src/Callfold

check-types: install
	rm -rf build/stubs
	scripts/generate_stubs.sh $(VENV)/bin/python build/stubs
	for module in compression repeats unifier; do diff -u src/Callfold/$$module.pyi build/stubs/$$module.pyi || \
	  { echo "src/Callfold/$$module.pyi differs from what the module declares: run make stubs and commit it." >&2; \
	    exit 1; }; done
	$(VENV)/bin/python -P -m mypy.stubtest --allowlist tests/typing/stubtest-allowlist.txt Callfold
	$(VENV)/bin/python -P -m mypy --strict --cache-dir build/mypy tests/typing/user_script.py

sanitize:
	VENV=$(VENV_ASAN) ./setup.sh $(PYTHON)
	$(VENV_ASAN)/bin/python -m pip install -q --force-reinstall --no-deps -Cbuild-dir=build/asan \
	  -Ccmake.build-type=Debug "-Ccmake.define.CMAKE_CXX_FLAGS=$(SANITIZE)" \
	  "-Ccmake.define.CMAKE_SHARED_LINKER_FLAGS=$(SANITIZE)" .
	LD_PRELOAD="$$(g++ -print-file-name=libasan.so) $$(g++ -print-file-name=libubsan.so)" \
	  ASAN_OPTIONS=detect_leaks=0:alloc_dealloc_mismatch=0 $(VENV_ASAN)/bin/python $(PYTEST) tests

# pip wheel is the build: the venv (and setup.sh's Debian packages) is made only when missing;
# it holds the repair tools, and each interpreter found builds its own wheel.
wheel:
	[ -x $(VENV)/bin/python ] || VENV=$(VENV) ./setup.sh $(PYTHON)
	$(VENV)/bin/python -m pip install -q --group wheel
	scripts/build_wheels.sh $(VENV) $(WHEEL_DIR) $(LIBDEFLATE_NOTICE)

test-wheel: wheel
	set -e; scratch="$$(mktemp -d)"; trap 'rm -rf "$$scratch"' EXIT; \
	$(PYTHON) -m venv "$$scratch/venv"; \
	tag="$$($(PYTHON) -c 'import sys; print("cp%d%d" % sys.version_info[:2])')"; \
	"$$scratch/venv/bin/python" -m pip install -q "$$(ls "$(CURDIR)"/$(WHEEL_DIR)/callfold-*-$$tag-$$tag-*.whl)[test]"; \
	cd "$$scratch"; env -u LD_LIBRARY_PATH "$$scratch/venv/bin/python" $(PYTEST) "$(CURDIR)/tests"

test-zlib:
	VENV=$(VENV_ZLIB) ./setup.sh $(PYTHON)
	$(VENV_ZLIB)/bin/python -m pip install -q --force-reinstall --no-deps -Cbuild-dir=build/zlib \
	  -Ccmake.define.CALLFOLD_USE_LIBDEFLATE=OFF .
	$(VENV_ZLIB)/bin/python -P -c 'from Callfold import compression as c; assert c._deflate_library == "zlib", c._deflate_library'
	$(VENV_ZLIB)/bin/python $(PYTEST) $(ZLIB_TESTS)

fuzz:
	dpkg-query -W clang-14 libclang-rt-14-dev zlib1g-dev libdeflate-dev >/dev/null 2>&1 || \
	  { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq clang-14 libclang-rt-14-dev zlib1g-dev libdeflate-dev; }
	cmake -S fuzz -B build/fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build build/fuzz -j2
	for target in $(FUZZ_TARGETS); do \
	  mkdir -p build/fuzz/corpus/$$target && cp tests/data/*.vcf tests/data/*.bed build/fuzz/corpus/$$target/ && \
	  { [ ! -d fuzz/seeds/$$target ] || cp fuzz/seeds/$$target/* build/fuzz/corpus/$$target/; } && \
	  build/fuzz/fuzz_$$target -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -artifact_prefix=build/fuzz/ \
	    build/fuzz/corpus/$$target || exit 1; \
	done

clean:
	rm -rf build demo-output $(VENV) .venv-3.* $(VENV_ASAN) $(VENV_ZLIB) $(WHEEL_DIR)
