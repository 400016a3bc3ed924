// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace byteward::gui {

// The window's colours as QML binds to them, each a "#rrggbb" text. The progress colours follow
// the stored thresholds, so the whole set is read again whenever the theme may have changed.
class AppColors : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The colours come from the application")
    Q_PROPERTY(QString background READ background NOTIFY changed)
    Q_PROPERTY(QString block READ block NOTIFY changed)
    Q_PROPERTY(QString subheader READ subheader NOTIFY changed)
    Q_PROPERTY(QString foreground READ foreground NOTIFY changed)
    Q_PROPERTY(QString tint READ tint NOTIFY changed)
    Q_PROPERTY(QString navBar READ navBar NOTIFY changed)
    Q_PROPERTY(QString separator READ separator NOTIFY changed)
    Q_PROPERTY(QString cellBackground READ cellBackground NOTIFY changed)
    Q_PROPERTY(QString cellForeground READ cellForeground NOTIFY changed)
    Q_PROPERTY(QString cellDetail READ cellDetail NOTIFY changed)
    Q_PROPERTY(QString settingsCell READ settingsCell NOTIFY changed)
    Q_PROPERTY(QString barBackground READ barBackground NOTIFY changed)
    Q_PROPERTY(QString cellular READ cellular NOTIFY changed)
    Q_PROPERTY(QString wifi READ wifi NOTIFY changed)

  public:
    struct Values {
        QString background, block, subheader, foreground, tint, navBar, separator, cellBackground,
            cellForeground, cellDetail, settingsCell, barBackground, cellular, wifi;
        bool operator==(const Values &) const = default;
    };

    using QObject::QObject;

    // Tells QML only when a colour is different.
    void set(const Values &values) {
        if (values == values_) return;
        values_ = values;
        emit changed();
    }

    QString background() const { return values_.background; }
    QString block() const { return values_.block; }
    QString subheader() const { return values_.subheader; }
    QString foreground() const { return values_.foreground; }
    QString tint() const { return values_.tint; }
    QString navBar() const { return values_.navBar; }
    QString separator() const { return values_.separator; }
    QString cellBackground() const { return values_.cellBackground; }
    QString cellForeground() const { return values_.cellForeground; }
    QString cellDetail() const { return values_.cellDetail; }
    QString settingsCell() const { return values_.settingsCell; }
    QString barBackground() const { return values_.barBackground; }
    QString cellular() const { return values_.cellular; }
    QString wifi() const { return values_.wifi; }

  signals:
    void changed();

  private:
    Values values_;
};

} // namespace byteward::gui
