#!/usr/bin/env bash
# Load benchmark of the TLS port: new TLS connections per second for a small internal file
# (/favicon.ico), Kexalo against nginx with the same certificate and key, both closing every
# connection after its answer, so every request is a full handshake. Prints the handshakes per
# second of each, their ratio (target >= 0.7) and the TLS version and cipher each chose.
# KX_BENCH_DURATION: seconds per run (default 5s); KX_BENCH_KEY: ec (P-256, default) or rsa (2048);
# KX_BENCH_KEEP=1: keep Kexalo's log file as /tmp/https-bench.log.
set -euo pipefail
BUILD="${1:-build}"
DEMO="$(cd "$BUILD/bin" && pwd)/kexalo-demo"
DURATION="${KX_BENCH_DURATION:-5s}"
KEY_KIND="${KX_BENCH_KEY:-ec}"
FILE_PATH="/favicon.ico"

for tool in wrk nginx curl openssl python3; do
  command -v "$tool" >/dev/null 2>&1 || [ -x "/usr/sbin/$tool" ] || { echo "load-https: $tool is missing"; exit 1; }
done
NGINX="$(command -v nginx || echo /usr/sbin/nginx)"
[ -x "$DEMO" ] || { echo "load-https: $DEMO is not built"; exit 1; }

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

# The application folder is the executable's: a copy of the demo gets the certificate beside it.
mkdir -p "$WORK/app" "$WORK/tmp"
cp "$DEMO" "$WORK/app/kexalo-demo"
if [ "$KEY_KIND" = rsa ]; then
  KEYOPT=(-newkey rsa:2048)
else
  KEYOPT=(-newkey ec -pkeyopt ec_paramgen_curve:P-256)
fi
openssl req -x509 "${KEYOPT[@]}" -nodes -days 2 -subj /CN=127.0.0.1 \
  -keyout "$WORK/app/key.pem" -out "$WORK/app/cert.pem" 2>/dev/null

KX_TLS="$(free_port)"
TMPDIR="$WORK/tmp" "$WORK/app/kexalo-demo" --headless --port=0 --ssl-port="$KX_TLS" >"$WORK/kexalo.out" 2>&1 &
KX_PID=$!
for _ in $(seq 1 100); do
  grep -q "HTTPS Port: $KX_TLS" "$WORK/kexalo.out" && break
  sleep 0.1
done
grep -q "HTTPS Port: $KX_TLS" "$WORK/kexalo.out" || { echo "load-https: kexalo-demo did not start"; cat "$WORK/kexalo.out"; exit 1; }

NG_TLS="$(free_port)"
mkdir -p "$WORK/www" "$WORK/nginx/logs"
chmod 755 "$WORK"   # nginx workers run as another user
curl -sk -o "$WORK/www$FILE_PATH" "https://127.0.0.1:$KX_TLS$FILE_PATH"
chmod -R a+rX "$WORK/www" "$WORK/app"
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
    listen 127.0.0.1:$NG_TLS ssl;
    ssl_certificate $WORK/app/cert.pem;
    ssl_certificate_key $WORK/app/key.pem;
    ssl_protocols TLSv1.2 TLSv1.3;
    root $WORK/www;
  }
}
CONF
"$NGINX" -p "$WORK/nginx" -c "$WORK/nginx/nginx.conf" -g 'daemon off;' 2>"$WORK/nginx/start.err" &
NGINX_PID=$!
for _ in $(seq 1 50); do
  curl -sk -o /dev/null "https://127.0.0.1:$NG_TLS$FILE_PATH" && break
  sleep 0.1
done

# "version cipher" as a default client negotiates them.
negotiated() {
  openssl s_client -connect "127.0.0.1:$1" </dev/null 2>/dev/null |
    awk '/^New, /{v=$2; sub(",","",v); c=$NF} END{print v, c}'
}

# One wrk run: "connections/s errors". Every answer closes its connection, so every request is
# a new TLS connection with a full handshake (wrk resumes no sessions).
run_wrk() {
  local out
  out="$(wrk -t2 -c"$2" -d"$DURATION" -H 'Connection: close' "$1" 2>&1)"
  python3 - "$out" <<'PY'
import re, sys
t = sys.argv[1]
rps = re.search(r"Requests/sec:\s+([\d.]+)", t)
err = 0
m = re.search(r"Socket errors: connect (\d+), read (\d+), write (\d+), timeout (\d+)", t)
if m: err += sum(int(x) for x in m.groups())
m = re.search(r"Non-2xx or 3xx responses: (\d+)", t)
if m: err += int(m.group(1))
print(f"{float(rps.group(1)) if rps else 0:.0f} {err}")
PY
}

SIZE="$(stat -c %s "$WORK/www$FILE_PATH")"
echo "HTTPS benchmark: wrk -t2, $DURATION per run, a new TLS connection per request ($FILE_PATH, $SIZE bytes, $KEY_KIND key)"
echo "  Kexalo negotiates: $(negotiated "$KX_TLS"); nginx negotiates: $(negotiated "$NG_TLS")"
echo "  Kexalo's log line: $(grep -m1 -ao 'Cipher: .*' "$WORK/app/"*.log | tr -d '\r' || true)"
printf "  %5s | %12s %6s | %12s %6s | %6s\n" conns "kx conn/s" errors "ng conn/s" errors ratio
for conns in 16 64; do
  read -r KR KE <<<"$(run_wrk "https://127.0.0.1:$KX_TLS$FILE_PATH" "$conns")"
  read -r NR NE <<<"$(run_wrk "https://127.0.0.1:$NG_TLS$FILE_PATH" "$conns")"
  RATIO="$(python3 -c "print(f'{$KR/$NR:.2f}' if $NR else 'n/a')")"
  printf "  %5s | %12s %6s | %12s %6s | %6s\n" "$conns" "$KR" "$KE" "$NR" "$NE" "$RATIO"
done
LINES="$(grep -ac 'Cipher: name = ' "$WORK/app/"*.log || true)"
FAILED="$(grep -ac 'SSL status:' "$WORK/app/"*.log || true)"
echo "  Kexalo's log: $LINES cipher lines, $FAILED failed handshakes"
[ -n "${KX_BENCH_KEEP:-}" ] && cp "$WORK/app/"*.log /tmp/https-bench.log
exit 0
