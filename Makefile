# User-facing commands. `make run` builds and starts the demonstration server on port 8888;
# `make test` installs what is missing, builds and runs every test (plain, then under the
# address/undefined and thread sanitizers); `make bench` runs the benchmarks.
BUILD ?= build
JOBS  ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build run test test-plain test-asan test-tsan bench clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

# With no display (or with ARGS=--headless) the server logs to the terminal; Ctrl+C stops it.
ARGS ?=
run: build
	@cd $(BUILD)/bin && exec ./kexalo-demo $(ARGS)

test: test-plain test-asan test-tsan

test-plain: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

test-asan: deps
	@cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug -DKX_SANITIZE=address >/dev/null
	@cmake --build $(BUILD)-asan -j$(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(BUILD)-asan --output-on-failure -j$(JOBS) -LE browser

test-tsan: deps
	@cmake -S . -B $(BUILD)-tsan -DCMAKE_BUILD_TYPE=Debug -DKX_SANITIZE=thread >/dev/null
	@cmake --build $(BUILD)-tsan -j$(JOBS)
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir $(BUILD)-tsan --output-on-failure -j$(JOBS) -L concurrency

bench: build
	@bash bench/run-benchmarks.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-tsan
