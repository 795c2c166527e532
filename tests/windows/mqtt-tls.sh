#!/usr/bin/env bash
# zoltctl.exe's MQTT client over TLS, against Debian's mosquitto on loopback
# beside it (the broker runs on Linux, the client under Wine):
#   mqtt-tls.sh zoltctl.exe CA_LIST
# Only under run-wine-tests.sh. The broker has a certificate for 127.0.0.1
# and for localhost from a CA made here. zoltctl.exe, copied into a folder of
# its own:
#   - with --mqtt-cafile naming that CA, at 127.0.0.1 and at localhost (the
#     name looked up by Windows' asynchronous lookup, the certificate checked
#     against it): 20 scans and the meta arrive at a mosquitto_sub that
#     trusts the same CA;
#   - at a name that does not exist: refused, saying so;
#   - at a name whose nameserver never answers (one on loopback that swallows
#     every query, named in a resolv.conf of a mount namespace of its own;
#     root only): the wait for the broker ends on time, the name still being
#     looked up, so the lookup did not hold the program's event loop;
#   - without --mqtt-cafile and without a CA list beside it: refused, with
#     --mqtt-cafile named in the message;
#   - with CA_LIST (the packages' list) beside it, which does not hold the
#     test's CA: refused, the certificate not verified; nothing published.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
exe=$(realpath "$1")
ca_list=$2
[ "${ZOLT_WINE_SAFE:-}" = 1 ] || { echo "start the tests with tests/windows/run-wine-tests.sh" >&2; exit 1; }
for tool in /usr/sbin/mosquitto mosquitto_sub openssl; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (Debian packages mosquitto, mosquitto-clients, openssl)" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/zolt-mqtt-tls.XXXXXX")
broker=
cleanup() {
  [ -z "$broker" ] || kill "$broker" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
windows() { echo "Z:${1//\//\\}"; }

# The CA and the broker's certificate, for the address the client uses.
c=$work/certs
mkdir "$c"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Test lab CA" -keyout "$c/ca.key" -out "$c/ca.crt" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=127.0.0.1" -keyout "$c/server.key" -out "$c/server.csr" 2>/dev/null
echo "subjectAltName=IP:127.0.0.1,DNS:localhost" >"$c/san.ext"
openssl x509 -req -in "$c/server.csr" -CA "$c/ca.crt" -CAkey "$c/ca.key" -CAcreateserial -days 2 \
  -extfile "$c/san.ext" -out "$c/server.crt" 2>/dev/null
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
{
  # As root it would switch to the user mosquitto, who cannot read this folder.
  [ "$(id -u)" != 0 ] || echo "user root"
  echo "listener $port 127.0.0.1"
  echo "allow_anonymous true"
  echo "cafile $c/ca.crt"
  echo "certfile $c/server.crt"
  echo "keyfile $c/server.key"
  echo "log_dest file $work/broker.log"
} >"$work/mosquitto.conf"
/usr/sbin/mosquitto -c "$work/mosquitto.conf" &
broker=$!
for _ in $(seq 100); do grep -q "port $port" "$work/broker.log" 2>/dev/null && break; sleep 0.1; done

failures=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
url="mqtts://127.0.0.1:$port/lab/win"
sub=(mosquitto_sub -h 127.0.0.1 -p "$port" --cafile "$c/ca.crt" -t 'lab/win/#' -v)

# zoltctl.exe alone in a folder, as in a package without the CA list.
mkdir "$work/bare"
cp "$exe" "$work/bare/"
published() {   # published URL: 20 scans and the meta reach the broker through URL
  local status=0
  "${sub[@]}" >"$work/seen" 2>&1 &
  watcher=$!
  sleep 1
  "$here/wine-exec.sh" "$work/bare/zoltctl.exe" --simulate sample --count 20 --output "$(windows "$work/rows.csv")" \
    --mqtt "$1" --mqtt-cafile "$(windows "$c/ca.crt")" >"$work/out" 2>&1 || status=$?
  sleep 1
  kill "$watcher" 2>/dev/null || true
  [ "$status" = 0 ] || { echo "zoltctl.exe ended with status $status"; cat "$work/out"; }
  [ "$status" = 0 ] && [ "$(grep -c '^lab/win/scan ' "$work/seen")" = 20 ] && grep -q '^lab/win/meta {' "$work/seen"
}
check "with --mqtt-cafile: 20 scans and the meta arrive" published "$url"
check "at localhost, looked up: 20 scans and the meta arrive" published "mqtts://localhost:$port/lab/win"
unknown_status=0
"$here/wine-exec.sh" "$work/bare/zoltctl.exe" --simulate sample --count 5 --mqtt "mqtts://no-such-broker.invalid:$port/lab/win" \
  --mqtt-cafile "$(windows "$c/ca.crt")" >"$work/out" 2>&1 || unknown_status=$?
cat "$work/out"
check "at a name that does not exist: refused, saying so" \
  bash -c '[ "$0" != 0 ] && grep -q "host name" "$1"' "$unknown_status" "$work/out"

silent_resolver() {   # silent_resolver: the loop runs while the name is looked up
  unshare --mount --propagation private bash -c '
    set -e
    # Longer than the 10 s the program waits for the broker, so that the
    # lookup cannot end first.
    printf "nameserver 127.53.0.1\noptions timeout:30 attempts:1\n" >"$1/resolv.conf"
    echo "127.0.0.1 localhost" >"$1/hosts"
    mount --bind "$1/resolv.conf" /etc/resolv.conf
    mount --bind "$1/hosts" /etc/hosts
    python3 -c "import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind((\"127.53.0.1\", 53))
open(sys.argv[1], \"w\").close()
while True:
    s.recv(4096)" "$1/resolver-up" &
    resolver=$!
    trap "kill $resolver" EXIT
    for _ in $(seq 50); do [ -e "$1/resolver-up" ] && break; sleep 0.1; done
    status=0
    start=$SECONDS
    "$2" "$3" --simulate sample --count 5 --mqtt mqtt://zolt-broker.test:1883/lab/win >"$1/out" 2>&1 || status=$?
    cat "$1/out"
    echo "zoltctl.exe ended after $((SECONDS - start)) s"
    [ "$status" != 0 ] && grep -q "still being looked up" "$1/out"
  ' resolver "$work" "$here/wine-exec.sh" "$work/bare/zoltctl.exe"
}
if [ "$(id -u)" = 0 ] && unshare --mount true 2>/dev/null; then
  check "at a name whose nameserver never answers: the wait ends on time" silent_resolver
else
  echo "skip at a name whose nameserver never answers (needs root)"
fi

refused() {   # refused FOLDER WORDS: zoltctl.exe there fails, saying WORDS, and publishes nothing
  local status=0
  "${sub[@]}" >"$work/seen" 2>&1 &
  watcher=$!
  sleep 1
  "$here/wine-exec.sh" "$1/zoltctl.exe" --simulate sample --count 5 --mqtt "$url" >"$work/out" 2>&1 || status=$?
  sleep 1
  kill "$watcher" 2>/dev/null || true
  cat "$work/out"
  [ "$status" != 0 ] && grep -q -- "$2" "$work/out" && ! grep -q '^lab/win/scan ' "$work/seen"
}
check "without a CA: refused, naming --mqtt-cafile" refused "$work/bare" "--mqtt-cafile"
mkdir "$work/packaged"
cp "$exe" "$work/packaged/"
cp "$ca_list" "$work/packaged/ca-certificates.crt"
check "the packages' CA list does not vouch for the test's CA: refused" refused "$work/packaged" "certificate verify failed"
echo "$failures failed"
[ "$failures" = 0 ]
