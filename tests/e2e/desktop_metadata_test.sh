#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The desktop entry and the AppStream metadata as launchers and software centres read them: both
# validate without a remark, the metadata names the desktop file that is installed, and every
# screenshot it links is a picture in the repository of the size it states.
set -uo pipefail
root=$1
metainfo=$root/resources/byteward.metainfo.xml
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for tool in appstreamcli desktop-file-validate; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (scripts/install-deps)"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

id=$(sed -n 's|.*<id>\(.*\)</id>.*|\1|p' "$metainfo")
desktop=$root/resources/$id.desktop
[ -f "$desktop" ] || fail "no desktop file named after the AppStream id $id"

# Hints count too: a clean file has nothing to say.
remarks=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate failed"
[ -z "$remarks" ] || fail "desktop-file-validate: $remarks"
# --strict fails on anything above a pedantic hint; the one hint left is the id's capital letter,
# which stays: the id is already in use.
appstreamcli validate --no-net --explain --pedantic --strict "$metainfo" >"$work/out" 2>&1 ||
  fail "appstreamcli validate: $(cat "$work/out")"

# Installed as the install rules lay it out: the tree check also looks at file names.
share=$work/tree/usr/share
mkdir -p "$share/metainfo" "$share/applications" "$share/icons/hicolor/scalable/apps"
cp "$metainfo" "$share/metainfo/$id.metainfo.xml"
cp "$desktop" "$share/applications/"
cp "$root/resources/byteward.svg" "$share/icons/hicolor/scalable/apps/"
appstreamcli validate-tree --no-net --explain --strict "$work/tree" >"$work/out" 2>&1 ||
  fail "appstreamcli validate-tree: $(cat "$work/out")"

launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")
[ "$launchable" = "$id.desktop" ] || fail "launchable $launchable is not $id.desktop"
# The window and the notifications name the same desktop file, or the desktop cannot tie them to
# the launcher.
grep -q "setDesktopFileName(QStringLiteral(\"$id\"))" "$root/src/gui/main.cpp" ||
  fail "the window does not name $id as its desktop file"
grep -q "kDesktopId = \"$id\"" "$root/src/platform/dbus_notifications.h" ||
  fail "notifications do not name $id as their desktop entry"
grep -q "$id.desktop" "$root/src/gui/CMakeLists.txt" || fail "$id.desktop is not installed"

# Screenshots: linked from the main branch, so each must exist here at the size the metadata says.
prefix=https://github.com/byteward/byteward/raw/main/
count=0
while read -r width height url; do
  count=$((count + 1))
  case $url in "$prefix"*) ;; *) fail "screenshot $url is not in the repository"; continue ;; esac
  file=$root/${url#"$prefix"}
  [ -f "$file" ] || { fail "screenshot $url: no ${url#"$prefix"}"; continue; }
  # A PNG's width and height: two big-endian words after the signature and the IHDR header.
  size=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print(*struct.unpack(">II", d[16:24]))' "$file")
  [ "$size" = "$width $height" ] || fail "screenshot $url is $size, the metadata says $width $height"
done < <(sed -n 's|.*<image type="source" width="\([0-9]*\)" height="\([0-9]*\)">\(.*\)</image>.*|\1 \2 \3|p' "$metainfo")
[ "$count" -ge 1 ] || fail "no screenshots"

[ "$failures" -eq 0 ] && echo "desktop metadata: all good"
[ "$failures" -eq 0 ]
