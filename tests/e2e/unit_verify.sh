#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The daemon's systemd user unit as the build makes it passes systemd-analyze verify without a
# word: a misspelt setting is only a warning there, so any output fails. ExecStart points at
# the installed path, which the build tree lacks; the copy checked starts this build's binary.
set -uo pipefail
unit=$1 ctl=$2
command -v systemd-analyze >/dev/null || { echo "skipped: needs systemd-analyze"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/run"
grep -q '^ExecStart=/.*/bytewardctl daemon$' "$unit" || { echo "FAIL: ExecStart is not an installed path: $(grep ExecStart= "$unit")"; exit 1; }
sed "s|^ExecStart=.*|ExecStart=$ctl daemon|" "$unit" >"$work/byteward-daemon.service"
out=$(cd "$work" && XDG_RUNTIME_DIR=$work/run systemd-analyze --user verify ./byteward-daemon.service 2>&1)
status=$?
if [ $status -ne 0 ] || [ -n "$out" ]; then
  echo "FAIL: systemd-analyze verify ($status): $out"
  exit 1
fi
echo "the user unit verifies cleanly"
