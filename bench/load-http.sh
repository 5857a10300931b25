#!/usr/bin/env bash
# Load benchmark of the HTTP server: requests per second and latency (median, 99th percentile)
# for an internal script file and for /PING at 16 and 128 connections, against nginx serving a
# copy of the same file with keep-alive off (every response closes its connection, as ours do).
set -euo pipefail
BUILD="${1:-build}"
DEMO="$(cd "$BUILD/bin" && pwd)/kexalo-demo"
DURATION="${KX_BENCH_DURATION:-5s}"
SCRIPT_PATH="/js/Prototype.js"

for tool in wrk nginx curl python3; do
  command -v "$tool" >/dev/null 2>&1 || [ -x "/usr/sbin/$tool" ] || { echo "load-http: $tool is missing"; exit 1; }
done
NGINX="$(command -v nginx || echo /usr/sbin/nginx)"
[ -x "$DEMO" ] || { echo "load-http: $DEMO is not built"; exit 1; }

WORK="$(mktemp -d)"
KX_PID=""
NGINX_PID=""
cleanup() {
  [ -n "$KX_PID" ] && kill -TERM "$KX_PID" 2>/dev/null && wait "$KX_PID" 2>/dev/null || true
  [ -n "$NGINX_PID" ] && kill -QUIT "$NGINX_PID" 2>/dev/null || true
  sleep 0.3
  rm -rf "$WORK"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'; }

# Kexalo, with its own temporary folder so that its cache folder goes with the run.
mkdir -p "$WORK/tmp"
TMPDIR="$WORK/tmp" "$DEMO" --headless --port=0 >"$WORK/kexalo.out" 2>&1 &
KX_PID=$!
KX_PORT=""
for _ in $(seq 1 100); do
  KX_PORT="$(grep -o 'HTTP Port: [0-9]*' "$WORK/kexalo.out" | grep -o '[0-9]*$' || true)"
  [ -n "$KX_PORT" ] && break
  sleep 0.1
done
[ -n "$KX_PORT" ] || { echo "load-http: kexalo-demo did not start"; cat "$WORK/kexalo.out"; exit 1; }

# nginx on a free loopback port, serving the same bytes.
NG_PORT="$(free_port)"
mkdir -p "$WORK/www/js" "$WORK/nginx/logs"
chmod 755 "$WORK"   # nginx workers run as another user
curl -s -o "$WORK/www$SCRIPT_PATH" "http://127.0.0.1:$KX_PORT$SCRIPT_PATH"
chmod -R a+rX "$WORK/www"
cat >"$WORK/nginx/nginx.conf" <<CONF
worker_processes auto;
pid $WORK/nginx/nginx.pid;
error_log $WORK/nginx/logs/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  keepalive_timeout 0;
  default_type application/octet-stream;
  client_body_temp_path $WORK/nginx/body;
  proxy_temp_path $WORK/nginx/proxy;
  fastcgi_temp_path $WORK/nginx/fastcgi;
  uwsgi_temp_path $WORK/nginx/uwsgi;
  scgi_temp_path $WORK/nginx/scgi;
  server {
    listen 127.0.0.1:$NG_PORT;
    root $WORK/www;
    location = /PING { return 200 ""; }
  }
}
CONF
"$NGINX" -p "$WORK/nginx" -c "$WORK/nginx/nginx.conf" -g 'daemon off;' 2>"$WORK/nginx/start.err" &
NGINX_PID=$!
for _ in $(seq 1 50); do
  curl -s -o /dev/null "http://127.0.0.1:$NG_PORT/PING" && break
  sleep 0.1
done

# One wrk run: prints "rps p50 p99 errors eof" (latencies in ms). wrk counts a read error for
# every answer whose body ends with the connection instead of a Content-Length (our status-page
# answers such as /PING): those are reported apart as "eof" when the answer has no length.
run_wrk() {
  local url="$1" conns="$2" framed="$3" out
  out="$(wrk -t2 -c"$conns" -d"$DURATION" --latency "$url" 2>&1)"
  python3 - "$out" "$framed" <<'PY'
import re, sys
t, framed = sys.argv[1], sys.argv[2] == "1"
def ms(v):
    m = re.match(r"([\d.]+)(us|ms|s)", v)
    if not m: return float("nan")
    n, u = float(m.group(1)), m.group(2)
    return n / 1000 if u == "us" else n * 1000 if u == "s" else n
rps = re.search(r"Requests/sec:\s+([\d.]+)", t)
p50 = re.search(r"^\s+50%\s+(\S+)", t, re.M)
p99 = re.search(r"^\s+99%\s+(\S+)", t, re.M)
err = eof = 0
m = re.search(r"Socket errors: connect (\d+), read (\d+), write (\d+), timeout (\d+)", t)
if m:
    c, r, w, to = (int(x) for x in m.groups())
    err += c + w + to
    if framed: err += r
    else: eof += r
m = re.search(r"Non-2xx or 3xx responses: (\d+)", t)
if m: err += int(m.group(1))
print(f"{float(rps.group(1)) if rps else 0:.0f} {ms(p50.group(1)) if p50 else float('nan'):.2f} "
      f"{ms(p99.group(1)) if p99 else float('nan'):.2f} {err} {eof}")
PY
}

# 1 when the answer at that address carries a Content-Length.
framed() { curl -s -D - -o /dev/null "$1" | grep -qi '^Content-Length:' && echo 1 || echo 0; }

SIZE="$(stat -c %s "$WORK/www$SCRIPT_PATH")"
echo "Load benchmark: wrk -t2, $DURATION per run, every response closes its connection"
echo "script file $SCRIPT_PATH ($SIZE bytes); Kexalo on port $KX_PORT, nginx on port $NG_PORT"
printf "%-18s %5s | %9s %7s %8s %6s %6s | %9s %7s %7s %6s | %6s\n" case conns \
  "kx req/s" "p50 ms" "p99 ms" errors eof "ng req/s" "p50 ms" "p99 ms" errors ratio
STATUS=0
for path in "$SCRIPT_PATH" /PING; do
  KF="$(framed "http://127.0.0.1:$KX_PORT$path")"
  NF="$(framed "http://127.0.0.1:$NG_PORT$path")"
  for conns in 16 128; do
    read -r KR K50 K99 KE KEOF <<<"$(run_wrk "http://127.0.0.1:$KX_PORT$path" "$conns" "$KF")"
    read -r NR N50 N99 NE NEOF <<<"$(run_wrk "http://127.0.0.1:$NG_PORT$path" "$conns" "$NF")"
    RATIO="$(python3 -c "print(f'{$KR/$NR:.2f}' if $NR else 'n/a')")"
    printf "%-18s %5s | %9s %7s %8s %6s %6s | %9s %7s %7s %6s | %6s\n" "$path" "$conns" \
      "$KR" "$K50" "$K99" "$KE" "$KEOF" "$NR" "$N50" "$N99" "$NE" "$RATIO"
    [ "$KE" = "0" ] || STATUS=1
  done
done
[ "$STATUS" = "0" ] || echo "load-http: Kexalo had errors or timeouts"
echo "eof: answers whose body ends with the connection (no Content-Length), counted by wrk as read errors"
exit 0
