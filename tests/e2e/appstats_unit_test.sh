#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The helper's system unit as the build makes it: systemd-analyze verify says nothing (a misspelt
# setting is only a warning there), and its exposure stays low. The copy checked starts this
# build's binary, as the installed path does not exist in the build tree.
set -uo pipefail
unit=$1 helper=$2
# The exposure systemd-analyze security reports, times ten; the unit scores about 2.0 today.
max_exposure=25
command -v systemd-analyze >/dev/null || { echo "skipped: needs systemd-analyze"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
grep -q '^ExecStart=/.*/libexec/byteward/byteward-appstats$' "$unit" ||
  { echo "FAIL: ExecStart is not the installed helper: $(grep ExecStart= "$unit")"; exit 1; }
sed "s|^ExecStart=.*|ExecStart=$helper|" "$unit" >"$work/byteward-appstats.service"
out=$(cd "$work" && systemd-analyze verify --man=no ./byteward-appstats.service 2>&1)
status=$?
if [ $status -ne 0 ] || [ -n "$out" ]; then
  echo "FAIL: systemd-analyze verify ($status): $out"
  exit 1
fi
out=$(cd "$work" && systemd-analyze security --offline=yes --threshold=$max_exposure \
  ./byteward-appstats.service 2>&1)
status=$?
echo "$out" | tail -1
[ $status -eq 0 ] || { echo "FAIL: exposure above $((max_exposure / 10)).$((max_exposure % 10))"; exit 1; }
echo "the helper's unit verifies cleanly"
