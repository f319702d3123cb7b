# The two commands of the README, and a few more for developers.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test app bench fuzz format format-check clean

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

app: build
	$(BUILD)/app/gridmint examples/world-cities.html

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

format-check:
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
