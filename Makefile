# Set-up entry points: `make show` and `make test` install what is missing,
# build, generate the data, then play the show or run every test.
BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_SDL2 ?= build-sdl2
BUILD_WEB  ?= build-web
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build data show test bench sheet asan-test sdl2-test web web-serve web-test clean

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

# Every test again through the SDL2 platform (the browser's), natively.
sdl2-test: deps
	@cmake -S . -B $(BUILD_SDL2) -DCMAKE_BUILD_TYPE=Release -DOSTRA_PLATFORM=sdl2 -DOSTRA_BENCH=OFF
	@cmake --build $(BUILD_SDL2) -j$(JOBS)
	@cmake --build $(BUILD_SDL2) --target data
	@cd $(BUILD_SDL2) && ctest --output-on-failure -j$(JOBS)

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
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_SDL2) $(BUILD_WEB)
