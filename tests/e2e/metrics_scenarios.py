#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""bytewardctl's figures as monitoring systems take them, against a fake counter tree.

  format        promtool check metrics accepts `bytewardctl metrics` fresh, with an unlimited
                plan, with a plan and custom counters, and with names that need escaping; --out
                replaces a readable file whole.
  prometheus    a real Prometheus scrapes `daemon --metrics-listen` (and node_exporter's textfile
                collector reading `daemon --metrics-out`) while the counters rise; the series
                equal the record and `status --json`, and rate() follows the rise.
  bad_requests  requests the listener must refuse or drop, all at once; the daemon keeps its
                ticks and answers a good scrape afterwards.
  contrib       the example alert rules pass promtool's check and their unit tests; the Grafana
                dashboard is JSON; both query only families that `metrics` writes.

Exits 77 (skipped) only when the Prometheus programs are not installed.
"""
import json
import os
import re
import shutil
import socket
import stat
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

CTL = os.path.realpath(sys.argv[1])
MODE = sys.argv[2]
MB = 1024 * 1024
failures = []


def fail(message):
    print("FAIL:", message)
    failures.append(message)


def check(condition, message):
    if not condition:
        fail(message)
    return condition


class Home:
    """Private XDG folders and a counter tree with one modem interface."""

    def __init__(self, root):
        self.root = root
        self.env = dict(os.environ, TZ="UTC", LC_ALL="C.UTF-8",
                        XDG_DATA_HOME=f"{root}/data", XDG_CONFIG_HOME=f"{root}/config",
                        XDG_STATE_HOME=f"{root}/state", BYTEWARD_NET_ROOT=f"{root}/net",
                        BYTEWARD_NETWORK_SERVICES="none", BYTEWARD_BOOT_TIME="1796680000",
                        DBUS_SESSION_BUS_ADDRESS=f"unix:path={root}/no-bus",
                        DBUS_SYSTEM_BUS_ADDRESS=f"unix:path={root}/no-bus")
        os.makedirs(f"{root}/net/wwan0/statistics")
        with open(f"{root}/net/wwan0/uevent", "w") as f:
            f.write("DEVTYPE=wwan\n")
        self.counters(0, 0)

    def counters(self, received, sent):
        for name, value in (("rx_bytes", received), ("tx_bytes", sent)):
            path = f"{self.root}/net/wwan0/statistics/{name}"
            with open(path + ".new", "w") as f:
                f.write(f"{value}\n")
            os.replace(path + ".new", path)

    def ctl(self, *args, status=0):
        run = subprocess.run([CTL, *args], env=self.env, capture_output=True, timeout=30)
        check(run.returncode == status,
              f"bytewardctl {' '.join(map(str, args))} exited {run.returncode}: {run.stderr!r}")
        return run.stdout

    def json(self, *args):
        return json.loads(self.ctl(*args))

    def daemon(self, *args):
        log = open(f"{self.root}/daemon.log", "w+")
        process = subprocess.Popen([CTL, "-v", "daemon", "--interval", "1", *args], env=self.env,
                                   stdout=log, stderr=log)
        return process, log


def served_address(log_path, process):
    """The address the daemon says it serves, once it has said so."""
    for _ in range(100):
        with open(log_path) as f:
            found = re.search(r"Serving metrics at http://(\S+)/metrics", f.read())
        if found:
            return found.group(1)
        if process.poll() is not None:
            break
        time.sleep(0.05)
    raise RuntimeError("the daemon did not say where it serves: " + open(log_path).read())


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def http_get(url, timeout=5):
    with urllib.request.urlopen(url, timeout=timeout) as answer:
        return answer.status, answer.read().decode()


def parse_exposition(text):
    """{(name, frozenset(labels)): value} of a text in the exposition format."""
    samples = {}
    for line in text.splitlines():
        if not line or line.startswith("#"):
            continue
        found = re.match(r'^([a-zA-Z_:][a-zA-Z0-9_:]*)(?:\{(.*)\})? (\S+)$', line)
        if not check(found, f"not a sample line: {line!r}"):
            continue
        labels = re.findall(r'([a-zA-Z_]\w*)="((?:[^"\\]|\\.)*)"', found.group(2) or "")
        samples[(found.group(1), frozenset(labels))] = float(found.group(3))
    return samples


def wait_until(what, predicate, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.1)
    fail(f"{what}: not within {seconds} s")
    return False


def promtool_accepts(text, state):
    if isinstance(text, str):
        text = text.encode()
    run = subprocess.run(["promtool", "check", "metrics"], input=text, capture_output=True)
    check(run.returncode == 0,
          f"promtool check metrics, {state}: {run.returncode} {run.stdout!r} {run.stderr!r}")


def format_scenario(work):
    home = Home(work)
    promtool_accepts(home.ctl("metrics", "--no-update"), "fresh, nothing stored")
    home.counters(3000, 1000)
    promtool_accepts(home.ctl("metrics"), "unlimited plan")
    samples = parse_exposition(home.ctl("metrics", "--no-update").decode())
    check(not any(name == "byteward_quota_bytes" for name, _ in samples),
          "an unlimited plan has no quota series")

    home.ctl("defaults", "write", "cellularDataLimit", "-float", "1.5")
    home.ctl("defaults", "write", "cellularDataLimitUnit", "-string", "GB")
    home.ctl("counters", "add", 'Trip "north"\\south')
    home.ctl("counters", "add", "two\nlines")
    home.ctl("counters", "add", b"Latin-1 Z\xfcrich")
    home.ctl("counters", "add", 'Trip "north"\\south')
    home.counters(9000, 2000)
    text = home.ctl("metrics").decode()
    promtool_accepts(text, "a plan, custom counters and names that need escaping")
    samples = parse_exposition(text)
    names = {dict(labels)["name"] for name, labels in samples
             if name == "byteward_custom_meter_paused"}
    # The first run's sample counter, and ours.
    check(names == {"Sample Counter", r'Trip \"north\"\\south', r"two\nlines",
                    "Latin-1 Z\ufffdrich"},
          f"escaped counter names: {names}")
    check(len([1 for name, _ in samples if name == "byteward_custom_meter_paused"]) == 5,
          "two counters of the same name are two series")
    check(samples[("byteward_quota_bytes", frozenset({("type", "cellular")}))] == 1.5 * 1024 * MB,
          "quota in bytes")

    # --out: the same text, in a file others can read, replaced whole.
    out = f"{work}/textfile/byteward.prom"
    os.makedirs(os.path.dirname(out))
    home.ctl("metrics", "--no-update", "--out", out)
    check(open(out).read() == home.ctl("metrics", "--no-update").decode(), "--out holds the text")
    check(stat.S_IMODE(os.stat(out).st_mode) == 0o644, "--out is readable by the collector")
    check(os.listdir(os.path.dirname(out)) == ["byteward.prom"], "no temporary file left")
    home.ctl("metrics", "--out", f"{work}/missing/byteward.prom", status=1)


def scenario_daemon(work):
    """Starts the daemon with both outputs; answers (process, address, textfile folder)."""
    home = Home(work)
    home.ctl("defaults", "write", "cellularDataLimit", "-float", "2")
    home.ctl("defaults", "write", "cellularDataLimitUnit", "-string", "GB")
    home.ctl("counters", "add", 'Trip "x"')
    home.counters(1_000_000, 10_000)
    textfiles = f"{work}/textfile"
    os.makedirs(textfiles)
    process, log = home.daemon("--metrics-listen", "127.0.0.1:0",
                               "--metrics-out", f"{textfiles}/byteward.prom")
    return home, process, log, served_address(log.name, process), textfiles


def query(prometheus, expression, at=None):
    params = {"query": expression}
    if at is not None:
        params["time"] = f"{at:.3f}"
    _, body = http_get(f"http://{prometheus}/api/v1/query?" + urllib.parse.urlencode(params))
    answer = json.loads(body)
    return {frozenset(r["metric"].items()): float(r["value"][1]) for r in answer["data"]["result"]}


def one(results, what):
    if not check(len(results) == 1, f"{what}: {len(results)} series: {results}"):
        return float("nan")
    return next(iter(results.values()))


def prometheus_scenario(work):
    node_exporter = shutil.which("prometheus-node-exporter") or shutil.which("node_exporter")
    home, daemon, log, address, textfiles = scenario_daemon(work)
    processes = [daemon]
    try:
        prometheus = f"127.0.0.1:{free_port()}"
        jobs = [("byteward", address)]
        if node_exporter:
            node = f"127.0.0.1:{free_port()}"
            processes.append(subprocess.Popen(
                [node_exporter, "--collector.disable-defaults", "--collector.textfile",
                 f"--collector.textfile.directory={textfiles}", f"--web.listen-address={node}"],
                stdout=subprocess.DEVNULL, stderr=open(f"{work}/node.log", "w")))
            jobs.append(("node", node))
        else:
            print("node_exporter is not installed: the textfile collector is not tried")
        with open(f"{work}/prometheus.yml", "w") as f:
            f.write("global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\nscrape_configs:\n")
            for job, target in jobs:
                f.write(f"  - job_name: {job}\n    static_configs:\n"
                        f"      - targets: ['{target}']\n")
        processes.append(subprocess.Popen(
            ["prometheus", f"--config.file={work}/prometheus.yml",
             f"--storage.tsdb.path={work}/tsdb", f"--web.listen-address={prometheus}"],
            stdout=subprocess.DEVNULL, stderr=open(f"{work}/prometheus.log", "w")))

        def ready():
            try:
                return http_get(f"http://{prometheus}/-/ready", 1)[0] == 200
            except OSError:
                return False
        if not wait_until("Prometheus ready", ready, 30):
            print(open(f"{work}/prometheus.log").read()[-3000:])
            return

        # Every target up before the counters move.
        wait_until("every target scraped",
                   lambda: sum(query(prometheus, "up").values()) == len(jobs), 15)

        # 2 MiB/s for 10 s, in steps of half a mebibyte.
        step, rate, received = 524_288, 2 * 524_288 * 2, 1_000_000
        start = time.monotonic()
        for i in range(40):
            received += step
            home.counters(received, 10_000 + i)
            time.sleep(max(0.0, start + (i + 1) * 0.25 - time.monotonic()))
        raised_until = time.time()
        expression = 'rate(byteward_all_time_bytes_total{type="cellular",direction="received"}[8s])'
        measured = query(prometheus, expression, at=raised_until)
        for labels, value in measured.items():
            print(f"{dict(labels).get('job')}: rate() {value:.0f} B/s for a raise of {rate} B/s")
            check(0.75 * rate <= value <= 1.25 * rate,
                  f"rate() of received bytes {value:.0f}/s, raised at {rate}/s ({dict(labels)})")
        check(len(measured) == len(jobs), f"a rate from every job: {measured}")

        # The final figures: the daemon's next sample, then two scrapes of it.
        record = {}

        def counted():
            record.update(home.json("record", "cellular", "--json"))
            return record.get("dataAllTimeRecd") == received
        wait_until("the daemon counted the last raise", counted, 5)
        time.sleep(2.5)
        status = home.json("status", "cellular", "--json", "--no-update")
        record = home.json("record", "cellular", "--json")
        for job, _ in jobs:
            def value(name, **labels):
                selector = ",".join([f'job="{job}"'] + [f'{k}="{v}"' for k, v in labels.items()])
                return one(query(prometheus, f"{name}{{{selector}}}"), f"{job} {name} {labels}")
            cellular = {"type": "cellular"}
            period = value("byteward_period_bytes", direction="both", **cellular)
            check(period == record["dataThisMonth"],
                  f"{job}: period {period} is the record's {record['dataThisMonth']}")
            check(f"{period / MB:.2f}" == status["lblMonthlyUsage"],
                  f"{job}: period {period / MB:.2f} MB, dashboard {status['lblMonthlyUsage']}")
            for name, key in (("byteward_all_time_bytes_total", "dataAllTime"),
                              ("byteward_since_boot_bytes_total", "dataSinceLastBoot"),
                              ("byteward_today_bytes", "dataToday")):
                for direction, suffix in (("both", ""), ("sent", "Sent"), ("received", "Recd")):
                    got = value(name, direction=direction, **cellular)
                    check(got == record[key + suffix],
                          f"{job}: {name} {direction} {got} != record {record[key + suffix]}")
            check(value("byteward_quota_bytes", **cellular) == 2 * 1024 * MB, f"{job}: quota")
            projected = value("byteward_projected_bytes", **cellular) / MB
            shown = float(status["lblProjected"].split()[0])
            check(abs(projected - shown) <= 1, f"{job}: projected {projected} MB, shown {shown}")
            ideal = value("byteward_ideal_bytes", **cellular) / MB
            shown = float(status["lblIdealUsage"].split()[0])
            check(abs(ideal - shown) <= 1, f"{job}: ideal {ideal} MB, shown {shown}")
            updated = value("byteward_last_update_timestamp_seconds", **cellular)
            check(abs(updated - time.time()) < 10, f"{job}: last update {updated}")
            start = value("byteward_period_start_timestamp_seconds", **cellular)
            check(time.gmtime(start).tm_mday == 1, f"{job}: the period starts on the 1st")
            trip = query(prometheus, f'byteward_custom_meter_bytes{{job="{job}",name="Trip \\"x\\"",'
                                     'type="cellular",direction="received"}')
            check(one(trip, f"{job} custom counter") == received - 1_000_000,
                  f"{job}: the custom counter added up the raise: {trip}")
            check(value("byteward_build_info") == 1, f"{job}: build info")
    finally:
        for process in reversed(processes):
            process.terminate()
        for process in processes:
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
        check(daemon.returncode == 0, f"the daemon exited {daemon.returncode}")
        if failures:
            print(open(log.name).read()[-3000:])


def raw_exchange(address, request, wait=3.0):
    """What the server answers to raw bytes: its status line, "" when it closed without one,
    None when it kept the connection open all along."""
    host, port = address.rsplit(":", 1)
    with socket.create_connection((host, int(port)), timeout=wait) as s:
        try:
            s.sendall(request)
        except OSError:
            pass  # closed while we still sent: dropped
        answer = b""
        try:
            while True:
                chunk = s.recv(65536)
                if not chunk:
                    break
                answer += chunk
        except socket.timeout:
            return None
        except OSError:
            pass
    return answer.split(b"\r\n", 1)[0].decode(errors="replace")


def bad_requests_scenario(work):
    home, daemon, log, address, _ = scenario_daemon(work)
    host, port = address.rsplit(":", 1)
    try:
        # Each alone: an error, or at worst the connection closed.
        bad = {
            "long request line": b"GET /" + b"a" * 100_000 + b" HTTP/1.1\r\n\r\n",
            "huge headers": b"GET /metrics HTTP/1.1\r\n" + b"X-Pad: " + b"b" * 100_000 + b"\r\n\r\n",
            "many headers": b"GET /metrics HTTP/1.1\r\n" + b"X: y\r\n" * 5000 + b"\r\n",
            "POST": b"POST /metrics HTTP/1.1\r\nContent-Length: 0\r\n\r\n",
            "PUT with a body": b"PUT /metrics HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello",
            "GET with a body": b"GET /metrics HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello",
            "another path": b"GET /etc/passwd HTTP/1.1\r\n\r\n",
            "not HTTP": b"\x16\x03\x01\x00\xa5\x01\x00\x00\xa1\x03\x03" + b"\0" * 200 + b"\r\n\r\n",
        }
        for what, request in bad.items():
            status = raw_exchange(address, request)
            check(status is not None and (status == "" or status.startswith("HTTP/1.1 4")),
                  f"{what}: answered {status!r}")

        # A crowd, half of it slow (never finishing its request), holds connections open while
        # the counters move: the next tick must count them all the same.
        held = []
        for i in range(60):
            s = socket.create_connection((host, int(port)))
            if i % 2 == 0:
                s.sendall(b"GET /metr")
            held.append(s)
        home.counters(3_000_000, 20_000)
        wait_until("a tick while a crowd holds the listener",
                   lambda: home.json("record", "cellular", "--json").get("dataAllTimeRecd")
                   == 3_000_000, 3)
        # The slow ones are cut off within the listener's time limit.
        started = time.monotonic()
        for s in held:
            s.settimeout(10)
            try:
                s.recv(100)
            except OSError:
                pass
            s.close()
        check(time.monotonic() - started < 8, "slow clients were not cut off in time")
        status, body = http_get(f"http://{address}/metrics")
        samples = parse_exposition(body)
        check(status == 200 and samples.get(
            ("byteward_all_time_bytes_total",
             frozenset({("type", "cellular"), ("direction", "received")}))) == 3_000_000,
              "a good scrape afterwards sees the new figures")
    finally:
        daemon.terminate()
        daemon.wait(10)
        check(daemon.returncode == 0, f"the daemon exited {daemon.returncode}")
        if failures:
            print(open(log.name).read()[-3000:])


def contrib_scenario(work):
    source = os.path.dirname(os.path.dirname(os.path.dirname(os.path.realpath(__file__))))
    rules = f"{source}/contrib/prometheus/byteward-alerts.yml"
    for args in (["check", "rules", rules],
                 ["test", "rules", f"{source}/tests/e2e/byteward-alerts.test.yml"]):
        run = subprocess.run(["promtool", *args], capture_output=True, text=True)
        check(run.returncode == 0, f"promtool {' '.join(args)}: {run.stdout} {run.stderr}")

    # Every family there is: a plan, a period, a custom counter, traffic today.
    home = Home(work)
    home.ctl("defaults", "write", "cellularDataLimit", "-float", "1")
    home.ctl("update")
    home.counters(5000, 100)
    text = home.ctl("metrics").decode()
    families = set(re.findall(r"^# TYPE (\S+) ", text, re.M))

    def named(expression):
        # Metric names are the identifiers not followed by "(" (functions) and not labels, words
        # of PromQL or Grafana's variables.
        return set(re.findall(r"\b(byteward_[a-z_]+)\b", expression))

    with open(f"{source}/contrib/grafana/byteward-dashboard.json") as f:
        dashboard = json.load(f)
    queries = [target["expr"] for panel in dashboard["panels"] for target in panel["targets"]]
    queries += [v["query"] for v in dashboard["templating"]["list"] if "byteward" in v["query"]]
    check(queries, "the dashboard has queries")
    with open(rules) as f:
        queries.append(f.read())
    for expression in queries:
        unknown = named(expression) - families
        check(not unknown, f"not written by metrics: {unknown} in {expression!r}")


def main():
    needs = {"format": ["promtool"], "prometheus": ["prometheus"], "bad_requests": [],
             "contrib": ["promtool"]}[MODE]
    missing = [tool for tool in needs if shutil.which(tool) is None]
    if missing:
        print(f"skipped: {', '.join(missing)} not installed (Debian package prometheus)")
        return 77
    work = tempfile.mkdtemp(prefix="byteward-metrics-")
    try:
        {"format": format_scenario, "prometheus": prometheus_scenario,
         "bad_requests": bad_requests_scenario, "contrib": contrib_scenario}[MODE](work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if failures:
        print(f"{len(failures)} failed")
        return 1
    print(f"metrics {MODE} scenario passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
