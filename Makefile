# The two commands of the README: `make demo` and `make check`; `make killtest` runs the long
# round of saves killed at random moments.
BUILD_DIR ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
KILLS ?= 1000

.PHONY: all deps configure build check demo killtest clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

check: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

demo: build
	@bash scripts/run-demo.sh $(BUILD_DIR)

# Saves killed at random moments, KILLS times in all (CTest runs a short round).
killtest: build
	@VELK_KILLS=$(KILLS) $(BUILD_DIR)/tests/kill/velk_kill_tests

clean:
	rm -rf $(BUILD_DIR)
