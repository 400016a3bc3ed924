#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Prints bench/run's results as ratios against the targets: report.py RESULTS_DIR."""
import json
import os
import statistics
import sys

results = sys.argv[1]
rows = []


def load(name):
    path = os.path.join(results, name)
    if not os.path.exists(path):
        return None
    with open(path) as f:
        return json.load(f)


def check(what, figure, target, met):
    rows.append((what, figure, target, "met" if met else "MISSED"))


def note(what, figure):
    rows.append((what, figure, "", ""))


micro = load("micro.json")
if micro:
    # CPU time of the median of the repetitions, in microseconds.
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}
    cpu = {}
    for b in micro["benchmarks"]:
        if b.get("aggregate_name", "median") == "median":
            cpu[b["run_name"]] = b["cpu_time"] * scale[b["time_unit"]]

    def us(name):
        return cpu[name]

    floor = us("FloorReadOfTheCounters")
    empty = us("UpdateCycle/years:0/counters:0")
    note("floor: one read of the counters", f"{floor:.1f} us CPU")
    check("update cycle, empty stores / floor", f"{empty / floor:.1f}x ({empty:.0f} us)", "<= 20x",
          empty / floor <= 20)
    for name, label in (("UpdateCycle/years:10/counters:1", "ten years of history"),
                        ("UpdateCycle/years:0/counters:50", "50 custom counters")):
        added = us(name) / empty - 1
        check(f"update cycle with {label}, added", f"{added * 100:+.0f} % ({us(name):.0f} us)",
              "<= +50 %", added <= 0.5)
    day0 = us("DayChangeUpdate/years:0/counters:1")
    day1 = us("DayChangeUpdate/years:1/counters:1")
    day10 = us("DayChangeUpdate/years:10/counters:1")
    note("day-change update, 0 / 1 / 10 years", f"{day0:.0f} / {day1:.0f} / {day10:.0f} us")
    check("day-change update, 10 years / 1 year", f"{day10 / day1:.1f}x", "<= 10x (history 10x)",
          day10 / day1 <= 10)
    note("dashboard repaint", f"{us('DashboardRepaint'):.0f} us")
    if "AtomicWriteOfARecord" in cpu:
        note("one record written atomically (the daemon's floor)",
             f"{us('AtomicWriteOfARecord'):.0f} us CPU")
    for screen, names in (
        ("history list", ["HistoryListOpens/years:1", "HistoryListOpens/years:10"]),
        ("history detail, period in progress",
         ["HistoryDetailOpens/years:1/past:0", "HistoryDetailOpens/years:10/past:0"]),
        ("history detail, oldest period",
         ["HistoryDetailOpens/years:1/past:1", "HistoryDetailOpens/years:10/past:1"]),
    ):
        one, ten = us(names[0]) / 1e3, us(names[1]) / 1e3
        check(f"{screen} opens, ten years", f"{ten:.1f} ms", "< 100 ms", ten < 100)
        check(f"{screen}, 10 years / 1 year", f"{ten / one:.1f}x", "<= 10x", ten / one <= 10)

programs = load("programs.json")
if programs:
    for r in programs["results"]:
        name = r["command"]
        figure = f"{r['mean'] * 1e3:.1f} ms wall, {(r['user'] + r['system']) * 1e3:.1f} ms CPU"
        path = os.path.join(results, f"time-{name}.txt")
        if os.path.exists(path):
            peaks = [int(line.split()[-1]) for line in open(path) if line.strip()]
            figure += f", {max(peaks) / 1024:.1f} MiB peak"
        note(f"whole program: {name}", figure)

def waits_per_minute(name):
    """Calls of the waiting system calls in strace's summary, over its minute."""
    path = os.path.join(results, f"waits-{name}.txt")
    if not os.path.exists(path):
        return float("nan")
    for line in open(path):
        fields = line.split()
        if fields and fields[-1] == "total":
            return float(fields[3])
    return float("nan")


def smaps(name):
    path = os.path.join(results, f"smaps-{name}.txt")
    values = {}
    if os.path.exists(path):
        for line in open(path):
            key, _, rest = line.partition(":")
            if rest.strip().endswith("kB"):
                values[key] = int(rest.split()[0]) / 1024
    return values


daemon = load("daemon.json")
if daemon:
    b, v = daemon["byteward"], daemon["vnstatd"]
    minutes = daemon["seconds"] / 60
    note("daemon period", f"{minutes:.1f} min, both every 20 s")
    check("daemon CPU / vnstatd CPU",
          f"{b['cpu_s'] / max(v['cpu_s'], 1e-9):.1f}x ({b['cpu_s'] * 1e3:.0f} vs "
          f"{v['cpu_s'] * 1e3:.0f} ms)", "< 1x", b["cpu_s"] < v["cpu_s"])
    check("daemon peak RSS / vnstatd peak RSS",
          f"{b['peak_rss_kib'] / v['peak_rss_kib']:.1f}x "
          f"({b['peak_rss_kib'] / 1024:.1f} vs {v['peak_rss_kib'] / 1024:.1f} MiB)",
          "<= 2x", b["peak_rss_kib"] <= 2 * v["peak_rss_kib"])
    for name in ("byteward", "vnstatd"):
        m = smaps(name)
        if m:
            note(f"{name} resident: anonymous / file-backed",
                 f"{m.get('Anonymous', 0):.1f} / {m.get('Rss', 0) - m.get('Anonymous', 0):.1f} MiB")
    # A 20 s tick gives 3 waits a minute; strace misses the one in flight when it attaches.
    note("wake-ups in a traced minute, daemon / vnstatd",
         f"{waits_per_minute('byteward'):.0f} / {waits_per_minute('vnstatd'):.0f} waits returned")
    note("sleeps per minute (timer and disk waits), daemon / vnstatd",
         f"{b['sleeps_per_min']:.0f} / {v['sleeps_per_min']:.0f}")

metrics = load("metrics.json")
if metrics:
    p, e, v = metrics["plain"], metrics["endpoint"], metrics["vnstatd"]
    note("metrics endpoint period",
         f"{metrics['seconds'] / 60:.1f} min, every 20 s, scraped every 5 s")
    check("daemon with endpoint CPU / vnstatd CPU",
          f"{e['cpu_s'] / max(v['cpu_s'], 1e-9):.1f}x ({e['cpu_s'] * 1e3:.0f} vs "
          f"{v['cpu_s'] * 1e3:.0f} ms)", "< 1x", e["cpu_s"] < v["cpu_s"])
    check("daemon with endpoint peak RSS / vnstatd peak RSS",
          f"{e['peak_rss_kib'] / v['peak_rss_kib']:.1f}x "
          f"({e['peak_rss_kib'] / 1024:.1f} vs {v['peak_rss_kib'] / 1024:.1f} MiB)",
          "<= 2x", e["peak_rss_kib"] <= 2 * v["peak_rss_kib"])
    note("added by the endpoint: CPU / peak RSS / threads",
         f"{(e['cpu_s'] - p['cpu_s']) * 1e3:+.0f} ms ({e['cpu_s'] / max(p['cpu_s'], 1e-9):.2f}x)"
         f" / {(e['peak_rss_kib'] - p['peak_rss_kib']) / 1024:+.2f} MiB"
         f" / {e['threads']} vs {p['threads']}")
    path = os.path.join(results, "metrics-scrapes.jsonl")
    scrapes = [json.loads(line) for line in open(path) if line.strip()] if os.path.exists(path) else []
    served = [s["ms"] for s in scrapes if s["status"] == 200]
    if served:
        note("scrapes answered, median / slowest",
             f"{len(served)} of {len(scrapes)}, {statistics.median(served):.1f} / "
             f"{max(served):.1f} ms ({scrapes[-1]['bytes']} bytes)")

app = load("app.json")
if app:
    wall = {r["command"]: r["mean"] * 1e3 for r in app["results"]}
    cpu = {r["command"]: (r["user"] + r["system"]) * 1e3 for r in app["results"]}
    platform = open(os.path.join(results, "app-platform.txt")).read().strip()
    ratio = wall["byteward"] / wall["minimal"]
    check(f"app first frame / minimal Qt Quick ({platform}, wall)",
          f"{ratio:.2f}x ({wall['byteward']:.0f} vs {wall['minimal']:.0f} ms)", "<= 1.5x",
          ratio <= 1.5)
    note("app first frame, CPU: byteward / minimal / minimal Controls",
         f"{cpu['byteward']:.0f} / {cpu['minimal']:.0f} / {cpu['controls']:.0f} ms")
    note("minimal Qt Quick Controls app (the floor with Controls)",
         f"{wall['controls']:.0f} ms wall, byteward {wall['byteward'] / wall['controls']:.2f}x")
    rss = {}
    for name in ("byteward", "minimal", "controls"):
        values = [int(x) for x in open(os.path.join(results, f"rss-{name}.txt")) if x.strip()]
        rss[name] = statistics.median(values) / 1024 if values else float("nan")
    ratio = rss["byteward"] / rss["minimal"]
    check("app resident memory at first frame / minimal",
          f"{ratio:.2f}x ({rss['byteward']:.0f} vs {rss['minimal']:.0f} MiB; Controls "
          f"{rss['controls']:.0f})", "<= 1.5x", ratio <= 1.5)

width = max(len(r[0]) for r in rows) if rows else 0
fig = max(len(r[1]) for r in rows) if rows else 0
for what, figure, target, verdict in rows:
    print(f"{what:<{width}}  {figure:<{fig}}  {target:<22} {verdict}".rstrip())
