# Two commands on a fresh Debian machine (as root):
#   make        installs what the build needs, builds Tessoravin.dll, prints where it is
#   make test   the same, then installs Wine and Xvfb, builds the real mpv once
#               (scripts/build-mpv.sh, into build/third_party) and runs every test under Wine,
#               then again under Wine 10 from a Debian 13 root it makes once in build/wine10-root
# Any order works, any number of times (make bench first, make test alone, make -j2 test):
# ctest finds Wine when a test runs (cmake/wine-run.sh), not when build/ was configured.
#   make dist   the release zip: build/dist/Tessoravin-<version>-x64.zip
#   make format-check   fails when a C++ file of src, tests or bench differs from .clang-format
#   make format         rewrites those files to .clang-format
BUILD_DIR ?= build
TOOLCHAIN := cmake/mingw-w64-x86_64.cmake

BUILD_PACKAGES := cmake make g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
                  binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev googletest python3
TEST_PACKAGES  := wine64 wine xvfb xauth debootstrap
FORMAT_PACKAGES := clang-format

# Commands or files whose absence means a package is missing.
BUILD_PROBES := cmake x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres /usr/src/googletest/CMakeLists.txt
TEST_PROBES  := wineserver /usr/lib/wine/wine64 xvfb-run xauth /usr/sbin/debootstrap
FORMAT_PROBES := clang-format

probe_missing = $(strip $(foreach p,$(1),$(if $(or $(wildcard $(p)),$(shell command -v $(p) 2>/dev/null)),,$(p))))

# The project's own C++ files; build trees lie outside these folders.
FORMAT_FILES = $(shell find src tests bench -type f \( -name '*.cpp' -o -name '*.h' \) | sort)

.PHONY: all build test deps test-deps format-deps format-check format bench dist clean

all: build
	@echo "Tessoravin.dll: $(abspath $(BUILD_DIR))/Tessoravin.dll"

deps:
	@if [ -n "$(call probe_missing,$(BUILD_PROBES))" ]; then \
	  echo "Installing build packages"; \
	  apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $(BUILD_PACKAGES); \
	fi

test-deps: deps
	@if [ -n "$(call probe_missing,$(TEST_PROBES))" ]; then \
	  echo "Installing test packages"; \
	  apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $(TEST_PACKAGES); \
	fi

format-deps:
	@if [ -n "$(call probe_missing,$(FORMAT_PROBES))" ]; then \
	  echo "Installing clang-format"; \
	  apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $(FORMAT_PACKAGES); \
	fi

$(BUILD_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=$(TOOLCHAIN) -DCMAKE_BUILD_TYPE=Release

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j$$(nproc)

# The test packages are installed after the build, never beside it: under -j the two would
# otherwise race (two apt-gets, or a configure that sees Wine half installed).
test: build
	@$(MAKE) --no-print-directory test-deps
	scripts/build-mpv.sh $(BUILD_DIR)
	scripts/test-worlds.sh $(BUILD_DIR)

bench: build
	@$(MAKE) --no-print-directory test-deps
	scripts/build-mpv.sh $(BUILD_DIR)
	scripts/wine-bench.sh $(BUILD_DIR)

dist: build
	cmake --build $(BUILD_DIR) --target dist

format-check: format-deps
	@echo "clang-format --dry-run --Werror on $(words $(FORMAT_FILES)) files of src, tests and bench"
	@clang-format --style=file --dry-run --Werror $(FORMAT_FILES)

format: format-deps
	@echo "clang-format -i on $(words $(FORMAT_FILES)) files of src, tests and bench"
	@clang-format --style=file -i $(FORMAT_FILES)

clean:
	rm -rf $(BUILD_DIR)
