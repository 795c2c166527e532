#!/usr/bin/python3
"""The loop a user would write instead of ZOLTrc: read channels 0 to TOP (and the
digital lines), pause 1 ms, repeat until stopped.

    zolt_script.py DEVICE BAUD TOP [digital]
"""
import signal
import sys
import time

import serial


def main():
    device, baud, top = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    digital = len(sys.argv) > 4 and sys.argv[4] == "digital"
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    port = serial.Serial(device, baud, timeout=1)
    analog = b"!0RA" + bytes([top])
    while True:
        port.write(analog)
        port.read(2 * (top + 1))
        if digital:
            port.write(b"!0RD")
            port.read(1)
        time.sleep(0.001)


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        pass
