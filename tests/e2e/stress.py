#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Many processes, one set of files: update cycles (bytewardctl update and status, the same
core cycle the app runs at every render), the background daemon and CLI edits (custom counters
added, paused, resumed and removed, settings written, the period adjusted and reset by hand) all
run at once against one data directory while a feeder raises the fake interface counters.

Afterwards every store must load, and nothing may be lost:
  - all time of each data type equals the bytes fed;
  - cellular: the period plus every period closed by hand equals the bytes fed since the first
    update (no increment lost or counted twice across resets), and one billing-cycle log exists
    per reset;
  - a counter made before the run counts exactly the bytes fed since the first update;
  - every setting written is there, every counter added is there (paused as last left) unless
    it was removed, and the last Wi-Fi adjustment is in the period.

  stress.py BYTEWARDCTL [--seconds N] [--seed N]
"""
import argparse
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

parser = argparse.ArgumentParser()
parser.add_argument("ctl")
parser.add_argument("--seconds", type=float, default=20)
parser.add_argument("--seed", type=int, default=None)
args = parser.parse_args()
seed = args.seed if args.seed is not None else random.randrange(1 << 30)

work = tempfile.mkdtemp(prefix="bwk-stress-")
net = f"{work}/net"
env = dict(os.environ, XDG_DATA_HOME=f"{work}/data", XDG_CONFIG_HOME=f"{work}/config",
           XDG_STATE_HOME=f"{work}/state", BYTEWARD_NET_ROOT=net, TZ="UTC", LC_ALL="C.UTF-8",
           BYTEWARD_NOW="2026-12-08T09:00:00Z", BYTEWARD_BOOT_ID="stress-boot",
           BYTEWARD_BOOT_TIME="1796720400", DBUS_SESSION_BUS_ADDRESS=f"unix:path={work}/no-bus")
MB = 1024 * 1024
counters_fed = {"wwan0": [5000, 7000], "wlan0": [11000, 13000]}  # [rx, tx] now in the tree
operations = {}
op_lock = threading.Lock()
failures = []


def count(what):
    with op_lock:
        operations[what] = operations.get(what, 0) + 1


def ctl(*argv, check=True):
    done = subprocess.run([args.ctl, *argv], env=env, capture_output=True, text=True)
    if check and done.returncode != 0:
        raise AssertionError(f"bytewardctl {' '.join(argv)}: exit {done.returncode}: "
                             f"{done.stderr.strip()}")
    return done.stdout


def write_counters():
    for name, (rx, tx) in counters_fed.items():
        stats = f"{net}/{name}/statistics"
        os.makedirs(stats, exist_ok=True)
        for file, value in (("rx_bytes", rx), ("tx_bytes", tx)):
            with open(f"{stats}/.{file}", "w") as f:
                f.write(f"{value}\n")
            os.rename(f"{stats}/.{file}", f"{stats}/{file}")  # a reader never sees half a number
        with open(f"{net}/{name}/uevent", "w") as f:
            f.write("DEVTYPE=wwan\n" if name.startswith("wwan") else "DEVTYPE=wlan\n")


stop = threading.Event()


def feeder(rng):
    while not stop.is_set():
        for pair in counters_fed.values():
            pair[0] += rng.randrange(0, 40000)
            pair[1] += rng.randrange(0, 9000)
        write_counters()
        count("counter raises")
        time.sleep(0.01)


def loop(what, argv, rng):
    def body():
        while not stop.is_set():
            ctl(*argv)
            count(what)
            time.sleep(rng.uniform(0, 0.02))
    return body


edits = {"settings": {}, "counters": {}, "removed": set(), "resets": 0, "adjust": None}


def editor(rng):
    n = 0
    while not stop.is_set():
        n += 1
        action = rng.choice(["setting", "add", "pause", "resume", "remove", "reset", "adjust"])
        live = [i for i in edits["counters"] if i not in edits["removed"]]
        if action == "setting":
            ctl("defaults", "write", f"stressKey{n}", "-int", str(n))
            edits["settings"][f"stressKey{n}"] = n
        elif action == "add":
            uid = ctl("counters", "add", f"stress {n}", "--cellular", "--wifi").strip()
            edits["counters"][uid] = False
        elif action in ("pause", "resume") and live:
            uid = rng.choice(live)
            ctl("counters", action, uid)
            edits["counters"][uid] = action == "pause"
        elif action == "remove" and live:
            uid = rng.choice(live)
            ctl("counters", "remove", uid)
            edits["removed"].add(uid)
        elif action == "reset":
            ctl("reset", "cellular")
            edits["resets"] += 1
        elif action == "adjust":
            amount = rng.randrange(1, 50)  # MB, the display unit
            ctl("adjust", "wifi", str(amount))
            edits["adjust"] = amount * MB
        else:
            continue
        count(f"edits: {action}")


def check(name, got, want):
    if got != want:
        failures.append(f"{name}: expected {want}, got {got}")


rng = random.Random(seed)
daemon = None
try:
    write_counters()
    ctl("defaults", "write", "firstDayOfCycle", "-int", "1")
    ctl("defaults", "write", "firstDayOfCycleWifi", "-int", "1")
    ctl("update")
    first = {name: list(pair) for name, pair in counters_fed.items()}
    whole = ctl("counters", "add", "whole run", "--cellular", "--wifi").strip()

    daemon = subprocess.Popen([args.ctl, "daemon", "--interval", "1"], env=env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    errors = []

    def guarded(target, *targs):
        def run():
            try:
                target(*targs)
            except Exception as e:  # noqa: BLE001 - any failure of a process is a finding
                errors.append(str(e))
                stop.set()
        return threading.Thread(target=run)

    workers = [guarded(feeder, random.Random(rng.random())),
               guarded(loop("update cycles (update)", ["update"], random.Random(rng.random()))),
               guarded(loop("update cycles (update)", ["update"], random.Random(rng.random()))),
               guarded(loop("update cycles (status render)", ["status", "--json"],
                            random.Random(rng.random()))),
               guarded(editor, random.Random(rng.random()))]
    for w in workers:
        w.start()
    stop.wait(args.seconds)
    stop.set()
    for w in workers:
        w.join()
    daemon.send_signal(signal.SIGTERM)  # the daemon's last sample
    daemon.wait(timeout=30)
    if daemon.returncode != 0:
        errors.append(f"daemon exited {daemon.returncode}: {daemon.stderr.read()}")
    if errors:
        raise AssertionError("; ".join(errors))
    ctl("update")  # the last bytes fed

    # Every store loads, and nothing was set aside as unreadable.
    records = {t: json.loads(ctl("record", t, "--json")) for t in ("cellular", "wifi")}
    defaults = ctl("defaults", "read")
    history = json.loads(ctl("history", "--json"))
    counter_list = json.loads(ctl("counters", "--json"))
    json.loads(ctl("notifications", "--json"))
    aside = [f for _, _, files in os.walk(work) for f in files if ".unreadable-" in f]
    check("files set aside as unreadable", aside, [])

    for kind, name in (("cellular", "wwan0"), ("wifi", "wlan0")):
        rx, tx = counters_fed[name]
        r = records[kind]
        check(f"{kind} all time (sent, received)", (r["dataAllTimeSent"], r["dataAllTimeRecd"]),
              (tx, rx))
    # The period and the periods closed by hand add up to everything since the first update.
    logs = history if isinstance(history, list) else history.get("logs", history)
    cell_logs = [l for l in logs if l["dataType"] == 1 and l["historyType"] == 1]
    check("cellular billing-cycle logs, one per reset", len(cell_logs), edits["resets"])
    rx, tx = (counters_fed["wwan0"][i] - first["wwan0"][i] for i in (0, 1))
    cell = records["cellular"]
    check("cellular period + closed periods (sent, received)",
          (cell["dataThisMonthSent"] + sum(l["dataSent"] for l in cell_logs),
           cell["dataThisMonthRecd"] + sum(l["dataReceived"] for l in cell_logs)), (tx, rx))
    by_id = {c["uniqueId"]: c for c in counter_list}
    w = by_id.get(whole)
    wrx, wtx = (counters_fed["wlan0"][i] - first["wlan0"][i] for i in (0, 1))
    check("whole-run counter", w and (w["cellularDataSent"], w["cellularDataReceived"],
                                      w["wifiDataSent"], w["wifiDataReceived"]),
          (tx, rx, wtx, wrx))
    for key, value in edits["settings"].items():
        if f"{key} = {value}" not in defaults and f'"{key}": {value}' not in defaults:
            failures.append(f"setting {key} lost")
    for uid, paused in edits["counters"].items():
        if uid in edits["removed"]:
            check(f"removed counter {uid} present", uid in by_id, False)
        elif uid not in by_id:
            failures.append(f"counter {uid} lost")
        else:
            check(f"counter {uid} paused", by_id[uid]["isPaused"], paused)
    if edits["adjust"] is not None and records["wifi"]["dataThisMonth"] < edits["adjust"]:
        failures.append(f"wifi adjustment to {edits['adjust']} lost: period "
                        f"{records['wifi']['dataThisMonth']}")

    total_ops = sum(v for k, v in operations.items() if k != "counter raises")
    print(f"{args.seconds:g} s, seed {seed}: 5 processes at a time at most (2 update loops, a "
          f"render loop, the daemon, an editor) besides the feeder")
    for what, n in sorted(operations.items()):
        print(f"  {what}: {n}")
    print(f"  bytes fed: cellular {sum(counters_fed['wwan0'])}, wifi {sum(counters_fed['wlan0'])}; "
          f"{len(edits['settings'])} settings, {len(edits['counters'])} counters added, "
          f"{len(edits['removed'])} removed, {edits['resets']} resets")
    if failures:
        print("FAIL:\n  " + "\n  ".join(failures))
        sys.exit(1)
    print(f"nothing lost in {total_ops} operations of bytewardctl processes")
except AssertionError as e:
    print(f"FAIL (seed {seed}): {e}")
    sys.exit(1)
finally:
    stop.set()
    if daemon and daemon.poll() is None:
        daemon.kill()
    shutil.rmtree(work, ignore_errors=True)
