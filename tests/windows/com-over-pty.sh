#!/usr/bin/env bash
# A COM port on a pseudo-terminal, for the Windows build's serial control:
#   com-over-pty.sh tst_windows_comport.exe
# Only under run-wine-tests.sh (no host serial device visible, a prefix of
# this run's own without COM links). com_far_end.py makes the pty and links
# COM5 of the prefix to it; the test program writes to COM5 and reads what
# arrived, and the line settings, from the far end's state folder. The link
# goes again when the far end closes, and at the latest when this ends.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ "${ZOLT_WINE_SAFE:-}" = 1 ] && [ -n "${WINEPREFIX:-}" ] || {
  echo "start the tests with tests/windows/run-wine-tests.sh" >&2
  exit 1
}
port=5
link=$WINEPREFIX/dosdevices/com$port
state=$(mktemp -d "${TMPDIR:-/tmp}/zolt-farend.XXXXXX")
far=
cleanup() {
  [ -z "$far" ] || kill "$far" 2>/dev/null || true
  rm -f "$link"
  rm -rf "$state"
}
trap cleanup EXIT
python3 "$here/com_far_end.py" "$link" "$state" &
far=$!
for _ in $(seq 100); do
  [ -L "$link" ] && break
  sleep 0.1
done
[ -L "$link" ] || { echo "the far end made no link $link" >&2; exit 1; }
echo "COM$port -> $(readlink "$link")"
ZOLT_FAR_END="Z:${state//\//\\}" ZOLT_FAR_END_PORT=$port "$here/wine-exec.sh" "$@"
