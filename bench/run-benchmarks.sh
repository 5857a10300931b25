#!/usr/bin/env bash
# Runs every benchmark binary of the build; load benchmarks are scripts beside this one.
set -euo pipefail
BUILD="${1:-build}"
for b in "$BUILD"/bin/*Bench; do
  [ -x "$b" ] && "$b"
done
for s in "$(dirname "$0")"/load-*.sh; do
  [ -f "$s" ] && bash "$s" "$BUILD"
done
exit 0
