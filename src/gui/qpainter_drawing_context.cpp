// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/qpainter_drawing_context.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QLinearGradient>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <QString>
#include <QStringList>
#include <algorithm>

namespace byteward {

namespace {

QColor toQColor(const Rgba &c) {
    const auto unit = [](double v) { return std::clamp(v, 0.0, 1.0); };
    return QColor::fromRgbF(static_cast<float>(unit(c.red)), static_cast<float>(unit(c.green)),
                            static_cast<float>(unit(c.blue)), static_cast<float>(unit(c.alpha)));
}

QRectF toQRectF(const RectF &r) {
    return {r.x, r.y, r.width, r.height};
}

} // namespace

QPainterDrawingContext::QPainterDrawingContext(QPainter &painter, const QRectF &bounds)
    : painter_(painter), bounds_(bounds) {
    // Start from a solid black 1-unit stroke and a black fill, whatever the caller left set.
    QPen pen(Qt::black);
    pen.setWidthF(1.0);
    painter_.setPen(pen);
    painter_.setBrush(Qt::black);
}

RectF QPainterDrawingContext::clipBoundingBox() const {
    const QRectF box =
        painter_.hasClipping() ? painter_.clipBoundingRect().intersected(bounds_) : bounds_;
    return {box.x(), box.y(), box.width(), box.height()};
}

void QPainterDrawingContext::saveState() {
    painter_.save();
}

void QPainterDrawingContext::restoreState() {
    painter_.restore();
}

void QPainterDrawingContext::clipToRect(const RectF &rect) {
    // Without a clip yet, the view's bounds are the clip, as clipBoundingBox reports.
    if (painter_.hasClipping())
        painter_.setClipRect(toQRectF(rect), Qt::IntersectClip);
    else
        painter_.setClipRect(toQRectF(rect).intersected(bounds_), Qt::ReplaceClip);
}

void QPainterDrawingContext::fillLinearGradient(const RectF &rect, const std::vector<Rgba> &colours,
                                                const std::vector<double> &locations) {
    const QRectF area = toQRectF(rect);
    QLinearGradient gradient(area.topLeft(), area.bottomLeft());
    const std::size_t stops = std::min(colours.size(), locations.size());
    for (std::size_t i = 0; i < stops; ++i)
        gradient.setColorAt(std::clamp(locations[i], 0.0, 1.0), toQColor(colours[i]));
    painter_.fillRect(area, gradient);
}

void QPainterDrawingContext::setStrokeColor(const Rgba &colour) {
    QPen pen = painter_.pen();
    pen.setColor(toQColor(colour));
    painter_.setPen(pen);
}

void QPainterDrawingContext::setFillColor(const Rgba &colour) {
    painter_.setBrush(toQColor(colour));
}

void QPainterDrawingContext::setLineDash(double phase, const std::vector<double> &lengths) {
    QPen pen = painter_.pen();
    if (lengths.empty()) {
        pen.setStyle(Qt::SolidLine);
    } else {
        // Qt counts dashes in pen widths; the pen is kept at 1, so these are view units.
        QList<qreal> pattern(lengths.begin(), lengths.end());
        // Qt wants pairs of dash and gap; a single length means equal dashes and gaps.
        if (pattern.size() % 2 != 0) pattern.append(pattern);
        pen.setDashPattern(pattern);
        pen.setDashOffset(phase);
    }
    painter_.setPen(pen);
}

void QPainterDrawingContext::strokeLine(double x1, double y1, double x2, double y2) {
    painter_.drawLine(QLineF(x1, y1, x2, y2));
}

void QPainterDrawingContext::drawText(const std::string &text, const std::string &fontFamily,
                                      double pointSize, double x, double y) {
    QFont font;
    // Trebuchet MS is rarely installed on Linux; fall back to a plain sans.
    font.setFamilies({QString::fromStdString(fontFamily), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("sans-serif")});
    font.setStyleHint(QFont::SansSerif);
    // The size is in view units, as the bar's geometry is; Qt's points depend on the device.
    const int dpi = painter_.device() ? painter_.device()->logicalDpiY() : 72;
    font.setPointSizeF(pointSize * 72.0 / (dpi > 0 ? dpi : 72));

    painter_.save();
    painter_.setFont(font);
    painter_.setPen(painter_.brush().color()); // text is filled, not stroked
    painter_.drawText(QPointF(x, y), QString::fromStdString(text));
    painter_.restore();
}

} // namespace byteward
