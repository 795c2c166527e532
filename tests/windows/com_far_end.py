#!/usr/bin/env python3
"""The far end of a COM port under Wine: a pseudo-terminal made here.
   com_far_end.py LINK STATE_DIR
LINK (WINEPREFIX/dosdevices/comN) becomes a link to the pty's slave, the side
the Windows program opens. Everything the program writes is appended to
STATE_DIR/received; after each arrival STATE_DIR/lines holds the slave's line
settings as the program set them, as far as a pty keeps them ("baud stop-bits
odd-or-not", e.g. "9600 1 -", "1200 2 odd").
The bytes CLOSE! make this end close and leave. Nothing else is linked, and
only a pty made here. Ends after ZOLT_FAR_END_SECONDS (default 120)."""
import fcntl, os, select, signal, sys, termios, time, tty

link, state = sys.argv[1], sys.argv[2]
# The slave is this process's controlling terminal, in a session of its own:
# otherwise the wineserver (a session leader that opens devices without
# O_NOCTTY) takes it, and is hung up when this end closes.
signal.signal(signal.SIGHUP, signal.SIG_IGN)
os.setsid()
master, slave = os.openpty()
fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
tty.setraw(slave)
speeds = {getattr(termios, n): int(n[1:]) for n in dir(termios) if n.startswith("B") and n[1:].isdigit()}


def lines():
    # On the master: the slave's settings. Linux keeps a pty at 8 data bits
    # without parity whatever is asked (it clears PARENB and sets CS8), so
    # what a pty shows of a frame is the rate, the stop bits, and PARODD.
    attrs = termios.tcgetattr(master)
    cflag = attrs[2]
    parity = "odd" if cflag & termios.PARODD else "-"
    return f"{speeds.get(attrs[5], attrs[5])} {2 if cflag & termios.CSTOPB else 1} {parity}"


def put(name, text):
    # Written whole, then renamed: a reader never sees half a file.
    with open(f"{state}/{name}.new", "w") as f:
        f.write(text)
    os.replace(f"{state}/{name}.new", f"{state}/{name}")


open(f"{state}/received", "wb").close()
put("lines", lines() + "\n")
if os.path.lexists(link):
    os.unlink(link)
os.symlink(os.ttyname(slave), link)
tail = b""
deadline = time.monotonic() + float(os.environ.get("ZOLT_FAR_END_SECONDS", "120"))
while time.monotonic() < deadline:
    ready, _, _ = select.select([master], [], [], 0.2)
    if not ready:
        continue
    data = os.read(master, 4096)
    # The settings first: a reader who sees the bytes sees the settings
    # they came with.
    put("lines", lines() + "\n")
    with open(f"{state}/received", "ab") as f:
        f.write(data)
    tail = (tail + data)[-6:]
    if tail == b"CLOSE!":
        break
os.close(master)
os.unlink(link)
put("closed", "")
