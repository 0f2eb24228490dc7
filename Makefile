# One-command entry points; the real build is CMake + Ninja in build/.
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test test-asan fuzz bench clean install

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/Quorvel.app/Contents/MacOS/Quorvel

test: build
	@scripts/run-tests $(BUILD)

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DQUORVEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 scripts/run-tests $(ASAN_BUILD)

# The fuzz targets (tests/fuzz/) with clang, address and undefined-behaviour
# sanitizers, each run FUZZ_SECONDS seconds (FUZZ_TARGETS: only those).
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DQUORVEL_FUZZ=ON -DQUORVEL_TESTS=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@scripts/run-fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

bench: build
	@for b in $(BUILD)/bench/*; do [ -f "$$b" ] && [ -x "$$b" ] && echo "== $$(basename $$b)" && "$$b"; done; true

install: build
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX))

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
