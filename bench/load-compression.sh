#!/usr/bin/env bash
# Benchmark of response compression: bytes on the wire and server CPU time per request for the
# demo's login page and for KXCommon.js, coded (gzip, the demo's level 6) and not. Server time is
# the CPU time the server process used (from /proc) divided by the requests; the login page's is
# that of the size-probe post that renders it, without the first visit before it. Target: the
# coded page costs at most 1.5 times the uncoded one.
# KX_BENCH_REQUESTS: requests per case (default 3000).
set -euo pipefail
BUILD="${1:-build}"
DEMO="$(cd "$BUILD/bin" && pwd)/kexalo-demo"
REQUESTS="${KX_BENCH_REQUESTS:-3000}"
command -v python3 >/dev/null 2>&1 || { echo "load-compression: python3 is missing"; exit 1; }
[ -x "$DEMO" ] || { echo "load-compression: $DEMO is not built"; exit 1; }

WORK="$(mktemp -d)"
KX_PID=""
cleanup() {
  [ -n "$KX_PID" ] && kill -TERM "$KX_PID" 2>/dev/null && wait "$KX_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

mkdir -p "$WORK/tmp"
TMPDIR="$WORK/tmp" "$DEMO" --headless --port=0 --compression=6 >"$WORK/kexalo.out" 2>&1 &
KX_PID=$!
KX_PORT=""
for _ in $(seq 1 100); do
  KX_PORT="$(grep -o 'HTTP Port: [0-9]*' "$WORK/kexalo.out" | grep -o '[0-9]*$' || true)"
  [ -n "$KX_PORT" ] && break
  sleep 0.1
done
[ -n "$KX_PORT" ] || { echo "load-compression: kexalo-demo did not start"; cat "$WORK/kexalo.out"; exit 1; }

python3 - "$KX_PORT" "$KX_PID" "$REQUESTS" <<'PY'
import os, re, socket, sys, threading, zlib
PORT, PID, N = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
CHROME = "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/131.0 Safari/537.36"
# the browser table compresses scripts only for the Opera 5 and 6 rows
OPERA = "Opera/6.0 (Windows 2000; U) [en]"
TICKS = os.sysconf("SC_CLK_TCK")

def cpu():
    f = open(f"/proc/{PID}/stat").read().rsplit(")", 1)[1].split()
    return (int(f[11]) + int(f[12])) / TICKS

def ask(req):
    s = socket.create_connection(("127.0.0.1", PORT))
    s.sendall(req.encode("latin1"))
    out = b""
    while True:
        d = s.recv(65536)
        if not d: break
        out += d
    s.close()
    return out

def get(path, ua, coded):
    return ask(f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: {ua}\r\n" +
               ("Accept-Encoding: gzip, deflate\r\n" if coded else "") + "\r\n")

def first_visit():
    a = get("/", CHROME, False)
    return re.search(rb'KX_SessionID_" value="([a-z0-9]{28})"', a).group(1).decode()

def login_page(sid, coded):
    body = f"KX_width=800&KX_height=600&KX_SessionID_={sid}&KX_TrackID_=0"
    return ask(f"POST /EXEC/0/{sid} HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: {CHROME}\r\n" +
               ("Accept-Encoding: gzip, deflate\r\n" if coded else "") +
               f"Content-Type: application/x-www-form-urlencoded\r\nContent-Length: {len(body)}\r\n\r\n{body}")

def body_of(answer):
    head, _, body = answer.partition(b"\r\n\r\n")
    if b"Content-Encoding: gzip" in head: return len(body), zlib.decompress(body, 16 + 15)
    return len(body), body

def server_time(work, count, threads=8):
    """CPU seconds of the server per call of work(i), over count calls from several threads."""
    per = [count // threads + (1 if t < count % threads else 0) for t in range(threads)]
    starts = [sum(per[:t]) for t in range(threads)]
    before = cpu()
    ts = [threading.Thread(target=lambda t=t: [work(starts[t] + i) for i in range(per[t])]) for t in range(threads)]
    for t in ts: t.start()
    for t in ts: t.join()
    return (cpu() - before) / count

rows = []
# the login page: the first visits are made (and measured) apart, so only the render counts
for coded in (False, True):
    sids = [None] * N
    server_time(lambda i: sids.__setitem__(i, first_visit()), N)
    t = server_time(lambda i: login_page(sids[i], coded), N)
    wire, page = body_of(login_page(first_visit(), coded))
    assert b"<title>To jest test</title>" in page, page[:200]
    rows.append(("login page", coded, wire, len(page), t))
for coded in (False, True):
    t = server_time(lambda i: get("/js/KXCommon.js_10.0.0", OPERA, coded), N)
    wire, script = body_of(get("/js/KXCommon.js_10.0.0", OPERA, coded))
    rows.append(("KXCommon.js", coded, wire, len(script), t))

print(f"Compression benchmark: kexalo-demo on port {PORT}, level 6, {N} requests per case, 8 client threads")
print(f"  {'what':12} {'coding':8} | {'bytes sent':>10} {'of':>7} | {'server CPU':>12}")
for what, coded, wire, size, t in rows:
    print(f"  {what:12} {'gzip' if coded else 'none':8} | {wire:10} {size:7} | {t * 1e6:9.0f} us")
page_plain, page_gzip = rows[0][4], rows[1][4]
js_plain, js_gzip = rows[2][4], rows[3][4]
print(f"  coded/uncoded server time: login page {page_gzip / page_plain:.2f} (target <= 1.5), "
      f"KXCommon.js {js_gzip / js_plain:.2f}")
PY
exit 0
