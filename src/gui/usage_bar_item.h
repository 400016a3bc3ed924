// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

namespace byteward::gui {

// The usage bar in the window: the drawing of the bar's values, done by the shared drawing code
// through QPainter.
class UsageBarItem : public QQuickPaintedItem {
    Q_OBJECT
    QML_NAMED_ELEMENT(UsageBar)
    Q_PROPERTY(int dataType MEMBER dataType_ NOTIFY valuesChanged)
    Q_PROPERTY(double currentUsagePercent MEMBER currentUsagePercent_ NOTIFY valuesChanged)
    Q_PROPERTY(double idealUsagePercent MEMBER idealUsagePercent_ NOTIFY valuesChanged)
    Q_PROPERTY(QString usageText MEMBER usageText_ NOTIFY valuesChanged)

  public:
    explicit UsageBarItem(QQuickItem *parent = nullptr);
    void paint(QPainter *painter) override;

  signals:
    void valuesChanged();

  private:
    int dataType_ = 0;
    double currentUsagePercent_ = 0;
    double idealUsagePercent_ = 0;
    QString usageText_;
};

} // namespace byteward::gui
