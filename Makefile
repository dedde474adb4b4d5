# Front door of the project: `make run` and `make test` work on a fresh machine.
JOBS    ?= $(shell nproc)
ROOT    ?= $(CURDIR)/sim-root
CMAKE   := cmake
BUILD   := build
ASAN    := build-asan
TSAN    := build-tsan
FUZZ    := build-fuzz
FUZZ_SECONDS ?= 20

.PHONY: all deps build run test test-asan test-tsan tsan fuzz fuzz-smoke bench clean

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

test: deps test-asan test-tsan fuzz-smoke

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

bench: build
	$(CMAKE) --build $(BUILD) -j $(JOBS) --target qrv806-bench
	$(BUILD)/qrv806-bench
	@scripts/bench.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN) $(TSAN) $(FUZZ)
