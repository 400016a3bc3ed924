#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Scrapes a metrics page as Prometheus would, until killed: scrape.py URL INTERVAL OUT.

Each scrape's wall time (milliseconds), status and size go to OUT as one JSON line, so a
measurement that stops it at any moment still has every scrape taken.
"""
import json
import sys
import time
import urllib.request

url, interval, out = sys.argv[1], float(sys.argv[2]), sys.argv[3]
with open(out, "a", buffering=1) as log:
    while True:
        start = time.monotonic()
        try:
            with urllib.request.urlopen(url, timeout=10) as answer:
                status, size = answer.status, len(answer.read())
        except OSError as error:
            status, size = str(error), 0
        took = (time.monotonic() - start) * 1e3
        log.write(json.dumps({"ms": took, "status": status, "bytes": size}) + "\n")
        time.sleep(max(0.0, interval - took / 1e3))
