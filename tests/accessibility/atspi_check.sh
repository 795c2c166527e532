#!/usr/bin/env bash
# Runs a program under a virtual X display, with a private D-Bus session and
# its own accessibility bus, and reads it from another process with an AT-SPI
# client of this folder, as a screen reader would:
#   tests/accessibility/atspi_check.sh atspi_client.py PATH/TO/ZOLTrc-demo
#   tests/accessibility/atspi_check.sh atspi_scope_client.py PATH/TO/zoltscope --simulate --start
# Ends everything it started, and fails if anything of it is left. Exit status
# 77 (a skipped test) when a tool is missing; setup.sh installs them all.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
client=$here/$1
program=$(realpath "$2")
shift 2
python=/usr/bin/python3   # the distribution's, which python3-pyatspi serves

for tool in xvfb-run dbus-run-session dbus-send /usr/libexec/at-spi-bus-launcher "$python"; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
"$python" -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi is missing"; exit 77; }

# Every process of this run carries the mark in its environment, so that
# whatever outlives the run can be found and ended.
mark="zolt-atspi-$$-$RANDOM"

leftovers() {
  grep -l -a -s "ZOLT_ATSPI_RUN=$mark" /proc/[0-9]*/environ 2>/dev/null \
    | sed 's|/proc/\([0-9]*\)/environ|\1|' | grep -v -x -e "$$" -e "${BASHPID:-$$}" || true
}

status=0
ZOLT_ATSPI_RUN=$mark timeout -k 5 240 xvfb-run -a -s "-screen 0 1280x1024x24" \
  dbus-run-session -- bash "$here/atspi_session.sh" "$python" "$client" "$program" "$@" || status=$?
[ "$status" -eq 124 ] && echo "FAIL: the run did not end within 240 s"

# Anything left is ended, and counts as a fault.
sleep 0.5
left=$(leftovers)
if [ -n "$left" ]; then
  for pid in $left; do
    echo "FAIL: left behind: $pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"
    kill -KILL "$pid" 2>/dev/null
  done
  status=1
fi
exit "$status"
