#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the two Debian packages from this build, checks them with lintian and their control
# data, unpacks them into a throwaway root and runs what was installed there: the command, the
# app's self-test, the manuals, the completions, the desktop files and the systemd preset.
set -uo pipefail
build=$1 net=$2
for tool in cpack dpkg-deb lintian man readelf; do
  command -v $tool >/dev/null || { echo "skipped: needs $tool"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
ctl_deb=$(ls "$work"/out/bytewardctl_*.deb) app_deb=$(ls "$work"/out/byteward_*.deb) ||
  { echo "FAIL: expected bytewardctl_*.deb and byteward_*.deb in $(ls "$work/out")"; exit 1; }

# Errors fail; warnings are shown.
lintian --fail-on error --suppress-tags initial-upload-closes-no-bugs "$ctl_deb" "$app_deb" 2>&1 |
  grep -v 'running with root privileges' || true
lintian --fail-on error "$ctl_deb" "$app_deb" >/dev/null 2>&1 || fail "lintian reports errors"

field() { dpkg-deb -f "$1" "$2"; }
ctl_depends=$(field "$ctl_deb" Depends) app_depends=$(field "$app_deb" Depends)
version=$(field "$ctl_deb" Version)
case "$ctl_depends" in *qt6* | *qml6*) fail "bytewardctl depends on Qt: $ctl_depends" ;; esac
case "$ctl_depends" in *libc6*) ;; *) fail "bytewardctl's dependencies were not computed: $ctl_depends" ;; esac
case "$app_depends" in *"bytewardctl (= $version)"*) ;; *) fail "byteward does not depend on this bytewardctl: $app_depends" ;; esac
for needed in libqt6quick6 qml6-module-qtcharts qml6-module-qtquick-controls; do
  case "$app_depends" in *"$needed"*) ;; *) fail "byteward does not depend on $needed" ;; esac
done

root=$work/root
dpkg-deb -x "$ctl_deb" "$root" && dpkg-deb -x "$app_deb" "$root" || { fail "dpkg-deb -x"; exit 1; }
# Nothing outside /usr, and no file in both packages.
outside=$( (dpkg-deb -c "$ctl_deb"; dpkg-deb -c "$app_deb") | awk '{print $6}' | grep -v '^\./usr/' | grep -v '^\./$')
[ -z "$outside" ] || fail "files outside /usr: $outside"
both=$(comm -12 <(dpkg-deb -c "$ctl_deb" | awk '$1 !~ /^d/ {print $6}' | sort) \
  <(dpkg-deb -c "$app_deb" | awk '$1 !~ /^d/ {print $6}' | sort))
[ -z "$both" ] || fail "files in both packages: $both"

# The installed command, in a home of its own.
export HOME=$work/home XDG_DATA_HOME=$work/home/data XDG_CONFIG_HOME=$work/home/config
export XDG_STATE_HOME=$work/home/state BYTEWARD_NET_ROOT=$net BYTEWARD_NETWORK_SERVICES=none
mkdir -p "$HOME"
got=$("$root/usr/bin/bytewardctl" --version 2>&1)
[ "$got" = "bytewardctl ${version%-*}" ] || fail "--version said: $got"
"$root/usr/bin/bytewardctl" status >"$work/status" 2>&1 || fail "status: $(cat "$work/status")"
grep -qi 'cellular' "$work/status" || fail "status shows no cellular dashboard: $(cat "$work/status")"
# The German catalogue came with bytewardctl.
if locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  LANG=de_DE.UTF-8 BYTEWARD_LOCALEDIR=$root/usr/share/locale "$root/usr/bin/bytewardctl" status \
    >"$work/status.de" 2>&1
  grep -q 'MOBILFUNK' "$work/status.de" || fail "status in German: $(head -3 "$work/status.de")"
fi
# The modules came with bytewardctl, in its private library folder, and the installed command
# finds them there: it has no run path into the build tree.
ctl_files=$(dpkg-deb -c "$ctl_deb")
for module in byteward-mime.so byteward-http.so; do
  grep -q "/usr/lib/[^/]*/byteward/$module\$" <<<"$ctl_files" ||
    fail "bytewardctl does not ship $module"
done
readelf -d "$root/usr/bin/bytewardctl" | grep -q 'R\(UN\)\?PATH' && fail "the installed bytewardctl has a run path"
# A mail written from the unpacked root loads the mail module installed beside it.
mkdir -p "$work/mailer"
printf '#!/bin/sh\nexit 0\n' >"$work/mailer/xdg-email"
chmod +x "$work/mailer/xdg-email"
PATH=$work/mailer "$root/usr/bin/bytewardctl" export html --mail >"$work/mail" 2>&1 ||
  fail "export --mail: $(cat "$work/mail")"
grep -q '^X-Unsent: 1' "$(tail -1 "$work/mail")" 2>/dev/null || fail "no mail written: $(cat "$work/mail")"
# Without its module a mail fails with a message that names it, not with a crash.
mime=$(ls "$root"/usr/lib/*/byteward/byteward-mime.so)
mv "$mime" "$work/moved.so"
PATH=$work/mailer "$root/usr/bin/bytewardctl" export html --mail >"$work/mail" 2>&1
got=$?
[ $got -eq 1 ] && grep -q 'byteward-mime.so' "$work/mail" ||
  fail "export --mail without its module exited $got: $(cat "$work/mail")"
mv "$work/moved.so" "$mime"
got=$(QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work "$root/usr/bin/byteward" --self-test 2>&1)
[[ $got == *"self-test passed"* ]] || fail "byteward --self-test: $got"

# The manuals open and name every command.
page=$(MANWIDTH=100 man -l "$root/usr/share/man/man1/bytewardctl.1.gz" 2>&1)
for command in update adjust reset status interfaces record defaults billing history export \
  counters notifications widget daemon completion "EXIT STATUS" ENVIRONMENT FILES; do
  grep -q -- "$command" <<<"$page" || fail "bytewardctl(1) lacks $command"
done
MANWIDTH=100 man -l "$root/usr/share/man/man1/byteward.1.gz" 2>&1 | grep -q -- '--self-test' ||
  fail "byteward(1) does not open"

# The completion bash-completion loads for bytewardctl.
got=$(bash -c "source '$root/usr/share/bash-completion/completions/bytewardctl'
  COMP_WORDS=(bytewardctl sta); COMP_CWORD=1; _bytewardctl; echo \${COMPREPLY[*]}")
[ "$got" = "status" ] || fail "the installed bash completion offered: $got"
[ -s "$root/usr/share/zsh/vendor-completions/_bytewardctl" ] || fail "no zsh completion"
[ -s "$root/usr/share/fish/vendor_completions.d/bytewardctl.fish" ] || fail "no fish completion"

# The app is in the application menu.
desktop=$(ls "$root"/usr/share/applications/*.desktop 2>/dev/null)
[ -n "$desktop" ] || fail "no desktop file"
if command -v desktop-file-validate >/dev/null && [ -n "$desktop" ]; then
  desktop-file-validate $desktop || fail "desktop-file-validate"
fi
grep -q '^Exec=byteward' $desktop || fail "the desktop file does not start byteward"
[ -s "$root/usr/share/icons/hicolor/scalable/apps/byteward.svg" ] || fail "no icon"

# The user unit starts the installed command, and the preset enables it for every user.
unit=$root/usr/lib/systemd/user/byteward-daemon.service
grep -q '^ExecStart=/usr/bin/bytewardctl daemon$' "$unit" || fail "ExecStart: $(grep ExecStart= "$unit")"
if command -v systemctl >/dev/null; then
  systemctl --global --root="$root" preset byteward-daemon.service >/dev/null 2>&1
  [ -L "$root/etc/systemd/user/default.target.wants/byteward-daemon.service" ] ||
    fail "the preset does not enable the unit for new users"
fi

# The traffic helper: in libexec, started by its system unit, not enabled, with its manual.
helper=$root/usr/libexec/byteward/byteward-appstats
got=$("$helper" --version 2>&1)
[ "$got" = "byteward-appstats ${version%-*}" ] || fail "byteward-appstats --version said: $got"
system_unit=$root/usr/lib/systemd/system/byteward-appstats.service
grep -q '^ExecStart=/usr/libexec/byteward/byteward-appstats$' "$system_unit" ||
  fail "the helper's unit: $(grep ExecStart= "$system_unit" 2>&1)"
MANWIDTH=100 man -l "$root/usr/share/man/man8/byteward-appstats.8.gz" 2>&1 | grep -q -- '--cgroup-root' ||
  fail "byteward-appstats(8) does not open"
case "$ctl_depends" in *libbpf*) ;; *) fail "bytewardctl does not depend on libbpf: $ctl_depends" ;; esac

[ $failures -eq 0 ] && echo "the packages install and run" || exit 1
