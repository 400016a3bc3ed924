#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""What running processes cost over a period: CPU time, peak resident memory and wake-ups.

    proc_sample.py SECONDS NAME:PID...

Takes a reading of every process (all its threads), waits SECONDS, takes another and prints the
differences as JSON. CPU time is the scheduler's count in nanoseconds (/proc/PID/task/*/schedstat),
not the 10 ms ticks of /proc/PID/stat. Sleeps are the voluntary context switches: every wait, for
a timer or for the disk to finish a flush.
"""
import json
import os
import sys
import time



def reading(pid):
    status = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            status[key] = value.strip()
    switches = 0
    on_cpu_ns = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        with open(f"/proc/{pid}/task/{task}/status") as f:
            for line in f:
                if line.startswith("voluntary_ctxt_switches"):
                    switches += int(line.split()[1])
        with open(f"/proc/{pid}/task/{task}/schedstat") as f:
            on_cpu_ns += int(f.read().split()[0])
    cpu = on_cpu_ns / 1e9
    return {
        "cpu_s": cpu,
        "hwm_kib": int(status["VmHWM"].split()[0]),
        "rss_kib": int(status["VmRSS"].split()[0]),
        "threads": int(status["Threads"]),
        "sleeps": switches,
    }


def main():
    seconds = float(sys.argv[1])
    processes = dict(arg.split(":") for arg in sys.argv[2:])
    before = {name: reading(pid) for name, pid in processes.items()}
    start = time.monotonic()
    time.sleep(seconds)
    elapsed = time.monotonic() - start
    result = {"seconds": elapsed}
    for name, pid in processes.items():
        after = reading(pid)
        result[name] = {
            "cpu_s": after["cpu_s"] - before[name]["cpu_s"],
            "cpu_total_s": after["cpu_s"],
            "peak_rss_kib": after["hwm_kib"],
            "rss_kib": after["rss_kib"],
            "threads": after["threads"],
            "sleeps_per_min": (after["sleeps"] - before[name]["sleeps"]) * 60 / elapsed,
        }
    json.dump(result, sys.stdout, indent=2)
    print()


main()
