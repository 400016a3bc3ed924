#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Kill runs: store_writer writes one store through the product's code, operation after
operation, and is killed (SIGKILL) after a random delay. Every time, the store must still load
and hold the result of the last operation that returned or of the one after it: old or new,
never a mix, and no file may have been set aside as unreadable.

  crash_writes.py STORE_WRITER [--kills N] [--max-delay MS] [--kinds record,defaults,...]

Prints the kill points survived per kind; exits 1 at the first store that fails.
"""
import argparse
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

WINDOWS = {"history": 20, "schedule": 10}  # every Nth operation empties these stores

parser = argparse.ArgumentParser()
parser.add_argument("writer")
parser.add_argument("--kills", type=int, default=40, help="kill points per kind")
parser.add_argument("--max-delay", type=float, default=40.0, help="milliseconds")
parser.add_argument("--kinds", default="record,defaults,history,counters,schedule")
parser.add_argument("--seed", type=int, default=None)
args = parser.parse_args()

seed = args.seed if args.seed is not None else random.randrange(1 << 30)
rng = random.Random(seed)
work = tempfile.mkdtemp(prefix="bwk-crash-")
env = dict(os.environ, XDG_DATA_HOME=f"{work}/data", XDG_CONFIG_HOME=f"{work}/config",
           XDG_STATE_HOME=f"{work}/state", TZ="UTC", LC_ALL="C.UTF-8",
           BYTEWARD_NOW="2026-12-08T09:00:00Z")


def check(kind):
    done = subprocess.run([args.writer, "check", kind], env=env, capture_output=True, text=True)
    if done.returncode != 0:
        raise AssertionError(f"{kind}: the store does not load whole: {done.stdout}{done.stderr}")
    return int(done.stdout)


def matches(kind, held, candidate):
    if held >= 0:
        return held == candidate
    return candidate % WINDOWS[kind] == 0  # an emptied store


def set_aside():
    found = []
    for root, _, files in os.walk(work):
        found += [os.path.join(root, f) for f in files if ".unreadable-" in f]
    return found


def temporaries():
    return sum(1 for root, _, files in os.walk(work) for f in files if f.startswith("."))


failures = []
summary = []
try:
    for kind in args.kinds.split(","):
        state = 0  # the operation whose result the store holds
        survived = operations = 0
        for point in range(args.kills):
            writer = subprocess.Popen([args.writer, "write", kind, str(state)], env=env,
                                      stdout=subprocess.PIPE, text=True)
            time.sleep(rng.uniform(0, args.max_delay) / 1000)
            writer.send_signal(signal.SIGKILL)
            out, _ = writer.communicate()
            if writer.returncode not in (-signal.SIGKILL, None):
                raise AssertionError(f"{kind}: the writer stopped by itself ({writer.returncode})")
            acked = [int(line) for line in out.split()]
            last = acked[-1] if acked else state
            held = check(kind)
            # The operation after the last one acknowledged may have reached the disk.
            new = [c for c in (last, last + 1) if matches(kind, held, c)]
            if not new:
                raise AssertionError(f"{kind}, kill point {point}: the store holds {held}; the "
                                     f"last finished operation was {last}")
            state = new[-1] if held >= 0 else new[0]
            if held < 0 and len(new) > 1:
                state = new[0]
            operations = max(operations, state)
            if set_aside():
                raise AssertionError(f"{kind}: files were set aside as unreadable: {set_aside()}")
            survived += 1
        summary.append((kind, survived, operations))
        print(f"{kind}: {survived} kill points survived, {operations} operations written, "
              f"{temporaries()} temporary files left behind")
    total = sum(s for _, s, _ in summary)
    print(f"all stores loaded whole after {total} kills (seed {seed})")
except AssertionError as e:
    print(f"FAIL (seed {seed}): {e}")
    sys.exit(1)
finally:
    shutil.rmtree(work, ignore_errors=True)
