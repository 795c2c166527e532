#!/usr/bin/env bash
# Pictures of the Windows programs under Wine, on a virtual X display with
# Qt's windows platform:
#   tests/windows/screenshots.sh [BUILD_WIN] [OUTPUT_DIR]
# From the zip's folder, as a user would start it (nothing else on Wine's
# DLL path): ZOLTrc-demo.exe's screen as the X server shows it, then every
# window as zolt_shoot.exe draws it (the same program as
# tests/screenshots/take.sh on Linux), for side-by-side comparison.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
build=$(cd "${1:-build-win}" && pwd)
out=$(mkdir -p "${2:-$build/screenshots}" && cd "${2:-$build/screenshots}" && pwd)
for tool in xvfb-run import; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (Debian packages xvfb, xauth, imagemagick)" >&2; exit 1; }
done
zip=$(ls "$build"/zolt-control-*-win64.zip 2>/dev/null | head -1)
[ -n "$zip" ] || { echo "no zip in $build: ./setup.sh windows makes it" >&2; exit 1; }

if [ "${ZOLT_WINE_SAFE:-}" != 1 ]; then
  exec tests/windows/run-wine-tests.sh --command "$build/qt6-mingw" "$0" "$build" "$out"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/zolt-shots.XXXXXX")
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$zip")
app=$(echo "$work"/zolt-control-*-win64)
# zolt_shoot.exe needs Qt Test too; it runs from the same folder.
cp "$build/zolt_shoot.exe" "$build/qt6-mingw/bin/Qt6Test.dll" "$app/"
export WINEPATH=

# Wine's desktop keeps the display it started with: the prefix's, started
# without one, would keep the windows off the virtual display. Wine starts
# afresh under it.
xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" bash -c '
  set -e
  "$ZOLT_WINESERVER" -k 2>/dev/null || true
  "$ZOLT_WINESERVER" -w
  "$ZOLT_WINE" "$1/ZOLTrc-demo.exe" &
  demo=$!
  sleep 20
  import -window root "$2/wine-ZOLTrc-demo-screen.png"
  "$ZOLT_WINE" taskkill /f /im ZOLTrc-demo.exe >/dev/null 2>&1 || kill "$demo" 2>/dev/null || true
  "$ZOLT_WINE" "$1/zolt_shoot.exe" "Z:${2//\//\\}"
' shoot "$app" "$out"
ls -1 "$out"
