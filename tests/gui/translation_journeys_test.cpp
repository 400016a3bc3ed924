// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The window in German: every tab is walked and no text on screen is one of the English
// texts the catalogue translates, so a text that skips the catalogue shows up here.
#include "gui/journey.h"
#include "platform/i18n.h"

#include <QQuickItem>
#include <clocale>
#include <fstream>
#include <map>
#include <string>

namespace byteward::test {
namespace {

// "\"a\\n\"" as written in a .po file, to the text it stands for.
std::string unquote(const std::string &line) {
    const auto first = line.find('"');
    const auto last = line.rfind('"');
    std::string out;
    for (auto i = first + 1; i < last; ++i) {
        if (line[i] == '\\' && i + 1 < last) {
            ++i;
            out += line[i] == 'n' ? '\n' : line[i] == 't' ? '\t' : line[i];
        } else {
            out += line[i];
        }
    }
    return out;
}

// The English texts the catalogue gives another German text, from its singular entries.
std::map<QString, QString> translatedTexts(const char *poFile) {
    std::map<QString, QString> out;
    std::ifstream in(poFile);
    std::string line, id, str, *field = nullptr;
    bool plural = false;
    auto flush = [&] {
        if (!plural && !id.empty() && !str.empty() && id != str)
            out.emplace(QString::fromStdString(id), QString::fromStdString(str));
        id.clear();
        str.clear();
        plural = false;
        field = nullptr;
    };
    while (std::getline(in, line)) {
        if (line.rfind("msgid ", 0) == 0) {
            flush();
            id = unquote(line);
            field = &id;
        } else if (line.rfind("msgid_plural", 0) == 0) {
            plural = true;
            field = nullptr;
        } else if (line.rfind("msgstr ", 0) == 0) {
            str = unquote(line);
            field = &str;
        } else if (line.rfind('"', 0) == 0 && field != nullptr) {
            *field += unquote(line);
        } else if (line.rfind("msgstr[", 0) == 0) {
            field = nullptr;
        }
    }
    flush();
    return out;
}

void collectTexts(QQuickItem *item, QStringList &texts) {
    if (item == nullptr || !item->isVisible()) return;
    if (const QVariant text = item->property("text"); text.canConvert<QString>()) {
        const QString shown = text.toString().trimmed();
        if (!shown.isEmpty()) texts.push_back(shown);
    }
    for (QQuickItem *child : item->childItems())
        collectTexts(child, texts);
}

class TranslationJourneys : public Journey {
  protected:
    void SetUp() override {
        // Messages follow LANGUAGE in any locale but C; the rest of the locale stays as it is.
        previous_ = std::setlocale(LC_MESSAGES, nullptr);
        ::setenv("BYTEWARD_LOCALEDIR", BYTEWARD_BUILD_LOCALEDIR, 1);
        ::setenv("LANGUAGE", "de", 1);
        std::setlocale(LC_MESSAGES, "C.UTF-8");
        bindTranslations();
        ASSERT_STREQ(tr("Settings"), "Einstellungen") << "the German catalogue is not found";
    }
    void TearDown() override {
        Journey::TearDown();
        ::unsetenv("LANGUAGE");
        std::setlocale(LC_MESSAGES, previous_.c_str());
    }

    // Texts on screen that are English texts the catalogue has a translation for.
    QStringList englishOnScreen() const {
        static const std::map<QString, QString> english = translatedTexts(BYTEWARD_DE_PO);
        QStringList texts;
        collectTexts(window()->contentItem(), texts);
        QStringList found;
        for (const QString &text : texts) {
            for (const QString &line : text.split(QLatin1Char('\n'))) {
                const QString plain = line.trimmed();
                for (const auto &[id, german] : english) {
                    const QString trimmedId = id.trimmed();
                    if (trimmedId.isEmpty()) continue;
                    // Whole texts, and the texts a value follows ("Updated: ", "Ends on ").
                    const bool prefix = id.endsWith(QLatin1Char(' ')) && trimmedId.size() > 3 &&
                                        plain.startsWith(id);
                    if (plain == trimmedId || prefix) found.push_back(plain);
                }
            }
        }
        found.removeDuplicates();
        return found;
    }

  private:
    std::string previous_;
};

TEST_F(TranslationJourneys, EveryTabShowsGermanTextsOnly) {
    settingsOfAFirstStart();
    skipGreetings();
    for (const char *key : {"cellularDataLimit", "wifiDataLimit"})
        storeDefault(key, Value(100.0));
    start();
    const char *tabs[] = {"cellular", "Wi-Fi", "counters", "history", "settings"};
    for (int tab = 0; tab < 5; ++tab) {
        selectTab(tab);
        settle(80);
        EXPECT_EQ(englishOnScreen(), QStringList()) << "on the " << tabs[tab] << " tab";
    }
    selectTab(0);
    EXPECT_EQ(shown(QStringLiteral("lblTitle")), QStringLiteral("MOBILFUNK"));
    EXPECT_NE(findText(QStringLiteral("Einstellungen")), nullptr);
    // A screen that opens from a tab: the history of the current period.
    selectTab(3);
    clickText(QStringLiteral("Laufender Abrechnungszeitraum"));
    settle(80);
    EXPECT_EQ(englishOnScreen(), QStringList()) << "on the period's history";
}

TEST_F(TranslationJourneys, TheFirstStartGreetsInGerman) {
    start();
    expectAlert(QStringLiteral("Ersteinrichtung"));
    answer(QStringLiteral("OK"));
    expectNoAlert();
    EXPECT_EQ(englishOnScreen(), QStringList()) << "on the settings tab";
}

} // namespace
} // namespace byteward::test
