#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""bytewardctl when its files cannot be written: every command asked to store something exits 1
with a message saying what was not saved and why, and every stored file keeps what it held.

    write_failures.py BYTEWARDCTL            files limited in size (RLIMIT_FSIZE 0)
    write_failures.py BYTEWARDCTL --tmpfs    a small tmpfs filled up (root only; exit 77 without)
"""
import json
import os
import resource
import shutil
import subprocess
import sys
import tempfile

CTL = sys.argv[1]
TMPFS = "--tmpfs" in sys.argv[2:]
MB = 1024 * 1024
failures = []


def check(name, ok, detail=""):
    if not ok:
        failures.append(f"{name}{': ' + detail if detail else ''}")


class Device:
    def __init__(self, root):
        self.root = root
        self.net = os.path.join(root, "net")
        self.env = dict(os.environ, XDG_DATA_HOME=os.path.join(root, "data"),
                        XDG_CONFIG_HOME=os.path.join(root, "config"),
                        XDG_STATE_HOME=os.path.join(root, "state"), BYTEWARD_NET_ROOT=self.net,
                        TZ="UTC", LC_ALL="C.UTF-8", BYTEWARD_BOOT_TIME="1500000000",
                        BYTEWARD_BOOT_ID="boot-1",
                        DBUS_SESSION_BUS_ADDRESS="unix:path=" + os.path.join(root, "no-bus"))
        self.limit = None

    def counters(self, rx):
        stats = os.path.join(self.net, "wwan0", "statistics")
        os.makedirs(stats, exist_ok=True)
        for name, value in (("rx_bytes", rx), ("tx_bytes", 0)):
            with open(os.path.join(stats, name), "w") as f:
                f.write(f"{value}\n")
        with open(os.path.join(self.net, "wwan0", "uevent"), "w") as f:
            f.write("DEVTYPE=wwan\n")

    def run(self, *args, now="2026-12-08T10:00:00Z"):
        limit = self.limit

        def limited():
            if limit is not None:
                resource.setrlimit(resource.RLIMIT_FSIZE, (limit, resource.RLIM_INFINITY))

        return subprocess.run([CTL, *args], env=dict(self.env, BYTEWARD_NOW=now),
                              capture_output=True, text=True, preexec_fn=limited)

    def ok(self, *args, **kw):
        done = self.run(*args, **kw)
        if done.returncode != 0:
            raise AssertionError(f"{args}: exit {done.returncode}: {done.stderr}")
        return done.stdout

    def stored(self):
        """Every file Byteward keeps, with its bytes."""
        files = {}
        for folder in ("data", "config", "state"):
            top = os.path.join(self.root, folder)
            for where, _, names in os.walk(top):
                for name in names:
                    path = os.path.join(where, name)
                    if name.startswith(".") or name.endswith(".log"):
                        continue  # the lock, and the delivery log that only ever grows
                    with open(path, "rb") as f:
                        files[os.path.relpath(path, self.root)] = f.read()
        return files


def scenario(device, reason, make_unwritable, make_writable):
    device.ok("defaults", "write", "cellularDataLimit", "-int", "100")
    device.ok("defaults", "write", "firstDayOfCycle", "-int", "1")
    device.counters(0)
    device.ok("update", now="2026-12-08T10:00:00Z")
    device.counters(30 * MB)
    device.ok("update", now="2026-12-08T11:00:00Z")
    device.counters(31 * MB)
    before = device.stored()

    make_unwritable()
    commands = [
        ("update", ["update"], "the cellular usage was not updated"),
        ("adjust", ["adjust", "cellular", "5"], "the adjusted cellular usage was not saved"),
        ("reset", ["reset", "cellular"], "the cellular usage was not reset"),
        ("defaults write", ["defaults", "write", "cellularDataLimit", "-int", "200"],
         '"cellularDataLimit" was not saved'),
        ("counters add", ["counters", "add", "Trip"], "the custom counter was not saved"),
    ]
    for name, args, what in commands:
        done = device.run(*args, now="2026-12-09T09:00:00Z")  # a new day: a daily log too
        check(f"{name}: exit status", done.returncode == 1, f"{done.returncode} {done.stderr!r}")
        check(f"{name}: says what", what in done.stderr, done.stderr)
        check(f"{name}: says why", reason in done.stderr, done.stderr)
        after = device.stored()
        for path in sorted(set(before) | set(after)):
            check(f"{name}: {path} as it was", before.get(path) == after.get(path))

    make_writable()
    device.ok("reset", "cellular", now="2026-12-09T09:00:00Z")
    logs = json.loads(device.ok("history", "--json"))
    check("after the disk was freed: the reset's log",
          [l["dataTotal"] for l in logs if l["historyType"] == 1] == [30 * MB], str(logs))


def by_file_size_limit():
    root = tempfile.mkdtemp(prefix="byteward-fsize-")
    try:
        device = Device(root)

        def unwritable():
            device.limit = 0

        def writable():
            device.limit = None

        scenario(device, "File too large", unwritable, writable)
    finally:
        shutil.rmtree(root, ignore_errors=True)


def by_full_tmpfs():
    if os.geteuid() != 0:
        print("not root: cannot mount a tmpfs")
        sys.exit(77)
    root = tempfile.mkdtemp(prefix="byteward-tmpfs-")
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=512k", "tmpfs", root],
                             capture_output=True, text=True)
    if mounted.returncode != 0:
        os.rmdir(root)
        print("cannot mount a tmpfs here:", mounted.stderr.strip())
        sys.exit(77)
    filler = os.path.join(root, "filler")
    try:
        device = Device(root)

        def fill():
            fd = os.open(filler, os.O_WRONLY | os.O_CREAT, 0o600)
            try:
                while os.write(fd, b"\0" * 4096) > 0:
                    pass
            except OSError:
                pass  # full
            finally:
                os.close(fd)

        def free():
            os.remove(filler)

        scenario(device, "No space left on device", fill, free)
    finally:
        subprocess.run(["umount", root])
        os.rmdir(root)


by_full_tmpfs() if TMPFS else by_file_size_limit()
for failure in failures:
    print("FAIL", failure)
sys.exit(1 if failures else 0)
