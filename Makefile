# SPDX-License-Identifier: MIT
# One command from a fresh Debian 12 machine: `make run` or `make test`.

BUILD_DIR  ?= build
BUILD_TYPE ?= Release
CMAKE_ARGS ?=
# The instrumented builds (clang): the test suite under the sanitizers, and the fuzz targets.
SANITIZE_DIR ?= build-sanitize
FUZZ_DIR     ?= build-fuzz
# Seconds each fuzz target runs: `make fuzz` and the smoke run inside `make test`.
FUZZ_SECONDS       ?= 60
FUZZ_SMOKE_SECONDS ?= 15
# The cross build for 64-bit Arm, tested under emulation.
ARM64_DIR ?= build-arm64
ARM64_CMAKE_ARGS ?=
# What runs there: the engine, the platform core, the fast pass, the renderer (no window)
# and the plain double yardstick of the benchmarks.
ARM64_SUITES := engine_tests engine_tests_O0 platform_tests fast_tests renderer_tests plain_kernel_tests

# Everything the build, the tests and the benchmarks need from Debian.
PACKAGES := cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
            libpng-dev zlib1g-dev libhwy-dev libtbb-dev qt6-base-dev libgl-dev xvfb xauth \
            clang libclang-rt-14-dev time desktop-file-utils fonts-dejavu-core

# What the arm64 cross build adds: the cross compiler, the :arm64 libraries and the emulator.
ARM64_PACKAGES := g++-aarch64-linux-gnu qemu-user libhwy-dev:arm64 libtbb-dev:arm64 libpng-dev:arm64 zlib1g-dev:arm64 \
                  libgtest-dev:arm64

# The Windows cross build: MinGW-w64, Wine to run its programs, zlib for
# MinGW, NSIS for the installer; dpkg-dev fetches the sources of the
# libraries it builds itself (dist/windows/build-libraries).
WINDOWS_DIR ?= build-windows
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 \
                    libz-mingw-w64-dev nsis dpkg-dev xvfb xauth zip unzip imagemagick fonts-wine
# What runs under Wine: the engine, the platform core, the fast pass, the renderer and its hostile names,
# and the installer.
WINDOWS_SUITES := engine_tests engine_tests_O0 platform_tests fast_tests renderer_tests renderer_hostile_tests \
                  ui_tests pyramid_tests plain_kernel_tests windows_installer

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

# `make package` and its test: dpkg-shlibdeps, file, lintian; groff checks the manual pages.
PACKAGES += dpkg-dev file lintian groff-base

# The pyramid viewer's test: headless Chromium driven by Selenium.
PACKAGES += chromium chromium-driver python3-selenium
# The test of the recipes that split a sequence over machines runs GNU parallel.
PACKAGES += parallel

.PHONY: all deps configure build test unit-test test-sanitize fuzz-build fuzz fuzz-smoke run bench bench-loaded package deps-arm64 test-arm64 \
        deps-windows build-windows test-windows package-windows bench-windows clean

all: build

# Installs only what is missing of the packages given, so a ready machine
# needs no network and no root.
install_missing = missing=""; \
	for p in $(1); do \
	  dpkg-query -W -f='$${Status}' "$$p" 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

deps:
	@$(call install_missing,$(PACKAGES))
	@# npm fetches the viewer's script (OpenSeadragon, pinned by its lock file) during the build;
	@# Debian's npm only where none is installed, as Node may come from elsewhere.
	@command -v npm >/dev/null || { $(call install_missing,npm); }

# The same for the arm64 cross build; the architecture is added once.
deps-arm64: deps
	@if ! dpkg --print-foreign-architectures | grep -qx arm64; then \
	  echo "Adding the arm64 architecture"; $(SUDO) dpkg --add-architecture arm64 && $(SUDO) apt-get update; \
	fi; \
	$(call install_missing,$(ARM64_PACKAGES))

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)

configure: deps $(BUILD_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR)

# The suite, then the suite again under the sanitizers, then a short fuzz run;
# one after the other, as each build needs both cores.
test: unit-test
	$(MAKE) --no-print-directory test-sanitize
	$(MAKE) --no-print-directory fuzz-smoke

unit-test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure --timeout 600 -j 2

# Any sanitizer report aborts its test (nothing recovers), so a report is a failure.
SANITIZER_ENV := ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1 \
                 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
                 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitize/lsan.supp:print_suppressions=0

test-sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTOBRISK_SANITIZE=ON -DTOBRISK_BUILD_BENCHMARKS=OFF
	cmake --build $(SANITIZE_DIR)
	$(SANITIZER_ENV) ctest --test-dir $(SANITIZE_DIR) --output-on-failure --timeout 900 -j 2

fuzz-build: deps
	cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTOBRISK_BUILD_FUZZERS=ON \
	  -DTOBRISK_BUILD_TESTS=OFF -DTOBRISK_BUILD_WINDOW=OFF -DTOBRISK_BUILD_BENCHMARKS=OFF
	cmake --build $(FUZZ_DIR)

# Fails on any finding; the input that found it is kept in $(FUZZ_DIR)/fuzz-findings/.
fuzz: fuzz-build
	tests/fuzz/run-fuzzers $(FUZZ_DIR) $(FUZZ_SECONDS)

fuzz-smoke: fuzz-build
	tests/fuzz/run-fuzzers $(FUZZ_DIR) $(FUZZ_SMOKE_SECONDS)

# The window needs a display; without one, say so before spending time on a build.
run:
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ] && [ -z "$$QT_QPA_PLATFORM" ]; then \
	  echo "make run: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are unset)." >&2; \
	  echo "  Run it on a virtual display:     xvfb-run make run" >&2; \
	  echo "  or draw into a PNG file instead: make build && $(BUILD_DIR)/tools/tobrisk-render -o tobrisk.png" >&2; \
	  exit 1; \
	fi
	@$(MAKE) --no-print-directory configure
	@grep -q '^TOBRISK_BUILD_WINDOW:BOOL=ON' $(BUILD_DIR)/CMakeCache.txt || { \
	  echo "make run: $(BUILD_DIR) was configured without the window (TOBRISK_BUILD_WINDOW=OFF)." >&2; exit 1; }
	@# Only the window and what it is built from: the tests and benchmarks wait for make test.
	cmake --build $(BUILD_DIR) --target tobrisk
	$(BUILD_DIR)/app/tobrisk

# The workloads with the reference and the fast pass side by side; the last
# lines sum them up, one per workload. The raw figures go to bench.json.
bench: build
	$(BUILD_DIR)/bench/tobrisk_bench --benchmark_out=$(BUILD_DIR)/bench.json --benchmark_out_format=json

# The same with one core kept busy by a spinning process that the benchmark
# starts and ends itself: the fast pass must not lose to one thread there either.
bench-loaded: build
	$(BUILD_DIR)/bench/tobrisk_bench --load_one_core --benchmark_out=$(BUILD_DIR)/bench-loaded.json --benchmark_out_format=json

# The Debian package of both programs, in $(BUILD_DIR)/package/; its Depends
# come from the libraries the programs link.
package: build
	cmake --build $(BUILD_DIR) --target package
	@ls $(BUILD_DIR)/package/*.deb

# The engine, the renderer and their tests cross-built for arm64 and run under
# qemu on every vector length the kernels meet there, then the arm64
# renderer's files compared byte for byte with this machine's.
test-arm64: deps-arm64
	cmake -S . -B $(ARM64_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/aarch64-linux-gnu.cmake \
	  -DTOBRISK_BUILD_WINDOW=OFF -DTOBRISK_BUILD_BENCHMARKS=OFF $(ARM64_CMAKE_ARGS)
	cmake --build $(ARM64_DIR) --target tobrisk-render $(ARM64_SUITES)
	tests/arm64/run-arm64-tests $(ARM64_DIR) $(ARM64_SUITES)
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)
	cmake --build $(BUILD_DIR) --target tobrisk-render
	tests/arm64/compare-renders $(BUILD_DIR)/tools/tobrisk-render $(ARM64_DIR)/tools/tobrisk-render

# The Windows packages, apt's source packages, and the libraries Debian has
# for Linux only, built once from Debian's sources into $(WINDOWS_DIR)/libraries.
deps-windows: deps
	@$(call install_missing,$(WINDOWS_PACKAGES))
	@$(SUDO) dist/windows/enable-source-packages
	dist/windows/build-libraries $(WINDOWS_DIR)/libraries $(WINDOWS_DIR)/library-sources

build-windows: deps-windows
	cmake -S . -B $(WINDOWS_DIR)/build -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/x86_64-w64-mingw32.cmake \
	  -DTOBRISK_WINDOWS_PREFIX=$(CURDIR)/$(WINDOWS_DIR)/libraries -DTOBRISK_BUILD_WINDOW=OFF \
	  -DTOBRISK_BUILD_BENCHMARKS=ON
	cmake --build $(WINDOWS_DIR)/build

# The benchmarks built for Windows, under Wine; `make bench` gives the Linux
# figures to set beside them.
bench-windows: build-windows
	$(WINDOWS_DIR)/build/wine-run $(WINDOWS_DIR)/build/bench/tobrisk_bench.exe \
	  --benchmark_out=$(WINDOWS_DIR)/build/bench.json --benchmark_out_format=json

# The Windows build's suites under Wine, then its pictures compared byte for
# byte with the Linux build's, then the window on a virtual display. One Wine
# server is kept for the suites: a program that starts just as an idle server
# exits can fail to start, with no output; a test that fails so is run once
# more (--repeat until-pass:2), and a real failure fails twice.
test-windows: build-windows
	tests/windows/wine-prefix $(CURDIR)/$(WINDOWS_DIR)/wine
	WINEPREFIX=$(CURDIR)/$(WINDOWS_DIR)/wine /usr/lib/wine/wineserver --persistent
	@# Wine's own services start now, on no pipe of CTest's, which would wait for them to close it.
	WINEPREFIX=$(CURDIR)/$(WINDOWS_DIR)/wine /usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1
	status=0; ctest --test-dir $(WINDOWS_DIR)/build -L '^($(subst $() ,|,$(strip $(WINDOWS_SUITES))))$$' \
	  --output-on-failure --timeout 1200 -j 2 --repeat until-pass:2 || status=$$?; \
	  WINEPREFIX=$(CURDIR)/$(WINDOWS_DIR)/wine /usr/lib/wine/wineserver --kill; exit $$status
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)
	cmake --build $(BUILD_DIR) --target tobrisk-render
	tests/windows/compare-renders $(BUILD_DIR)/tools/tobrisk-render $(WINDOWS_DIR)/build/wine-run \
	  $(WINDOWS_DIR)/build/tools/tobrisk-render.exe
	tests/windows/run-window-tests $(WINDOWS_DIR)/build

# The Windows installer, tobrisk-<version>-win64-setup.exe, and a zip of the
# same files (the programs, their DLLs, the licence), made by CPack in the
# cross build's package/ folder.
package-windows: build-windows
	cmake --build $(WINDOWS_DIR)/build --target package
	@ls $(WINDOWS_DIR)/build/package/tobrisk-*-win64*

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR) $(ARM64_DIR) $(WINDOWS_DIR)
