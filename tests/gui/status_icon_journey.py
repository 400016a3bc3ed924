#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Byteward in a desktop's status area: the real app on an X server, with a fake status-area
watcher (tests/fakes/status_notifier_watcher.py) on a private session bus. Run inside a D-Bus
session on a display:

    tests/gui/on_xvfb.py -- dbus-run-session -- tests/gui/status_icon_journey.py BYTEWARD BYTEWARDCTL WATCHER

The item must register, carry the period's usage and the bar's colour, offer Open and Quit (and
Quit must end the app); with the setting off, no item may register.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

app, ctl, watcher_script = sys.argv[1:4]
try:
    import dbus
except ImportError:
    print("skipped: needs python3-dbus")
    sys.exit(77)
if not os.environ.get("DBUS_SESSION_BUS_ADDRESS") or not os.environ.get("DISPLAY"):
    print("skipped: run inside dbus-run-session on an X display (tests/gui/on_xvfb.py)")
    sys.exit(77)

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
PROPERTIES = "org.freedesktop.DBus.Properties"
RED = (231, 62, 62)  # the bar's red
USAGE = "Cellular: 4.90 GB of 5.0 GB (98.0%)"

work = tempfile.mkdtemp(prefix="bw-status-icon-")
processes = []
env = dict(os.environ, XDG_DATA_HOME=f"{work}/data", XDG_CONFIG_HOME=f"{work}/config",
           XDG_STATE_HOME=f"{work}/state", BYTEWARD_NET_ROOT=f"{work}/net", TZ="UTC",
           LC_ALL="C.UTF-8", QT_QPA_PLATFORM="xcb")
# The generic desktop: a named one could bring a platform theme of its own.
env.pop("XDG_CURRENT_DESKTOP", None)


def cleanup():
    for p in reversed(processes):
        if p.poll() is None:
            p.kill()
            p.wait()
    shutil.rmtree(work, ignore_errors=True)


def fail(message):
    print("FAIL:", message)
    cleanup()
    sys.exit(1)


def wait_for(what, probe, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = probe()
        if found:
            return found
        time.sleep(0.1)
    fail(f"{what} did not happen within {seconds} s")


def run_ctl(*args):
    done = subprocess.run([ctl, *args], env=env, capture_output=True, text=True, timeout=60)
    if done.returncode != 0:
        fail(f"bytewardctl {' '.join(args)}: {done.stderr}")


def start_app():
    log = open(f"{work}/app-{len(processes)}.log", "w")
    process = subprocess.Popen([app], env=env, stdout=log, stderr=subprocess.STDOUT)
    processes.append(process)
    return process


def app_log():
    return "".join(open(f"{work}/{name}").read() for name in sorted(os.listdir(work))
                   if name.startswith("app-"))


# A modem whose period is at 98 % of a 5 GB plan: red from 95 %.
net = f"{work}/net/wwan0"
os.makedirs(f"{net}/statistics")
for name, text in (("flags", "0x1003"), ("uevent", "DEVTYPE=wwan"),
                   ("statistics/rx_bytes", "1000"), ("statistics/tx_bytes", "1000")):
    with open(f"{net}/{name}", "w") as f:
        f.write(text + "\n")
for key, kind, value in (("dataunit_settings", "-string", "GB"), ("cellularDataLimit", "-int", "5"),
                         ("cellularDataLimitUnit", "-string", "GB"),
                         ("progressRed", "-string", "USE95")):
    run_ctl("defaults", "write", key, kind, value)
run_ctl("update")
run_ctl("adjust", "cellular", "4.9")

watcher = subprocess.Popen(["/usr/bin/python3", watcher_script], stdout=subprocess.PIPE, text=True)
processes.append(watcher)
if watcher.stdout.readline().strip() != "ready":
    fail("the fake status-area watcher did not start")
bus = dbus.SessionBus()
watcher_properties = dbus.Interface(bus.get_object(WATCHER, "/StatusNotifierWatcher"), PROPERTIES)


def registered():
    return [str(item) for item in watcher_properties.Get(WATCHER, "RegisteredStatusNotifierItems")]


# On: the item registers, shows the usage in the bar's colour and offers Open and Quit.
started = time.monotonic()
shown = start_app()
items = wait_for("the status item's registration", registered)
took = time.monotonic() - started
service = items[0]
item = bus.get_object(service, "/StatusNotifierItem")
properties = dbus.Interface(item, PROPERTIES)


def item_text():
    tip = properties.Get(ITEM, "ToolTip")
    return "\n".join([str(tip[2]), str(tip[3]), str(properties.Get(ITEM, "Title"))])


wait_for(f"'{USAGE}' in the tooltip", lambda: USAGE in item_text(), 10)
if "Wi-Fi: " not in item_text():
    fail(f"no Wi-Fi line in the tooltip: {item_text()!r}")

pixmaps = properties.Get(ITEM, "IconPixmap")
if not pixmaps:
    fail("the item has no icon")
width, height, pixels = max(pixmaps, key=lambda p: int(p[0]))
at = ((int(height) // 2) * int(width) + int(width) // 2) * 4  # ARGB, big-endian
centre = tuple(int(b) for b in pixels[at + 1:at + 4])
if centre != RED:
    fail(f"the icon's centre is {centre}, not the bar's red {RED}")

menu_path = properties.Get(ITEM, "Menu")
menu = dbus.Interface(bus.get_object(service, menu_path), "com.canonical.dbusmenu")
_, layout = menu.GetLayout(0, -1, dbus.Array([], signature="s"))
entries = {str(child[1].get("label", "")).replace("_", ""): int(child[0]) for child in layout[2]}
for label in ("Open", "Quit"):
    if label not in entries:
        fail(f"no {label} in the menu: {sorted(entries)}")


def click(label):
    menu.Event(entries[label], "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0))


click("Open")
time.sleep(0.5)
if shown.poll() is not None:
    fail(f"Open ended the app ({shown.returncode}):\n{app_log()}")
click("Quit")
try:
    if shown.wait(30) != 0:
        fail(f"Quit ended the app with {shown.returncode}:\n{app_log()}")
except subprocess.TimeoutExpired:
    fail("Quit did not end the app")

# Off: the app runs as long as it took the item to come the first time, thrice, and no item
# registers.
run_ctl("defaults", "write", "showStatusIcon", "-bool", "false")
hidden = start_app()
time.sleep(max(3.0, 3 * took))
if hidden.poll() is not None:
    fail(f"the app ended early ({hidden.returncode}):\n{app_log()}")
if len(registered()) != 1:
    fail(f"an item registered with the setting off: {registered()}")
hidden.send_signal(signal.SIGTERM)
if hidden.wait(30) != 0:
    fail(f"the app ended with {hidden.returncode} on SIGTERM:\n{app_log()}")

print(f"status icon: registered after {took:.1f} s, usage, colour and menu as expected")
cleanup()
