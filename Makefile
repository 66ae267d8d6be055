# SPDX-License-Identifier: GPL-3.0-or-later
# Set-up and everyday commands. `make run` and `make test` work on a fresh Debian 12 machine.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
BUILD := build
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

# What building and running need: the compiler, Qt, the FFmpeg, SDL2 and Rubber Band headers (the libraries
# are loaded at run time), what the demo content generator renders with (FluidSynth and its
# General MIDI sounds, giflib, the notation font), the fonts the windows ask for by name, and
# XCB for the start-up benchmark, which is built with the rest.
BUILD_PACKAGES := cmake g++ make pkg-config qt6-base-dev \
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev libsdl2-dev librubberband-dev \
  libfluidsynth-dev libjack-jackd2-dev fluid-soundfont-gm libgif-dev libfontconfig-dev libxcb1-dev libxcb-damage0-dev \
  fonts-liberation fonts-comic-neue fonts-freefont-ttf

# What the Debian package is made with: dpkg-shlibdeps, and file, with which CPack finds the executables.
PACKAGING_PACKAGES := dpkg-dev file

# The sound server the tests start a private copy of. A desktop whose sound is PipeWire's keeps
# it: pulseaudio would conflict with pipewire-audio and take the desktop's sound away with it,
# so there the tests run PipeWire's pulse server with WirePlumber instead. HAS_PIPEWIRE_PULSE=yes
# or =no shows what either machine would be given.
HAS_PIPEWIRE_PULSE ?= $(shell dpkg-query -W -f='$${Status}\n' pipewire-pulse 2>/dev/null | grep -q 'install ok installed' && echo yes)
ifeq ($(HAS_PIPEWIRE_PULSE),yes)
SOUND_SERVER_PACKAGES := pipewire pipewire-pulse wireplumber pulseaudio-utils
else
SOUND_SERVER_PACKAGES := pulseaudio pulseaudio-utils
endif

# What the tests use besides: an X server, a window manager and the X tools that read its frames,
# screenshots, real clicks, clang for the fuzz targets, the ffmpeg tool as a second loudness
# meter, and the package checkers.
TEST_PACKAGES := $(PACKAGING_PACKAGES) $(SOUND_SERVER_PACKAGES) \
  xvfb openbox x11-utils imagemagick xdotool clang ffmpeg desktop-file-utils appstream lintian

# What the benchmarks compare the program with: a player, and Rubber Band's own command-line tool.
BENCH_PACKAGES := mpv rubberband-cli

.PHONY: deps test-deps package-deps bench-deps build content run test test-asan tsan fuzz fuzz-build fuzz-smoke bench package install clean

# Installs what is missing of a package list (with sudo when not root). apt-get is told never
# to remove a package: where one would have to go, it stops instead.
define install_missing
	@packages="$(strip $(1))"; \
	missing=$$(for p in $$packages; do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	    echo "installing:" $$missing; \
	    $(SUDO) apt-get update && \
	    $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-remove $$missing; \
	fi
endef

deps:
	$(call install_missing,$(BUILD_PACKAGES))

test-deps:
	$(call install_missing,$(BUILD_PACKAGES) $(TEST_PACKAGES))

package-deps:
	$(call install_missing,$(BUILD_PACKAGES) $(PACKAGING_PACKAGES))

bench-deps:
	$(call install_missing,$(BUILD_PACKAGES) $(TEST_PACKAGES) $(BENCH_PACKAGES))

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j$(JOBS)

# The demo content, beside the program, where it looks for it: written afresh when missing or
# older than its note data or its generator, into a side folder first, so no half tree stays.
content: build
	@if [ ! -f $(BUILD)/Data/.complete ] || \
	    [ -n "$$(find content/notes $(BUILD)/zupfomat-content -newer $(BUILD)/Data/.complete | head -1)" ]; then \
	  rm -rf $(BUILD)/content-new && \
	  $(BUILD)/zupfomat-content $(BUILD)/content-new/Data && \
	  rm -rf $(BUILD)/Data && mv $(BUILD)/content-new/Data $(BUILD)/Data && \
	  rmdir $(BUILD)/content-new && touch $(BUILD)/Data/.complete; \
	fi

run: content
	$(BUILD)/zupfomat

# The Debian package (packaging/), $(BUILD)/zupfomat_<version>-1_<arch>.deb, with the content.
package: package-deps content
	cd $(BUILD) && cpack --config CPackConfig.cmake

# The same layout under PREFIX: the program in lib/zupfomat, bin/zupfomat a link to it, the
# content in share/zupfomat/Data with a link to it beside the program, the menu entry, icons and
# AppStream data in share. DESTDIR is honoured.
PREFIX ?= /usr/local
install: content
	$(SUDO) env DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX) --strip

test: test-deps build content
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)
	$(MAKE) test-asan
	$(MAKE) fuzz-smoke

# The media code shares state with the audio thread: run it under the sanitizers too.
test-asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZUPFOMAT_SANITIZE=address,undefined
	cmake --build build-asan -j$(JOBS) --target media_tests
	cd build-asan && ctest --output-on-failure -L media

tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DZUPFOMAT_SANITIZE=thread
	cmake --build build-tsan -j$(JOBS) --target media_tests
	cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan.supp" ctest --output-on-failure -L media

# Fuzzing: libFuzzer targets for command texts, answer texts and files (fuzz/), seeded with small
# recordings the build makes, plus every input that ever failed (tests/fuzz/regressions/).
FUZZ_TARGETS := command answer file
FUZZ_SMOKE_RUNS := command=20000 answer=50000 file=400
FUZZ_SECONDS ?= 300

fuzz-build: test-deps build
	$(BUILD)/fuzz_seeds build-fuzz/seeds
	cmake -S fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build-fuzz -j$(JOBS)

# A smoke, not a campaign: a fixed number of runs on the seeds and the regressions.
fuzz-smoke: fuzz-build
	@for pair in $(FUZZ_SMOKE_RUNS); do t=$${pair%%=*}; runs=$${pair##*=}; \
	  mkdir -p build-fuzz/corpus/$$t && \
	  echo "fuzz smoke $$t: $$runs runs" && \
	  build-fuzz/fuzz_$$t -runs=$$runs -timeout=20 -rss_limit_mb=4096 -print_final_stats=1 \
	    -artifact_prefix=build-fuzz/failed-$$t- build-fuzz/corpus/$$t build-fuzz/seeds/$$t tests/fuzz/regressions/$$t \
	    2>build-fuzz/$$t.log || { tail -40 build-fuzz/$$t.log; exit 1; }; \
	  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" build-fuzz/$$t.log; \
	done

fuzz: fuzz-build
	@for t in $(FUZZ_TARGETS); do mkdir -p build-fuzz/corpus/$$t; \
	  build-fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -timeout=20 -rss_limit_mb=4096 -print_final_stats=1 \
	    -artifact_prefix=build-fuzz/failed-$$t- build-fuzz/corpus/$$t build-fuzz/seeds/$$t tests/fuzz/regressions/$$t \
	    2>build-fuzz/$$t.log; status=$$?; tail -12 build-fuzz/$$t.log; [ $$status = 0 ] || exit 1; \
	done

bench: content bench-deps
	$(BUILD)/bench_media
	$(BUILD)/bench_loop
	$(BUILD)/bench_sound_server
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench_window
	xvfb-run -a -s "-screen 0 1920x1200x24" $(BUILD)/bench_window
	xvfb-run -a -s "-screen 0 1920x1200x24" $(BUILD)/bench_startup $(BUILD)/zupfomat $(BUILD)/bench_bare_window $(BUILD)/bench_first_play

clean:
	rm -rf $(BUILD) build-asan build-tsan build-fuzz
