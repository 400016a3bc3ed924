#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
# bytewardctl, and its daemon at work, map only what a sample needs: the mail and HTTP libraries
# come with their modules, loaded when a mail is written or a place looked up, and no Qt at all.
# Every library a process maps costs it private pages for relocations.
set -uo pipefail
ctl=$(realpath "$1") mime_module=$2 http_module=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Patterns of library names, and what each would bring back.
forbidden=(
  'libgmime:mail composition (the mail module)'
  'libglib-:mail composition (the mail module)'
  'libgobject-:mail composition (the mail module)'
  'libgio-:mail composition (the mail module)'
  'libcurl:reverse geocoding (the HTTP module)'
  'libssl\.:reverse geocoding (the HTTP module)'
  'libcrypto\.:a digest done without a cryptography library'
  'libnghttp2:reverse geocoding (the HTTP module)'
  'libgssapi:reverse geocoding (the HTTP module)'
  'libldap:reverse geocoding (the HTTP module)'
  'libQt:the app'
)
needed() { readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'; }
check() { # what, its library names, one a line
  for entry in "${forbidden[@]}"; do
    local pattern=${entry%%:*} why=${entry#*:}
    local hit
    hit=$(grep -E "^$pattern" <<<"$2" | head -1)
    [ -z "$hit" ] || fail "$1 has $hit, needed only for $why"
  done
}

check "bytewardctl's DT_NEEDED" "$(needed "$ctl")"
# The modules do link what they are for; were these missing, the checks above would prove nothing.
needed "$mime_module" | grep -q '^libgmime' || fail "the mail module does not link GMime"
needed "$http_module" | grep -q '^libcurl' || fail "the HTTP module does not link libcurl"

# The daemon after a few samples, with no bus: nothing it did loaded a module.
work=$(mktemp -d)
daemon=
trap '[ -n "$daemon" ] && kill -KILL $daemon; rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
export BYTEWARD_NET_ROOT=$work/net BYTEWARD_NETWORK_SERVICES=none
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/none DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/none
mkdir -p "$BYTEWARD_NET_ROOT/wwan0/statistics"
printf 'DEVTYPE=wwan\n' >"$BYTEWARD_NET_ROOT/wwan0/uevent"
echo 1000 >"$BYTEWARD_NET_ROOT/wwan0/statistics/rx_bytes"
echo 1000 >"$BYTEWARD_NET_ROOT/wwan0/statistics/tx_bytes"
"$ctl" daemon --interval 1 2>"$work/log" &
daemon=$!
sleep 3
if [ -r "/proc/$daemon/maps" ]; then
  check "the running daemon" "$(awk '$6 ~ /\.so/ {n = split($6, p, "/"); print p[n]}' \
    "/proc/$daemon/maps" | sort -u)"
  grep -q 'byteward-[a-z]*\.so' "/proc/$daemon/maps" && fail "the daemon loaded a module"
else
  fail "the daemon did not run: $(cat "$work/log")"
fi
kill -TERM $daemon
wait $daemon
daemon=

[ $failures -eq 0 ] && echo "bytewardctl maps only what it needs" || exit 1
