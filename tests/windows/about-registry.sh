#!/usr/bin/env bash
# The About box's System Info on Windows' registry, under Wine:
#   about-registry.sh tst_windows_about.exe zolt_sysinfo_stub.exe
# Sets HKEY_LOCAL_MACHINE's values with "wine reg add" as the system
# information tool's installer would, and runs the matching case of
# tst_windows_about each time; the stub stands in for the tool.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
test_exe=$1
stub=$2
[ "${ZOLT_WINE_SAFE:-}" = 1 ] || { echo "start the tests with tests/windows/run-wine-tests.sh" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zolt-sysinfo.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tool folder"
cp "$stub" "$work/named.exe"
cp "$stub" "$work/tool folder/MSINFO32.EXE"
windows() { echo "Z:${1//\//\\}"; }

first='HKLM\SOFTWARE\Microsoft\Shared Tools\MSINFO'
second='HKLM\SOFTWARE\Microsoft\Shared Tools Location'
reg() { "$ZOLT_WINE" reg "$@" >/dev/null; }
clear_values() {
  reg delete "$first" /v PATH /f 2>/dev/null || true
  reg delete "$second" /v MSINFO /f 2>/dev/null || true
}
run_case() {
  echo "== $1"
  "$here/wine-exec.sh" "$test_exe" "$1"
}

clear_values
reg add "$first" /v PATH /t REG_SZ /d "$(windows "$work/named.exe")" /f
run_case startsTheProgramTheFirstValueNames

clear_values
reg add "$second" /v MSINFO /t REG_SZ /d "$(windows "$work/tool folder")" /f
run_case startsTheToolInTheFolderTheSecondValueNames

clear_values
run_case unavailableWithoutTheValues
# A folder recorded, but no tool in it.
rm "$work/tool folder/MSINFO32.EXE"
reg add "$second" /v MSINFO /t REG_SZ /d "$(windows "$work/tool folder")" /f
run_case unavailableWithoutTheValues
clear_values
