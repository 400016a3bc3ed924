#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Byteward against the kernel's own byte counters.

Two network namespaces made here are joined by veth pairs named like a modem (wwan0, wwan1)
and a Wi-Fi card (wlan0) on the device side. Raw frames with a local experimental EtherType
cross the pairs in both directions and never leave them. Between bursts bytewardctl runs
update cycles inside the device namespace while the scenario deletes and re-creates
interfaces, simulates a reboot, jumps days ahead and steps the clock forward and back.

The truth is the kernel's counters, read by this script at every update: an interface's bytes
count from one update to the next, from zero for an interface made since the last update, and
bytes an interface counted after the last update and before it was deleted are out of sight.
Byteward's all-time, period, today and custom-counter figures must equal that truth exactly.

  kernel_accounting.py BYTEWARDCTL [--vnstat] [--report FILE]

--vnstat also runs Debian's vnstatd in the device namespace with a private database and
records its figures beside the kernel's (a comparison, never a failure). Needs root; exits 77
without network namespaces.
"""
import argparse
import datetime as dt
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

parser = argparse.ArgumentParser()
parser.add_argument("ctl")
parser.add_argument("--vnstat", action="store_true", help="run vnstatd beside Byteward")
parser.add_argument("--report", help="write the figures as Markdown to this file")
args = parser.parse_args()

if os.geteuid() != 0 or not shutil.which("ip"):
    print("skipped: needs root and ip")
    sys.exit(77)

DEV, NET = f"bwk-dev-{os.getpid()}", f"bwk-net-{os.getpid()}"
CELLULAR, WIFI = ("wwan0", "wwan1"), ("wlan0",)
PEER = {"wwan0": "cell0-peer", "wwan1": "cell1-peer", "wlan0": "wifi0-peer"}
work = tempfile.mkdtemp(prefix="bwk-accounting-")
vnstatd = None


def run(*cmd, check=True, **kw):
    return subprocess.run(cmd, check=check, capture_output=True, text=True, **kw)


def cleanup():
    if vnstatd and vnstatd.poll() is None:
        vnstatd.kill()
    for ns in (DEV, NET):
        run("ip", "netns", "del", ns, check=False)
    shutil.rmtree(work, ignore_errors=True)


def in_ns(ns, *cmd, env=None):
    return run("ip", "netns", "exec", ns, *cmd, env=env)


try:
    for ns in (DEV, NET):
        run("ip", "netns", "add", ns)
        # No IPv6 autoconfiguration chatter: only the scenario's frames cross the links.
        in_ns(ns, "sysctl", "-qw", "net.ipv6.conf.all.disable_ipv6=1",
              "net.ipv6.conf.default.disable_ipv6=1")
except subprocess.CalledProcessError as e:
    cleanup()
    print(f"skipped: cannot make network namespaces: {e.stderr.strip()}")
    sys.exit(77)

# ------------------------------------------------------------------ the kernel side

SENDER = r"""
import socket, sys
name, count, length = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW)
s.bind((name, 0))
frame = b"\xff" * 6 + b"\x02\x00\x00\x00\x00\x01" + b"\x88\xb5" + bytes(length - 14)
for _ in range(count):
    assert s.send(frame) == length
"""
generated = {"sent": 0, "received": 0}  # frames this script put on the device's links


def create(name):
    run("ip", "link", "add", name, "netns", DEV, "type", "veth", "peer", "name", PEER[name],
        "netns", NET)
    in_ns(DEV, "ip", "link", "set", name, "up")
    in_ns(NET, "ip", "link", "set", PEER[name], "up")


def delete(name):
    in_ns(DEV, "ip", "link", "del", name)


def send(name, count, length):
    """The device sends `count` frames of `length` bytes on `name`."""
    in_ns(DEV, sys.executable, "-c", SENDER, name, str(count), str(length))
    generated["sent"] += count * length


def receive(name, count, length):
    """The far end sends, so the device's `name` receives."""
    in_ns(NET, sys.executable, "-c", SENDER, PEER[name], str(count), str(length))
    generated["received"] += count * length


def kernel_counters():
    """{name: (ifindex, rx_bytes, tx_bytes)} of the device's scenario interfaces, as the kernel
    counts them in the device namespace."""
    script = ("import sys\nfor n in sys.argv[1:]:\n try:\n"
              "  r=lambda f: open(f'/sys/class/net/{n}/'+f).read().strip()\n"
              "  print(n, r('ifindex'), r('statistics/rx_bytes'), r('statistics/tx_bytes'))\n"
              " except OSError: pass\n")
    out = in_ns(DEV, sys.executable, "-c", script, *CELLULAR, *WIFI).stdout
    return {n: (int(i), int(rx), int(tx)) for n, i, rx, tx in (l.split() for l in out.splitlines())}


# ------------------------------------------------------------------ the truth

class Truth:
    """What Byteward could see: per interface instance, the bytes between consecutive updates."""

    def __init__(self):
        self.last = {}  # name -> (ifindex, rx, tx) at the previous update
        self.invisible = 0  # bytes the kernel counted that no update could see
        self.spans = {t: {"alltime": [0, 0], "period": [0, 0], "today": [0, 0], "counter": [0, 0]}
                      for t in ("cellular", "wifi")}
        self.first = True

    def at_update(self, now_day, day_changed, counter_exists):
        current = kernel_counters()
        for name, prev in self.last.items():
            if name not in current or current[name][0] != prev[0]:
                pass  # deleted since: what it counted after the last update is out of sight
        increments = {"cellular": [0, 0], "wifi": [0, 0]}
        for name, (index, rx, tx) in current.items():
            prev = self.last.get(name)
            if prev and prev[0] == index and not self.rebooted:
                drx, dtx = rx - prev[1], tx - prev[2]
            else:
                drx, dtx = rx, tx
            kind = "cellular" if name in CELLULAR else "wifi"
            increments[kind][0] += dtx
            increments[kind][1] += drx
        self.last = current
        self.rebooted = False
        for kind, (sent, recd) in increments.items():
            spans = self.spans[kind]
            add(spans["alltime"], sent, recd)
            if self.first:
                continue  # the first update starts the period, the day and the counters at 0
            add(spans["period"], sent, recd)
            if day_changed:
                spans["today"] = [0, 0]  # the update that closes a day belongs to neither day
            else:
                add(spans["today"], sent, recd)
            if counter_exists:
                add(spans["counter"], sent, recd)
        self.first = False

    rebooted = False


def add(pair, sent, recd):
    pair[0] += sent
    pair[1] += recd


# ------------------------------------------------------------------ Byteward

env = dict(os.environ, XDG_DATA_HOME=f"{work}/data", XDG_CONFIG_HOME=f"{work}/config",
           XDG_STATE_HOME=f"{work}/state", TZ="UTC", LC_ALL="C.UTF-8",
           DBUS_SESSION_BUS_ADDRESS=f"unix:path={work}/no-bus")
env.pop("BYTEWARD_NET_ROOT", None)
start = dt.datetime(2026, 12, 8, 9, 0, tzinfo=dt.timezone.utc)
clock = {"now": start, "boot_id": "bwk-boot-1", "boot_time": int(start.timestamp()) - 3600}


def ctl(*argv):
    e = dict(env, BYTEWARD_NOW=clock["now"].strftime("%Y-%m-%dT%H:%M:%SZ"),
             BYTEWARD_BOOT_ID=clock["boot_id"], BYTEWARD_BOOT_TIME=str(clock["boot_time"]))
    done = subprocess.run(["ip", "netns", "exec", DEV, args.ctl, *argv], env=e,
                          capture_output=True, text=True)
    if done.returncode != 0:
        raise SystemExit(f"FAIL: bytewardctl {' '.join(argv)}: exit {done.returncode}: "
                         f"{done.stderr}")
    return done.stdout


truth = Truth()
counter_id = None
last_day = None
steps = []


def update(label):
    global last_day
    day = clock["now"].date()
    # The first update of a new day closes the previous one.
    truth.at_update(day, last_day is not None and day != last_day, counter_id is not None)
    ctl("update")
    last_day = day
    steps.append((label, clock["now"].isoformat(), kernel_counters()))
    if args.vnstat:
        time.sleep(VNSTAT_SETTLE)


def advance(**delta):
    clock["now"] += dt.timedelta(**delta)


# ------------------------------------------------------------------ vnStat

VNSTAT_SETTLE = 3  # seconds: more than vnstatd's poll interval, so it sees every reading


def start_vnstat():
    global vnstatd
    os.makedirs(f"{work}/vnstat", exist_ok=True)
    with open(f"{work}/vnstat.conf", "w") as f:
        f.write(f'DatabaseDir "{work}/vnstat"\nAlwaysAddNewInterfaces 1\nUpdateInterval 1\n'
                'PollInterval 2\nSaveInterval 1\nOfflineSaveInterval 1\nUseLogging 0\n'
                f'PidFile "{work}/vnstat.pid"\n64bitInterfaceCounters 1\nRescanDatabaseOnSave 1\n'
                'TimeSyncWait 0\nBandwidthDetection 0\nTrafficlessEntries 1\n')
    vnstatd = subprocess.Popen(["ip", "netns", "exec", DEV, "vnstatd", "-n", "--config",
                                f"{work}/vnstat.conf", "--alwaysadd"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    time.sleep(VNSTAT_SETTLE)


def vnstat_figures():
    vnstatd.send_signal(signal.SIGTERM)  # writes what it holds in memory
    vnstatd.wait(timeout=20)
    out = run("vnstat", "--config", f"{work}/vnstat.conf", "--json").stdout
    figures = {"cellular": [0, 0], "wifi": [0, 0]}
    for interface in json.loads(out)["interfaces"]:
        kind = ("cellular" if interface["name"] in CELLULAR else
                "wifi" if interface["name"] in WIFI else None)
        if kind:
            add(figures[kind], interface["traffic"]["total"]["tx"],
                interface["traffic"]["total"]["rx"])
    return figures


# ------------------------------------------------------------------ the scenario

try:
    for name in (*CELLULAR, *WIFI):
        create(name)
    if args.vnstat:
        start_vnstat()
    ctl("defaults", "write", "firstDayOfCycle", "-int", "1")
    ctl("defaults", "write", "firstDayOfCycleWifi", "-int", "1")

    # Traffic before the first update: Byteward starts all time with what the kernel counted.
    receive("wwan0", 40, 1000); send("wwan0", 7, 600); receive("wlan0", 25, 1500)
    update("first update")
    counter_id = ctl("counters", "add", "scenario", "--cellular", "--wifi").strip()

    for round_ in range(3):
        advance(minutes=10)
        receive("wwan0", 100 + round_, 1200); send("wwan0", 30, 300 + round_)
        receive("wwan1", 12, 900); send("wwan1", 9, 700)
        receive("wlan0", 60, 1400); send("wlan0", 44, 250)
        update(f"bursts, round {round_ + 1}")

    # wwan1 goes away with bytes no update saw; while it is gone wwan0 carries traffic; it
    # comes back and moves more than it had before, so its new counter passes the old one.
    send("wwan1", 5, 800)
    delete("wwan1")
    receive("wwan0", 20, 1000)
    create("wwan1")
    receive("wwan1", 50, 1400); send("wwan1", 11, 600)
    advance(minutes=10)
    update("wwan1 deleted and re-created")

    # wlan0 deleted and re-created with less traffic than before: its total falls.
    delete("wlan0"); create("wlan0")
    receive("wlan0", 3, 100)
    advance(minutes=5)
    update("wlan0 deleted and re-created")

    # A reboot: a new boot id and boot time, every counter starts again.
    send("wwan0", 4, 1000)  # counted before the "reboot", seen by no update
    for name in (*CELLULAR, *WIFI):
        delete(name); create(name)
    advance(minutes=20)
    clock["boot_id"], clock["boot_time"] = "bwk-boot-2", int(clock["now"].timestamp()) - 120
    truth.rebooted = True
    receive("wwan0", 30, 1000); send("wlan0", 9, 999)
    update("after a reboot")

    # Three days without an update; the first update of the day closes the old one.
    receive("wwan0", 70, 1100); send("wlan0", 21, 1300)
    advance(days=3)
    update("after a three-day gap")
    receive("wwan1", 15, 1000); receive("wlan0", 8, 1000)
    advance(minutes=30)
    update("same day, later")

    # The clock is stepped five hours forward, then two hours back (still the same day).
    advance(hours=5)
    send("wwan0", 13, 1000); receive("wlan0", 17, 700)
    update("clock stepped forward")
    advance(hours=-2)
    receive("wwan0", 19, 900); send("wlan0", 6, 800)
    update("clock stepped back")
    advance(minutes=1)
    update("no traffic")

    # ------------------------------------------------------------ the figures
    counter = next(c for c in json.loads(ctl("counters", "--json")) if c["uniqueId"] == counter_id)
    failures, rows = [], []
    for kind in ("cellular", "wifi"):
        record = json.loads(ctl("record", kind, "--json"))
        prefix = "cellular" if kind == "cellular" else "wifi"
        got = {
            "alltime": (record.get("dataAllTimeSent"), record.get("dataAllTimeRecd"),
                        record.get("dataAllTime")),
            "period": (record.get("dataThisMonthSent"), record.get("dataThisMonthRecd"),
                       record.get("dataThisMonth")),
            "today": (record.get("dataTodaySent"), record.get("dataTodayRecd"),
                      record.get("dataToday")),
            "counter": (counter[f"{prefix}DataSent"], counter[f"{prefix}DataReceived"],
                        counter[f"{prefix}DataTotal"]),
        }
        for span, (sent, recd) in truth.spans[kind].items():
            want = (sent, recd, sent + recd)
            rows.append((kind, span, want, got[span]))
            if tuple(float(v or 0) for v in got[span]) != tuple(float(v) for v in want):
                failures.append(f"{kind} {span}: kernel {want}, Byteward {got[span]}")

    vn = vnstat_figures() if args.vnstat else None
    lines = ["| data type | span | kernel (sent / received / total) | Byteward | match |",
             "|---|---|---|---|---|"]
    for kind, span, want, have in rows:
        lines.append(f"| {kind} | {span} | {want[0]} / {want[1]} / {want[2]} | "
                     f"{' / '.join(str(int(v or 0)) for v in have)} | "
                     f"{'yes' if tuple(float(v or 0) for v in have) == tuple(map(float, want)) else 'NO'} |")
    if vn:
        lines += ["", "| data type | kernel all time, seen by updates | vnStat all time | difference |",
                  "|---|---|---|---|"]
        for kind in ("cellular", "wifi"):
            want = truth.spans[kind]["alltime"]
            lines.append(f"| {kind} | {want[0]} / {want[1]} / {sum(want)} | "
                         f"{vn[kind][0]} / {vn[kind][1]} / {sum(vn[kind])} | "
                         f"{sum(vn[kind]) - sum(want):+d} |")
    lines += ["", f"Frames put on the device's links by the scenario: {generated['sent']} bytes sent, "
              f"{generated['received']} bytes received; {len(steps)} update cycles."]
    report = "\n".join(lines)
    print(report)
    if args.report:
        with open(args.report, "w") as f:
            f.write(report + "\n")
    if failures:
        print("FAIL:\n  " + "\n  ".join(failures))
        sys.exit(1)
    print("every byte the kernel counted and an update could see is counted once")
finally:
    cleanup()
