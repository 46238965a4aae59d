# Set-up entry points: `make show` and `make test` install what is missing,
# build, generate the data, then play the show or run every test.
BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_SDL2 ?= build-sdl2
BUILD_WEB  ?= build-web
BUILD_FUZZ ?= build-fuzz
FUZZ_SECONDS ?= 600
FUZZ_SMOKE_SECONDS ?= 30
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build data show test bench sheet asan-test sdl2-test fuzz fuzz-smoke fuzz-build web web-serve web-test clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

data: build
	@cmake --build $(BUILD) --target data checkpoints

show: data
	@scripts/run-show.sh $(BUILD)

test: data
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

bench: data
	@scripts/run-bench.sh $(BUILD)

# docs/show_sheet.png: one captured frame per scene
sheet: data
	@scripts/show-sheet.sh $(BUILD)

# Every test again in a build folder of its own: configure with the given
# options, build, generate the data, run CTest. $(1): folder, $(2): options.
define test_in
	@cmake -S . -B $(1) -DOSTRA_BENCH=OFF $(2)
	@cmake --build $(1) -j$(JOBS)
	@cmake --build $(1) --target data checkpoints
	@cd $(1) && ctest --output-on-failure -j$(JOBS)
endef

# Under AddressSanitizer and UndefinedBehaviorSanitizer.
asan-test: deps
	$(call test_in,$(BUILD_ASAN),-DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTRA_SANITIZE=ON)

# Through the SDL2 platform, natively.
sdl2-test: deps
	$(call test_in,$(BUILD_SDL2),-DCMAKE_BUILD_TYPE=Release -DOSTRA_PLATFORM=sdl2)

# The readers' fuzz targets (clang's libFuzzer, ASan, UBSan) in a build
# folder of their own; seeds come from the repository and the generated data
# (docs/fuzzing.md). `make fuzz` fuzzes each target FUZZ_SECONDS (600) and
# keeps its corpus in $(BUILD_FUZZ)/corpus; `make fuzz-smoke` replays every
# seed and kept crash input, then fuzzes each FUZZ_SMOKE_SECONDS (30). New
# crash inputs land in <folder>/fuzz/crashes/<target>/.
fuzz-build: deps
	@scripts/install-deps.sh fuzz
	@CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTRA_FUZZ=ON -DOSTRA_BENCH=OFF
	@cmake --build $(BUILD_FUZZ) -j$(JOBS) --target fuzz-targets

fuzz: data fuzz-build
	@scripts/fuzz.sh run $(BUILD_FUZZ) $(BUILD)/data $(FUZZ_SECONDS)

fuzz-smoke: data fuzz-build
	@scripts/fuzz.sh smoke $(BUILD_FUZZ) $(BUILD)/data $(FUZZ_SMOKE_SECONDS)

# The browser build: a static site in $(BUILD_WEB)/site (see README).
web: deps
	@scripts/web/build.sh $(BUILD) $(BUILD_WEB)

web-serve:
	@test -f $(BUILD_WEB)/site/index.html || { echo "no site yet: run make web first"; exit 1; }
	@echo "Serving $(BUILD_WEB)/site on http://127.0.0.1:8000/ (Ctrl-C stops)"
	@python3 -m http.server --bind 127.0.0.1 8000 --directory $(BUILD_WEB)/site

web-test: deps
	@scripts/web/test.sh $(BUILD) $(BUILD_WEB)

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_SDL2) $(BUILD_WEB) $(BUILD_FUZZ)
