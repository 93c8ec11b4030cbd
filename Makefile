# One command from a fresh Debian 12 machine: `make run` or `make test`.

BUILD_DIR  ?= build
BUILD_TYPE ?= Release
CMAKE_ARGS ?=

# Everything the build, the tests and the benchmarks need from Debian.
PACKAGES := cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
            libpng-dev libhwy-dev libtbb-dev qt6-base-dev libgl-dev xvfb xauth

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps configure build test run bench clean

all: build

# Installs only what is missing, so a ready machine needs no network and no root.
deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' "$$p" 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)

configure: deps $(BUILD_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure --timeout 600 -j 2

# The window needs a display; without one, say so before spending time on a build.
run:
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ] && [ -z "$$QT_QPA_PLATFORM" ]; then \
	  echo "make run: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are unset)." >&2; \
	  echo "  Run it on a virtual display:     xvfb-run make run" >&2; \
	  echo "  or draw into a PNG file instead: make build && $(BUILD_DIR)/tools/tobrisk-render -o tobrisk.png" >&2; \
	  exit 1; \
	fi
	@$(MAKE) --no-print-directory build
	$(BUILD_DIR)/app/tobrisk

bench: build
	@echo "No benchmarks yet."

clean:
	rm -rf $(BUILD_DIR)
