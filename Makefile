# User-facing commands. `make run` installs what running needs, builds the demonstration server
# and starts it on port 8888; `make test` installs what the tests need too, builds and runs every
# test (plain, under the address/undefined sanitizers, a short fuzzing run, then the thread
# sanitizer); `make bench` installs the benchmark tools and runs the benchmarks.
BUILD ?= build
JOBS  ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Each command configures only what it builds, so it needs only the packages its set installs.
RUN_FLAGS   = -DBUILD_TESTING=OFF -DKX_BUILD_BENCH=OFF
TEST_FLAGS  = -DBUILD_TESTING=ON -DKX_BUILD_BENCH=OFF
BENCH_FLAGS = -DBUILD_TESTING=OFF -DKX_BUILD_BENCH=ON

.PHONY: all deps-build deps-test deps-bench build run test test-plain test-asan test-tsan test-fuzz bench clean

all: build

deps-build:
	@bash scripts/install-deps.sh build
deps-test:
	@bash scripts/install-deps.sh build test
deps-bench:
	@bash scripts/install-deps.sh build bench

build: deps-build
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) $(RUN_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j$(JOBS) --target kexalo-demo

# The server runs from a working folder of its own ($(BUILD)/run): uploads are saved in the current
# folder, which must not be the application folder beside the executable. With no display (or
# with ARGS=--headless) the server logs to the terminal; Ctrl+C stops it.
ARGS ?=
run: build
	@bash scripts/run-demo.sh $(BUILD)/bin/kexalo-demo $(BUILD)/run $(ARGS)

test: test-plain test-asan test-fuzz test-tsan

test-plain: deps-test
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) $(TEST_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

test-asan: deps-test
	@cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug -DKX_SANITIZE=address >/dev/null
	@cmake --build $(BUILD)-asan -j$(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(BUILD)-asan --output-on-failure -j$(JOBS) -LE browser

test-tsan: deps-test
	@cmake -S . -B $(BUILD)-tsan -DCMAKE_BUILD_TYPE=Debug -DKX_SANITIZE=thread >/dev/null
	@cmake --build $(BUILD)-tsan -j$(JOBS)
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir $(BUILD)-tsan --output-on-failure -j$(JOBS) -L concurrency

# A short run of the multipart fuzzer from its seed corpus (clang's libFuzzer); new inputs it finds
# go to a scratch folder so the committed corpus stays as it is.
FUZZ_SECONDS ?= 60
test-fuzz: deps-test
	@CC=clang CXX=clang++ cmake -S . -B $(BUILD)-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKX_FUZZ=ON -DBUILD_TESTING=OFF -DKX_BUILD_BENCH=OFF >/dev/null
	@cmake --build $(BUILD)-fuzz -j$(JOBS) --target KXMultipartFuzz
	@rm -rf $(BUILD)-fuzz/corpus && mkdir -p $(BUILD)-fuzz/corpus
	@$(BUILD)-fuzz/bin/KXMultipartFuzz -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	  $(BUILD)-fuzz/corpus tests/fuzz/corpus/multipart > $(BUILD)-fuzz/fuzz.log 2>&1; \
	  status=$$?; tail -12 $(BUILD)-fuzz/fuzz.log; exit $$status

bench: deps-bench
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) $(BENCH_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)
	@bash bench/run-benchmarks.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-tsan $(BUILD)-fuzz
