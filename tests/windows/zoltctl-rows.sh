#!/usr/bin/env bash
# zoltctl.exe under Wine against zoltctl of a Linux build, on the simulated
# module:  zoltctl-rows.sh zoltctl.exe LINUX_ZOLTCTL
# "--simulate read" and "--simulate sample --count 5" must give the same
# rows: the same header and columns, the same number of rows, every column
# equal except the time stamps, and inputs 0 and 1, which move with time
# (a sine and a triangle), no further apart than the two runs' own times
# explain. "ports --json" lists COM1 to COM16 by their Windows names, each
# missing (Wine sees no serial device here).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
exe=$1
linux=${2:-}
[ -n "$linux" ] && [ -x "$linux" ] || {
  echo "no Linux zoltctl to compare with (configure with -DZOLT_HOST_ZOLTCTL=.../ctl/zoltctl)" >&2
  exit 1
}
work=$(mktemp -d "${TMPDIR:-/tmp}/zolt-rows.XXXXXX")
trap 'rm -rf "$work"' EXIT

run_both() {
  local name=$1
  shift
  "$linux" --simulate "$@" >"$work/$name.linux"
  "$here/wine-exec.sh" "$exe" --simulate "$@" >"$work/$name.win"
  # Windows ends lines with CR LF where the C runtime writes text.
  sed -i 's/\r$//' "$work/$name.win"
  echo "== zoltctl --simulate $*"
  paste -d'|' "$work/$name.linux" "$work/$name.win" | sed 's/|/    |    /'
}
run_both read read
run_both sample sample --count 5
# The ports as Windows names them; under run-wine-tests.sh there are none.
"$here/wine-exec.sh" "$exe" ports --json >"$work/ports.win"

python3 - "$work" <<'PY'
import csv, json, sys
work = sys.argv[1]
failures = []

# read: a table of channel, count, millivolts.
lin = [l.split() for l in open(f"{work}/read.linux").read().splitlines()]
win = [l.split() for l in open(f"{work}/read.win").read().splitlines()]
if len(lin) != len(win) or lin[0] != win[0]:
    failures.append(f"read: different tables\n{lin}\n{win}")
else:
    for a, b in zip(lin[1:], win[1:]):
        ch = int(a[0])
        if a[0] != b[0] or (ch >= 2 and a != b):
            failures.append(f"read: channel {ch}: {a} against {b}")
        if ch < 2 and abs(int(a[1]) - int(b[1])) > 40:
            failures.append(f"read: channel {ch} too far apart: {a} against {b}")

# sample: CSV rows.
lin = list(csv.DictReader(open(f"{work}/sample.linux")))
win = list(csv.DictReader(open(f"{work}/sample.win")))
head_l = open(f"{work}/sample.linux").readline().strip()
head_w = open(f"{work}/sample.win").readline().strip()
if head_l != head_w:
    failures.append(f"sample: headers differ: {head_l} | {head_w}")
if len(lin) != 5 or len(win) != 5:
    failures.append(f"sample: {len(lin)} and {len(win)} rows, not 5")
# The steepest of the two moving inputs climbs under 600 counts a second.
for i, (a, b) in enumerate(zip(lin, win)):
    dt = abs(float(a["seconds"]) - float(b["seconds"]))
    for key in a:
        if key in ("time", "seconds"):
            continue
        if key.startswith(("ch0_", "ch1_")):
            if abs(int(a[key]) - int(b[key])) > 40 + 800 * dt:
                failures.append(f"sample row {i}: {key} {a[key]} against {b[key]} ({dt:.3f} s apart)")
        elif a[key] != b[key]:
            failures.append(f"sample row {i}: {key} {a[key]} against {b[key]}")

# Millivolts follow counts the same way on both: a count met in both runs
# gives the same millivolts.
pairs = {}
for rows, side in ((lin, "Linux"), (win, "Windows")):
    for row in rows:
        for ch in range(7):
            c, m = f"ch{ch}_count", f"ch{ch}_mv"
            if c in row:
                pairs.setdefault(row[c], {})[side] = row[m]
for count, sides in pairs.items():
    if len(set(sides.values())) > 1:
        failures.append(f"sample: count {count} gives {sides}")

# ports: COM1 to COM16 by their Windows names, each missing.
ports = json.load(open(f"{work}/ports.win"))
expected = [{"port": f"COM{n}", "device": f"COM{n}", "opens": False, "problem": "missing"}
            for n in range(1, 17)]
if ports != expected:
    failures.append(f"ports: {ports}")

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("zoltctl.exe gives the Linux rows")
PY
