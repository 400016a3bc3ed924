#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
# bytewardctl export against a history made by real update cycles, with stand-in mail clients.
set -uo pipefail
ctl=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
export BYTEWARD_NET_ROOT=$work/net BYTEWARD_BOOT_TIME=1796680000 TZ=UTC LC_ALL=C.UTF-8
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() { [ "$1" == "$2" ] || fail "$3: expected [$2], got [$1]"; }
# Runs a command (PATH may be set for it alone) and checks its exit status.
expect_status() {
  local want=$1; shift
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  [ "$got" -eq "$want" ] || fail "'$*' exited $got, expected $want: $(<"$work/err")"
}
# Compares a file with text given exactly, byte for byte.
expect_bytes() {
  printf '%s' "$2" >"$work/want"
  cmp -s "$1" "$work/want" || fail "$3: $(diff "$work/want" "$1" | head -20)"
}
# A stand-in mail program that keeps each argument in a file of its own.
fake_mailer() {
  mkdir -p "$1"
  cat >"$1/$2" <<SH
#!/bin/sh
n=0
for a in "\$@"; do n=\$((n+1)); printf '%s' "\$a" >"$work/$2-arg\$n"; done
SH
  chmod +x "$1/$2"
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
html_header='<pre><b>Data Type     Start Date/End Date     Total Data      Received        Sent</b></pre>'
cycles_csv="$header
Cellular,11/10/26,12/9/26,3.81 MB,1.91 MB,1.91 MB
"

# The list's export: every billing period, in the display unit, to standard output or a file.
expect_status 0 "$ctl" export csv
expect_bytes "$work/out" "$cycles_csv" "billing periods as CSV"
expect_status 0 "$ctl" export csv --cycles --out "$work/cycles.csv"
expect_bytes "$work/cycles.csv" "$cycles_csv" "--out holds what standard output shows"
expect_bytes "$work/out" "" "nothing on standard output with --out"
[ -e "$csv" ] && fail "an export to standard output or --out leaves byteward.csv alone"
expect_status 0 "$ctl" export html
expect_bytes "$work/out" "$html_header<p><pre>Cellular     11/10/26 to 12/9/26        3.81 MB     1.91 MB     1.91 MB</pre>" \
  "billing periods as the mail's table"

# The period in progress: its days, newest first.
expect_status 0 "$ctl" export html --daily cellular
expect_bytes "$work/out" "$html_header<p><pre>Cellular     12/9/26 to 12/10/26        6.68 MB     1.91 MB     4.77 MB</pre>" \
  "the current period's days"
# Wi-Fi moved nothing, but its days were logged all the same.
expect_status 0 "$ctl" export csv --daily wifi
expect_bytes "$work/out" "$header
   Wi-Fi,12/9/26,12/10/26,0.00 MB,0.00 MB,0.00 MB
   Wi-Fi,12/8/26,12/8/26,0.00 MB,0.00 MB,0.00 MB
" "the Wi-Fi days"

# --mail with Thunderbird: the CSV goes to byteward.csv and is attached by file URL.
fake_mailer "$work/tb" thunderbird
fake_mailer "$work/xdg" xdg-email
PATH=$work/tb:$work/xdg expect_status 0 "$ctl" export csv --mail
expect_bytes "$csv" "$cycles_csv" "byteward.csv"
expect_eq "$(<"$work/thunderbird-arg1")" "-compose" "thunderbird's first argument"
compose=$(<"$work/thunderbird-arg2")
eml=$(<"$work/out")
attached=$(dirname "$eml")/byteward.csv
expect_eq "$compose" "subject='Byteward CSV File',body='Byteward CSV File',attachment='file://$attached',format=text" \
  "the compose argument"
cmp -s "$attached" "$csv" || fail "the attached file differs from byteward.csv"
[ -e "$work/xdg-email-arg1" ] && fail "xdg-email was called although Thunderbird is there"
# The whole mail, read back by a mail parser.
python3 - "$eml" "$csv" <<'PY' || fail "the MIME message"
import email, email.policy, sys
mail = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=email.policy.default)
assert mail['Subject'] == 'Byteward CSV File', mail['Subject']
assert mail['To'] is None and mail['X-Unsent'] == '1'
body, attachment = mail.iter_parts()
assert body.get_content_type() == 'text/plain' and body.get_content() == 'Byteward CSV File'
assert attachment.get_content_type() == 'text/csv'
assert attachment.get_filename() == 'byteward.csv'
assert attachment.get_payload(decode=True) == open(sys.argv[2], 'rb').read()
PY

# Without Thunderbird, xdg-email gets the HTML table as plain text.
PATH=$work/xdg expect_status 0 "$ctl" export html --mail
expect_eq "$(<"$work/xdg-email-arg3")" "Byteward History" "xdg-email's subject"
expect_eq "$(<"$work/xdg-email-arg5")" "Data Type     Start Date/End Date     Total Data      Received        Sent
Cellular     11/10/26 to 12/9/26        3.81 MB     1.91 MB     1.91 MB" "xdg-email's body"
[ -e "$work/xdg-email-arg6" ] && fail "xdg-email got more than the subject and the body"

# No mail client at all: said so, and where the CSV file went.
rm -f "$csv"
PATH=$work/nowhere expect_status 1 "$ctl" export csv --mail
grep -q 'No mail client was found' "$work/err" || fail "no mail client message: $(<"$work/err")"
grep -qF "The CSV file was written to $csv." "$work/err" || fail "no file location: $(<"$work/err")"
expect_bytes "$csv" "$cycles_csv" "byteward.csv without a mail client"

# Failures and misuse.
expect_status 1 "$ctl" export csv --out "$work/no/such/folder/x.csv"
expect_status 2 "$ctl" export pdf
expect_status 2 "$ctl" export email
expect_status 2 "$ctl" export csv --cycles --daily wifi
expect_status 2 "$ctl" export csv --daily lte
expect_status 2 "$ctl" export csv --mail --out "$work/x.csv"

if [ "$failures" -ne 0 ]; then echo "$failures failed"; exit 1; fi
echo "export scenarios passed"
