# The project's commands. See README.md.
#   make test   install what is missing, build, run every test (plain, ASan+UBSan, TSan)
#   make run    install what is missing, build, run the program against the local tile server
#               (TILES=mbtiles:FILE or TILES=upstream:TEMPLATE for real maps; see README.md)
#   make bench  install what is missing, build optimised, run the benchmarks
#   make soak   build, run Ambrel against a faulty tile server for SOAK_S seconds (default 1800);
#               SOAK_BUILD=build-asan make soak runs the AddressSanitizer build
#   make deb    install what is missing, build the Debian packages into build-deb/ and check them
#               with lintian; make deb-check unpacks them and runs the packaged programs
#   make fuzz   install what is missing (Clang too), build the libFuzzer targets, run each FUZZ_S
#               seconds (default 60); inputs that fail are kept in build-fuzz/findings/<target>/

JOBS ?= $(shell nproc)
CTEST_FLAGS = --output-on-failure --timeout 600 -j $(JOBS)

.PHONY: all setup setup-fuzz build build-asan build-tsan test test-plain test-asan test-tsan run bench soak fuzz deb deb-check clean

all: build

setup:
	@scripts/setup.sh

setup-fuzz:
	@scripts/setup.sh fuzz

build/build.ninja:
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build-asan/build.ninja:
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVAN_SANITIZE=address -DORVAN_BUILD_BENCH=OFF

build-tsan/build.ninja:
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVAN_SANITIZE=thread -DORVAN_BUILD_BENCH=OFF

build-fuzz/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVAN_FUZZ=ON

build: setup build/build.ninja
	cmake --build build -j $(JOBS)

build-asan: setup build-asan/build.ninja
	cmake --build build-asan -j $(JOBS)

build-tsan: setup build-tsan/build.ninja
	cmake --build build-tsan -j $(JOBS)

test-plain: build
	cd build && ctest $(CTEST_FLAGS)

test-asan: build-asan
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest $(CTEST_FLAGS)

# The threaded suites carry the label "threaded". The suppressions cover Mesa's software GL driver
# only (see the file).
test-tsan: build-tsan
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tests/tsan-suppressions.txt ctest $(CTEST_FLAGS) -L threaded

test: test-plain test-asan test-tsan
	@echo "make test: all suites passed (plain, ASan+UBSan, TSan)"

# The tile server's source for `make run` (its --source); empty: synthetic tiles.
run: export TILES := $(TILES)
run: build
	@if [ -x build/app/ambrel ]; then scripts/run-ambrel.sh; \
	else echo "run: everything is built; the Ambrel application is not built yet."; fi

bench: build
	@scripts/run-bench.sh build

# A soak of the real program: SOAK_S seconds (default 1800) of input against a faulty tile server,
# with memory, threads, descriptors and the GUI's answers watched (scripts/soak.sh).
SOAK_BUILD ?= build
soak: setup $(SOAK_BUILD)/build.ninja
	cmake --build $(SOAK_BUILD) -j $(JOBS) --target ambrel tileserver
	@scripts/soak.sh $(SOAK_BUILD)
# The fuzz build makes only the targets and the libraries they need.
FUZZ_S ?= 60
fuzz: setup-fuzz build-fuzz/build.ninja
	cmake --build build-fuzz -j $(JOBS) --target fuzzers
	FUZZ_S=$(FUZZ_S) scripts/run-fuzz.sh build-fuzz

deb: setup
	JOBS=$(JOBS) scripts/build-deb.sh

# Unpacks the built packages into a scratch root and runs them from there (scripts/package-check.sh).
deb-check: deb build
	@scripts/package-check.sh build-deb

clean:
	rm -rf build build-asan build-tsan build-fuzz build-deb
