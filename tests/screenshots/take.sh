#!/usr/bin/env bash
# Pictures of every window under a virtual X display:
#   tests/screenshots/take.sh [BUILD_DIR] [OUTPUT_DIR]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
build=${1:-build}
out=${2:-$build/screenshots}
for p in xvfb xauth; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ -n "${missing[*]:-}" ]; then
  sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" </dev/null
fi
cmake --build "$build" --target zolt_shoot
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" "$build/tests/screenshots/zolt_shoot" "$out"
if cmake --build "$build" --target zolt_shoot_scope 2>/dev/null; then
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x900x24 -dpi 96" "$build/tests/screenshots/zolt_shoot_scope" "$out"
fi
