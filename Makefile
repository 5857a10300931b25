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

# Short runs of the fuzzers from their seed corpora (clang's libFuzzer): the multipart reader for
# two thirds of FUZZ_SECONDS, the TLS handshake path for the rest. New inputs they find go to
# scratch folders so the committed corpora stay as they are.
FUZZ_SECONDS ?= 60
FUZZ_MULTIPART_SECONDS = $(shell echo $$(( $(FUZZ_SECONDS) * 2 / 3 )))
FUZZ_TLS_SECONDS = $(shell echo $$(( $(FUZZ_SECONDS) - $(FUZZ_MULTIPART_SECONDS) )))
test-fuzz: deps-test
	@CC=clang CXX=clang++ cmake -S . -B $(BUILD)-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKX_FUZZ=ON -DBUILD_TESTING=OFF -DKX_BUILD_BENCH=OFF >/dev/null
	@cmake --build $(BUILD)-fuzz -j$(JOBS) --target KXMultipartFuzz KXTLSHandshakeFuzz
	@bash scripts/run-fuzzer.sh $(BUILD)-fuzz KXMultipartFuzz multipart $(FUZZ_MULTIPART_SECONDS)
	@bash scripts/run-fuzzer.sh $(BUILD)-fuzz KXTLSHandshakeFuzz tls-handshake $(FUZZ_TLS_SECONDS)

bench: deps-bench
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) $(BENCH_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)
	@bash bench/run-benchmarks.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-tsan $(BUILD)-fuzz
