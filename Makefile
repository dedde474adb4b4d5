# Front door of the project: `make run` and `make test` work on a fresh machine.
JOBS    ?= $(shell nproc)
ROOT    ?= $(CURDIR)/sim-root
CMAKE   := cmake
BUILD   := build
ASAN    := build-asan
TSAN    := build-tsan
FUZZ    := build-fuzz
BENCH   := build-bench
FUZZ_SECONDS ?= 20
# The board: armhf (32-bit ARM Linux), cross-compiled; tests under qemu-arm.
CROSS   := build-armhf
CROSS_TOOLCHAIN := cmake/toolchain-armhf.cmake
CROSS_STRIP := arm-linux-gnueabihf-strip
FW_SIZE_LIMIT := 600000

.PHONY: all deps build run test test-asan test-tsan tsan fuzz fuzz-smoke bench cross cross-configure cross-test install clean

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

test: deps test-asan test-tsan fuzz-smoke cross cross-test

test-asan:
	$(CMAKE) -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQRV_SANITIZE=ON
	$(CMAKE) --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && ctest --output-on-failure -j $(JOBS)

tsan: deps test-tsan

test-tsan:
	$(CMAKE) -S . -B $(TSAN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQRV_TSAN=ON
	$(CMAKE) --build $(TSAN) -j $(JOBS)
	cd $(TSAN) && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS)

$(FUZZ)/build.ninja:
	CXX=clang++ $(CMAKE) -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQRV_FUZZ=ON

fuzz: deps $(FUZZ)/build.ninja
	$(CMAKE) --build $(FUZZ) -j $(JOBS)

# A short run of every fuzz target from its seed corpus.
fuzz-smoke: fuzz
	@scripts/fuzz-smoke.sh $(FUZZ) 10

# Figures on a PC build of its own without libqmi (packet data on the
# simulated board does not need it), so the firmware's memory is what a
# board without GLib would carry; the bench's output says so.
bench: deps
	$(CMAKE) -S . -B $(BENCH) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQRV_TESTS=OFF -DQRV_LIBQMI=OFF
	$(CMAKE) --build $(BENCH) -j $(JOBS) --target qrv806 qrv806-sim qrv806-bench
	$(BENCH)/qrv806-bench
	@scripts/bench.sh $(BENCH)

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
	rm -rf $(BUILD) $(ASAN) $(TSAN) $(FUZZ) $(CROSS) $(BENCH)
