// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/app_icon_provider.h"

#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QUrl>

namespace byteward::gui {

QPixmap AppIconProvider::requestPixmap(const QString &id, QSize *size, const QSize &requestedSize) {
    const QSize want =
        requestedSize.isValid() && !requestedSize.isEmpty() ? requestedSize : QSize(48, 48);
    const QString name = QUrl::fromPercentEncoding(id.toUtf8());
    QPixmap pixmap;
    if (QFileInfo(name).isAbsolute()) {
        // A file the entry names: read at the size shown, so a huge picture costs nothing more.
        QImageReader reader(name);
        if (reader.canRead()) {
            reader.setScaledSize(reader.size().scaled(want, Qt::KeepAspectRatio));
            pixmap = QPixmap::fromImage(reader.read());
        }
    } else if (!name.contains(QLatin1Char('/'))) {
        pixmap = QIcon::fromTheme(name).pixmap(want);
    }
    if (pixmap.isNull()) {
        // No icon to be had: an empty one, which the row shows as the space it keeps.
        pixmap = QPixmap(want);
        pixmap.fill(Qt::transparent);
    }
    if (size != nullptr) *size = pixmap.size();
    return pixmap;
}

} // namespace byteward::gui
