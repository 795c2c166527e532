#!/usr/bin/env bash
# CTest's emulator in the Windows cross build: runs one program under Wine.
# Only inside run-wine-tests.sh, which hides the host's serial devices and
# makes the prefix; this checks both again before every program. The one COM
# link allowed is one a test made to a pseudo-terminal (com-over-pty.sh).
#   wine-exec.sh PROGRAM.exe [arguments]
# A Qt Test program writes its log to a file (without a console it writes
# nothing to standard output), printed here; one on Qt Gui gets the offscreen
# platform (the host's QT_QPA_PLATFORM does not reach it).
set -euo pipefail
die() { echo "not run under Wine: $*" >&2; exit 1; }
[ "${ZOLT_WINE_SAFE:-}" = 1 ] && [ -n "${WINEPREFIX:-}" ] && [ -x "${ZOLT_WINE:-}" ] \
  || die "start the tests with tests/windows/run-wine-tests.sh"
for link in "$WINEPREFIX"/dosdevices/com*; do
  [ -e "$link" ] || [ -L "$link" ] || continue
  [[ "$(readlink "$link")" =~ ^/dev/pts/[0-9]+$ ]] \
    || die "the prefix has a COM link to something other than a pseudo-terminal: $link"
done
for d in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM*; do
  [ -e "$d" ] || continue
  [ "$(stat -L -c %t:%T "$d")" = 1:3 ] || die "$d is a host serial device"
done

program=$1
shift
# A program on a display (a command that brought its own, as xvfb-run does)
# needs Wine's desktop process started on that display: the desktop keeps the
# display it started with, and one started without it (by wineboot, or by a
# program before) holds the program's windows where the X server and every
# window list miss them, and posted closes reach nobody. So Wine ends here and
# starts afresh under the display, and ends again afterwards, while the
# display is still there, leaving the run's lasting server for the programs
# after it. Ending Wine ends every Windows program of the prefix: a lock keeps
# the others out meanwhile (a program on a display takes it alone). Nothing
# started here inherits the lock's descriptor (9), or it would hold the lock.
on_display=
[ -n "${DISPLAY:-}" ] && on_display=1
exec 9>>"$WINEPREFIX/.zolt-wine-exec.lock"
restart_wine() {
  "$ZOLT_WINESERVER" -k 2>/dev/null 9>&- || true
  "$ZOLT_WINESERVER" -w 9>&-
  [ "$1" = lasting ] || return 0
  "$ZOLT_WINESERVER" -p </dev/null >/dev/null 2>&1 9>&-
}
if [ -n "$on_display" ]; then
  [ -x "${ZOLT_WINESERVER:-}" ] || die "no wineserver given (ZOLT_WINESERVER)"
  flock -x 9
  restart_wine for-the-display
else
  flock -s 9
fi
# Wine's output goes through files, never straight to the caller's pipe: a
# Windows program with windows starts Wine's desktop process, which inherits
# the program's standard output and outlives it by many seconds, and CTest
# waits for every writer of its pipe to close.
out=$(mktemp "${TMPDIR:-/tmp}/zolt-wine-out.XXXXXX")
trap 'rm -f "$out" "${log:-}"; [ -z "$on_display" ] || restart_wine lasting' EXIT
status=0
case "$(basename "$program")" in
  tst_*)
    log=$(mktemp "${TMPDIR:-/tmp}/zolt-qtest.XXXXXX")
    platform=()
    grep -q Qt6Gui.dll "$program" && platform=(-platform offscreen)
    "$ZOLT_WINE" "$program" "${platform[@]}" -o "Z:${log//\//\\},txt" "$@" >"$out" 2>&1 </dev/null 9>&- || status=$?
    cat "$out" "$log"
    ;;
  *)
    "$ZOLT_WINE" "$program" "$@" >"$out" 2>"$out.err" </dev/null 9>&- || status=$?
    cat "$out"
    cat "$out.err" >&2
    rm -f "$out.err"
    ;;
esac
exit "$status"
