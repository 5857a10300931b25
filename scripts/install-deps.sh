#!/usr/bin/env bash
# Installs whatever the build, the tests and the benchmarks need and this machine lacks.
# Debian packages come through apt-get (run as root); the browser-test tools come from npm
# with the committed lock file. Does nothing slow when everything is present.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  zlib1g-dev libssl-dev libinih-dev libtcmalloc-minimal4
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev
  libjs-prototype
  clang libclang-rt-14-dev
  chromium
  xvfb
  wrk nginx
  xdg-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

SUDO=""
[[ $(id -u) -ne 0 ]] && SUDO="sudo"
if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Node.js and npm usually come with the machine (not always from Debian's archive); take Debian's only when absent.
if ! command -v npm >/dev/null 2>&1; then
  ${SUDO:-} apt-get install -y -qq --no-install-recommends nodejs npm
fi

# Browser-test tools (playwright-core drives Debian's Chromium; it never downloads a browser).
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BROWSER_TESTS="$ROOT/tests/browser"
if [[ -f "$BROWSER_TESTS/package-lock.json" && ! -d "$BROWSER_TESTS/node_modules/playwright-core" ]]; then
  echo "install-deps: npm ci in tests/browser"
  (cd "$BROWSER_TESTS" && npm ci --no-audit --no-fund --silent)
fi
exit 0
