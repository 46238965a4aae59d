# Set-up entry points: `make show` and `make test` install what is missing,
# build, generate the data, then play the show or run every test.
BUILD      ?= build
BUILD_ASAN ?= build-asan
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build data show test bench sheet asan-test clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

data: build
	@cmake --build $(BUILD) --target data

show: data
	@scripts/run-show.sh $(BUILD)

test: data
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

bench: data
	@scripts/run-bench.sh $(BUILD)

# docs/show_sheet.png: one captured frame per scene
sheet: data
	@scripts/show-sheet.sh $(BUILD)

asan-test: deps
	@cmake -S . -B $(BUILD_ASAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTRA_SANITIZE=ON -DOSTRA_BENCH=OFF
	@cmake --build $(BUILD_ASAN) -j$(JOBS)
	@cmake --build $(BUILD_ASAN) --target data
	@cd $(BUILD_ASAN) && ctest --output-on-failure -j$(JOBS)

clean:
	rm -rf $(BUILD) $(BUILD_ASAN)
