#!/usr/bin/env bash
# Runs one libFuzzer target for a number of seconds from its committed seed corpus; what it finds
# goes to a scratch folder. Usage: run-fuzzer.sh BUILD_DIR TARGET CORPUS_NAME SECONDS
set -uo pipefail
BUILD=$1 TARGET=$2 CORPUS=$3 SECONDS_=$4
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
SCRATCH="$BUILD/corpus/$CORPUS"
rm -rf "$SCRATCH" && mkdir -p "$SCRATCH"
"$BUILD/bin/$TARGET" -max_total_time="$SECONDS_" -print_final_stats=1 \
  "$SCRATCH" "$ROOT/tests/fuzz/corpus/$CORPUS" > "$BUILD/fuzz-$CORPUS.log" 2>&1
status=$?
tail -12 "$BUILD/fuzz-$CORPUS.log"
exit $status
