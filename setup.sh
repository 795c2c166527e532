#!/usr/bin/env bash
# Installs what ZOLT Control needs from the distribution's packages, builds it,
# and then either starts the program or runs every test.
#
#   ./setup.sh run     install, build, start ZOLT Control on a simulated module
#   ./setup.sh test    install, build, run all tests (headless)
#   ./setup.sh package install, build, make the Debian package zolt-control_*.deb
#   ./setup.sh windows install, cross-build for Windows, make zolt-control-*-win64.zip
#
# After a run, build/app/ZOLTrc is the program for a real module on a COM port.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")"
mode=${1:-run}
build_dir=${ZOLT_BUILD_DIR:-build}

# ------------------------------------------------------------------ packages
# What each mode installs: one list each, all in one place.
#   common   every mode: the build (the MQTT client on libmosquitto, ZOLT
#            Scope's chart on QCustomPlot), a broker and its clients, openssl,
#            and pyserial for the comparison script
#   run      the demo on the desktop
#   test     also the fuzzing (clang; libFuzzer is in libclang-rt-14-dev),
#            the package, built and checked, the screen reader's view
#            (the demo under Xvfb, read through AT-SPI with pyatspi), and
#            Jinja for the templates of the hub's discovery messages
#   package  the Debian package
#   windows  the cross build for Windows (MinGW-w64, the host's Qt tools, Wine
#            for its tests, NSIS for the installer); the test command runs
#            that too
common_packages=(cmake g++ make pkg-config qt6-base-dev qt6-serialport-dev libgl-dev fonts-dejavu-core
  fonts-liberation2 libmosquitto-dev libssl-dev mosquitto mosquitto-clients openssl python3-serial libqcustomplot-dev)
windows_packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  qt6-base-dev-tools ninja-build wine64 util-linux xz-utils nsis)
case "$mode" in
  run)     packages=("${common_packages[@]}" libqt6serialport6 qt6-qpa-plugins libqcustomplot2.1-qt6) ;;
  test)    packages=("${common_packages[@]}" clang-14 libclang-rt-14-dev
             dpkg-dev file gzip lintian desktop-file-utils appstream "${windows_packages[@]}"
             xvfb xauth dbus at-spi2-core python3-pyatspi python3-jinja2) ;;
  package) packages=("${common_packages[@]}" dpkg-dev file gzip) ;;
  windows) packages=("${common_packages[@]}" "${windows_packages[@]}") ;;
  *)       packages=("${common_packages[@]}") ;;
esac

# ------------------------------------------------------------------ proof
# After the tests, the test command runs them all once more under
# AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzz target for a
# bounded time. The build folders follow the main one (<build>-asan and
# <build>-fuzz) unless ZOLT_ASAN_BUILD_DIR or ZOLT_FUZZ_BUILD_DIR name others;
# ZOLT_FUZZ_SECONDS scales the fuzzing (the total, split over the targets).
# The targets and their shares of the fuzzing time (per cent), from the list
# the build reads too.
fuzz_targets=()
fuzz_share=()
while read -r name share _; do
  case "$name" in ''|'#'*) continue ;; esac
  fuzz_targets+=("$name")
  fuzz_share+=("$share")
done < fuzz/targets.txt

sanitizer_tests() {
  local dir=${ZOLT_ASAN_BUILD_DIR:-$build_dir-asan}
  # Debug: sanitizer builds compile faster unoptimised, and report better.
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON -DZOLT_WERROR=ON -DZOLT_SANITIZE=ON
  cmake --build "$dir" -j"$jobs"
  (cd "$dir" && ctest --output-on-failure --no-tests=error -j"$jobs")
}

fuzz_runs() {
  local dir=${ZOLT_FUZZ_BUILD_DIR:-$build_dir-fuzz}
  local total=${ZOLT_FUZZ_SECONDS:-60}
  # Warnings are made errors by the gcc builds above; here they only show.
  # -O1, as fuzzing builds usually are: quicker to build, and fast enough.
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DBUILD_TESTING=OFF -DZOLT_FUZZ=ON
  cmake --build "$dir" -j"$jobs" --target "${fuzz_targets[@]}"

  # A smaller quarantine than the default 256 MB: each run of the program
  # target frees its windows' pictures, and fresh memory for every one costs
  # more than the run itself. Recently freed memory is still caught.
  export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:quarantine_size_mb=32
  export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
  export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
  local failed=0 i
  for i in "${!fuzz_targets[@]}"; do
    local target=${fuzz_targets[$i]}
    local seconds=$(( total * fuzz_share[i] / 100 ))
    [ "$seconds" -ge 1 ] || seconds=1
    # A copy of the seed corpus takes what the run finds; the tree is only read.
    local work=$dir/fuzz-work/$target
    rm -rf "$work"
    mkdir -p "$work/corpus" "$work/crashes"
    cp fuzz/corpus/"$target"/* "$work/corpus/"
    local inputs=("$work/corpus" fuzz/corpus/"$target")
    [ -d fuzz/regressions/"$target" ] && inputs+=(fuzz/regressions/"$target")
    echo "== $target for $seconds s"
    if ! "$dir/fuzz/$target" -max_total_time="$seconds" -timeout=60 -max_len=1024 \
        -print_final_stats=1 -artifact_prefix="$work/crashes/" "${inputs[@]}" </dev/null; then
      # Every crash is kept, so that the test build replays it from now on.
      mkdir -p fuzz/regressions/"$target"
      cp "$work/crashes/"* fuzz/regressions/"$target"/ 2>/dev/null || true
      echo "$target failed; its input is kept in fuzz/regressions/$target/" >&2
      failed=1
    fi
  done
  return "$failed"
}
# ------------------------------------------------------------------ end proof

# --- Debian package (its packages are in the lists at the top).
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

# --- Windows: cross-built with Debian's MinGW-w64 and the prebuilt Windows
# tree beside the clone (../shared/toolchains: Qt with Print Support,
# QCustomPlot, OpenSSL and libmosquitto, made by the scripts there); the test
# command runs its tests under Wine.
windows_qt_tarball=../shared/toolchains/qt6.4.2-mingw-w64-full.tar.xz
windows_build() {
  local dir=${ZOLT_WINDOWS_BUILD_DIR:-$build_dir-win}
  [ -f "$windows_qt_tarball" ] || {
    echo "No Qt for Windows: $windows_qt_tarball is missing (tools/build-qt-mingw.sh makes one)" >&2
    return 1
  }
  # Qt for Windows goes inside the build folder, unpacked again when the
  # tarball changes.
  mkdir -p "$dir"
  if [ ! -f "$dir/qt6-mingw/lib/cmake/Qt6/qt.toolchain.cmake" ] || [ "$windows_qt_tarball" -nt "$dir/qt6-mingw" ]; then
    rm -rf "$dir/qt6-mingw"
    tar xJf "$windows_qt_tarball" -C "$dir"
    touch "$dir/qt6-mingw"
  fi
  local qt
  qt=$(cd "$dir/qt6-mingw" && pwd)
  # The programs' icons are drawn by the Linux build's own tool.
  [ -f "$build_dir/CMakeCache.txt" ] || cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
  cmake --build "$build_dir" -j"$jobs" --target zolt_render_icon
  # pkg-config answers from the tree's own .pc files (libmosquitto), never
  # from the build machine's.
  cmake -G Ninja -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DZOLT_WERROR=ON \
    -DZOLT_PKG_CONFIG_LIBDIR="$qt/lib/pkgconfig" \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
    -DZOLT_HOST_RENDER_ICON="$(cd "$build_dir" && pwd)/package/zolt_render_icon" "$@"
  cmake --build "$dir" -j"$jobs"
  rm -f "$dir"/zolt-control-*-win64.zip "$dir"/zolt-control-*-win64-setup.exe
  (cd "$dir" && cpack -G ZIP && cpack -G NSIS)
  cp "$dir"/zolt-control-*-win64.zip "$dir"/zolt-control-*-win64-setup.exe .
  ls -l zolt-control-*-win64.zip zolt-control-*-win64-setup.exe
}
windows_tests() {
  local dir=${ZOLT_WINDOWS_BUILD_DIR:-$build_dir-win}
  local started=$SECONDS
  # zoltctl.exe is compared with the Linux build's zoltctl.
  windows_build -DBUILD_TESTING=ON -DZOLT_HOST_ZOLTCTL="$(cd "$build_dir" && pwd)/ctl/zoltctl"
  local built=$SECONDS
  # One at a time: the line-timing tests (tst_zoltwire, tst_sampling_e2e)
  # measure milliseconds, and under Wine two at once have missed them.
  tests/windows/run-wine-tests.sh "$dir" "$dir/qt6-mingw"
  echo "Windows part: $((built - started)) s to cross-build and zip, $((SECONDS - built)) s of tests under Wine"
}
# --- end of the Windows block

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
    # ZOLT Scope too, where the build has it (it needs QCustomPlot).
    if grep -q '^ZOLT_SCOPE:BOOL=ON' "$build_dir/CMakeCache.txt"; then
      cmake --build "$build_dir" -j"$jobs" --target zoltscope
    fi
    exec "$build_dir/app/ZOLTrc-demo"
    ;;
  test)
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DZOLT_WERROR=ON
    cmake --build "$build_dir" -j"$jobs"
    export QT_QPA_PLATFORM=offscreen
    cd "$build_dir"
    ctest --output-on-failure --no-tests=error -j"$jobs"
    cd - >/dev/null
    windows_tests
    sanitizer_tests
    fuzz_runs
    ;;
  package)
    build_package "$build_dir"
    ;;
  windows)
    windows_build -DBUILD_TESTING=ON
    ;;
  *)
    echo "usage: $0 run|test|package|windows" >&2
    exit 2
    ;;
esac
