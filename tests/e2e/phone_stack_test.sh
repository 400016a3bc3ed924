#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The real kernel and a phone's stacked data path: a VLAN (or, where the kernel has no VLANs, a
# macvlan) named like a Qualcomm phone's data interface (rmnet_data0) on a veth named like its
# modem carrier (rmnet_ipa0). The kernel counts
# every frame on both; Byteward must count it once, to the byte of the upper interface's own
# counters. Needs root and network namespaces; skips (77) without them.
set -uo pipefail
ctl=$1
[ "$(id -u)" -eq 0 ] && command -v ip >/dev/null && command -v python3 >/dev/null || { echo "skipped: needs root, ip and python3"; exit 77; }
ns_a=bwphone-a-$$ ns_b=bwphone-b-$$
work=$(mktemp -d)
cleanup() { ip netns del "$ns_a" 2>/dev/null; ip netns del "$ns_b" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
ip netns add "$ns_a" 2>/dev/null && ip netns add "$ns_b" 2>/dev/null || { echo "skipped: cannot make network namespaces"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }

in_a() { ip netns exec "$ns_a" "$@"; }
in_b() { ip netns exec "$ns_b" "$@"; }
for ns in "$ns_a" "$ns_b"; do
  ip netns exec "$ns" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1
done
ip link add rmnet_ipa0 netns "$ns_a" type veth peer name tower0 netns "$ns_b" || { echo "skipped: no veth"; exit 77; }
if in_a ip link add link rmnet_ipa0 name rmnet_data0 type vlan id 5 2>/dev/null; then
  in_b ip link add link tower0 name tower0.5 type vlan id 5 || fail "VLAN on the far side"
  tower=tower0.5
elif in_a ip link add link rmnet_ipa0 name rmnet_data0 type macvlan mode bridge 2>/dev/null; then
  tower=tower0 # broadcast frames reach the macvlan
else
  echo "skipped: the kernel has neither VLANs nor macvlans"; exit 77
fi
for i in rmnet_ipa0 rmnet_data0; do in_a ip link set "$i" up; done
for i in tower0 "$tower"; do in_b ip link set "$i" up; done

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
counters() { # interface -> "rx tx" inside the device namespace
  in_a cat "/sys/class/net/$1/statistics/rx_bytes" "/sys/class/net/$1/statistics/tx_bytes" | tr '\n' ' '
}

export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
unset BYTEWARD_NET_ROOT BYTEWARD_NOW
export BYTEWARD_NETWORK_SERVICES=none DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus
in_a "$ctl" update || fail "first update"
read -r up_rx0 up_tx0 <<<"$(counters rmnet_data0)"
read -r low_rx0 low_tx0 <<<"$(counters rmnet_ipa0)"

send_frames "$ns_b" "$tower" 120 900   # down the data path
send_frames "$ns_a" rmnet_data0 45 400 # up it
in_a "$ctl" update || fail "second update"
read -r up_rx1 up_tx1 <<<"$(counters rmnet_data0)"
read -r low_rx1 low_tx1 <<<"$(counters rmnet_ipa0)"

in_a "$ctl" record cellular --json >"$work/record.json" || fail "record"
in_a "$ctl" interfaces --json >"$work/interfaces.json" || fail "interfaces"
python3 - "$work/record.json" "$work/interfaces.json" \
  $((up_rx1 - up_rx0)) $((up_tx1 - up_tx0)) $((low_rx1 - low_rx0)) $((low_tx1 - low_tx0)) <<'PY' || exit 1
import json, sys
record = json.load(open(sys.argv[1]))
rows = {r["name"]: r for r in json.load(open(sys.argv[2]))}
up_rx, up_tx, low_rx, low_tx = map(int, sys.argv[3:])
assert up_rx > 0 and up_tx > 0, (up_rx, up_tx)
# The carrier saw the same frames, with their tags: counting both would count them twice.
assert low_rx >= up_rx and low_tx >= up_tx, (low_rx, low_tx, up_rx, up_tx)
assert record["dataSinceLastRunRecd"] == up_rx, (record["dataSinceLastRunRecd"], up_rx)
assert record["dataSinceLastRunSent"] == up_tx, (record["dataSinceLastRunSent"], up_tx)
assert rows["rmnet_data0"]["counted"] and rows["rmnet_data0"]["carrier"] == "rmnet_ipa0", rows
assert not rows["rmnet_ipa0"]["counted"] and rows["rmnet_ipa0"]["countedOn"] == "rmnet_data0", rows
assert rows["rmnet_ipa0"]["dataType"] == "cellular", rows
PY
echo "a phone's stacked data path counted once: $((up_rx1 - up_rx0)) received, $((up_tx1 - up_tx0)) sent"
