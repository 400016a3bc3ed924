#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Byteward as a screen reader finds it: the real app on an X server, read and operated through
the accessibility bus (AT-SPI), as Orca does. Run inside a D-Bus session on a display:

    tests/gui/on_xvfb.py -- dbus-run-session -- tests/gui/atspi_journey.py build/ci/src/gui/byteward
"""
import os
import signal
import subprocess
import sys
import tempfile
import time

try:
    import pyatspi
except ImportError:
    print("pyatspi is not installed; skipping")
    sys.exit(77)

# Roles a person acts on: each needs a name a screen reader can say.
INTERACTIVE = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_TEXT,
    pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_SLIDER, pyatspi.ROLE_COMBO_BOX,
}


def wait_for(what, probe, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = probe()
        if found:
            return found
        time.sleep(0.2)
    raise SystemExit(f"FAIL: {what} did not come within {seconds} s")


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and (app.name or "").lower() == "byteward":
            return app
    return None


def showing(node):
    try:
        return node.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def walk(node, out, depth=0):
    if node is None or depth > 60:
        return
    for child in node:
        if child is None or not showing(child):
            continue
        out.append(child)
        walk(child, out, depth + 1)


def nodes(app):
    out = []
    walk(app, out)
    return out


def find(app, role, name):
    for node in nodes(app):
        if node.getRole() == role and node.name == name:
            return node
    return None


def press(node):
    actions = node.queryAction()
    names = [actions.getName(i).lower() for i in range(actions.nActions)]
    if os.environ.get("ATSPI_DEBUG"):
        print("actions of", node.name, names)
    index = names.index("press") if "press" in names else 0
    actions.doAction(index)


def expect_named(app, screen):
    unnamed = [f"{n.getRoleName()} in {n.parent.name!r}" for n in nodes(app)
               if n.getRole() in INTERACTIVE and not (n.name or "").strip()]
    if unnamed:
        raise SystemExit(f"FAIL: {screen}: controls without a name: {unnamed}")


def main():
    binary = sys.argv[1]
    with tempfile.TemporaryDirectory() as root:
        for sub in ("data", "config", "state", "run"):
            os.makedirs(os.path.join(root, sub), mode=0o700)
        for name, devtype in (("wwan0", "wwan"), ("wlan0", "wlan")):
            stats = os.path.join(root, "net", name, "statistics")
            os.makedirs(stats)
            for counter in ("rx_bytes", "tx_bytes"):
                with open(os.path.join(stats, counter), "w") as f:
                    f.write("1000000\n")
            with open(os.path.join(root, "net", name, "uevent"), "w") as f:
                f.write(f"DEVTYPE={devtype}\n")
        env = dict(os.environ,
                   XDG_DATA_HOME=os.path.join(root, "data"),
                   XDG_CONFIG_HOME=os.path.join(root, "config"),
                   XDG_STATE_HOME=os.path.join(root, "state"),
                   XDG_RUNTIME_DIR=os.path.join(root, "run"),
                   BYTEWARD_NET_ROOT=os.path.join(root, "net"),
                   QT_QPA_PLATFORM="xcb",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        app_process = subprocess.Popen([binary], env=env)
        try:
            def started():
                if app_process.poll() is not None:
                    raise SystemExit(f"FAIL: Byteward quit with {app_process.returncode} at start")
                return application()
            app = wait_for("Byteward on the accessibility bus", started)
            # The first start greets: read it and answer it through the bus.
            ok = wait_for("the \"Initial Setup\" alert's OK button",
                          lambda: find(app, pyatspi.ROLE_PUSH_BUTTON, "OK"))
            expect_named(app, "the first start")
            press(ok)
            if os.environ.get("ATSPI_DEBUG"):
                time.sleep(2)
                for n in nodes(app):
                    print(n.getRoleName(), repr(n.name), [str(x) for x in n.getState().getStates()][:8])
            # Its answer shows the Settings tab.
            wait_for("the Settings tab after the greeting", lambda: any(
                n.getRole() == pyatspi.ROLE_PAGE_TAB and n.name == "Settings"
                and n.getState().contains(pyatspi.STATE_CHECKED) for n in nodes(app)))
            if os.environ.get("ATSPI_DEBUG"):
                for n in nodes(app):
                    print(n.getRoleName(), repr(n.name), n.getState().getStates()[:6])
            # The settings tab is in front; every tab is reachable and says what it shows.
            for tab in ("Cellular", "Wi-Fi", "Counters", "History", "Settings"):
                press(wait_for(f"the {tab} tab", lambda t=tab: find(app, pyatspi.ROLE_PAGE_TAB, t)))
                time.sleep(0.5)
                expect_named(app, f"the {tab} tab")
            # A counter added and dismissed by the bus's press actions alone.
            press(find(app, pyatspi.ROLE_PAGE_TAB, "Counters"))
            press(wait_for("the add button", lambda: find(app, pyatspi.ROLE_PUSH_BUTTON, "Add Counter")))
            cancel = wait_for("the counter editor", lambda: find(app, pyatspi.ROLE_PUSH_BUTTON, "Cancel"))
            expect_named(app, "the counter editor")
            press(cancel)
            wait_for("the editor to close", lambda: find(app, pyatspi.ROLE_PUSH_BUTTON, "Save") is None)
            press(find(app, pyatspi.ROLE_PAGE_TAB, "Wi-Fi"))
            figure = wait_for("the Wi-Fi dashboard's figures", lambda: next(
                (n for n in nodes(app) if (n.name or "").startswith("Used this period: ")), None))
            print(f"read: {figure.name}")
        finally:
            app_process.send_signal(signal.SIGTERM)
            code = app_process.wait(timeout=30)
        if code != 0:
            raise SystemExit(f"FAIL: Byteward ended with {code} after SIGTERM")
    print("PASS")


if __name__ == "__main__":
    main()
