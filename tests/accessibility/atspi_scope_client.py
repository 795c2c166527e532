#!/usr/bin/python3
"""Reads ZOLT Scope, sampling the simulated module, as a screen reader does,
through AT-SPI from another process.

    atspi_scope_client.py PID

Checks: the main window is a frame titled ZOLT Scope; every control a user can
reach has a name; the chart's description gives each shown channel's last
value, minimum and maximum and follows the scans; the start/stop button,
pressed through its action, stops sampling (the description holds still, the
program idles) and starts it again. Exit status 0 when all hold, 1 otherwise.
"""

import re
import sys

import pyatspi

from atspi_client import (attach, children, cpu_seconds, fail, named, press, role,
                          run_loop, timed, verdict, walk)

TITLE = "ZOLT Scope"
START_STOP = "Start or stop sampling"
# "Channel 0: last 3941 mV, minimum 2521 mV, maximum 3941 mV", "Line 4: last 0, minimum 0, maximum 1"
FIGURES = re.compile(r"^(Channel \d|Line \d): last (-?\d+)(?: mV)?, minimum (-?\d+)(?: mV)?, maximum (-?\d+)(?: mV)?$")
# Between two readings of a running chart; the figures are refreshed four times a second.
READ_APART_S = 1.5


def main_window(app, seconds=20):
    for _ in range(int(seconds / 0.2)):
        for window in children(app):
            if TITLE in window.name:
                return window
        run_loop(0.2)
    return None


def the_chart(window):
    # One thing only goes by the name: a listener asking for "Chart" must not
    # land on the group of its settings.
    named = [node for node in walk(window) if node.name == "Chart"]
    if len(named) > 1:
        fail("%d things named 'Chart': %s" % (len(named), ", ".join(role(node) for node in named)))
    return named[0] if named else None


def description(chart):
    return timed("the chart's description", lambda: chart.description) or ""


def wait_for_figures(chart, seconds):
    for _ in range(int(seconds / 0.25)):
        text = description(chart)
        if "Channel 0: last" in text:
            return text
        run_loop(0.25)
    return None


def check_window(window):
    print("window: %r (%s)" % (window.name, role(window)), flush=True)
    if role(window) not in ("frame", "window"):
        fail("the main window reaches AT-SPI as %r" % role(window))


def check_names(window):
    reachable = 0
    for node in walk(window):
        state = node.getState()
        if not (state.contains(pyatspi.STATE_FOCUSABLE) and state.contains(pyatspi.STATE_SHOWING)):
            continue
        reachable += 1
        if not node.name.strip():
            parent = node.parent
            fail("an unnamed %s, child %d of %s %r" % (role(node), node.getIndexInParent(), role(parent), parent.name))
    print("controls a user can reach: %d" % reachable, flush=True)


def check_figures(window, text):
    """Every shown series of the channels' table, and only those, with
    figures that agree with each other."""
    shown = {node.name[len("Show "):] for node in walk(window)
             if role(node) == "table cell" and node.name.startswith("Show ")
             and node.getState().contains(pyatspi.STATE_CHECKED)}
    described = set()
    for part in text.split("; "):
        m = FIGURES.match(part)
        if m is None:
            fail("the chart's description has %r" % part)
            continue
        series, last, low, high = m.group(1), int(m.group(2)), int(m.group(3)), int(m.group(4))
        described.add(series)
        if not low <= last <= high:
            fail("%r: the last value is not within minimum and maximum" % part)
    if not shown:
        fail("no series is shown in the channels' table")
    if described != shown:
        fail("the chart describes %s; the table shows %s" % (sorted(described), sorted(shown)))
    print("chart describes: %s" % ", ".join(sorted(described)), flush=True)


def check_kept_current(chart, first):
    run_loop(READ_APART_S)
    second = description(chart)
    if second == first:
        fail("the chart's description stayed %r for %.1f s of sampling" % (first[:80], READ_APART_S))
    if "Channel 0: last" not in second:
        fail("the chart's description does not name channel 0: %r" % second[:80])
    print("chart, %.1f s later: %r" % (READ_APART_S, second[:70]), flush=True)


def check_stop_and_start(app, chart, pid):
    # A button that stays down while sampling: a check box to AT-SPI.
    button = named(app, "check box", START_STOP)
    if button is None:
        fail("no check box named %r" % START_STOP)
        return
    press(button)
    run_loop(0.5)   # the scan in flight is drawn
    held = description(chart)
    before = cpu_seconds(pid)
    run_loop(2 * READ_APART_S)
    busy = (cpu_seconds(pid) - before) / (2 * READ_APART_S)
    after = description(chart)
    if after != held:
        fail("sampling went on after %r was pressed: %r, then %r" % (START_STOP, held[:60], after[:60]))
    print("stopped: chart held %r; CPU %.0f %%" % (held[:50], busy * 100), flush=True)
    if busy > 0.2:
        fail("the program is busy while stopped: %.0f %% of a core" % (busy * 100))

    press(button)
    again = wait_for_figures(chart, 10)
    if again is None:
        fail("no figures after %r was pressed again" % START_STOP)
        return
    run_loop(0.5)
    check_kept_current(chart, description(chart))


def main():
    pid, app = attach()
    if app is None:
        return 1
    window = main_window(app)
    if window is None:
        print("FAIL: no window titled %r among %r" % (TITLE, [w.name for w in children(app)]), flush=True)
        return 1
    check_window(window)

    chart = the_chart(window)
    if chart is None:
        print("FAIL: no chart named 'Chart'", flush=True)
        return 1
    first = wait_for_figures(chart, 15)
    if first is None:
        print("FAIL: the chart's description never gave channel 0's figures: %r" % description(chart), flush=True)
        return 1
    print("chart: %r" % first[:70], flush=True)
    # The figures in the table are filled now, as the description is.
    check_names(window)
    check_figures(window, first)
    check_kept_current(chart, first)
    check_stop_and_start(app, chart, pid)
    return verdict(app)


if __name__ == "__main__":
    sys.exit(main())
