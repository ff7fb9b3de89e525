# Quillantern: the two commands of the README, and a few more.
#   make run         build and start the program (the Linux desktop build)
#   make test        build and run every test (native, Qt, Windows under Wine;
#                    QUILL_WINE_ARCH=win64 runs the Windows tests against the
#                    x86-64 build, as where 32-bit programs cannot run)
#   make run-wine    build and start the Windows program under Wine
#   make screenshot  docs/screenshot-linux.png and docs/screenshot.png (Windows)
#   make bench       start-up and reaction times, size and dependencies
#   make fuzz        fuzz the decimal parser for a bounded time
#   make install     the Linux desktop build into PREFIX (default /usr/local)
#   make deb         the Debian source package, build/deb/quillantern_VERSION-1.dsc
#                    with its two tarballs, and the binary one built from it,
#                    build/deb/quillantern_VERSION-1_ARCH.deb
#   make msi         the Windows installer, build/dist/Quillantern-VERSION.msi
#   make dist        the Windows archive, build/dist/Quillantern-VERSION-win32.zip,
#                    the installer and their SHA256SUMS; signed when given
#                    QUILL_SIGN_PKCS12=FILE QUILL_SIGN_PASSWORD_FILE=FILE
#                    [QUILL_SIGN_TIMESTAMP_URL=URL] (Authenticode: the exe and
#                    the installer) and QUILL_GPG_KEY=FINGERPRINT (SHA256SUMS.asc)
# Each installs whatever the machine lacks first (tools/install-deps.sh).

BUILD    ?= build
NATIVE   := $(BUILD)/native
SANITIZE := $(BUILD)/sanitize
WIN      := $(BUILD)/win32
WIN64    := $(BUILD)/win64
JOBS     ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX   ?= /usr/local
MAKEFLAGS += --no-print-directory
VERSION  := $(shell sed -n 's/^set(QUILL_VERSION_TEXT \(.*\))$$/\1/p' CMakeLists.txt)

# Reproducible builds: every date a tool stores (Qt's resource compiler, the
# archives) is the last commit's.
SOURCE_DATE_EPOCH ?= $(shell git log -1 --format=%ct 2>/dev/null)
ifneq ($(SOURCE_DATE_EPOCH),)
export SOURCE_DATE_EPOCH
export QT_RCC_SOURCE_DATE_OVERRIDE := $(SOURCE_DATE_EPOCH)
endif

.PHONY: all build native native-configure quillantern win32 win32-configure win64 sanitize test test-trees run \
	run-wine screenshot \
	bench fuzz install deb msi dist clean

# Which build the Windows tests run: the shipped 32-bit program where this
# machine can run 32-bit programs; elsewhere, or with QUILL_WINE_ARCH=win64,
# the same sources built for x86-64 under 64-bit Wine, with nothing 32-bit
# installed or started (the 32-bit file is then checked natively).
WINE_ARCH := $(or $(QUILL_WINE_ARCH),$(shell tools/can-run-win32.sh 2>/dev/null && echo win32 || echo win64))
ifeq ($(WINE_ARCH),win64)
WIN_TESTED := $(WIN64)
else
WIN_TESTED := $(WIN)
endif

all: build

build: native win32

native-configure:
	@tools/install-deps.sh --qt
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Release >/dev/null

native: native-configure
	@cmake --build $(NATIVE) -j $(JOBS)

# Only the desktop program, for make run.
quillantern: native-configure
	@cmake --build $(NATIVE) -j $(JOBS) --target quillantern

sanitize:
	@tools/install-deps.sh
	@cmake -S . -B $(SANITIZE) -DCMAKE_BUILD_TYPE=Debug -DQUILL_SANITIZE=ON -DQUILL_QT=OFF >/dev/null
	@cmake --build $(SANITIZE) -j $(JOBS)

win32-configure:
	@tools/install-deps.sh $(if $(filter win64,$(WINE_ARCH)),--win32,--wine) --msi
	@cmake -S . -B $(WIN) --toolchain cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null

win32: win32-configure
	@cmake --build $(WIN) -j $(JOBS)

win64: win32
	@tools/install-deps.sh --wine64 --msi
	@cmake -S . -B $(WIN64) --toolchain cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
		-DQUILL_SHIPPED_EXE=$(abspath $(WIN))/Quillantern.exe >/dev/null
	@cmake --build $(WIN64) -j $(JOBS)

# make test first settles which Windows build its tests run (installing
# 32-bit Wine where it can: where that fails, the x86-64 build is tested,
# and the reason said), then builds and runs everything with that choice.
test:
	@decision=$$(tools/windows-test-arch.sh) || exit 1; \
	echo "make test: the Windows tests run the $${decision%%:*} build: $${decision#*: }"; \
	$(MAKE) test-trees QUILL_WINE_ARCH="$${decision%%:*}" QUILL_WINE_WHY="$${decision#*: }"

test-trees: native sanitize win32 $(if $(filter win64,$(WINE_ARCH)),win64)
	@tools/install-deps.sh --deb --desktop --style
	@QUILL_WINE_ARCH=$(WINE_ARCH) tools/run-tests.sh $(NATIVE) $(SANITIZE) $(WIN_TESTED)

run: quillantern
	@tools/run-program.sh $(NATIVE)/quillantern

run-wine: win32
	@tools/run-program.sh $(WIN)/Quillantern.exe

screenshot: native win32
	@tools/install-deps.sh --screenshot
	@mkdir -p docs
	@QT_QPA_PLATFORM=xcb tools/xvfb-run.sh $(NATIVE)/qt_screenshot docs/screenshot-linux.png
	@tools/wine-run.sh $(WIN)/screenshot.exe $(WIN)/screenshot.bmp
	@convert $(WIN)/screenshot.bmp docs/screenshot.png
	@echo "docs/screenshot-linux.png and docs/screenshot.png written"

bench: native win32
	@tools/install-deps.sh --bench
	@tools/xvfb-run.sh python3 bench/qt_startup.py $(NATIVE) $(or $(ROUNDS),30) $(or $(RUNS),3)
	@tools/wine-run.sh $(WIN)/bench_launcher.exe $(or $(ROUNDS),40)
	@tools/install-deps.sh --desktop
	@tools/desktop-run.sh --wm openbox /usr/bin/python3 bench/keeper_footprint.py x11 $(NATIVE) $(or $(CLOSE_ROUNDS),10)
	@tools/desktop-run.sh --sway /usr/bin/python3 bench/keeper_footprint.py wayland $(NATIVE)

install: quillantern
	@cmake --install $(NATIVE) --prefix $(PREFIX)

deb:
	@tools/install-deps.sh --qt --deb
	@tools/make-deb.sh $(BUILD)/deb $(JOBS)

# The per-user installer of the same program (msitools' wixl).
msi: win32-configure
	@cmake --build $(WIN) -j $(JOBS) --target Quillantern
	@tools/make-msi.py $(BUILD)/dist/Quillantern-$(VERSION).msi $(VERSION) x86 $(WIN)/Quillantern.exe LICENSE \
		THIRD-PARTY-NOTICES.txt win32/resources/quillantern.ico

# Only the program: the archive holds nothing else that is built.
# tools/make-dist.py makes the installer itself, from the exe as it is
# released (signed, when it is); the signing settings reach it in the
# environment, and name files: no password is ever on a command line.
export QUILL_SIGN_PKCS12 QUILL_SIGN_PASSWORD_FILE QUILL_SIGN_TIMESTAMP_URL QUILL_GPG_KEY
dist: win32-configure
	@$(if $(QUILL_SIGN_PKCS12)$(QUILL_GPG_KEY),tools/install-deps.sh --sign)
	@cmake --build $(WIN) -j $(JOBS) --target Quillantern
	@tools/make-dist.py $(BUILD)/dist $(VERSION) $(WIN)/Quillantern.exe LICENSE THIRD-PARTY-NOTICES.txt \
		win32/README.txt --installer x86 LICENSE THIRD-PARTY-NOTICES.txt win32/resources/quillantern.ico

FUZZ_SECONDS ?= 60
fuzz:
	@tools/install-deps.sh --fuzz
	@mkdir -p $(BUILD)/fuzz/corpus
	@clang++ -std=c++20 -O1 -g -I. -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
		tests/fuzz/parse_decimal_fuzzer.cpp colour/colour.cpp -o $(BUILD)/fuzz/parse_decimal_fuzzer
	@$(BUILD)/fuzz/parse_decimal_fuzzer -max_total_time=$(FUZZ_SECONDS) -max_len=64 \
		-artifact_prefix=$(BUILD)/fuzz/ $(BUILD)/fuzz/corpus tests/fuzz/corpus

clean:
	rm -rf $(BUILD)
