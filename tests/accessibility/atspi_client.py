#!/usr/bin/python3
"""Reads ZOLTrc-demo as a screen reader does, through AT-SPI from another process.

    atspi_client.py PID

Checks: every window is a window or dialog with its title; no control without a
name; every lamp is a label whose name says what it is and what its colour means;
every text box answers every text query at every offset within a second, with
its attributes spanning the whole text; a lamp's change arrives as an event; and
the program is idle afterwards. Exit status 0 when all hold, 1 otherwise.
"""

import os
import sys
import time

import pyatspi
from gi.repository import GLib

QUERY_LIMIT_S = 1.0
failures = []


def fail(message):
    failures.append(message)
    print("FAIL: " + message, flush=True)


def role(node):
    return node.getRoleName()


def walk(node, depth=0):
    yield node
    if depth > 30:
        return
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


def find_app(pid, seconds=30):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is not None and app.get_process_id() == pid and app.childCount > 0:
                    return app
            except GLib.Error:
                pass
        time.sleep(0.2)
    return None


def run_loop(seconds):
    loop = GLib.MainLoop()
    GLib.timeout_add(int(seconds * 1000), loop.quit)
    loop.run()


def named(app, wanted_role, name):
    for window in children(app):
        for node in walk(window):
            if role(node) == wanted_role and node.name == name:
                return node
    return None


def children(node):
    return [node.getChildAtIndex(i) for i in range(node.childCount)]


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("Press", "press", "Toggle", "toggle"):
            action.doAction(i)
            return
    action.doAction(0)


def choose_menu_item(app, path):
    """Triggers a menu item by its captions, e.g. ("Settings", "Display")."""
    for window in children(app):
        for node in walk(window):
            if role(node) == "menu item" and node.name == path[-1]:
                press(node)
                return True
    return False


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = os.sysconf("SC_CLK_TCK")
    return (int(fields[11]) + int(fields[12])) / ticks


LAMPS = {
    **{"Channel %d lamp" % i: {"read", "not read", "no channel chosen yet"} for i in range(7)},
    "Digital output Out line": {"high", "low", "not read yet"},
    "Digital input D0 line": {"high", "low", "not read yet"},
    "Digital input D1 line": {"high", "low", "not read yet"},
    "Digital reading": {"reading in progress", "switched on, sampling stopped", "off"},
    "Analog sampling": {"reading in progress", "sampling stopped", "idle"},
    "Transfer status": {"transfer in progress", "reply arriving", "idle", "reply missed"},
    "CTS line": {"high", "low"},
    "DSR line": {"high", "low"},
}

# Containers a screen reader passes through without a word.
UNNAMED_OK = {"filler", "panel", "menu bar", "separator", "application"}
WINDOW_ROLES = {"frame", "window", "dialog"}

BOUNDARIES = [
    ("char", pyatspi.TEXT_BOUNDARY_CHAR),
    ("word start", pyatspi.TEXT_BOUNDARY_WORD_START),
    ("word end", pyatspi.TEXT_BOUNDARY_WORD_END),
    ("sentence start", pyatspi.TEXT_BOUNDARY_SENTENCE_START),
    ("sentence end", pyatspi.TEXT_BOUNDARY_SENTENCE_END),
    ("line start", pyatspi.TEXT_BOUNDARY_LINE_START),
    ("line end", pyatspi.TEXT_BOUNDARY_LINE_END),
]


def check_windows(app, wanted):
    titles = {}
    for window in children(app):
        titles[window.name] = role(window)
        if role(window) not in WINDOW_ROLES:
            fail("window %r reaches AT-SPI as %r" % (window.name, role(window)))
        if not window.name:
            fail("a window without a title (%s)" % role(window))
    for title in wanted:
        if title not in titles:
            fail("no window %r among %r" % (title, titles))
    print("windows: %s" % ", ".join("%s (%s)" % kv for kv in sorted(titles.items())), flush=True)


def check_names(app):
    count = 0
    for window in children(app):
        for node in walk(window):
            count += 1
            r = role(node)
            if r in ("unknown", "invalid"):
                fail("%r has the role %r" % (node.name, r))
            if r not in UNNAMED_OK and not node.name.strip():
                parent = node.parent
                fail("an unnamed %s in %r (under %s %r)" % (r, window.name, role(parent), parent.name))
    print("controls walked: %d" % count, flush=True)


def lamps_of(app):
    found = {}
    for window in children(app):
        for node in walk(window):
            for what in LAMPS:
                if node.name.startswith(what + ", "):
                    found[what] = node
    return found


def check_lamps(app):
    found = lamps_of(app)
    for what, meanings in LAMPS.items():
        node = found.get(what)
        if node is None:
            fail("no lamp named %r" % what)
            continue
        meaning = node.name[len(what) + 2:]
        if role(node) != "label":
            fail("lamp %r reaches AT-SPI as %r" % (node.name, role(node)))
        if meaning not in meanings:
            fail("lamp %r: %r is not one of its meanings" % (what, meaning))
    for line in ("CTS line", "DSR line"):
        if line in found and found[line].name != line + ", high":
            fail("%r: the simulated module holds the line" % found[line].name)
    print("lamps: %d of %d, e.g. %r" % (len(found), len(LAMPS), found.get("CTS line").name if "CTS line" in found else None),
          flush=True)


def timed(what, call):
    start = time.monotonic()
    try:
        result = call()
    except GLib.Error as e:
        fail("%s: no answer (%s)" % (what, e.message))
        return None
    took = time.monotonic() - start
    if took > QUERY_LIMIT_S:
        fail("%s took %.2f s" % (what, took))
    return result


def check_text_queries(app):
    boxes = 0
    queries = 0
    for window in children(app):
        for node in walk(window):
            if role(node) not in ("text", "entry", "password text"):
                continue
            boxes += 1
            text = node.queryText()
            content = text.getText(0, -1)
            length = len(content)
            for offset in range(-1, length + 2):
                for label, boundary in BOUNDARIES:
                    for kind, call in (("at", text.getTextAtOffset), ("before", text.getTextBeforeOffset),
                                       ("after", text.getTextAfterOffset)):
                        what = "%r %r: %s %s offset %d" % (node.name, content, label, kind, offset)
                        queries += 1
                        got = timed(what, lambda: call(offset, boundary))
                        if got is None:
                            return   # the program no longer answers
                        piece, start, end = got
                        if 0 <= offset <= length and content[start:end] != piece:
                            fail("%s answered %r [%d, %d)" % (what, piece, start, end))
                if 0 <= offset <= length:
                    got = timed("%r attributes at %d" % (node.name, offset), lambda: text.getAttributes(offset))
                    if got is None:
                        return
                    _, start, end = got
                    if (start, end) != (0, length):
                        fail("%r %r: attributes at %d span [%d, %d)" % (node.name, content, offset, start, end))
    print("text boxes: %d, queries: %d" % (boxes, queries), flush=True)
    if boxes < 19:
        fail("only %d text boxes found" % boxes)


def check_lamp_event(app):
    seen = []

    def on_name(event):
        seen.append(event.source.name if event.source is not None else "")

    pyatspi.Registry.registerEventListener(on_name, "object:property-change:accessible-name")
    run_loop(1.0)   # the program learns of the listener
    button = named(app, "push button", "D-On, digital lines in each sampling cycle")
    if button is None:
        fail("no button D-On")
        return
    press(button)
    run_loop(3.0)
    pyatspi.Registry.deregisterEventListener(on_name, "object:property-change:accessible-name")
    wanted = "Digital reading, switched on, sampling stopped"
    if wanted not in seen:
        fail("no name-change event %r; seen %r" % (wanted, seen[:10]))
    else:
        print("lamp event: %r" % wanted, flush=True)


def attach():
    """The program whose process id is the first argument, and its application as AT-SPI shows it (None if never)."""
    pid = int(sys.argv[1])
    pyatspi.setTimeout(int(QUERY_LIMIT_S * 1000), 30000)
    app = find_app(pid)
    if app is None:
        print("FAIL: the program never reached AT-SPI", flush=True)
    return pid, app


def main():
    pid, app = attach()
    if app is None:
        return 1
    main_title = "ZOLT Control Freeware"
    end = time.monotonic() + 20
    while time.monotonic() < end and named(app, "push button", "Exit") is None:
        time.sleep(0.2)

    # Readings in every box: all channels, and the digital lines.
    for caption in ("Channel 6", "D-in, read the digital lines"):
        node = named(app, "push button", caption)
        if node is None:
            fail("no button %r" % caption)
        else:
            press(node)
    run_loop(1.0)
    for item in ("Display", "Analog Voltages"):
        if not choose_menu_item(app, (item,)):
            fail("no menu item %r" % item)
    run_loop(1.5)

    check_windows(app, [main_title, "Display", "Analog Output Voltage Control"])
    check_names(app)
    check_lamps(app)
    check_text_queries(app)
    check_lamp_event(app)

    before = cpu_seconds(pid)
    time.sleep(3.0)
    busy = (cpu_seconds(pid) - before) / 3.0
    print("CPU afterwards: %.0f %%" % (busy * 100), flush=True)
    if busy > 0.2:
        fail("the program is busy afterwards: %.0f %% of a core" % (busy * 100))
    return verdict(app)


def verdict(app):
    """Whether the program still answers, then the count of failures; the exit status."""
    if timed("the application's name", lambda: app.name) is None:
        fail("the program no longer answers")
    print("%d failures" % len(failures), flush=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
