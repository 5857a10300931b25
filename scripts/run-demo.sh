#!/usr/bin/env bash
# Starts the demonstration server from a working folder of its own. Uploads are saved in the
# current folder; the application folder (the executable's, with port.ini, the settings and the
# log files) is found from the executable's path and must not be that folder.
# Usage: run-demo.sh <executable> <working folder> [switches...]
set -euo pipefail
EXE="$(realpath "${1:?executable}")"
WORK="${2:?working folder}"
shift 2
mkdir -p "$WORK"
if [[ "$(realpath "$WORK")" == "$(dirname "$EXE")" ]]; then
  echo "run-demo: the working folder must not be the application folder ($WORK)" >&2
  exit 2
fi
cd "$WORK"
exec "$EXE" "$@"
