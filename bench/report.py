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
    check("update cycle / floor read", f"{empty / floor:.1f}x ({empty:.0f} us)", "<= 8x",
          empty / floor <= 8)
    for name, label in (("UpdateCycle/years:10/counters:1", "ten years of history"),
                        ("UpdateCycle/years:0/counters:50", "50 custom counters")):
        added = us(name) / empty - 1
        check(f"update cycle with {label}, added", f"{added * 100:+.0f} % ({us(name):.0f} us)",
              "<= +50 %", added <= 0.5)
    if "AtomicWriteOfARecord" in cpu:
        note("one record written atomically", f"{us('AtomicWriteOfARecord'):.0f} us CPU")
    if "WritesOfACycle" in cpu:
        # What a cycle with traffic must write and flush (both records, the custom counters):
        # on a machine whose counters read cheaply these alone can pass the ratio above.
        writes = us("WritesOfACycle")
        note("floor: a cycle's flushed writes (two records, the custom counters) / floor read",
             f"{writes / floor:.1f}x ({writes:.0f} us CPU)")
        note("update cycle less those writes / floor read",
             f"{(empty - writes) / floor:.1f}x ({empty - writes:.0f} us)")
    day0 = us("DayChangeUpdate/years:0/counters:1")
    day1 = us("DayChangeUpdate/years:1/counters:1")
    day10 = us("DayChangeUpdate/years:10/counters:1")
    note("day-change update, 0 / 1 / 10 years", f"{day0 / 1e3:.1f} / {day1 / 1e3:.1f} / "
         f"{day10 / 1e3:.1f} ms")
    check("day change with ten years of history", f"{day10 / 1e3:.1f} ms", "<= 50 ms",
          day10 <= 50e3)
    check("day change, ten years / one year", f"{day10 / day1:.1f}x", "<= 12x",
          day10 / day1 <= 12)
    note("dashboard repaint", f"{us('DashboardRepaint'):.0f} us")
    for what, name in (("read", "XmlRecordRead"), ("written", "XmlRecordWrite")):
        ours, theirs = us(f"{name}/libplist:0"), us(f"{name}/libplist:1")
        note(f"usage record {what} as XML, ours / libplist",
             f"{ours:.1f} / {theirs:.1f} us ({theirs / ours:.1f}x)")
    for screen, name in (
        ("history list", "HistoryListOpens/years:10"),
        ("history detail, period in progress", "HistoryDetailOpens/years:10/past:0"),
        ("history detail, oldest period", "HistoryDetailOpens/years:10/past:1"),
    ):
        ten = us(name) / 1e3
        check(f"{screen} opens with ten years", f"{ten:.1f} ms", "<= 40 ms", ten <= 40)

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

def waits_per_minute(name, minutes=1.0):
    """Calls of the waiting system calls in strace's summary, per minute of its trace."""
    path = os.path.join(results, f"waits-{name}.txt")
    if not os.path.exists(path):
        return float("nan")
    for line in open(path):
        fields = line.split()
        if fields and fields[-1] == "total":
            return float(fields[3]) / minutes
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


def private_by_mapping(name):
    """The private memory (MiB) of each file a process maps, and of everything else."""
    path = os.path.join(results, f"smaps-mappings-{name}.txt")
    totals = {}
    current = None
    if not os.path.exists(path):
        return totals
    for line in open(path):
        head = line.split()
        if head and "-" in head[0] and ":" not in head[0]:
            current = head[5] if len(head) > 5 and head[5].startswith("/") else "(other)"
        elif head and head[0] in ("Private_Clean:", "Private_Dirty:"):
            totals[current] = totals.get(current, 0) + int(head[1]) / 1024
    return totals


def sleeps_per_hour(sample):
    return sample["sleeps_per_min"] * 60


daemon = load("daemon.json")
if daemon:
    b, v = daemon["byteward"], daemon["vnstatd"]
    minutes = daemon["seconds"] / 60
    note("daemon period", f"{minutes:.1f} min, both every 20 s")
    check("daemon CPU / vnstatd CPU, both every 20 s",
          f"{b['cpu_s'] / max(v['cpu_s'], 1e-9):.2f}x ({b['cpu_s'] * 1e3:.0f} vs "
          f"{v['cpu_s'] * 1e3:.0f} ms)", "<= 1x", b["cpu_s"] <= v["cpu_s"])
    if micro and "RecordWritesOfASample" in cpu:
        # Each sample flushes both records to disk (vnstatd keeps its counters in memory and
        # writes once a minute); what those writes cost, from the benchmark of them.
        samples = daemon["seconds"] / 20
        flushed = us("RecordWritesOfASample") * samples / 1e6
        note("floor: the period's record writes (both records flushed, each sample) / vnstatd CPU",
             f"{flushed / max(v['cpu_s'], 1e-9):.2f}x ({flushed * 1e3:.0f} ms, "
             f"{samples:.0f} samples)")
        note("daemon CPU less those writes / vnstatd CPU",
             f"{(b['cpu_s'] - flushed) / max(v['cpu_s'], 1e-9):.2f}x")
    mb, mv = smaps("byteward"), smaps("vnstatd")
    if mb and mv:
        uss = {name: m.get("Private_Clean", 0) + m.get("Private_Dirty", 0)
               for name, m in (("byteward", mb), ("vnstatd", mv))}
        check("daemon private memory (USS) / vnstatd's",
              f"{uss['byteward'] / uss['vnstatd']:.2f}x ({uss['byteward']:.1f} vs "
              f"{uss['vnstatd']:.1f} MiB)", "<= 2x", uss["byteward"] <= 2 * uss["vnstatd"])
        check("daemon PSS / vnstatd PSS",
              f"{mb['Pss'] / mv['Pss']:.2f}x ({mb['Pss']:.1f} vs {mv['Pss']:.1f} MiB)", "<= 3x",
              mb["Pss"] <= 3 * mv["Pss"])
        # ICU is the calendar and locale library the daemon is built on; on this machine no
        # other process maps it, so all of the code and data it touches is private.
        mapped = private_by_mapping("byteward")
        if mapped:
            icu = sum(v for k, v in mapped.items() if "/libicu" in k)
            own = sum(v for k, v in mapped.items() if k.endswith("/bytewardctl"))
            note("floor: daemon USS in ICU / in bytewardctl's code / the rest",
                 f"{icu:.1f} / {own:.1f} / {uss['byteward'] - icu - own:.1f} MiB")
            note("daemon USS without ICU / vnstatd's",
                 f"{(uss['byteward'] - icu) / uss['vnstatd']:.2f}x")
        for name, m in (("byteward", mb), ("vnstatd", mv)):
            note(f"{name} resident: anonymous / file-backed, dirty private",
                 f"{m.get('Anonymous', 0):.1f} / {m.get('Rss', 0) - m.get('Anonymous', 0):.1f}"
                 f", {m.get('Private_Dirty', 0):.1f} MiB")
    check("daemon peak RSS / vnstatd peak RSS",
          f"{b['peak_rss_kib'] / v['peak_rss_kib']:.2f}x "
          f"({b['peak_rss_kib'] / 1024:.1f} vs {v['peak_rss_kib'] / 1024:.1f} MiB)",
          "<= 2x", b["peak_rss_kib"] <= 2 * v["peak_rss_kib"])
    # A 20 s tick gives 3 waits a minute; strace misses the one in flight when it attaches.
    note("wake-ups in a traced minute, daemon / vnstatd",
         f"{waits_per_minute('byteward'):.0f} / {waits_per_minute('vnstatd'):.0f} waits returned")
    note("wake-ups per hour, both every 20 s, daemon / vnstatd",
         f"{sleeps_per_hour(b):.0f} / {sleeps_per_hour(v):.0f}")

defaults = load("defaults.json")
if defaults:
    b, v = defaults["byteward"], defaults["vnstatd"]
    note("default settings period", f"{defaults['seconds'] / 60:.1f} min: daemon every 60 s, "
         "vnstatd as installed")
    # Every time the scheduler woke the process: its timers and the disk finishing a flush.
    check("sleeps per hour at default settings (timers and disk), daemon / vnstatd",
          f"{sleeps_per_hour(b):.0f} / {sleeps_per_hour(v):.0f}", "fewer than vnstatd",
          sleeps_per_hour(b) < sleeps_per_hour(v))
    seconds_path = os.path.join(results, "waits-defaults-seconds.txt")
    if os.path.exists(seconds_path):
        traced = float(open(seconds_path).read()) / 60
        # strace counts the waits it saw end: one in flight when it attached or stopped may be
        # missed, a tick's worth at 60 s.
        idle_b = waits_per_minute("defaults-byteward", traced) * 60
        idle_v = waits_per_minute("defaults-vnstatd", traced) * 60
        check("wake-ups from idle per hour at default settings (timer or event), daemon / vnstatd",
              f"{idle_b:.0f} / {idle_v:.0f} ({traced:.0f} min traced)", "fewer than vnstatd",
              idle_b < idle_v)
        # What the rest of the daemon's sleeps are: one record flush after another.
        note("floor: the daemon's waits for the disk per sample (two records flushed)",
             f"{(sleeps_per_hour(b) - idle_b) / 60:.1f} (sleeps less wake-ups, one sample a minute)")
    note("CPU at default settings, daemon / vnstatd",
         f"{b['cpu_s'] * 1e3:.0f} / {v['cpu_s'] * 1e3:.0f} ms "
         f"({b['cpu_s'] / max(v['cpu_s'], 1e-9):.2f}x)")

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
    ratio = wall["byteward"] / wall["controls"]
    check(f"app first frame / minimal Controls app ({platform}, wall)",
          f"{ratio:.2f}x ({wall['byteward']:.0f} vs {wall['controls']:.0f} ms)", "<= 1.15x",
          ratio <= 1.15)
    note("app first frame, CPU: byteward / minimal Controls / minimal Quick",
         f"{cpu['byteward']:.0f} / {cpu['controls']:.0f} / {cpu['minimal']:.0f} ms")
    note("minimal Qt Quick app (a Window with a Text)",
         f"{wall['minimal']:.0f} ms wall, byteward {wall['byteward'] / wall['minimal']:.2f}x")
    rss = {}
    for name in ("byteward", "minimal", "controls"):
        values = [int(x) for x in open(os.path.join(results, f"rss-{name}.txt")) if x.strip()]
        rss[name] = statistics.median(values) / 1024 if values else float("nan")
    ratio = rss["byteward"] / rss["controls"]
    check("app resident memory at first frame / minimal Controls app",
          f"{ratio:.2f}x ({rss['byteward']:.0f} vs {rss['controls']:.0f} MiB; Quick "
          f"{rss['minimal']:.0f})", "<= 1.1x", ratio <= 1.1)

appstats = load("appstats.json")
if appstats:
    for kind, label in (("tcp", "TCP stream"), ("udp", "UDP, 1200-byte datagrams")):
        figure = appstats[kind]
        check(f"veth {label}: throughput without / with byteward-appstats",
              f"{figure['slowdown']:.3f}x ({figure['off_bps'] / 1e9:.2f} vs "
              f"{figure['on_bps'] / 1e9:.2f} Gbit/s, median of {appstats['repetitions']})",
              "<= 1.05x", figure["slowdown"] <= 1.05)

width = max(len(r[0]) for r in rows) if rows else 0
fig = max(len(r[1]) for r in rows) if rows else 0
for what, figure, target, verdict in rows:
    print(f"{what:<{width}}  {figure:<{fig}}  {target:<22} {verdict}".rstrip())
