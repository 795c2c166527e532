#!/usr/bin/env bash
# Checks the Windows zip:  check-zip.sh zolt-control-VERSION-win64.zip
# Every DLL that a program or a DLL in the zip imports (x86_64-w64-mingw32-
# objdump -p) is either in the zip beside the programs or one of Windows' own
# (taken as the DLLs Wine provides under their Windows names, and the API
# sets api-ms-win-*, which Windows resolves itself). Under
# run-wine-tests.sh, zoltctl.exe then runs from the unpacked folder with
# nothing else on Wine's DLL path.
set -euo pipefail
zip=$(realpath "${1:?zip}")
fail() { echo "$*" >&2; exit 1; }
[ -f "$zip" ] || fail "$zip is missing: ./setup.sh windows makes it (cpack -G ZIP in the Windows build)"
objdump=x86_64-w64-mingw32-objdump
command -v "$objdump" >/dev/null || fail "$objdump is missing (Debian package binutils-mingw-w64-x86-64)"
system_dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
[ -d "$system_dlls" ] || fail "$system_dlls is missing (Debian package wine64)"

work=$(mktemp -d "${TMPDIR:-/tmp}/zolt-zip.XXXXXX")
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$zip")
top=$work/$(basename "$zip" .zip)
[ -d "$top" ] || fail "the zip holds no folder $(basename "$zip" .zip)"

missing=0
for f in ZOLTrc.exe ZOLTrc-demo.exe zoltctl.exe zoltscope.exe platforms/qwindows.dll ca-certificates.crt \
         fonts/LiberationSans-Regular.ttf fonts/LiberationSans-Bold.ttf; do
  [ -f "$top/$f" ] || { echo "not in the zip: $f"; missing=1; }
done

# Names compare without case, as Windows compares them.
shipped=$(cd "$top" && ls -1 | tr 'A-Z' 'a-z')
checked=0
while IFS= read -r -d '' pe; do
  checked=$((checked + 1))
  while read -r dll; do
    lower=$(echo "$dll" | tr 'A-Z' 'a-z')
    if grep -qxF "$lower" <<<"$shipped"; then continue; fi
    if [ -f "$system_dlls/$lower" ]; then continue; fi
    # API sets: names Windows itself resolves to its own DLLs.
    case "$lower" in api-ms-win-*|ext-ms-win-*) continue ;; esac
    echo "${pe#$top/} imports $dll, which is neither in the zip's top folder nor part of Windows"
    missing=1
  done < <("$objdump" -p "$pe" | sed -n 's/^[[:space:]]*DLL Name: //p')
done < <(find "$top" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0)
echo "$checked programs and libraries checked in $(basename "$zip")"
[ "$missing" = 0 ] || exit 1

if [ "${ZOLT_WINE_SAFE:-}" = 1 ]; then
  out=$(WINEPATH= "$(dirname "$0")/../../tests/windows/wine-exec.sh" "$top/zoltctl.exe" --simulate read) \
    || fail "zoltctl.exe from the zip does not run: $out"
  echo "$out"
fi
