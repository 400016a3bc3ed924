#!/usr/bin/env bash
# bytewardctl export against a history made by real update cycles, with a stand-in mail client.
set -uo pipefail
ctl=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
export BYTEWARD_NET_ROOT=$work/net BYTEWARD_BOOT_TIME=1796680000 TZ=UTC LC_ALL=C.UTF-8
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() { [ "$1" == "$2" ] || fail "$3: expected [$2], got [$1]"; }
expect_status() {
  local want=$1; shift
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  [ "$got" -eq "$want" ] || fail "'$*' exited $got, expected $want: $(cat "$work/err")"
}

# A modem and three samples: two days close into daily logs, the 10th ends a billing period.
mkdir -p "$BYTEWARD_NET_ROOT/wwan0/statistics"
echo 0x1091 >"$BYTEWARD_NET_ROOT/wwan0/flags"
printf 'DEVTYPE=wwan\n' >"$BYTEWARD_NET_ROOT/wwan0/uevent"
"$ctl" defaults write firstDayOfCycle -int 10
"$ctl" defaults write dataunit_settings -string MB
for sample in 2026-12-08T10:00:00Z,1000000,2000000 2026-12-09T10:00:00Z,3000000,4000000 \
              2026-12-11T10:00:00Z,5000000,9000000; do
  IFS=, read -r now rx tx <<<"$sample"
  echo "$rx" >"$BYTEWARD_NET_ROOT/wwan0/statistics/rx_bytes"
  echo "$tx" >"$BYTEWARD_NET_ROOT/wwan0/statistics/tx_bytes"
  BYTEWARD_NOW=$now "$ctl" update >/dev/null || fail "update at $now"
done
export BYTEWARD_NOW=2026-12-11T12:00:00Z
csv=$XDG_DATA_HOME/byteward/byteward.csv
header='Data Type,Start Date,End Date,Total Data,Received,Sent'

# The list's export: every billing period, in the display unit, into byteward.csv.
expect_status 0 "$ctl" export csv
expect_eq "$(cat "$work/out")" "$csv" "export csv prints the file"
expect_eq "$(cat "$csv")" "$header
Cellular,11/10/26,12/9/26,3.81 MB,1.91 MB,1.91 MB" "billing periods as CSV"

# A period's export: its days, newest first; a second export replaces the file.
expect_status 0 "$ctl" export csv --period cellular --unit KB
expect_eq "$(cat "$csv")" "$header
Cellular,12/9/26,12/10/26,6835.94 KB,1953.12 KB,4882.81 KB" "the current period's days"
cycle=$("$ctl" history --cycles --json | python3 -c 'import json,sys; print(json.load(sys.stdin)[0]["uniqueId"])')
expect_status 0 "$ctl" export email --period "$cycle"
expect_eq "$(cat "$work/out")" '<pre><b>Data Type     Start Date/End Date     Total Data      Received        Sent</b></pre><p><pre>Cellular     12/8/26 to 12/8/26        3.81 MB     1.91 MB     1.91 MB</pre>' \
  "a past period's days as the mail body"

# The whole mail as MIME, for sendmail.
expect_status 0 "$ctl" export csv --mime --to me@example.org
grep -q $'^To: me@example.org\r$' "$work/out" || fail "--mime recipients"
grep -q 'Content-Type: multipart/mixed' "$work/out" || fail "--mime attachment: $(cat "$work/out")"

# --mail hands the mail to xdg-email, the file attached by path.
mkdir -p "$work/bin"
cat >"$work/bin/xdg-email" <<SH
#!/bin/sh
printf '%s\n' "\$@" >"$work/mail-args"
SH
chmod +x "$work/bin/xdg-email"
PATH=$work/bin:$PATH expect_status 0 "$ctl" export csv --mail
[ -f "$(cat "$work/out")" ] || fail "--mail prints the kept message: $(cat "$work/out")"
attached=$(sed -n '/^--attach$/{n;p}' "$work/mail-args")
expect_eq "$(sed -n 3p "$work/mail-args")" "Byteward CSV File" "mail subject"
cmp -s "$attached" "$csv" || fail "attachment differs from byteward.csv"
PATH=$work/bin:$PATH expect_status 0 "$ctl" export email --mail
expect_eq "$(sed -n 5p "$work/mail-args")" "Data Type     Start Date/End Date     Total Data      Received        Sent" \
  "an HTML body goes over as text"

# Failures and misuse.
PATH=$work/nowhere expect_status 1 "$ctl" export email --mail
grep -q 'cannot send mail' "$work/err" || fail "no mail client message: $(cat "$work/err")"
expect_status 1 "$ctl" export csv --period no-such-id
expect_status 2 "$ctl" export csv --mail --mime
expect_status 2 "$ctl" export pdf
expect_status 2 "$ctl" export csv --unit TB

if [ "$failures" -ne 0 ]; then echo "$failures failed"; exit 1; fi
echo "export scenarios passed"
