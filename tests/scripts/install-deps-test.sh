#!/usr/bin/env bash
# The set-up script's package sets as its dry run lists them (nothing is installed), and the sets
# each make command asks for. Usage: install-deps-test.sh <source folder>
set -uo pipefail
ROOT="${1:?source folder}"
SCRIPT="$ROOT/scripts/install-deps.sh"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The packages a dry run of one set lists, one per line.
packages_of() {
  local out
  out="$(bash "$SCRIPT" --dry-run "$1")" || { fail "the dry run of \"$1\" exited with $?"; return; }
  awk -v set="$1" '$1 == set && NF == 3 { print $2 } $1 != set && $1 != "install-deps:" { print "UNEXPECTED " $0 }' <<<"$out"
}

declare -A LIST
for set in build test bench; do
  LIST[$set]="$(packages_of "$set")"
  [[ -n "${LIST[$set]}" ]] || fail "the dry run of \"$set\" lists no package"
  grep -q '^UNEXPECTED' <<<"${LIST[$set]}" && fail "the dry run of \"$set\" lists another set's line: $(grep '^UNEXPECTED' <<<"${LIST[$set]}")"
done

# Running the server needs no browser, no web server and no load tool.
for p in $(grep -E '^(chromium.*|firefox.*|nginx.*|wrk|nodejs|npm|xvfb|libgtest-dev|libbenchmark-dev)$' <<<"${LIST[build]}"); do
  fail "build holds $p"
done
for p in chromium nodejs; do grep -qx "$p" <<<"${LIST[test]}" || fail "test lacks $p"; done
for p in wrk nginx libbenchmark-dev; do grep -qx "$p" <<<"${LIST[bench]}" || fail "bench lacks $p"; done

# Every package named exists in the distribution (a pinned release that left it shows here).
# One look-up for all: apt-cache show skips the names it does not know, so compare the names.
ALL="$(printf '%s\n' "${LIST[@]}" | grep -v '^UNEXPECTED' | sort -u)"
KNOWN="$(apt-cache show --no-all-versions $ALL 2>/dev/null | sed -n 's/^Package: //p' | sort -u)"
for p in $(comm -23 <(echo "$ALL") <(echo "$KNOWN")); do
  fail "apt-cache show $p finds no such package"
done

# What each make command installs.
expect_sets() {
  local target="$1" sets="$2" calls
  calls="$(make -n -C "$ROOT" "$target" BUILD=/nonexistent 2>/dev/null | grep -o 'install-deps\.sh.*' | sort -u)"
  [[ "$calls" == "install-deps.sh $sets" ]] || fail "make $target runs \"$calls\", not \"install-deps.sh $sets\""
}
expect_sets run "build"
expect_sets test "build test"
expect_sets bench "build bench"

if ((failures)); then
  echo "$failures failed"
  exit 1
fi
echo "install-deps sets: build $(wc -l <<<"${LIST[build]}"), test $(wc -l <<<"${LIST[test]}"), bench $(wc -l <<<"${LIST[bench]}") packages, all known to apt"
