# The two commands of this project:
#   make run   builds Tidyline and starts it
#   make test  builds everything and runs every test (once more under ASan/UBSan)
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)
# Paths relative to the checkout, so every clone shares ccache's results.
export CCACHE_BASEDIR := $(CURDIR)

.PHONY: run test setup build build-asan bench clean fuzz

setup:
	@bash scripts/setup.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTIDYLINE_SANITIZE=ON

build: setup $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-asan: setup $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# Builds only the two programs (not the tests), then opens the window.
run: setup $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target tidyline tidyline-cli
	$(BUILD)/tidyline

test: build build-asan
	cd $(BUILD) && ctest --output-on-failure
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure

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
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
