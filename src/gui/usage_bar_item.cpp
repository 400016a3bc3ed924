// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/usage_bar_item.h"

#include "gui/app_controller.h"
#include "gui/boundary.h"
#include "gui/qpainter_drawing_context.h"
#include "screens/dashboard/usage_visual_view.h"

#include <QPainter>

namespace byteward::gui {

UsageBarItem::UsageBarItem(QQuickItem *parent) : QQuickPaintedItem(parent) {
    setOpaquePainting(true);
    setFillColor(QColor::fromRgbF(0.5f, 0.5f, 0.5f)); // the bar's grey background
    connect(this, &UsageBarItem::valuesChanged, this, [this] { update(); });
}

void UsageBarItem::paint(QPainter *painter) {
    AppController *app = AppController::instance();
    if (app == nullptr) return;
    UsageVisualView view;
    view.dataType = dataType_;
    view.currentUsagePercent = static_cast<float>(currentUsagePercent_);
    view.idealUsagePercent = static_cast<float>(idealUsagePercent_);
    view.usageText = usageText_.toStdString();
    QPainterDrawingContext context(*painter, boundingRect());
    // Painting may run while the window's thread waits; announce a colour change from there.
    NotificationCenter local;
    ValueDict announced;
    bool changed = false;
    local.addObserver(NotificationCenter::kProgressBarMileStoneNotification,
                      [&](const ValueDict &info) {
                          announced = info;
                          changed = true;
                      });
    // Drawing stores the bar's colour. It runs on the render thread while the window's thread
    // waits for it, so it waits for the data lock no longer than that thread would, and must not
    // throw into the scene graph.
    DataLock::WaitLimit renderThread(AppController::kLockWait);
    guarded(app->services().log, "Drawing the usage bar",
            [&] { view.drawInContext(context, app->services(), &app->analytics(), &local); });
    if (changed) {
        QMetaObject::invokeMethod(
            app,
            [app, announced] {
                app->events().post(NotificationCenter::kProgressBarMileStoneNotification,
                                   announced);
            },
            Qt::QueuedConnection);
    }
}

} // namespace byteward::gui
