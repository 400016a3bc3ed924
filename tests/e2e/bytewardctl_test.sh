#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-program checks of bytewardctl against a fake statistics tree and private XDG folders.
set -uo pipefail
ctl=$1
data=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
export BYTEWARD_NET_ROOT=$work/net BYTEWARD_NOW=2026-12-08T10:00:00Z BYTEWARD_BOOT_TIME=1796680000
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() { [ "$1" == "$2" ] || fail "$3: expected [$2], got [$1]"; }
expect_status() {
  local want=$1; shift
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  [ "$got" -eq "$want" ] || fail "'$*' exited $got, expected $want: $(cat "$work/err")"
}

iface() { # name rx tx flags uevent
  mkdir -p "$BYTEWARD_NET_ROOT/$1/statistics"
  echo "$2" >"$BYTEWARD_NET_ROOT/$1/statistics/rx_bytes"
  echo "$3" >"$BYTEWARD_NET_ROOT/$1/statistics/tx_bytes"
  echo "$4" >"$BYTEWARD_NET_ROOT/$1/flags"
  printf '%b' "$5" >"$BYTEWARD_NET_ROOT/$1/uevent"
}
iface lo 5000 5000 0x9 ''
iface eth0 100 200 0x1003 'INTERFACE=eth0\n'
iface wwan0 6000000000 1000000000 0x1091 'DEVTYPE=wwan\nINTERFACE=wwan0\n'
iface cdc-wdm-net 7 3 0x1091 'DEVTYPE=wwan\n'
iface wlp2s0 4294967296 5 0x1003 'DEVTYPE=wlan\n'

# The interface table, classified.
expect_status 0 "$ctl" interfaces --json
python3 - "$work/out" <<'PY' || fail "interfaces --json"
import json, sys
rows = {r["name"]: r for r in json.load(open(sys.argv[1]))}
want = {"lo": ("none", 5000, 5000), "eth0": ("none", 100, 200),
        "wwan0": ("cellular", 6000000000, 1000000000), "cdc-wdm-net": ("cellular", 7, 3),
        "wlp2s0": ("wifi", 4294967296, 5)}
for name, (kind, rx, tx) in want.items():
    r = rows[name]
    assert (r["dataType"], r["received"], r["sent"]) == (kind, rx, tx), (name, r)
assert rows["lo"]["loopback"] is True
PY
expect_status 0 "$ctl" interfaces
grep -q '^wwan0 *cellular *yes *6000000000 *1000000000  kernel device type wwan$' "$work/out" || fail "interfaces text: $(cat "$work/out")"

# User lists replace the built-in rules of their type.
expect_status 0 "$ctl" defaults write cellularInterfaces -array 'eth*'
expect_status 0 "$ctl" interfaces --json
python3 - "$work/out" <<'PY' || fail "interfaces after override"
import json, sys
rows = {r["name"]: r["dataType"] for r in json.load(open(sys.argv[1]))}
assert rows == {"cdc-wdm-net": "none", "eth0": "cellular", "lo": "none", "wlp2s0": "wifi", "wwan0": "none"}, rows
PY
expect_status 0 "$ctl" defaults delete cellularInterfaces

# A record before the first update is only its type; an old file loads with its gaps filled.
expect_status 0 "$ctl" record wifi --json
expect_eq "$(tr -d ' \n' <"$work/out")" '{"appDataType":"wifi"}' "record before first update"
cp "$data/records/before_split.plist" "$XDG_DATA_HOME/byteward/app_data_cellular.plist"
expect_status 0 "$ctl" record cellular --json
python3 - "$work/out" <<'PY' || fail "record cellular --json: $(cat "$work/out")"
import json, sys
r = json.load(open(sys.argv[1]))
assert r["lastUpdate"] == "2012-05-04T10:20:30+00:00", r
assert r["billingDaysTotal"] == 30 and r["dataThisMonthSent"] == 100, r
assert r["dataSinceLastBootSent"] == 1000000003 and r["dataSinceLastBootRecd"] == 6000000007, r
assert r["lastLocation"] == "Not Available." and r["dataSinceAppLastRun"] == 77, r
PY

# defaults: kinds survive, bare values come back, usage errors exit 2, failures exit 1.
expect_status 0 "$ctl" defaults write dataunit_settings -string GB
expect_status 0 "$ctl" defaults write cellularDataLimit -int 2048
expect_status 0 "$ctl" defaults write enableBackgrounding -bool false
expect_status 0 "$ctl" defaults write someRatio -float 0.75
expect_status 0 "$ctl" defaults write CustomStartDate -date 2026-11-15T00:00:00+01:00
for pair in dataunit_settings=GB cellularDataLimit=2048 enableBackgrounding=0 someRatio=0.75 \
            CustomStartDate=2026-11-14T23:00:00+00:00 appBadgeSetting=BILLINGRESET; do
  expect_status 0 "$ctl" defaults read "${pair%%=*}"
  expect_eq "$(cat "$work/out")" "${pair#*=}" "defaults read ${pair%%=*}"
done
TZ=Europe/Berlin expect_status 0 "$ctl" defaults read CustomStartDate
expect_eq "$(cat "$work/out")" "2026-11-15T00:00:00+01:00" "date in the user's zone"
expect_status 0 "$ctl" defaults read
grep -q 'cellularDataLimit = 2048;' "$work/out" || fail "defaults read (all)"
expect_status 0 "$ctl" defaults delete someRatio
expect_status 1 "$ctl" defaults read someRatio
expect_status 2 "$ctl" defaults write x -int twelve
expect_status 2 "$ctl" defaults write x -colour red
expect_status 2 "$ctl" defaults write x
expect_status 2 "$ctl" record bluetooth
expect_status 2 "$ctl" frobnicate
expect_status 0 "$ctl" --help
expect_status 0 "$ctl" defaults write --help
expect_status 0 "$ctl" --version
grep -q '^bytewardctl [0-9]' "$work/out" || fail "--version"
BYTEWARD_NOW=yesterday expect_status 1 "$ctl" record wifi
grep -q 'BYTEWARD_NOW' "$work/err" || fail "bad BYTEWARD_NOW message"

# Statistics that cannot be read are a failure, not a table of zeros.
BYTEWARD_NET_ROOT=$work/nowhere expect_status 1 "$ctl" interfaces
grep -q 'cannot list network interfaces' "$work/err" || fail "unreadable statistics message"

# The billing period as a dashboard would compute it, in the user's time zone.
expect_status 0 "$ctl" defaults write firstDayOfCycle -int 15
TZ=America/New_York BYTEWARD_NOW=2026-12-15T04:30:00Z expect_status 0 "$ctl" billing cellular --json
python3 - "$work/out" <<'PY' || fail "billing cellular --json: $(cat "$work/out")"
import json, sys
b = json.load(open(sys.argv[1]))
assert b == {"dataType": "cellular", "planCode": 15, "lastBillingDate": "2026-11-15T00:00:00-05:00",
             "nextBillingDate": "2026-12-15T00:00:00-05:00", "billingDaysTotal": 30,
             "billingDaysElapsed": 29}, b
PY
expect_status 0 "$ctl" defaults write firstDayOfCycleWifi -int 9999
expect_status 0 "$ctl" defaults write ResetDaysWiFi -int 10
expect_status 0 "$ctl" defaults write CustomStartDateWiFi -date 2026-11-20T08:00:00Z
expect_status 0 "$ctl" billing wifi
grep -q '^nextBillingDate: 2026-12-10T00:00:00+00:00$' "$work/out" || fail "custom billing: $(cat "$work/out")"
expect_status 0 "$ctl" defaults read CustomStartDateWiFi
expect_eq "$(cat "$work/out")" "2026-11-30T00:00:00+00:00" "custom start moved one period on"

# History: empty without an archive; the daily query needs its bounds.
expect_status 0 "$ctl" history --json
expect_eq "$(tr -d ' \n' <"$work/out")" "[]" "history without an archive"
expect_status 0 "$ctl" history --daily wifi --from 2026-12-01 --to 2026-12-08
expect_status 2 "$ctl" history --daily wifi --from 2026-12-01
expect_status 2 "$ctl" history --daily wifi --from soon --to 2026-12-08
expect_status 2 "$ctl" history --cycles --daily wifi --from 2026-12-01 --to 2026-12-08

# A garbled settings file is kept aside, not overwritten.
echo 'not a plist' >"$XDG_CONFIG_HOME/byteward/byteward.plist"
expect_status 0 "$ctl" defaults write a -int 1
ls "$XDG_CONFIG_HOME/byteward/" | grep -q '^byteward.plist.unreadable-' || fail "garbled defaults not kept"

if [ "$failures" -ne 0 ]; then echo "$failures failed"; exit 1; fi
echo "bytewardctl scenarios passed"
