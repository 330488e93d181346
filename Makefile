# The two commands of this project:
#   make run   builds Tidyline and starts it
#   make test  builds everything and runs every test (once more under ASan/UBSan)
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
# The Windows programs, cross-built with mingw-w64: the 64-bit tree with its
# tests (run under wine64), the 32-bit tree with the library and tidyline-cli.
WIN64_BUILD ?= build-win64
WIN32_BUILD ?= build-win32
JOBS       ?= $(shell nproc)
# Paths relative to the checkout, so every clone shares ccache's results.
export CCACHE_BASEDIR := $(CURDIR)

.PHONY: run test setup build build-asan build-windows test-windows dist bench clean fuzz

setup:
	@bash scripts/setup.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTIDYLINE_SANITIZE=ON

# The 64-bit tree's version check reads the 32-bit tree's tidyline.exe too.
$(WIN64_BUILD)/build.ninja:
	cmake -S . -B $(WIN64_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake \
	  -DTIDYLINE_I686_BUILD=$(CURDIR)/$(WIN32_BUILD) \
	  -DTIDYLINE_HOST_MAIN_TEMPLATE=$(CURDIR)/$(BUILD)/generated/main_window_bytes.cpp

$(WIN32_BUILD)/build.ninja:
	cmake -S . -B $(WIN32_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTIDYLINE_TESTS=OFF \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake \
	  -DTIDYLINE_HOST_MAIN_TEMPLATE=$(CURDIR)/$(BUILD)/generated/main_window_bytes.cpp

build: setup $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-asan: setup $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# Builds only the two programs (not the tests), then opens the window.
run: setup $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target tidyline tidyline-cli
	$(BUILD)/tidyline

# The template bytes come from the host build (its generator runs there).
build-windows: build $(WIN64_BUILD)/build.ninja $(WIN32_BUILD)/build.ninja
	cmake --build $(WIN64_BUILD) -j $(JOBS)
	cmake --build $(WIN32_BUILD) -j $(JOBS)

# 32-bit programs cannot run on this kernel: that tree is only built.
test-windows: build-windows
	bash tools/windows-suite.sh $(WIN64_BUILD)

# The downloads: dist/Tidyline-1.2.0.0-win32.zip (the shipped 32-bit
# program) and dist/Tidyline-1.2.0.0-win64.zip, each with tidyline.exe,
# tidyline-cli.exe and README.txt.
dist: build-windows
	cmake --build $(WIN32_BUILD) --target dist
	cmake --build $(WIN64_BUILD) --target dist
	mkdir -p dist
	cp $(WIN32_BUILD)/Tidyline-*-win32.zip $(WIN64_BUILD)/Tidyline-*-win64.zip dist/

test: build build-asan
	cd $(BUILD) && ctest --output-on-failure
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure
	$(MAKE) test-windows

# Every libFuzzer target of tests/fuzz/targets for FUZZ_SECONDS each (clang,
# ASan + UBSan, own build tree); not part of `make test`, which replays the
# committed corpora instead.
$(FUZZ_BUILD)/build.ninja:
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTIDYLINE_FUZZ=ON -DTIDYLINE_TESTS=OFF

fuzz: setup $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	bash scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(TARGETS)

bench: setup
	bash bench/compare.sh

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(WIN64_BUILD) $(WIN32_BUILD) dist
