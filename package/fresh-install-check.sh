#!/usr/bin/env bash
# Installs the package on a fresh, minimal Debian 12 and runs it there as a new
# user would, to find what only shows on a system that has nothing else:
#   sudo package/fresh-install-check.sh zolt-control_*.deb build/tests/zolt_caption_check
#
# In a temporary folder: debootstrap --variant=minbase bookworm, from the
# Debian mirror the machine's apt uses (ZOLT_DEBIAN_MIRROR names another); a
# /dev of its own with only null, zero, full, random, urandom, tty and a
# private pseudo-terminal instance, so no serial device of this machine is
# reachable inside; `apt-get install ./the.deb` with its dependencies (without
# recommended packages: what it depends on must be enough); a user in dialout.
# As that user: zoltctl --simulate read; ZOLTrc-demo under Xvfb until SIGTERM;
# a recording zoltctl --simulate sample makes, opened by zoltscope under Xvfb
# and read through AT-SPI (tests/accessibility/atspi_open_client.py: the title,
# the status bar's row count and the chart's figures must be the file's); and
# the caption check (built in the test tree; it needs only the libraries the
# package depends on) under Xvfb. Then the package is removed again.
# Needs root and the network; takes some minutes. Everything it made is gone
# at the end, whatever the result, also when the run is interrupted.
set -euo pipefail

deb=$(realpath "$1")
caption_check=$(realpath "$2")
accessibility=$(cd "$(dirname "${BASH_SOURCE[0]}")/../tests/accessibility" && pwd)
[ "$(id -u)" -eq 0 ] || { echo "run as root (debootstrap, chroot, mount)" >&2; exit 2; }
for tool in debootstrap chroot mount mknod findmnt; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done

mirror=${ZOLT_DEBIAN_MIRROR:-}
if [ -z "$mirror" ]; then
  # The first Debian archive apt is configured with (one-line or deb822 form).
  mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null \
    | grep -v '^\s*#' | grep -oE '(https?|ftp)://[^ ]*/debian/?( |$)' | head -1 | tr -d ' ' || true)
fi
mirror=${mirror:-http://deb.debian.org/debian}

work=$(mktemp -d /var/tmp/zolt-fresh.XXXXXX)
root=$work/root
user=zoltuser

# Processes of the fresh system (a window, Xvfb, a bus) whose run was cut short.
inside_pids() {
  local p
  for p in /proc/[0-9]*; do
    [ "$p/root" -ef "$root" ] && echo "${p#/proc/}"
  done
  return 0
}
cleanup() {
  local status=$?
  # A second Ctrl-C must not cut the cleaning short.
  trap '' INT TERM HUP
  trap - EXIT
  local pids
  pids=$(inside_pids)
  if [ -n "$pids" ]; then
    kill -TERM $pids 2>/dev/null || true
    sleep 1
    pids=$(inside_pids)
    [ -z "$pids" ] || kill -KILL $pids 2>/dev/null || true
  fi
  # Whatever is mounted below the fresh system, deepest first: this script's
  # /dev, pts and proc, and what debootstrap mounts while it runs.
  { findmnt -rn -o TARGET | grep -F "$root/" || true; } | sort -r | while read -r m; do
    umount -l "$m" || true
  done
  # Nothing of this machine may still be mounted below before it is removed.
  if [ -z "$(findmnt -rn -o TARGET | grep -F "$root" || true)" ]; then
    rm -rf "$work"
  else
    echo "left $work in place: still mounted" >&2
  fi
  exit "$status"
}
trap cleanup EXIT
# A signal ends the script through exit, so that an interrupted run cleans up
# too (once the step in the foreground has ended).
trap 'echo "interrupted; cleaning up" >&2; exit 130' INT
trap 'echo "ended by SIGTERM; cleaning up" >&2; exit 143' TERM
trap 'echo "hung up; cleaning up" >&2; exit 129' HUP

step() { echo "== $* ($(date -u +%H:%M:%S))"; }
fail() { echo "FAIL: $*" >&2; exit 1; }
inside() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
as_user() {
  chroot --userspec="$user:$user" --groups=dialout "$root" \
    env -i PATH=/usr/local/bin:/usr/bin:/bin HOME="/home/$user" USER="$user" LANG=C.UTF-8 "$@"
}

step "debootstrap --variant=minbase bookworm from $mirror"
if ! debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1; then
  tail -30 "$work/debootstrap.log"
  fail "debootstrap"
fi
tail -1 "$work/debootstrap.log"

step "a /dev of its own"
mountpoint -q "$root/dev" && umount -l "$root/dev"
mount -t tmpfs -o mode=0755,nosuid,size=1m zolt-dev "$root/dev"
for node in "null 1 3" "zero 1 5" "full 1 7" "random 1 8" "urandom 1 9" "tty 5 0"; do
  set -- $node
  mknod -m 0666 "$root/dev/$1" c "$2" "$3"
done
mkdir "$root/dev/pts" "$root/dev/shm"
chmod 1777 "$root/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666,mode=0620 zolt-devpts "$root/dev/pts"
ln -s pts/ptmx "$root/dev/ptmx"
ln -s /proc/self/fd "$root/dev/fd"
mountpoint -q "$root/proc" || mount -t proc proc "$root/proc"
ls "$root/dev" | tr '\n' ' '; echo
serial=$(ls "$root/dev" | grep -E '^tty(S|USB|ACM)' || true)
[ -z "$serial" ] || fail "serial devices reachable inside: $serial"
[ -z "$(ls "$root/dev/pts" | grep -v ptmx || true)" ] || fail "this machine's pseudo-terminals are reachable inside"

step "apt-get install ./$(basename "$deb") (no recommended packages)"
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/"
export DEBIAN_FRONTEND=noninteractive
inside apt-get update -qq
inside env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "/tmp/$(basename "$deb")" \
  >"$work/install.log" 2>&1 || { tail -40 "$work/install.log"; fail "installing the package"; }
grep -E '^(Setting up|Unpacking) zolt-control' "$work/install.log" || true
echo "$(grep -c '^Setting up' "$work/install.log") packages set up"
inside dpkg-query -W -f='${Package} ${Version}\n' zolt-control fonts-liberation2 libqt6widgets6

step "Xvfb to run the windows on"
inside env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends xvfb xauth \
  >"$work/xvfb.log" 2>&1 || { tail -20 "$work/xvfb.log"; fail "installing xvfb"; }
echo "fonts there: $(inside fc-list : family | sort -u | tr '\n' ';')"

step "a user in dialout"
inside useradd -m -G dialout "$user"
as_user id

step "zoltctl --simulate read"
out=$(as_user zoltctl --simulate read) || fail "zoltctl --simulate read ended with status $?"
echo "$out"
grep -Eq '[0-9]' <<<"$out" || fail "zoltctl gave no reading"

step "ZOLTrc-demo under Xvfb, ended by SIGTERM after 5 s"
as_user xvfb-run -a sh -c '
  ZOLTrc-demo 2>/tmp/demo.err & pid=$!
  sleep 5
  kill -0 "$pid" || { echo "ZOLTrc-demo ended early"; cat /tmp/demo.err; exit 1; }
  grep -E "^(Name|State|VmRSS)" "/proc/$pid/status" | tr -s "\t " " " | paste -sd";"
  kill -TERM "$pid"; wait "$pid"; status=$?
  echo "ZOLTrc-demo ended with status $status"
  if [ -s /tmp/demo.err ]; then echo "its messages:"; cat /tmp/demo.err; fi
  exit "$status"' || fail "ZOLTrc-demo"

step "zoltctl records 50 rows; ZOLT Scope opens them under Xvfb, read through AT-SPI"
if inside test -x /usr/bin/zoltscope; then
  as_user zoltctl --simulate sample --interval max --digital --count 50 --output /tmp/fresh.csv \
    || fail "zoltctl --simulate sample ended with status $?"
  inside wc -l /tmp/fresh.csv
  # The screen reader's view is the proof: the window's title, the status
  # bar's count of rows and the chart's figures, held against the file by the
  # test tree's AT-SPI client. Its tools are not the package's dependencies.
  inside env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    dbus at-spi2-core python3-pyatspi >"$work/atspi.log" 2>&1 || { tail -20 "$work/atspi.log"; fail "installing AT-SPI"; }
  mkdir -p "$root/usr/local/lib/zolt-check"
  cp "$accessibility"/atspi_check.sh "$accessibility"/atspi_session.sh "$accessibility"/atspi_client.py \
    "$accessibility"/atspi_open_client.py "$root/usr/local/lib/zolt-check/"
  scope_status=0
  as_user bash /usr/local/lib/zolt-check/atspi_check.sh atspi_open_client.py /usr/bin/zoltscope /tmp/fresh.csv \
    || scope_status=$?
  [ "$scope_status" -eq 0 ] || fail "zoltscope opening a recording (status $scope_status)"
else
  echo "SKIP: the package holds no zoltscope"
fi

step "caption check under Xvfb"
cp "$caption_check" "$root/usr/local/bin/zolt_caption_check"
missing=$(inside ldd /usr/local/bin/zolt_caption_check | grep 'not found' || true)
[ -z "$missing" ] || fail "the caption check lacks libraries: $missing"
caption_status=0
as_user xvfb-run -a zolt_caption_check || caption_status=$?
[ "$caption_status" -eq 0 ] || fail "captions are cut (status $caption_status)"

step "removing the package"
inside env DEBIAN_FRONTEND=noninteractive apt-get remove -y -q zolt-control >"$work/remove.log" 2>&1 \
  || { tail -20 "$work/remove.log"; fail "apt-get remove"; }
left=$(ls "$root"/usr/bin/ZOLTrc* "$root"/usr/bin/zoltctl "$root"/usr/bin/zoltscope 2>/dev/null || true)
[ -z "$left" ] || fail "left after removal: $left"
echo "removed; no program left in /usr/bin"

echo "fresh install check passed"
