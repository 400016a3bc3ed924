#!/usr/bin/env bash
# The daemon as a whole program: it samples at its ticks with no D-Bus at all, and with a bus that
# has neither logind nor a notification server; SIGTERM and SIGINT take a last sample and exit 0.
# Its systemd user unit starts bytewardctl.
set -uo pipefail
ctl=$(realpath "$1")
unit=$2
work=$(mktemp -d)
daemon=
bus=
cleanup() {
  [ -n "$daemon" ] && kill -KILL "$daemon" 2>/dev/null
  [ -n "$bus" ] && kill "$bus" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
export BYTEWARD_NET_ROOT=$work/net BYTEWARD_BOOT_TIME=1796680000
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rx=$BYTEWARD_NET_ROOT/wwan0/statistics/rx_bytes
mkdir -p "${rx%/*}"
echo 0x1091 >"$BYTEWARD_NET_ROOT/wwan0/flags"
printf 'DEVTYPE=wwan\n' >"$BYTEWARD_NET_ROOT/wwan0/uevent"
echo 500 >"$BYTEWARD_NET_ROOT/wwan0/statistics/tx_bytes"

# Bytes received since the app last ran, as the cellular record holds them; -1 before any sample.
received() {
  "$ctl" record cellular --json 2>/dev/null |
    python3 -c 'import json, sys; print(int(json.load(sys.stdin).get("dataSinceAppLastRunRecd", -1)))' 2>/dev/null ||
    echo -1
}
wait_for_received() { # bytes
  for _ in $(seq 50); do
    [ "$(received)" == "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

# One run: a first sample, a tick that counts new traffic, and traffic only the last sample sees.
scenario() { # name signal
  local name=$1 signal=$2
  rm -rf "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_STATE_HOME"
  echo 1000 >"$rx"
  "$ctl" -v daemon --interval 1 2>"$work/log" &
  daemon=$!
  wait_for_received 0 || fail "$name: no first sample: $(cat "$work/log")"
  echo 5096 >"$rx"
  wait_for_received 4096 || fail "$name: a tick did not count new traffic: $(cat "$work/log")"
  echo 13288 >"$rx"
  kill "-$signal" "$daemon"
  wait "$daemon"
  local status=$?
  daemon=
  [ "$status" -eq 0 ] || fail "$name: exited $status on $signal: $(cat "$work/log")"
  [ "$(received)" == 12288 ] || fail "$name: the last sample did not count the traffic ($(received))"
  # A missing bus or logind is reported once, not at every sample.
  [ "$(grep -c logind "$work/log")" -eq 1 ] || fail "$name: logind lines: $(cat "$work/log")"
  [ "$(grep -c 'no session bus' "$work/log")" -le 1 ] || fail "$name: session bus lines: $(cat "$work/log")"
}

export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/no-bus
scenario "without D-Bus" TERM
scenario "without D-Bus, interrupted" INT

# A bus where nobody answers: no logind to take a lock from, no notification server.
if command -v dbus-daemon >/dev/null; then
  cat >"$work/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$work/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
  bus=$(dbus-daemon --config-file="$work/bus.conf" --fork --print-pid)
  export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/bus DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/bus
  scenario "on a bus without logind or notifications" TERM
else
  echo "skipped the scenario on an empty bus: no dbus-daemon"
fi

# The user unit starts this program's daemon command, and systemd accepts it.
grep -qx 'ExecStart=/.*/bytewardctl daemon' "$unit" || fail "unit ExecStart: $(grep ExecStart "$unit")"
for line in Type=simple Restart=on-failure WantedBy=default.target; do
  grep -qx "$line" "$unit" || fail "unit lacks $line"
done
if command -v systemd-analyze >/dev/null; then
  mkdir "$work/units"
  sed "s|^ExecStart=[^ ]*|ExecStart=$ctl|" "$unit" >"$work/units/byteward-daemon.service"
  systemd-analyze verify "$work/units/byteward-daemon.service" >"$work/verify" 2>&1
  verified=$?
  if grep -q byteward-daemon "$work/verify"; then
    fail "systemd-analyze verify: $(cat "$work/verify")"
  elif [ "$verified" -ne 0 ]; then
    echo "skipped systemd-analyze verify, which cannot run here: $(cat "$work/verify")"
  fi
else
  echo "skipped systemd-analyze verify: not installed"
fi

if [ "$failures" -ne 0 ]; then echo "$failures failed"; exit 1; fi
echo "daemon scenarios passed"
