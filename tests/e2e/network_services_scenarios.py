#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""bytewardctl and its daemon against ModemManager and NetworkManager.

A private message bus stands in for the system bus, served by the fake of both services
(tests/fakes/network_services.py); the interface counters are a fake sysfs tree this script
raises by known amounts. The daemon runs with a long tick, so every sample it takes on its own
is one it took for an announcement: a bearer that connects or goes, a connection turning metered.

  network_services_scenarios.py BYTEWARDCTL FAKE

Exits 77 where dbus-daemon, python3-dbus or python3-gi is missing.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

ctl, fake_script = sys.argv[1], sys.argv[2]
try:
    import dbus
except ImportError:
    print("skipped: needs python3-dbus")
    sys.exit(77)
if not shutil.which("dbus-daemon"):
    print("skipped: needs dbus-daemon")
    sys.exit(77)

work = tempfile.mkdtemp(prefix="bw-netservices-")
processes = []
net = os.path.join(work, "net")
counters = {}


def cleanup():
    for p in reversed(processes):
        if p.poll() is None:
            p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
    shutil.rmtree(work, ignore_errors=True)


def fail(message):
    print("FAIL:", message)
    if os.path.exists(os.path.join(work, "daemon.log")):
        print("\n".join(l for l in open(os.path.join(work, "daemon.log")).read().splitlines() if not l.startswith(("Current", "Ideal", "usageText")))[-3000:])
    cleanup()
    sys.exit(1)


def interface(name, devtype=""):
    os.makedirs(os.path.join(net, name, "statistics"), exist_ok=True)
    with open(os.path.join(net, name, "uevent"), "w") as f:
        f.write(f"DEVTYPE={devtype}\nINTERFACE={name}\n" if devtype else f"INTERFACE={name}\n")
    with open(os.path.join(net, name, "flags"), "w") as f:
        f.write("0x1003\n")
    counters[name] = 0
    raise_counter(name, 0)


def raise_counter(name, received):
    counters[name] += received
    for counter, value in (("rx_bytes", counters[name]), ("tx_bytes", 0)):
        path = os.path.join(net, name, "statistics", counter)
        with open(path + ".new", "w") as f:
            f.write(f"{value}\n")
        os.replace(path + ".new", path)


def start_bus(kind):
    """A private dbus-daemon of this kind ("system" or "session"); answers its address."""
    config = os.path.join(work, f"{kind}.conf")
    with open(config, "w") as f:
        f.write(f"""<busconfig><type>{kind}</type><listen>unix:path={work}/{kind}</listen>
<auth>EXTERNAL</auth><policy context="default"><allow send_destination="*" eavesdrop="true"/>
<allow eavesdrop="true"/><allow own="*"/></policy></busconfig>""")
    daemon = subprocess.Popen(["dbus-daemon", "--config-file", config, "--nofork",
                               "--print-address=1"], stdout=subprocess.PIPE, text=True)
    processes.append(daemon)
    bus_address = daemon.stdout.readline().strip()
    if not bus_address:
        fail(f"the private {kind} bus did not start")
    return bus_address


# The bus, the services and the environment every command runs in.
address = start_bus("system")
fake = subprocess.Popen([sys.executable, fake_script, "--address", address],
                        stdout=subprocess.PIPE, text=True)
processes.append(fake)
if fake.stdout.readline().strip() != "ready":
    print("skipped: the fake services did not start (python3-gi?)")
    cleanup()
    sys.exit(77)
# The session bus, with python3-dbusmock's notification server on it.
session_address = start_bus("session")
notifier = subprocess.Popen([sys.executable, "-m", "dbusmock", "--session", "--template",
                             "notification_daemon"], stdout=subprocess.DEVNULL,
                            env=dict(os.environ, DBUS_SESSION_BUS_ADDRESS=session_address))
processes.append(notifier)
session = dbus.bus.BusConnection(session_address)
for _ in range(100):
    if session.name_has_owner("org.freedesktop.Notifications"):
        break
    time.sleep(0.1)
else:
    print("skipped: python3-dbusmock's notification server did not start")
    cleanup()
    sys.exit(77)
notification_mock = dbus.Interface(
    session.get_object("org.freedesktop.Notifications", "/org/freedesktop/Notifications"),
    "org.freedesktop.DBus.Mock")

bus = dbus.bus.BusConnection(address)
control = dbus.Interface(bus.get_object("org.byteward.Test", "/control"),
                         "org.byteward.Test.NetworkServices")

os.makedirs(net)
env = dict(os.environ, BYTEWARD_NET_ROOT=net, DBUS_SYSTEM_BUS_ADDRESS=address,
           DBUS_SESSION_BUS_ADDRESS=session_address, TZ="UTC",
           XDG_DATA_HOME=f"{work}/data", XDG_CONFIG_HOME=f"{work}/config",
           XDG_STATE_HOME=f"{work}/state")
env.pop("BYTEWARD_NETWORK_SERVICES", None)
env.pop("BYTEWARD_NOW", None)


def run(*arguments):
    result = subprocess.run([ctl, *arguments], env=env, capture_output=True, text=True, timeout=60)
    if result.returncode != 0:
        fail(f"bytewardctl {' '.join(arguments)}: {result.stdout}{result.stderr}")
    return result.stdout


def record(kind):
    return json.loads(run("record", kind, "--json"))


def all_time(kind):
    return record(kind).get("dataAllTime", 0)


def posted(fragment):
    listed = json.loads(run("notifications", "--json"))
    bodies = [n.get("alertBody", "") for n in listed["scheduled"]]
    bodies += [d["notification"].get("alertBody", "") for d in listed["delivered"]]
    return sum(fragment in body for body in bodies)


def wait_for(what, condition, seconds=10):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if condition():
            return
        time.sleep(0.1)
    fail(f"waited in vain for {what}")


def announced(change, *arguments):
    """Makes a change the services announce, and waits for the daemon's sample for it."""
    time.sleep(1.1)  # the records keep whole seconds
    before = record("cellular").get("lastUpdate")
    result = change(*arguments)
    wait_for("a sample by the daemon", lambda: record("cellular").get("lastUpdate") != before)
    return result


for name, devtype in (("mdm0", ""), ("wlan0", "wlan"), ("eth0", "")):
    interface(name, devtype)
run("defaults", "write", "firstDayOfCycle", "-int", "1")
run("update")
daemon = subprocess.Popen([ctl, "--verbose", "daemon", "--interval", "3600"], env=env,
                          stdout=subprocess.DEVNULL,
                          stderr=open(os.path.join(work, "daemon.log"), "w"))
processes.append(daemon)
time.sleep(1)  # its first sample and subscriptions
checks = []


def expect(what, got, want):
    checks.append(what)
    if got != want:
        fail(f"{what}: got {got!r}, want {want!r}")


# 1. A bearer's interface with an unusual name is cellular only while it is connected, and the
#    daemon's samples at connect and disconnect put the bytes on the right side.
modem = control.AddModem("cdc-wdm0")
control.SetSim(modem, "8944110000000000001", "Home Net")
raise_counter("mdm0", 800)  # before the bearer: no one's
start = all_time("cellular")
bearer = announced(control.ConnectBearer, modem, "mdm0")
raise_counter("mdm0", 5000)
run("update")
raise_counter("mdm0", 700)
announced(control.DisconnectBearer, bearer)
raise_counter("mdm0", 300)  # after it went: no one's again
run("update")
expect("cellular bytes while the bearer was connected", all_time("cellular") - start, 5700)
expect("the SIM the figures belong to", len(record("cellular").get("simHash", "")), 32)

# 2. A home network's bytes are Wi-Fi, a metered hotspot's cellular, split at the switch.
control.AddDevice("wlan0", 2)
control.SetDevice("wlan0", True, 2)  # metered: no
run("update")
wifi, cellular = all_time("wifi"), all_time("cellular")
raise_counter("wlan0", 1000)
run("update")
raise_counter("wlan0", 400)
announced(control.SetDevice, "wlan0", True, 1)  # joined a phone's hotspot
raise_counter("wlan0", 250)
run("update")
expect("home network bytes as Wi-Fi", all_time("wifi") - wifi, 1400)
expect("hotspot bytes as cellular", all_time("cellular") - cellular, 250)
shown = {r["name"]: r for r in json.loads(run("interfaces", "--json"))}
expect("the reason shown", shown["wlan0"]["reason"], "NetworkManager: a metered connection")
control.SetDevice("wlan0", True, 2)

# 3. Another SIM is told once, and a fresh period belongs to it.
bearer = control.ConnectBearer(modem, "mdm0")
control.SetSim(modem, "8944110000000000002", "Roam Tel")
for _ in range(3):
    raise_counter("mdm0", 10)
    run("update")
expect("the other SIM told", posted("Another SIM is in use (Roam Tel)"), 1)
notices = json.loads(run("status", "cellular", "--json", "--no-update"))["notices"]
expect("the dashboard's notice", [n["title"] for n in notices], ["ANOTHER SIM"])
first_sim = record("cellular")["simHash"]
run("reset", "cellular")
expect("the fresh period's SIM changed", record("cellular")["simHash"] != first_sim, True)
notices = json.loads(run("status", "cellular", "--json", "--no-update"))["notices"]
expect("no notice after the fresh period", notices, [])

# 4. Roaming bytes are counted apart; the notice comes once in the period.
control.SetRoaming(modem, True)
run("update")
period = record("cellular").get("dataRoamingThisMonth", 0)
for amount in (2000, 3000):
    raise_counter("mdm0", amount)
    run("update")
status = json.loads(run("status", "cellular", "--json", "--no-update"))
expect("roaming bytes in the period", status["roaming"]["period"] - period, 5000)
expect("the roaming notice", posted("Using cellular data while roaming"), 1)
control.SetRoaming(modem, False)

# 5. The data limit turns cellular data off once through NetworkManager, and only the modem.
control.AddDevice("wwan0", 8)
control.SetDevice("wwan0", True, 0)
control.SetDevice("wlan0", True, 2)
run("defaults", "write", "cellularDataLimit", "-int", "1")
run("defaults", "write", "cellularDataLimitUnit", "-string", "MB")
run("defaults", "write", "turnOffCellularAtQuota", "-bool", "true")
raise_counter("mdm0", 2 * 1024 * 1024)
run("update")
run("update")
calls = [str(c) for c in control.Calls()]
expect("one disconnect, of the modem only",
       [c.split(" ")[0] for c in calls if "Disconnect" in c], ["Device.Disconnect"])
expect("the data limit's notice", posted("Cellular data was turned off"), 1)
# The daemon shows the notice when something wakes it; the person chooses its action.
control.AddDevice("eth9", 1)


def notice_shown():
    for _, method, arguments in notification_mock.GetCalls():
        if method == "Notify" and "Cellular data was turned off" in str(arguments[4]):
            return arguments
    return None


wait_for("the data limit's notice on the desktop", notice_shown)
arguments = notice_shown()
expect("the notice offers the action", [str(a) for a in arguments[5]],
       ["byteward-cellular-on", "Turn cellular data on"])
# The mock's ids count from 1 in the order of the Notify calls.
notify_calls = [a for _, m, a in notification_mock.GetCalls() if m == "Notify"]
notice_id = dbus.UInt32(1 + notify_calls.index(arguments))
notification_mock.EmitSignal("org.freedesktop.Notifications", "ActionInvoked", "us",
                             [dbus.UInt32(notice_id + 100), "default"])  # another program's
notification_mock.EmitSignal("org.freedesktop.Notifications", "ActionInvoked", "us",
                             [notice_id, "byteward-cellular-on"])
wait_for("cellular data turned on again",
         lambda: any(str(c).startswith("ActivateConnection") for c in control.Calls()))
expect("turned on once", sum(str(c).startswith("ActivateConnection") for c in control.Calls()), 1)
control.SetDevice("wwan0", True, 0)
raise_counter("mdm0", 1024 * 1024)
run("update")
calls = [str(c) for c in control.Calls()]
expect("never twice in a period", sum("Disconnect" in c for c in calls), 1)

daemon.terminate()
expect("the daemon stops cleanly", daemon.wait(10), 0)
print(f"{len(checks)} checks passed")
cleanup()
