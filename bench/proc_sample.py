#!/usr/bin/env python3
"""What running processes cost over a period: CPU time, peak resident memory and wake-ups.

    proc_sample.py SECONDS NAME:PID...

Takes a reading of every process (all its threads), waits SECONDS, takes another and prints the
differences as JSON. Wake-ups are the voluntary context switches: each is the process going to
sleep and being woken again.
"""
import json
import os
import sys
import time

TICKS = os.sysconf("SC_CLK_TCK")


def reading(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    # utime and stime are fields 14 and 15 of the line; here counted after the name.
    cpu = (int(fields[11]) + int(fields[12])) / TICKS
    status = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            status[key] = value.strip()
    switches = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        with open(f"/proc/{pid}/task/{task}/status") as f:
            for line in f:
                if line.startswith("voluntary_ctxt_switches"):
                    switches += int(line.split()[1])
    return {
        "cpu_s": cpu,
        "hwm_kib": int(status["VmHWM"].split()[0]),
        "rss_kib": int(status["VmRSS"].split()[0]),
        "threads": int(status["Threads"]),
        "wakeups": switches,
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
            "wakeups_per_min": (after["wakeups"] - before[name]["wakeups"]) * 60 / elapsed,
        }
    json.dump(result, sys.stdout, indent=2)
    print()


main()
