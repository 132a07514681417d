# The two commands of the README: `make run` and `make test`. Both install what is
# missing first, so they work on a fresh Debian bookworm machine.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja
DEMO       := samples/demo-gsmr.ktz

.PHONY: all deps configure build run test deb test-asan test-tsan bench fuzz fuzz-smoke format clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run-demo $(BUILD) $(DEMO)

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The Debian package, $(BUILD)/norvaviewer_VERSION_ARCH.deb.
deb: build
	@cd $(BUILD) && cpack -G DEB

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DNORVA_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

# The whole suite under ThreadSanitizer: the signature's hash thread, norva-inspect's batch
# runs, the log list's checks and the report's thread among it. Every report also goes to a
# file, so that a race in a program a test starts fails the run even where that test does not
# look at how the program ended. A test that starts a program with QProcess while its own
# threads run would otherwise die at its next new thread: the sanitizer refuses threads after
# a fork of a threaded program, although Qt's child only runs exec.
TSAN_REPORTS = $(abspath $(TSAN_BUILD))/tsan-reports
test-tsan: deps
	@cmake -S . -B $(TSAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNORVA_SANITIZE=thread >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS)
	@rm -rf $(TSAN_REPORTS) && mkdir -p $(TSAN_REPORTS)
	@cd $(TSAN_BUILD) && status=0; QT_QPA_PLATFORM=offscreen \
	  TSAN_OPTIONS="suppressions=$(CURDIR)/tests/thread-sanitizer.supp log_path=$(TSAN_REPORTS)/race die_after_fork=0" \
	  ctest --output-on-failure -j $(JOBS) || status=$$?; \
	  if [ -n "$$(ls -A $(TSAN_REPORTS))" ]; then cat $(TSAN_REPORTS)/*; \
	    echo "ThreadSanitizer reported the races above" >&2; status=1; fi; \
	  exit $$status

bench: deps
	@cmake -S . -B $(BENCH_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DNORVA_BUILD_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)

fuzz: deps
	@CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNORVA_BUILD_FUZZ=ON -DNORVA_BUILD_GUI=OFF -DBUILD_TESTING=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)

# Every fuzz target for a few seconds under ASan + UBSan (about a minute in all).
fuzz-smoke: fuzz
	@fuzz/run-fuzz $(FUZZ_BUILD) -max_total_time=6

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD)
