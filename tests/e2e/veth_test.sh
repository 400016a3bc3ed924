#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The real kernel: known traffic through a veth pair between two network namespaces made here
# is counted to the byte. Frames use a local experimental EtherType and never leave the pair.
# Needs root and network namespaces; skips (77) without them.
set -uo pipefail
ctl=$1
[ "$(id -u)" -eq 0 ] && command -v ip >/dev/null && command -v python3 >/dev/null || { echo "skipped: needs root, ip and python3"; exit 77; }
ns_a=bwtest-a-$$ ns_b=bwtest-b-$$
work=$(mktemp -d)
cleanup() { ip netns del "$ns_a" 2>/dev/null; ip netns del "$ns_b" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
ip netns add "$ns_a" 2>/dev/null && ip netns add "$ns_b" 2>/dev/null || { echo "skipped: cannot make network namespaces"; exit 77; }

in_a() { ip netns exec "$ns_a" "$@"; }
in_b() { ip netns exec "$ns_b" "$@"; }
for ns in "$ns_a" "$ns_b"; do
  # No IPv6 autoconfiguration chatter: only our frames cross the link.
  ip netns exec "$ns" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1
done
ip link add bw-modem netns "$ns_a" type veth peer name bw-tower netns "$ns_b" || { echo "skipped: no veth"; exit 77; }
in_a ip link set bw-modem up
in_b ip link set bw-tower up

send_frames() { # namespace interface count frame-length
  ip netns exec "$1" python3 - "$2" "$3" "$4" <<'PY'
import socket, sys
name, count, length = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW)
s.bind((name, 0))
frame = b"\xff" * 6 + b"\x02\x00\x00\x00\x00\x01" + b"\x88\xb5" + bytes(length - 14)
for _ in range(count):
    assert s.send(frame) == length
PY
}

export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
unset BYTEWARD_NET_ROOT BYTEWARD_NOW
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus
in_a "$ctl" defaults write cellularInterfaces -array bw-modem >/dev/null
in_a "$ctl" defaults write dataunit_settings -string KB >/dev/null
in_a "$ctl" update || { echo "FAIL: first update"; exit 1; }

send_frames "$ns_b" bw-tower 100 1000   # received by the modem: 100,000 bytes
send_frames "$ns_a" bw-modem 37 500     # sent by the modem: 18,500 bytes
in_a "$ctl" update || { echo "FAIL: second update"; exit 1; }

in_a "$ctl" record cellular --json >"$work/record.json"
in_a "$ctl" status cellular --json --no-update >"$work/status.json"
python3 - "$work/record.json" "$work/status.json" <<'PY'
import json, sys
record = json.load(open(sys.argv[1]))
status = json.load(open(sys.argv[2]))
assert record["dataSinceLastRunRecd"] == 100000, record
assert record["dataSinceLastRunSent"] == 18500, record
assert record["dataSinceLastRun"] == 118500, record
assert record["dataToday"] == 118500, record
assert status["lblSinceLastRun"] == "115.72 KB", status["lblSinceLastRun"]  # since the app last ran
assert status["lblMonthlyUsageRecd"] == "97.66 KB", status["lblMonthlyUsageRecd"]
assert status["lblMonthlyUsageSent"] == "18.07 KB", status["lblMonthlyUsageSent"]
PY
[ $? -eq 0 ] || { echo "FAIL: counted bytes"; cat "$work/record.json"; exit 1; }
echo "veth traffic counted to the byte"
