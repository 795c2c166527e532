#!/usr/bin/env bash
# Inside the private D-Bus session and the virtual display of atspi_check.sh:
# the accessibility bus, the program, then the client. The program's settings
# go to a directory of this run, so that a user's own are neither read nor
# written.
#   atspi_session.sh PYTHON CLIENT PROGRAM [ARGUMENTS...]
set -uo pipefail
python=$1 client=$2
shift 2
name=$(basename "$1")

/usr/libexec/at-spi-bus-launcher --launch-immediately &
launcher=$!
program_pid=
log=$(mktemp)
config=$(mktemp -d)
cleanup() {
  [ -n "$program_pid" ] && kill -KILL "$program_pid" 2>/dev/null
  kill -TERM "$launcher" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$log" "$config"
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

XDG_CONFIG_HOME=$config QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb "$@" 2>"$log" &
program_pid=$!

status=0
# -B: the client imports its helpers from this folder, which stays clean.
"$python" -B "$client" "$program_pid" || status=$?

# The program ends on SIGTERM, as its Exit (or Quit) does.
if kill -TERM "$program_pid" 2>/dev/null; then
  for _ in $(seq 1 50); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$program_pid" 2>/dev/null; then
    echo "FAIL: $name did not end on SIGTERM"
    kill -KILL "$program_pid"
    wait "$program_pid" 2>/dev/null
    status=1
  else
    wait "$program_pid" || { echo "FAIL: $name ended with status $?"; status=1; }
  fi
  program_pid=
fi

# Whatever the program said, for the reader of the run.
if [ -s "$log" ]; then
  echo "$name's messages:"
  sort "$log" | uniq -c | head -20
fi
# What the toolkit's bridge had to drop.
if grep -E "no ValueInterface|QAccessible" "$log" >/dev/null; then
  echo "FAIL: the program's accessibility warnings (above)"
  status=1
fi
exit "$status"
