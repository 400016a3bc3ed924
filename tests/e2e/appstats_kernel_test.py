#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""byteward-appstats against the real kernel.

Cgroups named like application scopes are made in a user's slice (uid 4242, a user of its own
so that no real session mixes in), and small programs moved into them send UDP datagrams over a
veth pair into a network namespace made here (unique-local IPv6 addresses of that pair only),
or receive from it. The helper's snapshot must hold, per cgroup path and interface, exactly the
bytes the kernel's cgroup hooks see: each datagram's payload plus 48 bytes (IPv6 40, UDP 8).
Traffic from outside the user's cgroups lands in `other`. Then: a cgroup removed and made again
under the same name keeps counting; a hostile name (markup, control bytes, an invalid UTF-8
byte, a path longer than PATH_MAX) comes out intact in valid JSON; a restart carries the
earlier run's final counts in `previous`; the file is the user's, mode 0600, and another user
cannot read it.

  appstats_kernel_test.py BYTEWARD-APPSTATS [UNIT [BYTEWARDCTL]]

With UNIT (the system unit as built), the helper runs with no capability but those the unit's
CapabilityBoundingSet leaves it, as it would under systemd. With BYTEWARDCTL, the user's side
runs too, as that user with the veth pair as a cellular interface: `bytewardctl apps --json`
must show each application's bytes under its name and the cellular type, the rest of the
system's as "System", and after the restart exactly what the new run added.

Needs root, cgroup v2, BPF and network namespaces; exits 77 where one is missing. Everything it
made (cgroups, namespace, veth pair, attached programs) is gone when it ends, failed or not.
"""
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77
UID, STRANGER = 4242, 4243
HEADERS = 48  # IPv6 40 + UDP 8 bytes per datagram at the cgroup hooks
PREFIX = "fd42:6277:6173::"
HOST_ADDR, NS_ADDR = PREFIX + "1", PREFIX + "2"
SINK_PORT, RECEIVER_PORT = 9901, 9902

helper_binary = sys.argv[1]
unit_file = sys.argv[2] if len(sys.argv) > 2 and sys.argv[2] else None
ctl_binary = sys.argv[3] if len(sys.argv) > 3 else None
pid = os.getpid()
NS, VETH, PEER = f"bwas-{pid}", f"bwas{pid % 100000}h", "bwas-peer"


def skip(why):
    print(f"skipped: {why}")
    sys.exit(SKIP)


def run(*cmd, check=True, **kw):
    return subprocess.run(cmd, check=check, capture_output=True, text=True, **kw)


def cgroup2_root():
    for candidate in ("/sys/fs/cgroup", "/sys/fs/cgroup/unified"):
        got = run("stat", "-f", "-c", "%t", candidate, check=False)
        if got.returncode == 0 and got.stdout.strip() == "63677270":
            return candidate
    return None


if os.geteuid() != 0:
    skip("needs root")
ROOT = cgroup2_root()
if not ROOT:
    skip("no cgroup v2 hierarchy")
for tool in ("ip", "setpriv"):
    if not shutil.which(tool):
        skip(f"needs {tool}")

APP_SLICE = f"/user.slice/user-{UID}.slice/user@{UID}.service/app.slice"
SENDER_A = APP_SLICE + "/app-test-org.example.SenderA-1.scope"
SENDER_B = APP_SLICE + "/app-flatpak-org.example.SenderB-2.scope"
REBORN = APP_SLICE + "/app-test-org.example.Reborn-3.scope"
# Every byte a cgroup name may hold except "/" and the newline the kernel refuses.
HOSTILE_NAME = b"app-<b>x</b>&amp;\"'\\\x01\x1b[31m\t\x7f\xff-4.scope"
# Nested so that the whole path passes PATH_MAX: the helper must walk it relative to parents.
DEEP_LEVELS = [(b"d%02d-" % i) + b"y" * 250 for i in range(16)]

work = tempfile.mkdtemp(prefix="bwas-")
out_dir = os.path.join(work, "apps")
os.mkdir(out_dir)
os.chmod(out_dir, 0o755)
os.chmod(work, 0o755)
made_cgroups = []  # byte paths relative to ROOT, in the order made
helper = None
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message, flush=True)


# ------------------------------------------------------------------ cgroups and namespace

def open_cgroup(rel):
    """An O_PATH-free directory fd for a byte path relative to ROOT, opened level by level."""
    fd = os.open(ROOT, os.O_RDONLY | os.O_DIRECTORY)
    for part in [p for p in rel.split(b"/") if p]:
        child = os.open(part, os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        os.close(fd)
        fd = child
    return fd


def make_cgroup(rel):
    rel = rel.encode() if isinstance(rel, str) else rel
    parts = [p for p in rel.split(b"/") if p]
    fd = os.open(ROOT, os.O_RDONLY | os.O_DIRECTORY)
    path = b""
    for part in parts:
        path += b"/" + part
        try:
            os.mkdir(part, dir_fd=fd)
            made_cgroups.append(path)
        except FileExistsError:
            pass
        child = os.open(part, os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        os.close(fd)
        fd = child
    os.close(fd)
    return rel


def remove_cgroup(rel):
    parent, name = rel.rsplit(b"/", 1)
    fd = open_cgroup(parent)
    try:
        os.rmdir(name, dir_fd=fd)
    finally:
        os.close(fd)
    if rel in made_cgroups:
        made_cgroups.remove(rel)


def cleanup():
    if helper and helper.poll() is None:
        helper.kill()
        helper.wait()
    for rel in reversed(made_cgroups):
        try:
            remove_cgroup(rel)
        except OSError as e:
            print(f"cannot remove cgroup {rel!r}: {e}")
    run("ip", "netns", "del", NS, check=False)
    run("ip", "link", "del", VETH, check=False)
    shutil.rmtree(work, ignore_errors=True)


def in_ns(*cmd):
    return run("ip", "netns", "exec", NS, *cmd)


def setup_network():
    run("ip", "netns", "add", NS)
    run("ip", "link", "add", VETH, "type", "veth", "peer", "name", PEER, "netns", NS)
    run("ip", "addr", "add", HOST_ADDR + "/64", "dev", VETH, "nodad")
    in_ns("ip", "addr", "add", NS_ADDR + "/64", "dev", PEER, "nodad")
    run("ip", "link", "set", VETH, "up")
    in_ns("ip", "link", "set", PEER, "up")
    in_ns("ip", "link", "set", "lo", "up")


# ------------------------------------------------------------------ traffic

# Runs in a child: joins the cgroup (if any) before it opens its socket, then sends or receives.
PROGRAM = r"""
import os, socket, sys
root, rel, mode, addr, port, count, size = sys.argv[1:8]
port, count, size = int(port), int(count), int(size)
if rel:
    fd = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    for part in [p for p in os.fsencode(rel).split(b"/") if p]:
        child = os.open(part, os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        os.close(fd)
        fd = child
    procs = os.open("cgroup.procs", os.O_WRONLY, dir_fd=fd)
    os.write(procs, str(os.getpid()).encode())
    os.close(procs)
    os.close(fd)
s = socket.socket(socket.AF_INET6, socket.SOCK_DGRAM)
if mode == "send":
    for _ in range(count):
        assert s.sendto(bytes(size), (addr, port)) == size
else:
    s.bind((addr, port))
    s.settimeout(10)
    print("ready", flush=True)
    got = 0
    while got < count:
        s.recv(65536)
        got += 1
    print("received", got, flush=True)
"""


def send(rel, count, size, in_namespace=False, port=SINK_PORT, addr=NS_ADDR):
    """Sends `count` datagrams of `size` bytes from the cgroup `rel` (bytes; None: stay here)."""
    cmd = [sys.executable, "-c", PROGRAM, ROOT, os.fsdecode(rel or b""), "send", addr,
           str(port), str(count), str(size)]
    if in_namespace:
        cmd = ["ip", "netns", "exec", NS] + cmd
    subprocess.run(cmd, check=True)
    return count * (size + HEADERS)


def start_sink():
    """Takes in whatever the host sends into the namespace, so nothing comes back as ICMP."""
    proc = subprocess.Popen(["ip", "netns", "exec", NS, sys.executable, "-c",
                             "import socket,sys\ns=socket.socket(socket.AF_INET6,socket.SOCK_DGRAM)\n"
                             f"s.bind(('{NS_ADDR}',{SINK_PORT}))\nprint('ready',flush=True)\n"
                             "while True: s.recv(65536)"],
                            stdout=subprocess.PIPE, text=True)
    assert proc.stdout.readline().strip() == "ready"
    return proc


def receive(rel, count, size):
    """A program in the cgroup `rel` receives `count` datagrams sent from the namespace."""
    proc = subprocess.Popen([sys.executable, "-c", PROGRAM, ROOT, os.fsdecode(rel), "receive",
                             HOST_ADDR, str(RECEIVER_PORT), str(count), str(size)],
                            stdout=subprocess.PIPE, text=True)
    assert proc.stdout.readline().strip() == "ready"
    send(None, count, size, in_namespace=True, port=RECEIVER_PORT, addr=HOST_ADDR)
    out, _ = proc.communicate(timeout=20)
    assert proc.returncode == 0 and f"received {count}" in out, out
    return count * (size + HEADERS)


# ------------------------------------------------------------------ the helper

def unit_capabilities():
    """setpriv's arguments for the unit's capability bounding set, or none without a unit."""
    if not unit_file:
        return []
    for line in open(unit_file):
        if line.startswith("CapabilityBoundingSet="):
            caps = line.split("=", 1)[1].split()
            wanted = ",".join("+" + c.lower().removeprefix("cap_") for c in caps)
            return ["setpriv", f"--bounding-set=-all,{wanted}", "--inh-caps=-all", "--"]
    raise AssertionError(f"{unit_file} sets no CapabilityBoundingSet")


def start_helper():
    global helper
    helper = subprocess.Popen([*unit_capabilities(), helper_binary, "--cgroup-root", ROOT, "--out-dir", out_dir,
                               "--interval", "1"], stderr=subprocess.PIPE, text=True)
    user_file = os.path.join(out_dir, str(UID))
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        if helper.poll() is not None:
            err = helper.stderr.read()
            if "no cgroup BPF" in err or "not allowed to load BPF" in err:
                skip(err.strip())
            raise AssertionError(f"the helper exited {helper.returncode}: {err}")
        if os.path.exists(user_file) and snapshot().get("epoch") not in seen_epochs:
            seen_epochs.add(snapshot()["epoch"])
            return
        time.sleep(0.1)
    raise AssertionError("the helper wrote no file for the user")


def stop_helper():
    helper.send_signal(signal.SIGTERM)
    _, err = helper.communicate(timeout=20)
    check(helper.returncode == 0, f"the helper exited {helper.returncode} on SIGTERM: {err}")
    check(err == "", f"the helper complained: {err}")


def ctl(*args):
    """bytewardctl as the user whose slice the test made, in a home of their own."""
    home = os.path.join(work, "home")
    if not os.path.isdir(home):
        os.mkdir(home)
        os.chown(home, UID, UID)
    env = {"HOME": home, "XDG_DATA_HOME": home + "/data", "XDG_CONFIG_HOME": home + "/config",
           "XDG_STATE_HOME": home + "/state", "BYTEWARD_APPSTATS_DIR": out_dir,
           "BYTEWARD_CGROUP_ROOT": ROOT, "BYTEWARD_NETWORK_SERVICES": "none",
           "LC_ALL": "C.UTF-8", "TZ": "UTC", "PATH": os.environ.get("PATH", "/usr/bin:/bin")}
    got = run("setpriv", f"--reuid={UID}", f"--regid={UID}", "--clear-groups", ctl_binary,
              *args, check=False, env=env)
    check(got.returncode == 0, f"bytewardctl {' '.join(args)} exited {got.returncode}: {got.stderr}")
    return got.stdout


def apps_by_key(report):
    return {app["key"]: app for app in report["apps"]}


def snapshot():
    with open(os.path.join(out_dir, str(UID)), "rb") as f:
        return json.loads(f.read().decode("utf-8"))  # strict: the file must be valid UTF-8


def cgroups_of(snap):
    return {c["path"]: c["interfaces"] for c in snap["cgroups"]}


def wait_for_snapshot():
    """Until the helper has written again (it rewrites within an interval when counts change)."""
    time.sleep(2.5)


seen_epochs = set()

# ------------------------------------------------------------------ the scenario

try:
    try:
        setup_network()
    except subprocess.CalledProcessError as e:
        skip(f"cannot make a network namespace and veth pair: {e.stderr.strip()}")
    for rel in (SENDER_A, SENDER_B, REBORN):
        make_cgroup(rel)
    hostile = make_cgroup(APP_SLICE.encode() + b"/" + HOSTILE_NAME)
    deep = make_cgroup(hostile + b"/" + b"/".join(DEEP_LEVELS))
    check(len(deep) > 4096, f"the deep path is only {len(deep)} bytes")
    sink = start_sink()

    start_helper()
    first = snapshot()
    check(first["uid"] == UID and first["format"] == 1, f"header: {first}")
    check(first["boot_id"] == open("/proc/sys/kernel/random/boot_id").read().strip(),
          f"boot_id {first['boot_id']}")
    check(first["epoch"].startswith(first["boot_id"] + "/"), f"epoch {first['epoch']}")
    check("previous" not in first, "a first run has no previous section")
    if ctl_binary:
        # The user's Byteward starts counting here: the veth pair is their modem.
        ctl("defaults", "write", "cellularInterfaces", "-array", VETH)
        ctl("update")

    expected = {}  # path -> {"rx": n, "tx": n} on the veth
    def expect(path, rx=0, tx=0):
        entry = expected.setdefault(path, {"rx": 0, "tx": 0})
        entry["rx"] += rx
        entry["tx"] += tx

    expect(SENDER_A, tx=send(SENDER_A.encode(), 37, 1000))
    expect(SENDER_B, tx=send(SENDER_B.encode(), 11, 333))
    expect(SENDER_A, rx=receive(SENDER_A.encode(), 23, 777))
    outside = send(None, 19, 600)  # the test's own cgroup: not the user's
    expect(os.fsdecode(hostile), tx=send(hostile, 3, 100))
    expect(os.fsdecode(deep), tx=send(deep, 5, 200))
    expect(REBORN, tx=send(REBORN.encode(), 7, 400))

    wait_for_snapshot()
    middle = snapshot()
    remove_cgroup(REBORN.encode())
    wait_for_snapshot()  # the helper sees it gone and folds its counts into the path
    make_cgroup(REBORN)
    expect(REBORN, tx=send(REBORN.encode(), 9, 500))
    stop_helper()
    final = snapshot()

    def short(path):
        return repr(path if len(path) < 120 else path[:60] + "..." + path[-40:])

    def decoded(path):  # what a reader sees: bad bytes replaced, nothing else changed
        return os.fsencode(path).decode("utf-8", "replace")

    got = cgroups_of(final)
    for path, counts in expected.items():
        name = decoded(path)
        check(got.get(name) == {VETH: counts},
              f"{short(name)}: counted {got.get(name)}, sent {counts} on {VETH}")
    check(set(got) <= {decoded(p) for p in expected}, f"unexpected cgroups: {[short(p) for p in got]}")
    check(final["other"].get(VETH, {}).get("tx", 0) >= outside,
          f"other on {VETH}: {final['other'].get(VETH)}; the outside process sent {outside}")
    for path, before in cgroups_of(middle).items():
        after = got.get(path, {}).get(VETH, {})
        check(after.get("rx", 0) >= before[VETH]["rx"] and after.get("tx", 0) >= before[VETH]["tx"],
              f"{short(path)} went down: {before} then {after}")
    raw = open(os.path.join(out_dir, str(UID)), "rb").read()
    check(b"\x1b" not in raw and b"\x01" not in raw and b"\t" not in raw,
          "control bytes written raw")
    check(b"\\u001b[31m" in raw, "the escape byte is not JSON-escaped")

    if ctl_binary:
        report = json.loads(ctl("apps", "cellular", "--json"))
        apps = apps_by_key(report)
        check(report["dataType"] == "cellular" and report["counterRunning"],
              f"report: {report['dataType']} {report['counterRunning']}")

        def total(path):
            return expected[path]["rx"] + expected[path]["tx"]
        named = {"app:org.example.SenderA": (total(SENDER_A), expected[SENDER_A]["rx"]),
                 "app:org.example.SenderB": (total(SENDER_B), 0),
                 "app:org.example.Reborn": (total(REBORN), 0)}
        for key, (bytes_total, received) in named.items():
            got_app = apps.get(key, {})
            check(got_app.get("total") == bytes_total and got_app.get("received") == received,
                  f"{key}: {got_app}, sent {bytes_total} with {received} received")
            check(got_app.get("name") == key[4:], f"{key} named {got_app.get('name')!r}")
        # "</b>" in the hostile name nests it: its last part is a scope without an application
        # id, whose sender has gone, so its bytes and its deep cgroups' are the system's.
        hostile_total = total(os.fsdecode(hostile)) + total(os.fsdecode(deep))
        check(not [k for k in apps if "<b>" in k], f"a hostile name became an application: {sorted(apps)}")
        check(apps.get("system", {}).get("total", 0) >= outside + hostile_total
              and apps["system"]["name"] == "System",
              f"System: {apps.get('system')}; sent from outside {outside}, from the hostile scope "
              f"{hostile_total}")
        check(report["dashboard"] >= report["attributed"] and report["notAttributed"] >= 0,
              f"dashboard {report['dashboard']}, attributed {report['attributed']}")
        wifi = json.loads(ctl("apps", "wifi", "--json", "--no-update"))
        check(wifi["apps"] == [], f"the veth's traffic counted as Wi-Fi: {wifi['apps']}")
        before_restart = apps.get("app:org.example.SenderA", {}).get("total", 0)

    # The file is the user's alone.
    st = os.stat(os.path.join(out_dir, str(UID)))
    check(st.st_uid == UID and (st.st_mode & 0o777) == 0o600,
          f"owner {st.st_uid}, mode {oct(st.st_mode & 0o777)}")
    stranger = run("setpriv", f"--reuid={STRANGER}", f"--regid={STRANGER}", "--clear-groups",
                   "cat", os.path.join(out_dir, str(UID)), check=False)
    check(stranger.returncode != 0 and "Permission denied" in stranger.stderr,
          f"another user read the file: {stranger.returncode} {stranger.stderr}")
    owner = run("setpriv", f"--reuid={UID}", f"--regid={UID}", "--clear-groups",
                "cat", os.path.join(out_dir, str(UID)), check=False)
    check(owner.returncode == 0 and json.loads(owner.stdout)["uid"] == UID,
          f"the user cannot read their file: {owner.stderr}")

    # A restart: the earlier run's final counts come along, unchanged, one level deep.
    # The user's own file is theirs to change; the helper must not take that for the truth.
    with open(os.path.join(out_dir, str(UID)), "w") as f:
        json.dump(dict(final, epoch=final["boot_id"] + "/1", cgroups=[]), f)
    seen_epochs.add(final["boot_id"] + "/1")
    start_helper()
    again = snapshot()
    previous = again.get("previous")
    check(previous == {"epoch": final["epoch"], "cgroups": final["cgroups"], "other": final["other"]},
          f"previous section: {previous}")
    check(again["epoch"] != final["epoch"], "the restart kept the epoch")
    check(cgroups_of(again) == {}, f"a new run starts from nothing: {again['cgroups']}")
    fresh = send(SENDER_A.encode(), 2, 50)
    stop_helper()
    last = snapshot()
    check(cgroups_of(last).get(SENDER_A) == {VETH: {"rx": 0, "tx": fresh}},
          f"after the restart: {cgroups_of(last).get(SENDER_A)}")
    check("previous" not in (last.get("previous") or {}), "previous nested")
    if ctl_binary:
        # The user last saw the earlier run's final counts: the new run adds only what it sent.
        after = apps_by_key(json.loads(ctl("apps", "cellular", "--json")))
        check(after.get("app:org.example.SenderA", {}).get("total") == before_restart + fresh,
              f"after the restart: {after.get('app:org.example.SenderA')}, "
              f"{before_restart} before and {fresh} sent since")
    sink.kill()
except AssertionError as e:
    failures.append(str(e))
    print("FAIL:", e)
finally:
    cleanup()

if failures:
    print(f"{len(failures)} check(s) failed")
    sys.exit(1)
print("byteward-appstats counted every cgroup's bytes exactly")
