#!/usr/bin/env python3
"""Runs the machine's MQTT tools for a Windows test under Wine.

Started by host-programs.sh, which gives it a token in ZOLT_HOST_RUNNER_TOKEN;
it prints the loopback port it listens on, then answers one JSON request per
connection (tests/support/HostRig.cpp asks), each carrying the token:
  run    argv, cwd, timeout_ms -> finished, exit, out, err (base64)
  start  argv, forward_errors  -> id, pid
  output id                    -> out (standard output since the last call)
  stop   id                    -> exit (SIGTERM, 5 s, then SIGKILL)
Only the broker, its clients and openssl are run. Everything it started ends
with it.
"""
import base64
import json
import os
import signal
import socket
import subprocess
import sys
import threading

ALLOWED = {"mosquitto", "mosquitto_passwd", "mosquitto_pub", "mosquitto_sub", "openssl"}
TOKEN = os.environ.get("ZOLT_HOST_RUNNER_TOKEN", "")
programs = {}  # id -> (Popen, bytearray of output not yet read, lock)


def b64(data):
    return base64.b64encode(data or b"").decode("ascii")


def checked(argv):
    program = argv[0] if argv else ""
    name = os.path.basename(program)
    if name not in ALLOWED or ("/" in program and os.path.dirname(program) not in ("/usr/bin", "/usr/sbin")):
        raise ValueError(f"not one of the programs run here: {program!r}")
    return [str(a) for a in argv]


def collect(process, buffer, lock):
    for chunk in iter(lambda: process.stdout.read1(65536), b""):
        with lock:
            buffer.extend(chunk)


def stop(process):
    process.terminate()
    try:
        process.wait(5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
    return process.returncode


def handle(request):
    if not TOKEN or request.get("token") != TOKEN:
        raise ValueError("wrong token")
    op = request.get("op")
    if op == "run":
        try:
            done = subprocess.run(checked(request["argv"]), cwd=request.get("cwd") or None,
                                  stdin=subprocess.DEVNULL, capture_output=True,
                                  timeout=request.get("timeout_ms", 30000) / 1000)
            return {"finished": True, "exit": done.returncode, "out": b64(done.stdout), "err": b64(done.stderr)}
        except subprocess.TimeoutExpired as timeout:
            return {"finished": False, "out": b64(timeout.stdout), "err": b64(timeout.stderr)}
    if op == "start":
        process = subprocess.Popen(checked(request["argv"]), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=None if request.get("forward_errors") else subprocess.DEVNULL)
        entry = (process, bytearray(), threading.Lock())
        threading.Thread(target=collect, args=entry, daemon=True).start()
        key = max(programs, default=0) + 1
        programs[key] = entry
        return {"id": key, "pid": process.pid}
    if op == "output":
        _, buffer, lock = programs[request["id"]]
        with lock:
            data = bytes(buffer)
            buffer.clear()
        return {"out": b64(data)}
    if op == "stop":
        process, _, _ = programs.pop(request["id"])
        return {"exit": stop(process)}
    raise ValueError(f"unknown request {op!r}")


def main():
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(8)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print(server.getsockname()[1], flush=True)
    try:
        while True:
            connection, _ = server.accept()
            with connection:
                text = b""
                while not text.endswith(b"\n"):
                    chunk = connection.recv(65536)
                    if not chunk:
                        break
                    text += chunk
                try:
                    answer = handle(json.loads(text))
                except Exception as error:  # the test reads the reason
                    answer = {"error": f"{type(error).__name__}: {error}"}
                connection.sendall(json.dumps(answer).encode() + b"\n")
    finally:
        for process, _, _ in programs.values():
            stop(process)


if __name__ == "__main__":
    main()
