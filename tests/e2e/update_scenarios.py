#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Whole-program scenarios: bytewardctl update, status, history, counters and notifications
driven through a fake statistics tree, a fixed clock and private XDG directories."""
import atexit
import json
import os
import shutil
import subprocess
import sys
import tempfile

CTL = sys.argv[1]
MB = 1024 * 1024
work = tempfile.mkdtemp(prefix="byteward-scenario-")
atexit.register(shutil.rmtree, work, ignore_errors=True)
net = os.path.join(work, "net")
env = dict(os.environ,
           XDG_DATA_HOME=os.path.join(work, "data"), XDG_CONFIG_HOME=os.path.join(work, "config"),
           XDG_STATE_HOME=os.path.join(work, "state"), BYTEWARD_NET_ROOT=net, TZ="UTC", LC_ALL="C.UTF-8",
           BYTEWARD_BOOT_TIME="1796720400", BYTEWARD_BOOT_ID="boot-1",
           DBUS_SESSION_BUS_ADDRESS="unix:path=" + os.path.join(work, "no-bus"))
failures = []


def ctl(*args, now=None, expect=0):
    run_env = dict(env, **({"BYTEWARD_NOW": now} if now else {}))
    done = subprocess.run([CTL, *args], env=run_env, capture_output=True, text=True)
    if done.returncode != expect:
        raise AssertionError(f"{args}: exit {done.returncode}: {done.stderr}")
    return done.stdout


def jctl(*args, now=None):
    return json.loads(ctl(*args, "--json", now=now))


def counters(rx, tx, name="wwan0", devtype="wwan"):
    stats = os.path.join(net, name, "statistics")
    os.makedirs(stats, exist_ok=True)
    for file, value in (("rx_bytes", rx), ("tx_bytes", tx)):
        with open(os.path.join(stats, file), "w") as f:
            f.write(f"{int(value)}\n")
    with open(os.path.join(net, name, "uevent"), "w") as f:
        f.write(f"DEVTYPE={devtype}\n")


def check(name, got, want):
    if got != want:
        failures.append(f"{name}: expected {want!r}, got {got!r}")


def update(now, rx, tx):
    counters(rx, tx)
    ctl("update", now=now)
    return jctl("record", "cellular")


# A plan of 10 MB on the 1st of each month, figures in MB, badge shows what is left.
ctl("defaults", "write", "cellularDataLimit", "-int", "10")
ctl("defaults", "write", "appBadgeSetting", "-string", "CELL_REM_PERCENT")
counters(0, 0, "wlan0", "wlan")

# Increments as (name, time, rx, tx, boot id, expected increment total, sent, received).
steps = [
    ("first run", "2026-12-30T10:00:00Z", 3 * MB, 2 * MB, "boot-1", 0, 0, 0),
    ("ordinary", "2026-12-30T10:10:00Z", 3 * MB + 1000, 2 * MB + 500, "boot-1", 1500, 500, 1000),
    ("reboot", "2026-12-30T11:00:00Z", 100, 50, "boot-2", 150, 50, 100),
    ("clock stepped, same boot", "2026-12-30T11:10:00Z", 400, 150, "boot-2", 400, 100, 300),
    ("counters went down", "2026-12-30T11:20:00Z", 10, 5, "boot-2", 15, 5, 10),
]
all_time = 5 * MB
for name, now, rx, tx, boot, total, sent, received in steps:
    env["BYTEWARD_BOOT_ID"] = boot
    if name == "clock stepped, same boot":
        env["BYTEWARD_BOOT_TIME"] = "1796730000"  # the boot instant moved past the last update
    record = update(now, rx, tx)
    all_time += total
    check(name + ": since last run", (record["dataSinceLastRun"], record["dataSinceLastRunSent"],
                                      record["dataSinceLastRunRecd"]), (total, sent, received))
    check(name + ": all time", record["dataAllTime"], all_time)
check("today after a day of updates", record["dataToday"], 1500 + 150 + 400 + 15)

# The first update of a new day closes the old one; the first of a new month closes the period.
record = update("2026-12-31T09:00:00Z", 1010, 5)
check("new day: today", record["dataToday"], -1)
daily = jctl("history", "--daily", "cellular", "--from", "2026-12-29", "--to", "2026-12-31")
check("daily logs", [(d["startDate"], d["endDate"], d["dataTotal"]) for d in daily],
      [("2026-12-30T11:20:00+00:00", "2026-12-30T00:00:00+00:00", 2065)])

record = update("2027-01-01T00:05:00Z", 1010 + 2 * MB, 5)
cycles = jctl("history", "--cycles")
check("billing-cycle logs", [(c["startDate"], c["endDate"], c["dataTotal"], c["dataType"]) for c in cycles],
      [("2026-12-01T00:00:00+00:00", "2026-12-31T00:00:00+00:00", 1500 + 150 + 400 + 15 + 1000, 1),
       ("2026-12-01T00:00:00+00:00", "2026-12-31T00:00:00+00:00", 0, 2)])
check("period after rollover", record["dataThisMonth"], 0)
update("2027-01-01T00:06:00Z", 1010 + 2 * MB, 5)  # nothing moved: no second log
check("one rollover, one log", len(jctl("history", "--cycles")), 2)

# Milestones: each at most once per cycle, the most severe one reached.
milestones = [("2027-01-05T12:00:00Z", 6 * MB, ["Cellular usage exceeded 60.0%"]),
              ("2027-01-05T12:10:00Z", 6.2 * MB, []),
              ("2027-01-06T12:00:00Z", 10.5 * MB, ["Cellular usage exceeded 105.0%"]),
              ("2027-01-06T12:10:00Z", 11 * MB, [])]
rx = 1010 + 2 * MB
seen = set()
for now, used, expected in milestones:
    update(now, rx + used, 5)
    bodies = [d["notification"]["alertBody"] for d in jctl("notifications")["delivered"]]
    new = [b for b in bodies if "usage exceeded" in b and b not in seen]
    seen.update(bodies)
    check(f"milestones at {used / MB:.1f} MB", new, expected)
bodies = [d["notification"]["alertBody"] for d in jctl("notifications")["delivered"]]
check("new-cycle announcements", [b for b in bodies if "reset automatically" in b],
      ["Cellular plan data usage was reset automatically due to start of new billing cycle."])
check("delivered without a notification server", {d["shown"] for d in jctl("notifications")["delivered"]}, {False})

# What the dashboard shows at the last sample: 11 MB of 10, 5.5 days into a 31-day cycle.
status = jctl("status", "cellular", "--no-update", now="2027-01-06T12:10:00Z")
check("status: used", status["lblMonthlyUsage"], "11.00")
check("status: available", status["lblAvailable"], "OF 10.0 MB USED")
check("status: state", status["lblIdealActualDiff"], "OVERAGE")
check("status: remaining", status["lblRemainingUsage"], "0")
check("status: quota", status["lblQuotaOverDate"], "QUOTA OVER")
check("status: bar", (status["visualView"]["usageText"], status["visualView"]["colour"]), ("110.0%", "R"))
check("status: badge", round(status["appBadgeNumber"], 3), -10.0)
check("status: rows", [r["title"] for r in status["detailRows"]][:3], ["IDEAL USAGE", "USAGE STATUS", "USED TODAY"])
check("status: place", status["lblPlaceUsed"], "--")

# Custom counters take cellular traffic only while they track it and are not paused.
counter_id = ctl("counters", "add", "Roaming", "--cellular", now="2027-01-06T12:20:00Z").strip()
update("2027-01-06T12:30:00Z", rx + 11 * MB + 4000, 5)
ctl("counters", "pause", counter_id)
update("2027-01-06T12:40:00Z", rx + 11 * MB + 9000, 5)
listed = {c["uniqueId"]: c for c in jctl("counters")}
check("counter gained", (listed[counter_id]["cellularDataTotal"], listed[counter_id]["wifiDataTotal"]), (4000, 0))
check("sample counter", [c["name"] for c in listed.values()], ["Sample Counter", "Roaming"])

# Garbage in a setting and a broken record never stop an update.
with open(os.path.join(work, "data", "byteward", "app_data_wifi.plist"), "w") as f:
    f.write("<plist><dict><key>dataAllTime")
ctl("update", now="2027-01-06T12:50:00Z")
check("broken record kept aside",
      any(n.startswith("app_data_wifi.plist.unreadable-") for n in os.listdir(os.path.join(work, "data", "byteward"))),
      True)

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("update scenarios passed")
