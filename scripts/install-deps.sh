#!/usr/bin/env bash
# Installs what one or more sets need and this machine lacks:
#   build  compiler, CMake and the libraries the server links (what `make run` needs)
#   test   GoogleTest, clang's fuzzing build, Chromium, Node.js and the browser-test tools
#   bench  Google Benchmark and the load-test and profiling tools
# Usage: install-deps.sh [--dry-run] [build] [test] [bench]   (no set: all three)
# Debian packages come through apt-get (as root, or with sudo); the browser-test tools from npm
# with the committed lock file. Says in one line what it installs and why; when everything is
# present it does nothing slow. --dry-run lists every package of the sets with "present" or
# "missing" and installs nothing.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BROWSER_TESTS="$ROOT/tests/browser"

# The major version of the clang that is (or would be) installed, so that its runtime matches.
clang_major() {
  local v=""
  if command -v clang >/dev/null 2>&1; then
    v="$(clang --version 2>/dev/null | sed -n 's/.*clang version \([0-9][0-9]*\).*/\1/p' | head -1)"
  fi
  if [[ -z "$v" ]]; then
    v="$(apt-cache depends clang 2>/dev/null | sed -n 's/^ *Depends: clang-\([0-9][0-9]*\)$/\1/p' | head -1)"
  fi
  echo "$v"
}

# One line per package: set, package, the command whose presence also counts as installed (- for
# none), and why it is needed.
package_table() {
  local major rt
  major="$(clang_major)"
  rt="libclang-rt-dev"
  [[ -n "$major" ]] && rt="libclang-rt-$major-dev"
  cat <<TABLE
build build-essential      - the C++ compiler
build cmake                - the build
build pkg-config           - finding libinih
build zlib1g-dev           - gzip and deflate responses
build libssl-dev           - the HTTPS listener
build libinih-dev          - reading port.ini and the console's settings
build libtcmalloc-minimal4 - the allocator the server links
build libjs-prototype      - Prototype.js, embedded in the server
build qt6-base-dev         - the console window
build libxcb1-dev          - finding out whether a display can be reached before the window opens
build xdg-utils            - opening the start address in a browser
test  libgtest-dev         - the unit tests
test  libgmock-dev         - the unit tests
test  clang                - the fuzzing build
test  $rt - clang's fuzzing runtime
test  chromium             - the browser tests
test  nodejs               node the browser tests
test  npm                  npm the browser-test tools
test  xvfb                 - the console window's tests
test  openssl              openssl the TLS tests' certificates
test  curl                 curl the compression tests' real client
test  python3              python3 the include-layer check
bench libbenchmark-dev     - the micro-benchmarks
bench wrk                  - the HTTP load test
bench nginx                - the load test's reference server
bench curl                 - the load test's checks
bench python3              - the load test's free ports
bench linux-perf           - CPU counters
bench heaptrack            - allocation profiles
TABLE
}

installed() {
  local package="$1" command="$2"
  [[ "$command" != "-" ]] && command -v "$command" >/dev/null 2>&1 && return 0
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"
}

DRY_RUN=0
SETS=()
for arg in "$@"; do
  case "$arg" in
    --dry-run) DRY_RUN=1 ;;
    build | test | bench) SETS+=("$arg") ;;
    *) echo "install-deps: unknown set \"$arg\" (build, test, bench; --dry-run)" >&2; exit 2 ;;
  esac
done
((${#SETS[@]})) || SETS=(build test bench)
wanted() { local s; for s in "${SETS[@]}"; do [[ "$s" == "$1" ]] && return 0; done; return 1; }

missing=()
reasons=()
while read -r set package command why; do
  wanted "$set" || continue
  if installed "$package" "$command"; then state=present; else state=missing; fi
  ((DRY_RUN)) && echo "$set $package $state"
  if [[ $state == missing ]]; then
    missing+=("$package")
    reasons+=("$package ($why)")
  fi
done < <(package_table)

npm_needed=0
if wanted test && [[ -f "$BROWSER_TESTS/package-lock.json" && ! -d "$BROWSER_TESTS/node_modules/playwright-core" ]]; then
  npm_needed=1
fi

listed="$(printf '%s, ' "${reasons[@]}")"
listed="${listed%, }"

if ((DRY_RUN)); then
  ((${#missing[@]})) && echo "install-deps: would install $listed"
  ((npm_needed)) && echo "install-deps: would run npm ci in tests/browser (the browser-test tools)"
  exit 0
fi

SUDO=""
[[ $(id -u) -ne 0 ]] && SUDO="sudo"
if ((${#missing[@]})); then
  echo "install-deps: installing $listed"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# playwright-core drives Debian's Chromium; it never downloads a browser.
if ((npm_needed)); then
  echo "install-deps: npm ci in tests/browser (the browser-test tools)"
  (cd "$BROWSER_TESTS" && npm ci --no-audit --no-fund --silent)
fi
exit 0
