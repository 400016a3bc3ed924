#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Clock and zone anomalies under `bytewardctl update`: daylight-saving changes forward and back
in several zones (some at midnight), a zone change between two updates, and the clock stepped
back a day. Every update moves 1000 bytes. Whatever the clock does: no negative amount, every
byte in the all-time total once, one daily log and one billing-cycle log (daily plan) per local
day passed, none twice, none skipped."""
import datetime as dt
import json
import os
import shutil
import subprocess
import sys
import tempfile
import zoneinfo

CTL = sys.argv[1]
failures = []


def check(name, got, want):
    if got != want:
        failures.append(f"{name}: expected {want!r}, got {got!r}")


class Device:
    """Private XDG directories, a fake counter tree and a daily plan."""

    def __init__(self, zone):
        self.work = tempfile.mkdtemp(prefix="byteward-time-")
        self.net = os.path.join(self.work, "net")
        self.zone = zone
        self.env = dict(os.environ, XDG_DATA_HOME=os.path.join(self.work, "data"),
                        XDG_CONFIG_HOME=os.path.join(self.work, "config"),
                        XDG_STATE_HOME=os.path.join(self.work, "state"), BYTEWARD_NET_ROOT=self.net,
                        LC_ALL="C.UTF-8", BYTEWARD_BOOT_TIME="1700000000", BYTEWARD_BOOT_ID="boot-1",
                        DBUS_SESSION_BUS_ADDRESS="unix:path=" + os.path.join(self.work, "no-bus"))
        self.rx = 0
        self.updates = 0
        self.ctl("defaults", "write", "cellularDataLimit", "-int", "10")
        self.ctl("defaults", "write", "firstDayOfCycle", "-int", "1001")  # a daily plan

    def ctl(self, *args, now=None):
        env = dict(self.env, TZ=self.zone, **({"BYTEWARD_NOW": now} if now else {}))
        done = subprocess.run([CTL, *args], env=env, capture_output=True, text=True)
        if done.returncode != 0:
            raise AssertionError(f"{args} at {now} in {self.zone}: exit {done.returncode}: {done.stderr}")
        return done.stdout

    def update(self, when, label):
        """One update at `when` (an aware datetime) after 1000 more bytes."""
        if self.updates > 0:
            self.rx += 1000
        stats = os.path.join(self.net, "wwan0", "statistics")
        os.makedirs(stats, exist_ok=True)
        for name, value in (("rx_bytes", self.rx), ("tx_bytes", 0)):
            with open(os.path.join(stats, name), "w") as f:
                f.write(f"{value}\n")
        with open(os.path.join(self.net, "wwan0", "uevent"), "w") as f:
            f.write("DEVTYPE=wwan\n")
        self.ctl("update", now=when.astimezone(dt.timezone.utc).isoformat())
        self.updates += 1
        record = json.loads(self.ctl("record", "cellular", "--json"))
        for key in ("dataThisMonth", "dataSinceLastRun", "dataAllTime", "dataSinceLastBoot"):
            if record.get(key, 0) < 0:
                failures.append(f"{label}: {key} is {record[key]} at {when.isoformat()}")
        if record.get("dataToday", -1) < -1:
            failures.append(f"{label}: dataToday is {record['dataToday']} at {when.isoformat()}")
        return record

    def logs(self, history_type):
        logs = json.loads(self.ctl("history", "--json"))
        return [l for l in logs if l["historyType"] == history_type and l["dataType"] == 1]

    def close(self):
        shutil.rmtree(self.work, ignore_errors=True)


def closed_day(log, history_type):
    """The local day a log closes: a daily log starts at that day's last update (its end date is
    that day, or the next one across a month end); a daily-plan period starts at its midnight."""
    return log["startDate"][:10]


def run(label, zone, instants, days_passed):
    """Updates at `instants`; `days_passed` local days closed on the way."""
    device = Device(zone)
    try:
        for when in instants:
            record = device.update(when, label)
        check(f"{label}: all time", record["dataAllTime"], 1000 * (len(instants) - 1))
        for name, history_type in (("daily logs", 2), ("billing-cycle logs", 1)):
            logs = device.logs(history_type)
            days = [closed_day(l, history_type) for l in logs]
            check(f"{label}: {name}", len(logs), days_passed)
            check(f"{label}: {name} without repeats", len(set(days)), len(days))
    finally:
        device.close()


def hourly(zone, start_local, hours, step=dt.timedelta(hours=1)):
    """Updates every `step` in real time from a local wall time, across whatever the zone does."""
    start = dt.datetime.fromisoformat(start_local).replace(tzinfo=zoneinfo.ZoneInfo(zone))
    first = start.astimezone(dt.timezone.utc)
    return [(first + i * step).astimezone(zoneinfo.ZoneInfo(zone)) for i in range(int(hours * dt.timedelta(hours=1) / step) + 1)]


def local_days(instants):
    """Local dates passed between the first and the last instant."""
    dates = [i.date() for i in instants]
    return (dates[-1] - dates[0]).days


# Daylight-saving changes, forward and back: 18:00 local the day before to 06:00 the day after.
# Havana, Santiago and Beirut change at midnight, so a local day starts at 01:00 or midnight comes
# twice; Lord Howe moves by half an hour.
changes = [
    ("Europe/Berlin", "2027-03-27T18:00", "2026-10-24T18:00"),
    ("America/New_York", "2027-03-13T18:00", "2026-10-31T18:00"),
    ("America/Havana", "2027-03-13T18:00", "2026-10-31T18:00"),
    ("America/Santiago", "2026-09-05T18:00", "2027-04-03T18:00"),
    ("Asia/Beirut", "2027-03-27T18:00", "2026-10-24T18:00"),
    ("Australia/Lord_Howe", "2026-10-03T18:00", "2027-04-03T18:00"),
]
for zone, forward, back in changes:
    for direction, start in (("forward", forward), ("back", back)):
        # Half-hourly where the change is half an hour.
        steps = [dt.timedelta(minutes=30)] if zone == "Australia/Lord_Howe" else [dt.timedelta(hours=1)]
        for step in steps:
            instants = hourly(zone, start, 36, step)
            run(f"{zone} {direction} every {step}", zone, instants, local_days(instants))

# The zone changes between two updates: Tokyo to Los Angeles puts the local date back by a day.
tokyo, la = zoneinfo.ZoneInfo("Asia/Tokyo"), zoneinfo.ZoneInfo("America/Los_Angeles")
device = Device("Asia/Tokyo")
try:
    for when in ["2027-01-10T20:00", "2027-01-10T23:30", "2027-01-11T00:30", "2027-01-11T08:00"]:
        device.update(dt.datetime.fromisoformat(when).replace(tzinfo=tokyo), "zone change")
    device.zone = "America/Los_Angeles"  # 2027-01-10 15:00 there, a day the logs already closed
    last = dt.datetime.fromisoformat("2027-01-11T08:00").replace(tzinfo=tokyo)
    for hours in (1, 4, 10, 14, 30):
        record = device.update((last + dt.timedelta(hours=hours)).astimezone(la), "zone change")
    check("zone change: all time", record["dataAllTime"], 8000)
    for name, history_type in (("daily logs", 2), ("billing-cycle logs", 1)):
        logs = device.logs(history_type)
        starts = [l["startDate"] for l in logs]
        check(f"zone change: {name} without repeats", len(set(starts)), len(starts))
        check(f"zone change: {name} hold no byte twice", sum(l["dataTotal"] for l in logs) <= 8000, True)
finally:
    device.close()

# The clock is stepped back a day and then runs on; the same boot throughout.
utc = dt.timezone.utc
device = Device("UTC")
try:
    times = ["2027-02-10T12:00", "2027-02-10T23:00", "2027-02-11T01:00", "2027-02-10T01:30",
             "2027-02-10T13:00", "2027-02-11T02:00", "2027-02-11T12:00", "2027-02-12T00:30"]
    for when in times:
        record = device.update(dt.datetime.fromisoformat(when).replace(tzinfo=utc), "clock back")
    check("clock back: all time", record["dataAllTime"], 7000)
    for name, history_type in (("daily logs", 2), ("billing-cycle logs", 1)):
        logs = device.logs(history_type)
        check(f"clock back: {name} hold no byte twice", sum(l["dataTotal"] for l in logs) <= 7000, True)
        starts = [l["startDate"] for l in logs]
        check(f"clock back: {name} without repeats", len(set(starts)), len(starts))
finally:
    device.close()

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("time scenarios passed")
