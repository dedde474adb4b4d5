# Front door of the project: `make run` and `make test` work on a fresh machine.
JOBS    ?= $(shell nproc)
# The end-to-end tests mostly wait on the simulated board's timing, so more
# of them run at once than there are cores.
CTEST_JOBS ?= $(shell echo $$(( $(JOBS) * 2 )))
ROOT    ?= $(CURDIR)/sim-root
CMAKE   := cmake
BUILD   := build
ASAN    := build-asan
TSAN    := build-tsan
FUZZ    := build-fuzz
LINT    := build-lint
BENCH   := build-bench
FUZZ_SECONDS ?= 300
CUTS    ?= 500
SOAK_MIN ?= 30
# The board: armhf (32-bit ARM Linux), cross-compiled; tests under qemu-arm.
CROSS   := build-armhf
CROSS_TOOLCHAIN := cmake/toolchain-armhf.cmake
CROSS_STRIP := arm-linux-gnueabihf-strip
FW_SIZE_LIMIT := 600000

.PHONY: all deps build run test test-asan test-tsan tsan lint fuzz fuzz-smoke fuzz-long bench powercut soak cross cross-configure cross-test cross-e2e install clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja:
	$(CMAKE) -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQRV_TESTS=OFF

build: deps $(BUILD)/build.ninja
	$(CMAKE) --build $(BUILD) -j $(JOBS)

# Starts the firmware on the simulated board in $(ROOT) (kept between runs,
# like a board's flash and card).
run: build
	@scripts/run-sim.sh $(BUILD) $(ROOT)

test: deps test-asan lint test-tsan fuzz-smoke cross cross-test cross-e2e

test-asan:
	$(CMAKE) -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQRV_SANITIZE=ON
	$(CMAKE) --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && ctest --output-on-failure -j $(CTEST_JOBS)

# clang-tidy and cppcheck over the firmware (scripts/lint.sh); any finding fails.
lint: deps
	@scripts/lint.sh $(LINT)

tsan: deps test-tsan

test-tsan:
	$(CMAKE) -S . -B $(TSAN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQRV_TSAN=ON
	$(CMAKE) --build $(TSAN) -j $(JOBS)
	# The realistic run and the fault scenarios drive the same threads as the
	# plain end-to-end suite; they run in the address build only, which keeps
	# CI within its time.
	cd $(TSAN) && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(CTEST_JOBS) -LE e2e-realistic -E '^FaultE2eTest[.]'

$(FUZZ)/build.ninja:
	CXX=clang++ $(CMAKE) -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQRV_FUZZ=ON \
	  $(shell command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

fuzz: deps $(FUZZ)/build.ninja
	$(CMAKE) --build $(FUZZ) -j $(JOBS)

# A short run of every fuzz target from its seed corpus.
fuzz-smoke: fuzz
	@scripts/fuzz-smoke.sh $(FUZZ) 10

# Every fuzz target for FUZZ_SECONDS (300) each, one after another: the
# executions, the rate and the findings per target, then a table; fails on
# a finding (kept in $(FUZZ)/fuzz-findings).
fuzz-long: fuzz
	@scripts/fuzz-run.sh $(FUZZ) $(FUZZ_SECONDS)

# Figures on a PC build of its own without libqmi (packet data on the
# simulated board does not need it), so the firmware's memory is what a
# board without GLib would carry; the bench's output says so.
bench: deps
	$(CMAKE) -S . -B $(BENCH) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQRV_TESTS=OFF -DQRV_LIBQMI=OFF
	$(CMAKE) --build $(BENCH) -j $(JOBS) --target qrv806 qrv806-sim qrv806-bench
	$(BENCH)/qrv806-bench
	@scripts/bench.sh $(BENCH)

# Power cuts while the firmware saves: CUTS kills with SIGKILL, each followed
# by a start that must read every file back (scripts/powercut.py).
powercut: build
	scripts/powercut.py --build $(BUILD) --cuts $(CUTS)

# A normal-mode scenario on the realistic board for SOAK_MIN minutes, under
# ThreadSanitizer and then AddressSanitizer (scripts/soak.py).
soak: deps
	$(CMAKE) -S . -B $(TSAN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQRV_TSAN=ON
	$(CMAKE) --build $(TSAN) -j $(JOBS) --target qrv806 qrv806-sim
	$(CMAKE) -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQRV_SANITIZE=ON
	$(CMAKE) --build $(ASAN) -j $(JOBS) --target qrv806 qrv806-sim
	scripts/soak.py --minutes $(SOAK_MIN) $(TSAN) $(ASAN)

# The board's firmware cannot do without packet data: no libqmi, no build.
cross-configure:
	$(CMAKE) -S . -B $(CROSS) -G Ninja -DCMAKE_TOOLCHAIN_FILE=$(CROSS_TOOLCHAIN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DQRV_LIBQMI=ON -DQRV_REQUIRE_LIBQMI=ON

# The firmware, the simulator and the tools for the board; the firmware's
# stripped size is what goes on the board's flash.
cross: deps cross-configure
	$(CMAKE) --build $(CROSS) -j $(JOBS) --target qrv806-programs
	@$(CROSS_STRIP) -o $(CROSS)/qrv806.stripped $(CROSS)/qrv806
	@size=$$(stat -c %s $(CROSS)/qrv806.stripped); \
	  echo "qrv806 for armhf, stripped: $$size bytes (limit $(FW_SIZE_LIMIT))"; \
	  [ $$size -le $(FW_SIZE_LIMIT) ] || { echo "qrv806 is over its size limit" >&2; exit 1; }

# The unit tests built for armhf, run under qemu-arm (ctest and the test
# discovery use the emulator of the toolchain file).
cross-test: deps cross-configure
	$(CMAKE) --build $(CROSS) -j $(JOBS)
	cd $(CROSS) && ctest --output-on-failure -j $(JOBS)

# The board's firmware on the simulated board: chosen end-to-end scenarios of
# the host suite, the firmware from the cross build under the toolchain
# file's emulator, the simulator and the test programs from the host's
# sanitizer build (the one test-asan builds).
CROSS_EMULATOR = $(shell sed -n 's/^set(CMAKE_CROSSCOMPILING_EMULATOR \(.*\))$$/\1/p' $(CROSS_TOOLCHAIN))
CROSS_E2E_FILTER := AlarmE2eTest.Inputs*:SmsControlE2eTest.*:UtilityE2eTest.*:QcE2eTest.*:Report2040E2eTest.*
cross-e2e: deps cross
	$(CMAKE) -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQRV_SANITIZE=ON
	$(CMAKE) --build $(ASAN) -j $(JOBS) --target test_e2e
	@scripts/cross-e2e.sh $(ASAN)/tests/test_e2e $(CURDIR)/$(CROSS)/qrv806 "$(CROSS_EMULATOR)" "$(CROSS_E2E_FILTER)"

# The board's files under DESTDIR: /APP/qrv806 (stripped), /APP/fw and the
# start-up files.
ifneq ($(filter install,$(MAKECMDGOALS)),)
ifeq ($(strip $(DESTDIR)),)
$(error make install DESTDIR=DIR: DIR is the folder to fill as the board's root)
endif
endif
install: cross
	DESTDIR=$(abspath $(DESTDIR)) $(CMAKE) --install $(CROSS) --prefix / --strip

clean:
	rm -rf $(BUILD) $(ASAN) $(TSAN) $(FUZZ) $(LINT) $(CROSS) $(BENCH)
