#!/usr/bin/env bash
# Runs every benchmark binary of the build; load benchmarks are scripts beside this one.
# The demo load benchmark gets the demo executable by argument (KX_DEMO overrides it).
set -euo pipefail
BUILD="${1:-build}"
DEMO="${KX_DEMO:-$BUILD/bin/kexalo-demo}"
for b in "$BUILD"/bin/*Bench; do
  [ -x "$b" ] || continue
  if [ "$(basename "$b")" = KXDemoLoadBench ]; then
    "$b" "$DEMO"
  else
    "$b"
  fi
done
for s in "$(dirname "$0")"/load-*.sh; do
  [ -f "$s" ] && bash "$s" "$BUILD"
done
exit 0
