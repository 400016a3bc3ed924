#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The generated shell completions complete what bytewardctl accepts: bash's for a table of
# command lines, fish's through its own completion engine, zsh's as far as a syntax check goes.
set -uo pipefail
dir=$(realpath "$1")
failures=0

# "line|expected": the words offered for the last (partial) word of the line, sorted.
cases=(
  "bytewardctl st|status"
  "bytewardctl |adjust apps billing completion counters daemon defaults export history interfaces metrics notifications record reset status update widget"
  "bytewardctl --|--help --verbose --version"
  "bytewardctl status |cellular wifi"
  "bytewardctl apps |cellular wifi"
  "bytewardctl apps --t|--today"
  "bytewardctl status --j|--json"
  "bytewardctl -v status w|wifi"
  "bytewardctl counters |add move pause remove reset resume"
  "bytewardctl counters add --direction |both received sent"
  "bytewardctl counters add --direction r|received"
  "bytewardctl export --daily |cellular wifi"
  "bytewardctl export --daily wifi |csv html"
  "bytewardctl history --from |"
  "bytewardctl defaults |delete read write"
  "bytewardctl defaults write |"
  "bytewardctl completion |bash fish zsh"
  "bytewardctl daemon --|--help --interval --metrics-listen --metrics-out --verbose"
)

bash_complete() {
  # shellcheck disable=SC1091
  source "$dir/bash/bytewardctl"
  local line=$1
  read -r -a COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _bytewardctl 2>/dev/null
  printf '%s\n' "${COMPREPLY[@]}" | sort | xargs
}

for case in "${cases[@]}"; do
  line=${case%%|*} want=${case#*|}
  got=$(bash_complete "$line")
  if [ "$got" != "$want" ]; then
    echo "FAIL bash: '$line' offered '$got', expected '$want'"
    failures=$((failures + 1))
  fi
done

# --out takes a file name: bash offers the files there.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
touch "$work/usage-export.csv"
got=$(cd "$work" && bash_complete "bytewardctl export --out usage-")
[ "$got" = "usage-export.csv" ] || { echo "FAIL bash: --out offered '$got'"; failures=$((failures + 1)); }
got=$(cd "$work" && bash_complete "bytewardctl metrics --out usage-")
[ "$got" = "usage-export.csv" ] || { echo "FAIL bash: metrics --out offered '$got'"; failures=$((failures + 1)); }

if command -v fish >/dev/null; then
  for case in "${cases[@]}"; do
    line=${case%%|*} want=${case#*|}
    # fish's own engine: the first field of each line is the candidate.
    got=$(fish --no-config -c "source $dir/fish/bytewardctl.fish; complete -C '$line'" 2>&1 |
      cut -f1 | sort | xargs)
    if [ "$got" != "$want" ]; then
      echo "FAIL fish: '$line' offered '$got', expected '$want'"
      failures=$((failures + 1))
    fi
  done
else
  echo "fish is not installed: its completion was not run"
fi

if command -v zsh >/dev/null; then
  zsh -n "$dir/zsh/_bytewardctl" || { echo "FAIL zsh: syntax"; failures=$((failures + 1)); }
else
  echo "zsh is not installed: its completion was not checked"
fi

[ $failures -eq 0 ] && echo "completions pass" || exit 1
