#!/usr/bin/env bash
# Installs what ZOLT Control needs from the distribution's packages, builds it,
# and then either starts the program or runs every test.
#
#   ./setup.sh run     install, build, start ZOLT Control on a simulated module
#   ./setup.sh test    install, build, run all tests (headless)
#   ./setup.sh package install, build, make the Debian package zolt-control_*.deb
#
# After a run, build/app/ZOLTrc is the program for a real module on a COM port.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")"
mode=${1:-run}
build_dir=${ZOLT_BUILD_DIR:-build}

packages=(cmake g++ make pkg-config qt6-base-dev qt6-serialport-dev libgl-dev fonts-dejavu-core fonts-liberation2)
if [ "$mode" = run ]; then
  packages+=(libqt6serialport6 qt6-qpa-plugins)
fi

# --- Debian package: what building and checking it needs (the test run checks it too).
if [ "$mode" = package ] || [ "$mode" = test ]; then
  packages+=(dpkg-dev file gzip)
fi
if [ "$mode" = test ]; then
  packages+=(lintian desktop-file-utils appstream)
fi
build_package() {
  # Only what the package holds is built; the tests are not needed for it.
  cmake -S . -B "$1" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
  cmake --build "$1" -j"$jobs" --target zolt_package_contents
  rm -rf "$1/_packages"
  (cd "$1" && cpack -G DEB -B "$PWD/_packages")
  cp "$1"/_packages/zolt-control_*.deb .
  ls -1 zolt-control_*.deb
}
# --- end of the Debian package block

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
fi

jobs=$(nproc 2>/dev/null || echo 2)
case "$mode" in
  run)
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
    cmake --build "$build_dir" -j"$jobs" --target ZOLTrc ZOLTrc-demo zoltctl
    exec "$build_dir/sim/ZOLTrc-demo"
    ;;
  test)
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DZOLT_WERROR=ON
    cmake --build "$build_dir" -j"$jobs"
    export QT_QPA_PLATFORM=offscreen
    cd "$build_dir"
    ctest --output-on-failure --no-tests=error -j"$jobs"
    ;;
  package)
    build_package "$build_dir"
    ;;
  *)
    echo "usage: $0 run|test|package" >&2
    exit 2
    ;;
esac
