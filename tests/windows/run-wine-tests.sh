#!/usr/bin/env bash
# Runs the Windows cross build's tests under Wine:
#   tests/windows/run-wine-tests.sh BUILD_WIN QT_WINDOWS_DIR [ctest arguments]
# or any command that starts Windows programs, in the same set-up:
#   tests/windows/run-wine-tests.sh --command QT_WINDOWS_DIR COMMAND [arguments]
#
# Wine maps COM1, COM2, ... to the host's /dev/ttyS0, /dev/ttyS1, ..., and on
# a test machine the first may be the console. So, before any program runs:
#   1. everything runs in a mount namespace of its own (util-linux unshare)
#      in which every /dev/ttyS*, /dev/ttyUSB* and /dev/ttyACM* of the host
#      is /dev/null;
#   2. a fresh Wine prefix is made for this run (wineboot -i) and its
#      dosdevices/com* links are removed.
# If either cannot be arranged, nothing runs and the reason is printed.
# Each program then runs through wine-exec.sh (CTest's emulator for the
# cross build), which checks both again before starting it.
set -euo pipefail

die() { echo "Windows tests not run: $*" >&2; exit 1; }
command_mode=
if [ "${1:-}" = --command ]; then
  command_mode=1
  shift
  [ $# -ge 2 ] || die "usage: $0 --command QT_WINDOWS_DIR COMMAND [arguments]"
  build=$PWD
  qt=$(cd "$1" && pwd) || die "no Qt for Windows in $1"
  shift
else
  [ $# -ge 2 ] || die "usage: $0 BUILD_WIN QT_WINDOWS_DIR [ctest arguments]"
  build=$(cd "$1" && pwd) || die "no build folder $1"
  qt=$(cd "$2" && pwd) || die "no Qt for Windows in $2"
  shift 2
fi
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

export ZOLT_WINE=/usr/lib/wine/wine64
[ -x "$ZOLT_WINE" ] || die "$ZOLT_WINE is missing (Debian package wine64)"
command -v unshare >/dev/null || die "unshare is missing (Debian package util-linux)"

serial_devices() {
  local d
  for d in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM*; do
    [ -e "$d" ] && echo "$d"
  done
  return 0
}

if [ "${ZOLT_WINE_NAMESPACE:-}" != 1 ]; then
  # A user namespace too when not root, so that the bind mounts are allowed.
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(--map-root-user)
  unshare "${as_root[@]}" --mount --propagation private true 2>/dev/null \
    || die "cannot make a mount namespace (unshare --mount failed; it needs root or unprivileged user namespaces)"
  if [ -n "$command_mode" ]; then
    ZOLT_WINE_NAMESPACE=1 exec unshare "${as_root[@]}" --mount --propagation private \
      "$0" --command "$qt" "$@"
  fi
  ZOLT_WINE_NAMESPACE=1 exec unshare "${as_root[@]}" --mount --propagation private \
    "$0" "$build" "$qt" "$@"
fi

# --- Inside the namespace: hide the host's serial devices. Each becomes
# /dev/null; then a /dev of the namespace's own, holding only the standard
# nodes, goes over the host's, since Wine makes a COM port of every
# /dev/ttyS*, /dev/ttyUSB* and /dev/ttyACM* that exists, even a /dev/null.
for d in $(serial_devices); do
  mount --bind /dev/null "$d" || die "cannot bind /dev/null over $d"
done
for d in $(serial_devices); do
  [ "$(stat -L -c %t:%T "$d")" = 1:3 ] || die "$d is still a serial device"
done
newdev=$(mktemp -d "${TMPDIR:-/tmp}/zolt-dev.XXXXXX")
mount -t tmpfs -o mode=755 zolt-dev "$newdev" || die "cannot mount a tmpfs for /dev"
for node in null zero full random urandom tty; do
  touch "$newdev/$node"
  mount --bind "/dev/$node" "$newdev/$node" || die "cannot bind /dev/$node"
done
for dir in pts shm; do
  mkdir "$newdev/$dir"
  [ -d "/dev/$dir" ] && { mount --rbind "/dev/$dir" "$newdev/$dir" || die "cannot bind /dev/$dir"; }
done
ln -s pts/ptmx "$newdev/ptmx"
ln -s /proc/self/fd "$newdev/fd"
ln -s /proc/self/fd/0 "$newdev/stdin"
ln -s /proc/self/fd/1 "$newdev/stdout"
ln -s /proc/self/fd/2 "$newdev/stderr"
mount --move "$newdev" /dev || die "cannot put the new /dev in place"
[ -z "$(serial_devices)" ] || die "serial devices still visible: $(serial_devices | tr '\n' ' ')"

# --- A fresh prefix, without COM links.
export WINEPREFIX
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/zolt-wine.XXXXXX")
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs: nothing here needs them. No
# winemenubuilder either: it would copy the installer's Start-menu entries
# into the desktop's menus of the home folder.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
# A home of the run's own: wineboot links the prefix's Desktop, Documents ...
# to the home folder's.
export HOME=$WINEPREFIX.home
mkdir -p "$HOME"
export WINEARCH=win64
# Only a command given here may bring its own display (a virtual one).
unset DISPLAY WAYLAND_DISPLAY
server=/usr/lib/wine/wineserver64
[ -x "$server" ] || server=$(command -v wineserver || true)
[ -n "$server" ] || die "wineserver is missing (Debian package wine64)"
# wine-exec.sh starts Wine afresh for a program on a display.
export ZOLT_WINESERVER=$server
cleanup() {
  "$server" -k 2>/dev/null || true
  rm -rf "$WINEPREFIX" "$HOME"
}
trap cleanup EXIT
started=$(date +%s)
# One Wine server for the whole run, rather than one started per program.
"$server" -p
"$ZOLT_WINE" wineboot -i >/dev/null 2>&1 || die "wineboot -i failed in $WINEPREFIX"
rm -f "$WINEPREFIX"/dosdevices/com*
if compgen -G "$WINEPREFIX/dosdevices/com*" >/dev/null; then
  die "cannot remove $WINEPREFIX/dosdevices/com*"
fi
# The virtual displays here have no window manager, and Wine's windows,
# managed, wait for one whenever they are hidden (the caption check, which
# shows and hides five windows, took 10 s longer); nothing manages them
# anyway, so they are left unmanaged.
"$ZOLT_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 \
  || die "cannot set Wine's X11 windows unmanaged"
echo "Wine prefix ready in $(( $(date +%s) - started )) s: $WINEPREFIX"

# Qt's own DLLs and plugins from the toolchain; the compiler's runtime from
# Debian's MinGW-w64. The offscreen platform reads its fonts from Qt's
# lib/fonts.
export WINEPATH="Z:$qt/bin;Z:/usr/lib/gcc/x86_64-w64-mingw32/12-posix;Z:/usr/x86_64-w64-mingw32/lib"
mkdir -p "$qt/lib/fonts"
cp /usr/share/fonts/truetype/liberation2/LiberationSans-*.ttf "$qt/lib/fonts/" \
  || die "Liberation Sans is missing (Debian package fonts-liberation2)"
export ZOLT_WINE_SAFE=1

cd "$build"
if [ -n "$command_mode" ]; then
  "$@"
else
  ctest --output-on-failure --no-tests=error "$@"
fi
