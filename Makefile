# Set-up, build, run and test on a Debian machine.
BUILD ?= build
JOBS ?= 2
PACKAGES = g++ cmake make pkg-config python3 giza-dev libedit-dev libgtest-dev libbenchmark-dev xvfb xdotool
CMAKE_FLAGS ?=
# The build shows CMake's own progress, without make's Entering/Leaving lines.
MAKEFLAGS += --no-print-directory

.PHONY: all deps configure build run test bench clean

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

bench: deps
	cmake -S . -B $(BUILD)-bench -DKARVEL_BENCH=ON -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD)-bench -j $(JOBS)
	for b in $(BUILD)-bench/bench_*; do [ -x $$b ] && $$b; done

# The pictures in docs/, made afresh from the build; gnuplot is needed for them only.
DOC_PACKAGES = gnuplot-nox
.PHONY: pictures
pictures: build
	@$(MAKE) deps PACKAGES="$(DOC_PACKAGES)"
	docs/make-pictures.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD)-bench scratch
