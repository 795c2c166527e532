#!/usr/bin/env bash
# Builds the Debian package from a configured and built tree, checks it as a
# distribution would, and runs the programs from its unpacked contents:
#   package/check.sh BUILD_DIR EXPECTED_DEB_NAME
# Exit status 77 (a skipped test) when a checking tool is missing; setup.sh
# installs them all.
set -euo pipefail
build=$(cd "$1" && pwd)
expected=$2

for tool in cpack dpkg-deb dpkg-shlibdeps lintian desktop-file-validate appstreamcli; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (./setup.sh test installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
demo_pid=
cleanup() {
  [ -n "$demo_pid" ] && kill -KILL "$demo_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

step() { echo "== $*"; }
fail() { echo "FAIL: $*" >&2; exit 1; }

step "building the package"
(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb="$work/out/$expected"
[ -f "$deb" ] || fail "no $expected; cpack made: $(ls "$work/out")"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "Depends does not name the Qt libraries"
# The face the windows are measured for.
dpkg-deb -f "$deb" Depends | grep -qw 'fonts-liberation2' || fail "Depends does not name fonts-liberation2"

step "unpacking"
root="$work/root"
dpkg-deb -x "$deb" "$root"
for f in usr/bin/ZOLTrc usr/bin/ZOLTrc-demo usr/share/doc/zolt-control/copyright \
         usr/share/man/man1/ZOLTrc.1.gz usr/share/icons/hicolor/48x48/apps/org.zolt.ZOLTrc.png; do
  [ -e "$root/$f" ] || fail "the package lacks /$f"
done

step "desktop entries"
desktop-file-validate "$root"/usr/share/applications/*.desktop

step "AppStream metadata"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml

step "lintian"
lintian_status=0
lintian --pedantic --display-info --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 \
  || lintian_status=$?
grep -v 'running with root privileges' "$work/lintian.log" || true
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors"
# Built with Debian's hardening flags and stripped as Debian strips.
for tag in hardening-no-bindnow hardening-no-fortify-functions hardening-no-relro binary-has-unneeded-section \
           unstripped-binary-or-object; do
  ! grep -qw -- "$tag" "$work/lintian.log" || fail "lintian: $tag"
done

export QT_QPA_PLATFORM=offscreen
step "zoltctl --simulate read"
if [ -x "$root/usr/bin/zoltctl" ]; then
  out=$("$root/usr/bin/zoltctl" --simulate read) || fail "zoltctl --simulate read ended with status $?"
  echo "$out"
  grep -Eq '[0-9]' <<<"$out" || fail "zoltctl gave no reading"
else
  echo "SKIP: zoltctl is not built yet, so the package does not hold it"
fi

step "zoltscope"
if [ -x "$root/usr/bin/zoltscope" ]; then
  for f in usr/share/man/man1/zoltscope.1.gz usr/share/applications/org.zolt.ZOLTScope.desktop \
           usr/share/metainfo/org.zolt.ZOLTScope.metainfo.xml usr/share/icons/hicolor/48x48/apps/org.zolt.ZOLTScope.png \
           usr/share/mime/packages/zolt-control.xml; do
    [ -e "$root/$f" ] || fail "the package lacks /$f"
  done
  dpkg-deb -f "$deb" Depends | grep -q 'libqcustomplot' || fail "Depends does not name QCustomPlot"
  "$root/usr/bin/zoltscope" --version || fail "zoltscope --version ended with status $?"
else
  echo "SKIP: zoltscope is not built (no QCustomPlot), so the package does not hold it"
fi

step "ZOLTrc-demo starts and ends on SIGTERM"
"$root/usr/bin/ZOLTrc-demo" &
demo_pid=$!
# Ready once it catches SIGTERM (bit 15 of the caught-signal mask), so the
# signal is not sent before the program listens for it.
ready=
for _ in $(seq 1 300); do
  kill -0 "$demo_pid" 2>/dev/null || break
  mask=$(awk '/^SigCgt:/ { print $2 }' "/proc/$demo_pid/status" 2>/dev/null || true)
  if [ -n "$mask" ] && (( (16#$mask >> 14) & 1 )); then ready=1; break; fi
  sleep 0.1
done
[ -n "$ready" ] || { wait "$demo_pid" || true; demo_pid=; fail "ZOLTrc-demo did not start, or does not listen for SIGTERM"; }
kill -TERM "$demo_pid"
status=0
wait "$demo_pid" || status=$?
demo_pid=
[ "$status" -eq 0 ] || fail "ZOLTrc-demo ended with status $status on SIGTERM"
echo "ended with status 0"

echo "package checks passed"
