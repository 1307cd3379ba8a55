# Front door: `make test`, `make run`, `make bench`, `make fuzz`, `make package`.
BUILD_TYPE ?= RelWithDebInfo
SANITIZE ?= 0
ifeq ($(SANITIZE),1)
BUILD_DIR ?= build-asan
CMAKE_EXTRA += -DTQ_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
else
BUILD_DIR ?= build
CMAKE_EXTRA += -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
endif
JOBS ?= $(shell nproc)
# A compiler cache speeds up rebuilds and clean clones when the machine has one.
ifneq ($(shell command -v ccache 2>/dev/null),)
CMAKE_EXTRA += -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
# Paths inside the checkout are hashed relative to it, so a fresh clone in another folder
# still finds what an earlier build compiled.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
endif

.PHONY: all deps configure build test run bench fuzz package format clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DTQ_WERROR=ON $(CMAKE_EXTRA) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# Leaks inside system libraries are named and let be in tests/lsan.supp (sanitizer builds).
test: build
	@cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp ctest --output-on-failure -j $(JOBS) --timeout 300

run: build
	@cd $(BUILD_DIR)/bin && ./tq5800 --simulate

bench: build
	@cmake --build $(BUILD_DIR) --target benchmarks -j $(JOBS)
	@QT_QPA_PLATFORM=offscreen scripts/run-benchmarks $(BUILD_DIR)

# The libFuzzer targets, built with clang in their own folder, each run for FUZZ_TIME seconds
# (and at most FUZZ_RUNS inputs when set): `make fuzz FUZZ_TIME=600`, or one target with
# `make fuzz FUZZ_TARGETS=fuzz_tokenizer`.
FUZZ_DIR ?= build-fuzz
FUZZ_TIME ?= 60
FUZZ_RUNS ?=
FUZZ_TARGETS ?=
fuzz:
	@scripts/install-deps clang
	@cmake -S . -B $(FUZZ_DIR) -G Ninja -DTQ_FUZZ=ON -DTQ_WERROR=ON -DCMAKE_CXX_COMPILER=clang++ \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo $(filter -DCMAKE_CXX_COMPILER_LAUNCHER=%,$(CMAKE_EXTRA)) >/dev/null
	@cmake --build $(FUZZ_DIR) --target fuzz_targets -j $(JOBS)
	@fuzz/run $(FUZZ_DIR) $(FUZZ_TIME) "$(FUZZ_RUNS)" $(FUZZ_TARGETS)

# The Debian package of the built tree, copied here for `apt install ./tq5800_*.deb`.
package: build
	@rm -f $(BUILD_DIR)/tq5800_*.deb
	@cd $(BUILD_DIR) && cpack -G DEB >/dev/null
	@cp $(BUILD_DIR)/tq5800_*.deb .
	@ls tq5800_*.deb

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build build-asan build-fuzz
