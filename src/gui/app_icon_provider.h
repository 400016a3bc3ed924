// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QQuickImageProvider>

namespace byteward::gui {

// "image://appicon/<name>": an application's icon as its desktop entry names it, a name in the
// icon theme or an absolute file. Empty when there is none, so the row keeps its place without.
class AppIconProvider final : public QQuickImageProvider {
  public:
    AppIconProvider() : QQuickImageProvider(QQuickImageProvider::Pixmap) {}
    QPixmap requestPixmap(const QString &id, QSize *size, const QSize &requestedSize) override;
};

} // namespace byteward::gui
