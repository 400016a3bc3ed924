#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The hand-written parts of the manuals keep up with the code: every environment variable the
# programs read is in bytewardctl(1), and every option of the app is in byteward(1).
set -uo pipefail
src=$1 pages=$2 app=${3:-}
failures=0
ctl_page=$(MANWIDTH=200 man -l "$pages/bytewardctl.1.gz" 2>/dev/null)
environment=$(sed -n '/^ENVIRONMENT/,/^FILES/p' <<<"$ctl_page")
# HOME and PATH are the system's own; everything else read from the environment is ours to tell.
for variable in $(grep -rhoE '(getenv|qEnvironmentVariable[A-Za-z]*)\("[A-Z_]+"' "$src" |
  grep -oE '"[A-Z_]+"' | tr -d '"' | sort -u | grep -vxE 'HOME|PATH'); do
  # Qt's own variables are the app's, told in byteward(1).
  case $variable in QT_*) continue ;; esac
  grep -qw -- "$variable" <<<"$environment" || {
    echo "FAIL: bytewardctl(1) does not describe $variable"
    failures=$((failures + 1))
  }
done
if [ -n "$app" ]; then
  app_page=$(MANWIDTH=200 man -l "$pages/byteward.1.gz" 2>/dev/null)
  for option in $(QT_QPA_PLATFORM=offscreen "$app" --help 2>/dev/null | grep -oE '^ +(-[a-z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+'); do
    grep -q -- "$option" <<<"$app_page" || {
      echo "FAIL: byteward(1) does not describe $option"
      failures=$((failures + 1))
    }
  done
fi
[ $failures -eq 0 ] && echo "the manuals describe every variable and option" || exit 1
