#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""What byteward-appstats's programs cost per packet: iperf3 streams over a veth pair into a
network namespace made here, with and without the helper attached, alternately.

  appstats_throughput.py BYTEWARD-APPSTATS OUT.json [--seconds 3] [--repetitions 5]

A TCP stream (large packets, segmentation offload) and a UDP stream of 1200-byte datagrams
(one hook run per datagram each way, the worst case). Writes the throughput of every run and
the medians. Exits 77 with a message where not root, or without BPF, iperf3 or namespaces.
"""
import argparse
import json
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

parser = argparse.ArgumentParser()
parser.add_argument("helper")
parser.add_argument("out")
parser.add_argument("--seconds", type=int, default=3)
parser.add_argument("--repetitions", type=int, default=5)
args = parser.parse_args()

NS, VETH, PEER = f"bwbench-{os.getpid()}", f"bwb{os.getpid() % 100000}h", "bwbench-peer"
HOST, FAR = "fd42:6277:6262::1", "fd42:6277:6262::2"


def skip(why):
    print(f"skipped: {why}")
    sys.exit(77)


def run(*cmd, check=True):
    return subprocess.run(cmd, check=check, capture_output=True, text=True)


if os.geteuid() != 0:
    skip("needs root")
for tool in ("ip", "iperf3", "bpftool"):
    if not shutil.which(tool):
        skip(f"needs {tool}")

work = tempfile.mkdtemp(prefix="bwbench-")
server = helper = None


def cleanup():
    for proc in (helper, server):
        if proc and proc.poll() is None:
            proc.kill()
            proc.wait()
    run("ip", "netns", "del", NS, check=False)
    shutil.rmtree(work, ignore_errors=True)


def start_helper():
    proc = subprocess.Popen([args.helper, "--out-dir", os.path.join(work, "apps"),
                             "--interval", "5"], stderr=subprocess.PIPE, text=True)
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        if proc.poll() is not None:
            skip(f"the helper did not start: {proc.stderr.read().strip()}")
        shown = run("bpftool", "cgroup", "tree", check=False).stdout
        if "appstats_egress" in shown and "appstats_ingress" in shown:
            return proc
        time.sleep(0.1)
    proc.kill()
    skip("the helper's programs never showed up attached")


def stop_helper(proc):
    proc.send_signal(signal.SIGTERM)
    proc.wait(timeout=20)


def stream(udp):
    cmd = ["iperf3", "-c", FAR, "-t", str(args.seconds), "-J"]
    if udp:
        cmd += ["-u", "-b", "0", "-l", "1200"]
    result = json.loads(run(*cmd).stdout)
    end = result["end"]
    # What arrived, per second: UDP reports it in sum, TCP in sum_received.
    return (end["sum"] if udp else end["sum_received"])["bits_per_second"]


try:
    try:
        run("ip", "netns", "add", NS)
        run("ip", "link", "add", VETH, "type", "veth", "peer", "name", PEER, "netns", NS)
        run("ip", "addr", "add", HOST + "/64", "dev", VETH, "nodad")
        run("ip", "netns", "exec", NS, "ip", "addr", "add", FAR + "/64", "dev", PEER, "nodad")
        run("ip", "link", "set", VETH, "up")
        run("ip", "netns", "exec", NS, "ip", "link", "set", PEER, "up")
    except subprocess.CalledProcessError as e:
        skip(f"cannot make a network namespace and veth pair: {e.stderr.strip()}")
    server = subprocess.Popen(["ip", "netns", "exec", NS, "iperf3", "-s", "-B", FAR],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(0.5)

    figures = {"tcp": {"off": [], "on": []}, "udp": {"off": [], "on": []}}
    for repetition in range(args.repetitions):
        # Alternating which comes first spreads a slow spell of a shared machine over both.
        order = ("off", "on") if repetition % 2 == 0 else ("on", "off")
        for state in order:
            if state == "on":
                helper = start_helper()
            for kind in ("tcp", "udp"):
                figures[kind][state].append(stream(kind == "udp"))
            if state == "on":
                stop_helper(helper)
                helper = None
    summary = {"seconds": args.seconds, "repetitions": args.repetitions, "runs": figures}
    for kind, states in figures.items():
        off, on = statistics.median(states["off"]), statistics.median(states["on"])
        summary[kind] = {"off_bps": off, "on_bps": on, "slowdown": off / on}
        print(f"{kind}: {off / 1e9:.2f} Gbit/s without, {on / 1e9:.2f} with the helper: "
              f"{off / on:.3f}x")
    with open(args.out, "w") as f:
        json.dump(summary, f, indent=1)
finally:
    cleanup()
