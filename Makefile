# Set-up, build, run and test on a Debian machine.
BUILD ?= build
JOBS ?= 2
PACKAGES = g++ cmake make pkg-config python3 giza-dev libedit-dev libgtest-dev libbenchmark-dev xvfb xdotool
CMAKE_FLAGS ?=
# The build shows CMake's own progress, without make's Entering/Leaving lines.
MAKEFLAGS += --no-print-directory

# Fuzzing: clang and its libFuzzer runtime, the build folder, the seconds
# each target runs, and the checks that need the saturating number input and
# a fit that goes on past a chi-squared that is not finite.
FUZZ_PACKAGES = clang libclang-rt-14-dev
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 5
FUZZ_STRICT ?= ON

# Benchmarks: cminpack, the peer the fit is timed against in one process,
# and gnuplot, the peer of the whole-session timing (bench/session.sh).
BENCH_PACKAGES = libcminpack-dev gnuplot-nox
BENCH_RUNS ?= 15

.PHONY: all deps configure build run test bench fuzz fuzz-build clean

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y $$missing; \
	  else \
	    echo "Missing packages. Run as root:"; \
	    echo "  apt-get install -y$$missing"; exit 1; \
	  fi; \
	fi

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@mkdir -p scratch
	cp examples/peak.dat scratch/
	cd scratch && ../$(BUILD)/kvst

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

bench:
	@$(MAKE) deps PACKAGES="$(PACKAGES) $(BENCH_PACKAGES)"
	cmake -S . -B $(BUILD)-bench -DKARVEL_BENCH=ON -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD)-bench -j $(JOBS) --target kvst bench_compare bench_fit
	$(BUILD)-bench/bench_compare
	bash bench/session.sh $(BUILD)-bench $(BENCH_RUNS)

# The pictures in docs/, made afresh from the build; gnuplot is needed for them only.
DOC_PACKAGES = gnuplot-nox
.PHONY: pictures
pictures: build
	@$(MAKE) deps PACKAGES="$(DOC_PACKAGES)"
	docs/make-pictures.sh $(BUILD)

fuzz-build:
	$(MAKE) deps PACKAGES="$(PACKAGES) $(FUZZ_PACKAGES)"
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DKARVEL_FUZZ=ON \
	  -DKARVEL_FUZZ_STRICT=$(FUZZ_STRICT) $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_command fuzz_format fuzz_read \
	  fuzz_parfile fuzz_datafile fuzz_session

fuzz: fuzz-build
	bash tests/fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(BUILD)-bench $(FUZZ_BUILD) scratch
