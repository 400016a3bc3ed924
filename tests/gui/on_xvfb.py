#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs a command on a private X server and returns its exit status:

    tests/gui/on_xvfb.py [--screen 1280x1024x24] -- command args...

Xvfb picks a free display itself and names it only once it listens (-displayfd), so two runs at
once cannot take the same display and the command never starts before the server accepts it.
The server does not reset when its last client leaves: the accessibility bus's launcher connects
and leaves as the session starts, and a client connecting during that reset would be refused.
"""
import argparse
import os
import signal
import subprocess
import sys
import tempfile


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--screen", default="1280x1024x24")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        parser.error("no command given")

    log = tempfile.TemporaryFile()
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", args.screen, "-nolisten", "tcp",
         "-noreset"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=log)
    os.close(write_end)
    with os.fdopen(read_end) as reader:
        number = reader.readline().strip()
    if not number:
        server.kill()
        server.wait()
        log.seek(0)
        error = log.read().decode(errors="replace").strip()
        sys.exit(f"Xvfb did not start: {error or 'it named no display'}")
    try:
        env = dict(os.environ, DISPLAY=f":{number}")
        env.pop("XAUTHORITY", None)
        return subprocess.call(command, env=env)
    finally:
        server.send_signal(signal.SIGTERM)
        try:
            server.wait(timeout=10)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()


if __name__ == "__main__":
    sys.exit(main())
