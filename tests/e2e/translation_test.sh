#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
# bytewardctl in German: the status and the help read German, while what scripts read stays put:
# JSON keys and values, and numbers with a full stop whatever the locale.
set -uo pipefail
ctl=$1
export BYTEWARD_LOCALEDIR=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
export BYTEWARD_NET_ROOT=$work/net BYTEWARD_NOW=2026-12-08T10:00:00Z BYTEWARD_BOOT_TIME=1796680000
export TZ=UTC
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

iface() { # name rx tx flags uevent
  mkdir -p "$BYTEWARD_NET_ROOT/$1/statistics"
  echo "$2" >"$BYTEWARD_NET_ROOT/$1/statistics/rx_bytes"
  echo "$3" >"$BYTEWARD_NET_ROOT/$1/statistics/tx_bytes"
  echo "$4" >"$BYTEWARD_NET_ROOT/$1/flags"
  printf '%b' "$5" >"$BYTEWARD_NET_ROOT/$1/uevent"
}
iface lo 5000 5000 0x9 ''
iface wwan0 6000000 1000000 0x1091 'DEVTYPE=wwan\nINTERFACE=wwan0\n'
iface wlp2s0 4000000 5 0x1003 'DEVTYPE=wlan\n'

LC_ALL=C.UTF-8 "$ctl" defaults write firstDayOfCycle -int 1 &&
  LC_ALL=C.UTF-8 "$ctl" defaults write cellularDataLimit -int 100 &&
  LC_ALL=C.UTF-8 "$ctl" update || fail "setting up the plan"
iface wwan0 26000000 3000000 0x1091 'DEVTYPE=wwan\nINTERFACE=wwan0\n'
export BYTEWARD_NOW=2026-12-09T10:00:00Z

# German through LANGUAGE, and through a German locale where one is installed.
settings=("LC_ALL=C.UTF-8 LANGUAGE=de")
locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && settings+=("LC_ALL= LANG=de_DE.UTF-8 LANGUAGE=")
for setting in "${settings[@]}"; do
  env $setting "$ctl" status cellular >"$work/out" 2>"$work/err" || fail "$setting: status failed: $(cat "$work/err")"
  for german in 'MOBILFUNK' 'Aktualisiert: ' 'Zeitraum ' 'Nächste Abrechnung ' 'Empfohlen pro Tag ' \
                'VON 100.0 MB VERBRAUCHT' 'IDEALER VERBRAUCH' 'ABRECHNUNGSZEITRAUM' 'SEIT SYSTEMSTART'; do
    grep -qF -- "$german" "$work/out" || fail "$setting: no \"$german\" in: $(cat "$work/out")"
  done
  for english in 'CELLULAR' 'Updated' 'Period ' 'Next bill' 'Suggested daily' ' USED' 'IDEAL USAGE' \
                 'BILLING PERIOD' 'SINCE LAST BOOT' 'days left'; do
    grep -qF -- "$english" "$work/out" && fail "$setting: English \"$english\" in: $(cat "$work/out")"
  done
  # Wider German titles push the values along, all to one column (counted in characters).
  python3 - "$work/out" <<'PY' || fail "$setting: the values are not in one column: $(cat "$work/out")"
import sys
titles = ["IDEALER VERBRAUCH", "HOCHRECHNUNG", "ÜBERSCHREITUNG WAHRSCHEINLICH", "EMPFANGEN"]
lines = open(sys.argv[1], encoding="utf-8").read().splitlines()
columns = set()
for title in titles:
    line = next(l for l in lines if l.startswith("  " + title + " "))
    rest = line[2 + len(title):]
    columns.add(2 + len(title) + len(rest) - len(rest.lstrip(" ")))
assert len(columns) == 1, columns
PY

  env $setting "$ctl" status --help >"$work/out" 2>&1
  grep -qF 'Anzeigen, was die Übersichten zeigen' "$work/out" || fail "$setting: help: $(cat "$work/out")"

  env $setting "$ctl" counters remove no-such-id >"$work/out" 2>"$work/err"
  grep -qF 'kein eigener Zähler hat die ID no-such-id' "$work/err" || fail "$setting: error: $(cat "$work/err")"

  env $setting "$ctl" status --json >"$work/out" 2>"$work/err" || fail "$setting: status --json failed"
  python3 - "$work/out" <<'PY' || fail "$setting: status --json: $(cat "$work/out")"
import json, re, sys
status = json.load(open(sys.argv[1]))
assert status["dataType"] == "cellular", status["dataType"]
assert status["lblTitle"] == "MOBILFUNK", status["lblTitle"]
assert isinstance(status["visualView"]["currentUsagePercent"], float)
assert re.fullmatch(r"\d+\.\d\d", status["lblMonthlyUsage"]), status["lblMonthlyUsage"]
PY
done

# Without a catalogue, or in the C locale, the English texts show.
LC_ALL=C LANGUAGE=de "$ctl" status cellular | grep -q '^CELLULAR' || fail "C locale is not English"
BYTEWARD_LOCALEDIR=$work/none LC_ALL=C.UTF-8 LANGUAGE=de "$ctl" status cellular | grep -q '^CELLULAR' ||
  fail "a missing catalogue is not English"

[ "$failures" -eq 0 ] || exit 1
echo "all translation checks passed"
