# The two commands of the README, and a few more for developers.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build run test test-sanitize test-arm64 app bench fuzz mutate format format-check clean

all: build

deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Lists the tables of the bundled example page, then prints one of them as CSV.
run: build
	$(BUILD)/cli/gridmint-extract --list examples/world-cities.html
	@echo
	$(BUILD)/cli/gridmint-extract --table largest-cities examples/world-cities.html
	@echo

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@scripts/test-ratio

# The whole suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan; any report (leaks included, the Qt tests too) fails the test that made it. A
# report aborts, so a test that expects a tool to exit with an error status still sees it.
# The full-size hostile documents run in `make test` only: under the sanitizers they would
# take minutes and gigabytes.
test-sanitize: deps
	cmake -S . -B build-asan -G Ninja -DGRIDMINT_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1 \
	  UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) -LE hostile

# The engine, the tool and their tests (the fuzzers' replays and the model's differential test
# too) cross-built for ARM64 in build-arm64 (cmake/aarch64-linux-gnu.cmake) and run under
# qemu-user. Left out: the application, and the Python module, which only the build machine's
# own Python could load. Excluded: "hostile", the full-size hostile documents, which take ten
# times as long under the emulator; their reduced sizes run in "unit".
test-arm64:
	scripts/install-deps arm64
	cmake -S . -B build-arm64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
	  -DGRIDMINT_BUILD_APP=OFF -DGRIDMINT_BUILD_PYTHON=OFF $(CMAKE_FLAGS)
	cmake --build build-arm64 -j $(JOBS)
	cd build-arm64 && ctest --output-on-failure -j $(JOBS) -LE hostile

# The fuzz targets with libFuzzer in build-fuzz, FUZZ_SECONDS each (see fuzz/run-fuzzers).
fuzz:
	scripts/install-deps fuzz
	FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) fuzz/run-fuzzers

# A Release build with the benchmark, then the timing of the tool against other parsers and of
# the application's preview of a big table (offscreen); BENCH_FLAGS=--quick tries it out on
# small pages. The Python parsers are optional extras. Then many small pages (the tool's -j 1
# and -j 2, the Dask bag) and gridmint.read_html against pandas.read_html.
bench:
	scripts/install-deps bench
	scripts/install-deps bench-python || echo "bench: Python lxml and pandas not installed; skipped"
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DGRIDMINT_BUILD_BENCH=ON \
	  -DGRIDMINT_BUILD_APP=ON
	cmake --build build-bench -j $(JOBS) --target bench_programs
	bench/run-bench --build build-bench $(BENCH_FLAGS)
	/usr/bin/python3 bench/batch-bench build-bench/cli/gridmint-extract
	/usr/bin/python3 bench/python-bench --build build-bench

# Samples MUTANTS small faults in the product's sources (SEED picks them) and reports which the
# tests catch; it builds a copy in build-mutate and takes about a minute a mutant. Not in CI.
MUTANTS ?= 60
SEED ?= 1
mutate: deps
	scripts/mutate --mutants $(MUTANTS) --seed $(SEED) $(MUTATE_FLAGS)

app: build
	$(BUILD)/app/gridmint examples/world-cities.html

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

format-check:
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
