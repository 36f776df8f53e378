# The commands of the README: `make demo`, `make check`, `make sanitize`, `make fuzz`,
# `make format` and `make deb`;
# `make killtest` runs the long round of saves killed at random moments.
BUILD_DIR ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
KILLS ?= 1000
ASAN_DIR ?= build-asan
TSAN_DIR ?= build-tsan
FUZZ_DIR ?= build-fuzz
DEB_DIR ?= build-deb
FUZZ_SECONDS ?= 60
FUZZ_JOBS ?= 2

# Sanitizer builds: -O1 as the sanitizers advise, and line tables only, which is all a stack
# trace needs and keeps the two extra builds of CI short.
SANITIZER_CMAKE = -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DVELK_BUILD_BENCH=OFF

# A sanitizer finding fails the test that hit it; so does a leak, except the few inside system
# libraries listed in tests/sanitizer/lsan.supp. ThreadSanitizer would sleep a second at the exit
# of a program whose threads still run (a NATS connect given up on does, until its timeout),
# which the tests that time a shutdown would count.
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizer/lsan.supp \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:atexit_sleep_ms=0

.PHONY: all deps configure build check demo killtest clean sanitize sanitize-address sanitize-thread fuzz \
	format check-format deb

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

check: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The Debian package, built in a folder of its own with the distribution's hardening flags and
# without the tests and benchmarks; `lintian $(DEB_DIR)/*.deb` checks it.
deb: deps
	@cmake -S . -B $(DEB_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELK_HARDENING=ON \
		-DVELK_BUILD_TESTS=OFF -DVELK_BUILD_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(DEB_DIR) -j $(JOBS)
	@cd $(DEB_DIR) && cpack -G DEB

demo: build
	@bash scripts/run-demo.sh $(BUILD_DIR)

# Saves killed at random moments, KILLS times in all (CTest runs a short round).
killtest: build
	@VELK_KILLS=$(KILLS) $(BUILD_DIR)/tests/kill/velk_kill_tests

# The whole suite with AddressSanitizer and UndefinedBehaviorSanitizer, then the suite without
# Qt under ThreadSanitizer, each in its own build folder.
sanitize: sanitize-address sanitize-thread

sanitize-address: deps
	@cmake -S . -B $(ASAN_DIR) -G Ninja -DVELK_SANITIZE=address,undefined $(SANITIZER_CMAKE) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(ASAN_DIR) -j $(JOBS)
	@cd $(ASAN_DIR) && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS)

sanitize-thread: deps
	@cmake -S . -B $(TSAN_DIR) -G Ninja -DVELK_SANITIZE=thread -DVELK_BUILD_UI=OFF $(SANITIZER_CMAKE) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(TSAN_DIR) -j $(JOBS)
	@cd $(TSAN_DIR) && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS)

# Builds every fuzz target with clang, libFuzzer, ASan and UBSan and runs each for FUZZ_SECONDS.
fuzz:
	@bash scripts/install-deps.sh --fuzz
	@cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DVELK_FUZZ_LIBFUZZER=ON \
		-DVELK_SANITIZE=address,undefined -DVELK_BUILD_UI=OFF -DVELK_BUILD_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(FUZZ_DIR) --target velk_fuzz_targets -j $(JOBS)
	@bash scripts/run-fuzz.sh $(FUZZ_DIR) $(FUZZ_SECONDS) $(FUZZ_JOBS)

# The tree as clang-format writes it; check-format fails on a file that differs or on an include
# of a project header that does not name its folder.
format: deps
	@git ls-files '*.h' '*.cpp' | xargs clang-format -i

check-format: deps
	@bash scripts/check-format.sh

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(TSAN_DIR) $(FUZZ_DIR) $(DEB_DIR)
