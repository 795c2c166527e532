#!/usr/bin/env bash
# A new user's first hour with the Windows installer, under Wine:
#   installer-check.sh zolt-control-VERSION-win64-setup.exe VERSION
# Only under tests/windows/run-wine-tests.sh (no host serial device visible).
# In a Wine prefix of its own, made here and without COM links:
#   - the installer runs silently (/S), twice, as an upgrade over itself;
#   - the Start menu holds ZOLT Control, ZOLT Control (Demo), ZOLT Scope and
#     Uninstall, each pointing at the installed program;
#   - Apps & features lists it with its version and publisher;
#   - the machine's PATH names the install folder once, and a command prompt
#     finds zoltctl there: "zoltctl --simulate read" gives seven readings;
#   - ZOLT Scope starts on the simulated module (on Xvfb, Wine's own windows),
#     records, and ends cleanly (status 0, the recording whole) when asked
#     to close as taskkill asks (WM_CLOSE posted to its windows);
#   - the silent uninstaller leaves nothing in Program Files, the Start menu,
#     the PATH or Apps & features.
set -euo pipefail
setup=$(realpath "$1")
version=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ "${ZOLT_WINE_SAFE:-}" = 1 ] && [ -x "${ZOLT_WINE:-}" ] || {
  echo "start the tests with tests/windows/run-wine-tests.sh" >&2
  exit 1
}
[ -f "$setup" ] || { echo "$setup is missing: ./setup.sh windows makes it (cpack -G NSIS)" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (Debian package xvfb)" >&2; exit 1; }

failures=0
check() {   # check WHAT COMMAND...: one line of the report
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

# A new user's machine: a prefix of its own, nothing on Wine's DLL path.
work=$(mktemp -d "${TMPDIR:-/tmp}/zolt-newuser.XXXXXX")
export WINEPREFIX=$work/prefix
unset WINEPATH
server=/usr/lib/wine/wineserver64
[ -x "$server" ] || server=$(command -v wineserver)
cleanup() {
  "$server" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
wine() { "$ZOLT_WINE" "$@"; }
mkdir -p "$WINEPREFIX"
wine wineboot -i >/dev/null 2>&1
rm -f "$WINEPREFIX"/dosdevices/com*
! compgen -G "$WINEPREFIX/dosdevices/com*" >/dev/null || { echo "cannot remove the COM links" >&2; exit 1; }

installed="$WINEPREFIX/drive_c/Program Files/ZOLT Control"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/ZOLT Control"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZOLT Control'
env_key='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
folder='C:\Program Files\ZOLT Control'
machine_path() { wine reg query "$env_key" /v Path 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_[A-Z_]*SZ *//p'; }
path_entries() { machine_path | tr ';' '\n' | grep -cixF "$folder" || true; }

started=$SECONDS
wine "$setup" /S
"$server" -w
echo "installed in $((SECONDS - started)) s"
# The same again: an upgrade first runs the installed uninstaller.
wine "$setup" /S
"$server" -w

for f in ZOLTrc.exe ZOLTrc-demo.exe zoltscope.exe zoltctl.exe Uninstall.exe platforms/qwindows.dll \
         ca-certificates.crt; do
  check "installed: $f" test -f "$installed/$f"
done
# A shortcut names its target as a Windows path, in ANSI or UTF-16.
points_at() {
  { strings "$1"; strings -el "$1"; } | grep -ixF "$folder\\$2" >/dev/null
}
for entry in "ZOLT Control:ZOLTrc.exe" "ZOLT Control (Demo):ZOLTrc-demo.exe" "ZOLT Scope:zoltscope.exe" \
             "Uninstall:Uninstall.exe"; do
  name=${entry%%:*}
  check "Start menu: $name points at ${entry#*:}" points_at "$menu/$name.lnk" "${entry#*:}"
done
check "Start menu: nothing else" test "$(ls "$menu" | wc -l)" = 4
key=$(wine reg query "$uninstall_key" 2>/dev/null | tr -d '\r')
check "Apps & features: version $version" grep -q "DisplayVersion.*REG_SZ *$version\$" <<<"$key"
check "Apps & features: publisher" grep -q "Publisher.*REG_SZ *The ZOLT Control developers\$" <<<"$key"
check "PATH names the install folder once, also after the upgrade" test "$(path_entries)" = 1
# .csv and .jsonl stay whatever they were: nothing is registered for them.
check "recordings not claimed" bash -c '! "$0" reg query "HKLM\Software\Classes\.csv" 2>/dev/null | grep -qi zolt' "$ZOLT_WINE"

# A command prompt started afresh takes the machine's PATH.
rows=$(cd "$work" && wine cmd /c "zoltctl --simulate read" 2>/dev/null | tr -d '\r')
echo "$rows"
check "zoltctl --simulate read from a command prompt: seven readings" \
  test "$(tail -n +2 <<<"$rows" | grep -cE '^ *[0-6] +[0-9]+ +-?[0-9.]+$')" = 7

# ZOLT Scope on the demo, on Wine's own windows, closed as a user closes it.
# Wine's desktop process keeps the display it was started with: one started
# above, without a display, would hold the program's windows where no window
# list (taskkill's included) finds them. So Wine ends here, and starts again
# under the virtual display.
"$server" -k 2>/dev/null || true
recording="$work/first.csv"
scope_status=0
ZOLT_SCOPE_RECORDING="Z:${recording//\//\\}" xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  "$0" "$1" --simulate --record "$ZOLT_SCOPE_RECORDING" & scope=$!
  for _ in $(seq 600); do
    [ "$(wc -l 2>/dev/null < "$2" || echo 0)" -ge 20 ] && break
    sleep 0.1
  done
  # Asked to close: WM_CLOSE posted to its windows, as taskkill posts it.
  "$0" taskkill /im zoltscope.exe
  for _ in $(seq 100); do
    kill -0 "$scope" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$scope" 2>/dev/null; then
    echo "ZOLT Scope did not end within 10 s of the close; ended by force"
    "$0" taskkill /f /im zoltscope.exe >/dev/null 2>&1
    wait "$scope" || true
    exit 99
  fi
  wait "$scope"' "$ZOLT_WINE" "$installed/zoltscope.exe" "$recording" || scope_status=$?
check "ZOLT Scope recorded the simulated module" test "$(wc -l 2>/dev/null < "$recording" || echo 0)" -ge 20
check "ZOLT Scope ended cleanly when asked to close (status $scope_status)" test "$scope_status" = 0
check "its recording ends on a whole row" test "$(tail -c 1 "$recording" | od -An -c | tr -d ' ')" = '\n'

wine "$installed/Uninstall.exe" /S
"$server" -w
# The uninstaller copies itself away and returns at once; its copy ends later.
for _ in $(seq 100); do [ -e "$installed" ] || break; sleep 0.2; done
check "uninstalled: nothing left in Program Files" test ! -e "$installed"
check "uninstalled: no Start-menu folder" test ! -e "$menu"
check "uninstalled: PATH without the install folder" test "$(path_entries)" = 0
check "uninstalled: not in Apps & features" bash -c '! "$0" reg query "$1" >/dev/null 2>&1' "$ZOLT_WINE" "$uninstall_key"
echo "$failures failed"
[ "$failures" = 0 ]
