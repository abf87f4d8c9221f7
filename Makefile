# Thin front for CMake. `make` builds build/quillmend; see README for the rest.
JOBS ?= 2
WERROR ?= $(if $(CI),ON,OFF)
MINGW := $(shell command -v x86_64-w64-mingw32-g++ 2>/dev/null)

.PHONY: all build test unit asan windows run bench bench-search bench-batch clean wine-test dist

all: build

build:
	@cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_WERROR=$(WERROR) >/dev/null
	@cmake --build build -j $(JOBS)

asan:
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQM_SANITIZE=ON -DQM_WERROR=$(WERROR) >/dev/null
	@cmake --build build-asan -j $(JOBS)

unit: build
	cd build && ctest -j $(JOBS) --output-on-failure

test:
	@cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_WERROR=$(WERROR) -DQM_REQUIRE_GTEST=ON >/dev/null
	@cmake --build build -j $(JOBS)
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQM_SANITIZE=ON -DQM_WERROR=$(WERROR) -DQM_REQUIRE_GTEST=ON >/dev/null
	@cmake --build build-asan -j $(JOBS)
	cd build && ctest -j $(JOBS) --output-on-failure --no-tests=error
	cd build-asan && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest -j $(JOBS) --output-on-failure --no-tests=error
ifneq ($(MINGW),)
	@$(MAKE) --no-print-directory windows
	@if $(WINE_TOOLS); then $(MAKE) --no-print-directory wine-test; else echo "wine-test SKIPPED (needs wine, Xvfb and xdotool; .ci/run installs them)"; python3 tests/wine/check_imports.py build-windows/quillmend.exe; fi
else
	@echo "make test: x86_64-w64-mingw32-g++ not found, Windows cross build SKIPPED (install mingw-w64 to check it)"
	@echo "wine-test SKIPPED (no Windows build)"
endif

windows:
	@cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release -DQM_TESTS=OFF -DQM_WERROR=$(WERROR) >/dev/null
	@cmake --build build-windows -j $(JOBS)
	@echo "Windows program: build-windows/quillmend.exe"

# Repairs a fresh copy of the bundled example; answers come from the terminal or a pipe.
run:
	@cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_WERROR=$(WERROR) >/dev/null
	@cmake --build build -j $(JOBS) --target quillmend >/dev/null
	@rm -rf build/run && mkdir -p build/run && cp -r examples/demo/. build/run/
	@cp examples/alias.ini build/ 2>/dev/null || true
	@rm -f build/run/TRANSCRIPT.txt
	cd build/run && ../quillmend model.pmx

# The Windows program under Wine on a private X display; boxes answered by xdotool.
WINE_TOOLS = command -v wine >/dev/null && command -v Xvfb >/dev/null && command -v xdotool >/dev/null
wine-test: windows
	@python3 tests/wine/run_tests.py build-windows/quillmend.exe

# Release zip: dist/quillmend-<version>-win64.zip
dist: windows
	@tools/make_dist.sh build-windows/quillmend.exe

bench:
	@cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build -j $(JOBS) --target pmx_bench
	./build/pmx_bench

bench-search:
	@cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build -j $(JOBS) --target link_search_bench
	./build/link_search_bench

# Whole-program batch runs over generated models, with and without the bundled alias.ini.
bench-batch:
	@cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build -j $(JOBS) --target quillmend batch_bench
	./build/batch_bench

clean:
	rm -rf build build-asan build-windows build-wine dist
