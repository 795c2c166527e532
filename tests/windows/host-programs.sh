#!/usr/bin/env bash
# A Windows test that starts the machine's own MQTT tools (Debian's
# mosquitto, mosquitto_sub, mosquitto_pub, mosquitto_passwd, openssl) on
# loopback beside it:
#   host-programs.sh PROGRAM.exe [arguments]
# Only under run-wine-tests.sh. Wine starts a Linux program for a Windows
# one but hands back nothing to wait for or stop it with, so host_runner.py
# runs them here, for this test alone (a token of this run), and
# ZOLT_HOST_RUNNER tells the test where it listens ("PORT TOKEN").
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ "${ZOLT_WINE_SAFE:-}" = 1 ] || { echo "start the tests with tests/windows/run-wine-tests.sh" >&2; exit 1; }
for tool in /usr/sbin/mosquitto mosquitto_sub mosquitto_pub mosquitto_passwd openssl python3; do
  command -v "$tool" >/dev/null \
    || { echo "$tool is missing (Debian packages mosquitto, mosquitto-clients, openssl, python3)" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/zolt-host-runner.XXXXXX")
runner=
cleanup() {
  if [ -n "$runner" ]; then
    kill "$runner" 2>/dev/null || true
    wait "$runner" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
token=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
ZOLT_HOST_RUNNER_TOKEN=$token python3 "$here/host_runner.py" >"$work/port" &
runner=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
[ -s "$work/port" ] || { echo "the runner did not start" >&2; exit 1; }
export ZOLT_HOST_RUNNER="$(cat "$work/port") $token"
"$here/wine-exec.sh" "$@"
