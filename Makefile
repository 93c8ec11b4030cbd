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

run: build
	@mkdir -p out
	$(BUILD_DIR)/tools/tobrisk-render -o out/tobrisk.png
	@echo "The default Mandelbrot picture is in out/tobrisk.png"

bench: build
	@echo "No benchmarks yet."

clean:
	rm -rf $(BUILD_DIR)
