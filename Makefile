# Quillantern: the two commands of the README, and a few more.
#   make run         build and start the program (under Wine on Linux)
#   make test        build and run every test
#   make screenshot  docs/screenshot.png of the window after a pick
#   make bench       start-up and reaction times, size and imports
#   make fuzz        fuzz the decimal parser for a bounded time
# Each installs whatever the machine lacks first (tools/install-deps.sh).

BUILD    ?= build
NATIVE   := $(BUILD)/native
SANITIZE := $(BUILD)/sanitize
WIN      := $(BUILD)/win32
JOBS     ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build native win32 sanitize test run screenshot bench fuzz clean

all: build

deps:
	@tools/install-deps.sh

build: native win32

native: deps
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)

sanitize: deps
	@cmake -S . -B $(SANITIZE) -DCMAKE_BUILD_TYPE=Debug -DQUILL_SANITIZE=ON >/dev/null
	@cmake --build $(SANITIZE) -j $(JOBS)

win32:
	@tools/install-deps.sh --wine
	@cmake -S . -B $(WIN) --toolchain cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(WIN) -j $(JOBS)

test: native sanitize win32
	@tools/run-tests.sh $(NATIVE) $(SANITIZE) $(WIN)

run: win32
	@tools/run-program.sh $(WIN)/Quillantern.exe

screenshot: win32
	@tools/install-deps.sh --screenshot
	@mkdir -p docs
	@tools/wine-run.sh $(WIN)/screenshot.exe $(WIN)/screenshot.bmp
	@convert $(WIN)/screenshot.bmp docs/screenshot.png
	@echo "docs/screenshot.png written"

bench: win32
	@tools/wine-run.sh $(WIN)/bench_launcher.exe $(or $(ROUNDS),40)

FUZZ_SECONDS ?= 60
fuzz: deps
	@tools/install-deps.sh --fuzz
	@mkdir -p $(BUILD)/fuzz/corpus
	@clang++ -std=c++20 -O1 -g -I. -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
		tests/fuzz/parse_decimal_fuzzer.cpp colour/colour.cpp -o $(BUILD)/fuzz/parse_decimal_fuzzer
	@$(BUILD)/fuzz/parse_decimal_fuzzer -max_total_time=$(FUZZ_SECONDS) -max_len=64 \
		-artifact_prefix=$(BUILD)/fuzz/ $(BUILD)/fuzz/corpus tests/fuzz/corpus

clean:
	rm -rf $(BUILD)
