#!/usr/bin/env bash
# Inside the private D-Bus session and the virtual display of atspi_check.sh:
# the accessibility bus, the program, then the client.
#   atspi_session.sh DEMO PYTHON CLIENT
set -uo pipefail
demo=$1 python=$2 client=$3

/usr/libexec/at-spi-bus-launcher --launch-immediately &
launcher=$!
demo_pid=
log=$(mktemp)
cleanup() {
  [ -n "$demo_pid" ] && kill -KILL "$demo_pid" 2>/dev/null
  kill -TERM "$launcher" 2>/dev/null
  wait 2>/dev/null
  rm -f "$log"
}
trap cleanup EXIT

ready=
for _ in $(seq 1 100); do
  if dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1; then
    ready=1
    break
  fi
  sleep 0.1
done
[ -n "$ready" ] || { echo "FAIL: the accessibility bus did not start"; exit 1; }

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb "$demo" 2>"$log" &
demo_pid=$!

status=0
"$python" "$client" "$demo_pid" || status=$?

# The demo ends on SIGTERM, as its Exit does.
if kill -TERM "$demo_pid" 2>/dev/null; then
  for _ in $(seq 1 50); do
    kill -0 "$demo_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$demo_pid" 2>/dev/null; then
    echo "FAIL: ZOLTrc-demo did not end on SIGTERM"
    kill -KILL "$demo_pid"
    wait "$demo_pid" 2>/dev/null
    status=1
  else
    wait "$demo_pid" || { echo "FAIL: ZOLTrc-demo ended with status $?"; status=1; }
  fi
  demo_pid=
fi

# What the toolkit's bridge had to drop.
if grep -E "no ValueInterface|QAccessible" "$log" >/dev/null; then
  echo "FAIL: the program's accessibility warnings:"
  sort "$log" | uniq -c | head -20
  status=1
fi
exit "$status"
