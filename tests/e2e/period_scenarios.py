#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Billing periods seen through bytewardctl after time has passed without an update: what
`status --no-update` and `widget` show once a period has ended, and what the next `update` writes
after an absence of one period or many, on each kind of plan."""
import json
import os
import shutil
import subprocess
import sys
import tempfile

CTL = sys.argv[1]
MB = 1024 * 1024
failures = []


def check(name, got, want):
    if got != want:
        failures.append(f"{name}: expected {want!r}, got {got!r}")


class Device:
    """Private XDG directories, a fake counter tree and a 100 MB plan."""

    def __init__(self, plan):
        self.work = tempfile.mkdtemp(prefix="byteward-period-")
        self.net = os.path.join(self.work, "net")
        self.env = dict(os.environ, XDG_DATA_HOME=os.path.join(self.work, "data"),
                        XDG_CONFIG_HOME=os.path.join(self.work, "config"),
                        XDG_STATE_HOME=os.path.join(self.work, "state"), BYTEWARD_NET_ROOT=self.net,
                        TZ="UTC", LC_ALL="C.UTF-8", BYTEWARD_BOOT_TIME="1500000000",
                        BYTEWARD_BOOT_ID="boot-1",
                        DBUS_SESSION_BUS_ADDRESS="unix:path=" + os.path.join(self.work, "no-bus"))
        self.rx = 0
        self.ctl("defaults", "write", "cellularDataLimit", "-int", "100")
        for key, kind, value in plan:
            self.ctl("defaults", "write", key, kind, value)

    def ctl(self, *args, now=None):
        env = dict(self.env, **({"BYTEWARD_NOW": now} if now else {}))
        done = subprocess.run([CTL, *args], env=env, capture_output=True, text=True)
        if done.returncode != 0:
            raise AssertionError(f"{args} at {now}: exit {done.returncode}: {done.stderr}")
        return done.stdout

    def update(self, now, mb=0):
        self.rx += int(mb * MB)
        stats = os.path.join(self.net, "wwan0", "statistics")
        os.makedirs(stats, exist_ok=True)
        for name, value in (("rx_bytes", self.rx), ("tx_bytes", 0)):
            with open(os.path.join(stats, name), "w") as f:
                f.write(f"{value}\n")
        with open(os.path.join(self.net, "wwan0", "uevent"), "w") as f:
            f.write("DEVTYPE=wwan\n")
        self.ctl("update", now=now)
        return json.loads(self.ctl("record", "cellular", "--json"))

    def periods(self):
        logs = json.loads(self.ctl("history", "--json"))
        return [l for l in logs if l["historyType"] == 1 and l["dataType"] == 1]

    def close(self):
        shutil.rmtree(self.work, ignore_errors=True)


# A display after the period ended shows the new period from zero, and writes nothing: the next
# update closes March with its 101 MB.
device = Device([("firstDayOfCycle", "-int", "15")])
try:
    device.update("2024-03-16T09:00:00Z")
    device.update("2024-03-16T10:00:00Z", 101)
    shown = json.loads(device.ctl("status", "cellular", "--no-update", "--json",
                                  now="2024-04-15T12:00:00Z"))
    check("period shown", shown["lblCurrentPeriod"], "4/15/24 - 5/14/24")
    check("usage shown", shown["lblMonthlyUsage"], "0.00")
    check("status shown", shown["lblIdealActualDiff"], "SAFE")
    check("quota over shown", shown["lblQuotaOverDate"], "NO")
    widget = json.loads(device.ctl("widget", "--json", now="2024-04-15T12:00:00Z"))
    check("widget usage", widget.get("lblMonthlyUsage"), "0.00")
    check("logs after displays", device.periods(), [])
    record = device.update("2024-04-15T13:00:00Z", 1)
    check("period after the update", record["dataThisMonth"], 0)
    logs = device.periods()
    check("logs after the update", [(l["startDate"][:10], l["endDate"][:10], l["dataTotal"])
                                     for l in logs], [("2024-03-15", "2024-04-14", 101 * MB)])
finally:
    device.close()

# An absence of many periods: one log for the period of the last update, with its usage, and the
# period holding now.
plans = [
    ("monthly on the 31st", [("firstDayOfCycle", "-int", "31")], "2026-01-20T12:00:00Z",
     "2026-03-02T08:00:00Z", ("2025-12-31", "2026-01-30"), ("3/1/26", "3/30/26")),
    ("weekly on Monday", [("firstDayOfCycle", "-int", "102")], "2026-12-09T12:00:00Z",
     "2027-03-10T12:00:00Z", ("2026-12-07", "2026-12-13"), ("3/8/27", "3/14/27")),
    ("daily", [("firstDayOfCycle", "-int", "1001")], "2026-12-09T12:00:00Z",
     "2026-12-22T12:00:00Z", ("2026-12-09", "2026-12-09"), ("12/22/26", "12/22/26")),
    ("ten days from 5 January",
     [("firstDayOfCycle", "-int", "9999"), ("ResetDays", "-int", "10"),
      ("CustomStartDate", "-date", "2026-01-05T00:00:00Z")],
     "2026-01-08T12:00:00Z", "2026-02-10T12:00:00Z", ("2026-01-05", "2026-01-14"),
     ("2/4/26", "2/13/26")),
]
for name, plan, last_update, now, closed, current in plans:
    device = Device(plan)
    try:
        device.update(last_update)
        device.update(last_update.replace("12:00", "13:00"), 30)
        record = device.update(now, 5)
        check(f"{name}: usage after the absence", record["dataThisMonth"], 0)
        logs = device.periods()
        check(f"{name}: logs", [(l["startDate"][:10], l["endDate"][:10], l["dataTotal"])
                                for l in logs], [(*closed, 30 * MB)])
        shown = json.loads(device.ctl("status", "cellular", "--no-update", "--json", now=now))
        check(f"{name}: period", shown["lblCurrentPeriod"], " - ".join(current))
        device.update(now.replace("T", "T").replace(":00:00Z", ":30:00Z"), 2)
        check(f"{name}: logs after the next update", len(device.periods()), 1)
    finally:
        device.close()

for failure in failures:
    print("FAIL", failure)
sys.exit(1 if failures else 0)
