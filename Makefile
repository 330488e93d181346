# The two commands of this project:
#   make run   builds Tidyline and starts it
#   make test  builds everything and runs every test (once more under ASan/UBSan)
BUILD      ?= build
ASAN_BUILD ?= build-asan
# The Windows programs, cross-built with mingw-w64: the 64-bit tree with its
# tests (run under wine64), the 32-bit tree with the library and tidyline-cli.
WIN64_BUILD ?= build-win64
WIN32_BUILD ?= build-win32
JOBS       ?= $(shell nproc)

.PHONY: run test setup build build-asan build-windows test-windows bench clean

setup:
	@bash scripts/setup.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTIDYLINE_SANITIZE=ON

$(WIN64_BUILD)/build.ninja:
	cmake -S . -B $(WIN64_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake

$(WIN32_BUILD)/build.ninja:
	cmake -S . -B $(WIN32_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTIDYLINE_TESTS=OFF \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake

build: setup $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-asan: setup $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

build-windows: setup $(WIN64_BUILD)/build.ninja $(WIN32_BUILD)/build.ninja
	cmake --build $(WIN64_BUILD) -j $(JOBS)
	cmake --build $(WIN32_BUILD) -j $(JOBS)

# 32-bit programs cannot run on this kernel: that tree is only built.
test-windows: build-windows
	bash tools/windows-suite.sh $(WIN64_BUILD)

run: build
	@printf '777\r\n123\r\n321\r\n222\r\n333\r\n222\r\n321\r\n222\r\n555\r\n655\r\n777' | $(BUILD)/tidyline-cli --dedupe
	@echo

test: build build-asan
	cd $(BUILD) && ctest --output-on-failure
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure
	$(MAKE) test-windows

bench: setup
	bash bench/compare.sh

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WIN64_BUILD) $(WIN32_BUILD)
