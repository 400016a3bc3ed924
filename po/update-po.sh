#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Extracts the texts a person reads into po/byteward.pot and merges them into each language's
# .po. With --check, changes nothing and fails when byteward.pot no longer matches the sources,
# or a catalogue is invalid, incomplete or fuzzy.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
check=false
[ "${1:-}" = --check ] && check=true

extract() {
    local out=$1 code qml plist
    code=$(mktemp) qml=$(mktemp) plist=$(mktemp)
    # Locations name the file only: line numbers would make every edit above a text a change.
    find src -name '*.cpp' -o -name '*.h' | LC_ALL=C sort |
        xgettext --files-from=- --language=C++ --from-code=UTF-8 --keyword= --keyword=tr \
            --keyword=trn:1,2 --keyword=N_ --add-comments=TRANSLATORS: --add-location=file \
            --package-name=Byteward --omit-header -o "$code"
    # The few texts the pages spell themselves, through App.i18n.
    find src/gui/qml -name '*.qml' | LC_ALL=C sort |
        xgettext --files-from=- --language=JavaScript --from-code=UTF-8 --keyword= \
            --keyword=i18n --add-location=file --omit-header -o "$qml"
    # The settings schema's titles, read where the settings screen shows them.
    xgettext --its=po/plist.its --add-location=file --omit-header -o "$plist" \
        resources/settings.plist
    {
        cat <<'HEADER'
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The texts of Byteward, made by po/update-po.sh from the sources.
msgid ""
msgstr ""
"Project-Id-Version: Byteward\n"
"Language: \n"
"MIME-Version: 1.0\n"
"Content-Type: text/plain; charset=UTF-8\n"
"Content-Transfer-Encoding: 8bit\n"
"Plural-Forms: nplurals=INTEGER; plural=EXPRESSION;\n"

HEADER
        msgcat --use-first --add-location=file "$code" "$qml" "$plist" | sed '1,/^$/d'
    } >"$out"
    rm -f "$code" "$qml" "$plist"
}

if ! $check; then
    extract po/byteward.pot
    for po in po/*.po; do
        msgmerge --quiet --update --backup=none --no-fuzzy-matching --add-location=file "$po" \
            po/byteward.pot
        msgattrib --no-obsolete --output-file="$po" "$po"
    done
    exit 0
fi

fresh=$(mktemp)
trap 'rm -f "$fresh"' EXIT
extract "$fresh"
status=0
if ! diff -u po/byteward.pot "$fresh"; then
    echo "po/byteward.pot is out of date: run po/update-po.sh" >&2
    status=1
fi
for po in po/*.po; do
    msgfmt --check --output-file=/dev/null "$po" || status=1
    # Every text of the template translated, none fuzzy, none left over from older sources.
    stats=$(msgcmp "$po" po/byteward.pot 2>&1) || { echo "$stats" >&2; status=1; }
    untranslated=$(msgattrib --untranslated --no-obsolete "$po" | grep -c '^msgid ' || true)
    fuzzy=$(msgattrib --only-fuzzy --no-obsolete "$po" | grep -c '^msgid ' || true)
    if [ "$untranslated" -gt 0 ] || [ "$fuzzy" -gt 0 ]; then
        echo "$po: $untranslated untranslated, $fuzzy fuzzy" >&2
        status=1
    fi
done
exit $status
