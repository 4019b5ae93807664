# make demo: install everything and unify the shipped example.
# make test: install and run the whole test suite on CPython 3.11 and 3.14.
VENV ?= .venv
VENV_314 ?= .venv-3.14
PYTHON ?= python3
# -P keeps the source tree off sys.path, so tests import the installed package.
PYTEST = -P -m pytest -p no:cacheprovider

.PHONY: demo install test test-default test-3.14 clean

install:
	VENV=$(VENV) ./setup.sh $(PYTHON)

demo: install
	$(VENV)/bin/python -P scripts/demo.py

test: test-default test-3.14

test-default: install
	$(VENV)/bin/python $(PYTEST) tests

test-3.14:
	VENV=$(VENV_314) ./setup.sh "$$(../shared/tools/python314.sh 2>/dev/null | tail -n 1 || echo python3.14)"
	$(VENV_314)/bin/python $(PYTEST) tests

clean:
	rm -rf build demo-output $(VENV) $(VENV_314)
