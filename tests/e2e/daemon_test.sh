#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The daemon as a whole program, with no D-Bus at all and on a bus with neither logind, a
# notification server nor GeoClue2: it counts traffic at its ticks, and SIGTERM or SIGINT take a last sample
# and exit 0. Its systemd user unit starts bytewardctl.
set -uo pipefail
ctl=$(realpath "$1")
unit=$2
work=$(mktemp -d)
daemon= bus=
trap '[ -n "$daemon" ] && kill -KILL $daemon; [ -n "$bus" ] && kill $bus; rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
export BYTEWARD_NET_ROOT=$work/net BYTEWARD_BOOT_TIME=1796680000
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rx=$BYTEWARD_NET_ROOT/wwan0/statistics/rx_bytes
mkdir -p "${rx%/*}"
printf 'DEVTYPE=wwan\n' >"$BYTEWARD_NET_ROOT/wwan0/uevent"
echo 0 >"$BYTEWARD_NET_ROOT/wwan0/statistics/tx_bytes"

received_becomes() { # bytes received since the app last ran, within 5 s
  local script='import json, sys; print(int(json.load(sys.stdin).get("dataSinceAppLastRunRecd", -1)))'
  for _ in $(seq 50); do
    [ "$("$ctl" record cellular --json 2>/dev/null | python3 -c "$script")" == "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

scenario() { # name signal
  rm -rf "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_STATE_HOME"
  echo 1000 >"$rx"
  "$ctl" -v daemon --interval 1 2>"$work/log" &
  daemon=$!
  received_becomes 0 || fail "$1: no first sample"
  echo 5096 >"$rx"
  received_becomes 4096 || fail "$1: a tick did not count the traffic"
  echo 13288 >"$rx"
  kill "-$2" $daemon
  wait $daemon
  local status=$?
  daemon=
  [ $status -eq 0 ] || fail "$1: exited $status on $2"
  received_becomes 12288 || fail "$1: the last sample did not count the traffic"
  # What is missing is reported once, not at every sample.
  [ "$(grep -c logind "$work/log")" -eq 1 ] || fail "$1: logind lines"
  [ "$(grep -c 'no session bus' "$work/log")" -le 1 ] || fail "$1: session bus lines"
  [ "$(grep -c 'GeoClue2: not available' "$work/log")" -eq 1 ] || fail "$1: GeoClue2 lines"
  [ $failures -eq 0 ] || cat "$work/log"
}

export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/none DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/none
scenario "without D-Bus" TERM
scenario "without D-Bus, interrupted" INT
if command -v dbus-daemon >/dev/null; then
  cat >"$work/bus.conf" <<EOF
<busconfig><type>session</type><listen>unix:path=$work/bus</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>
<allow own="*"/></policy></busconfig>
EOF
  bus=$(dbus-daemon --config-file="$work/bus.conf" --fork --print-pid)
  export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/bus DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/bus
  scenario "on a bus without logind or notifications" TERM
fi

grep -qx 'ExecStart=/.*/bytewardctl daemon' "$unit" || fail "unit: $(grep ExecStart "$unit")"
if command -v systemd-analyze >/dev/null; then
  # Pointed at the built program, which verify requires to exist.
  mkdir "$work/units"
  sed "s|^ExecStart=[^ ]*|ExecStart=$ctl|" "$unit" >"$work/units/byteward-daemon.service"
  systemd-analyze verify "$work/units/byteward-daemon.service" >"$work/verify" 2>&1
  # Where systemd-analyze cannot run at all it names no unit; that is a skip, not a failure.
  grep -q byteward-daemon "$work/verify" && fail "systemd-analyze verify: $(cat "$work/verify")"
fi

if [ $failures -ne 0 ]; then echo "$failures failed"; exit 1; fi
echo "daemon scenarios passed"
