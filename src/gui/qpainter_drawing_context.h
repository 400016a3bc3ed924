// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "screens/kit/drawing_context.h"

#include <QRectF>

class QPainter;

namespace byteward {

// Draws the usage bar with QPainter. Colours, dash and clip live in the painter's own state, so
// saveState and restoreState cover them all.
class QPainterDrawingContext final : public DrawingContext {
  public:
    // `bounds`: the view's rectangle, which stands for the clip when the painter has none.
    QPainterDrawingContext(QPainter &painter, const QRectF &bounds);

    RectF clipBoundingBox() const override;
    void saveState() override;
    void restoreState() override;
    void clipToRect(const RectF &rect) override;
    void fillLinearGradient(const RectF &rect, const std::vector<Rgba> &colours,
                            const std::vector<double> &locations) override;
    void setStrokeColor(const Rgba &colour) override;
    void setFillColor(const Rgba &colour) override;
    void setLineDash(double phase, const std::vector<double> &lengths) override;
    void strokeLine(double x1, double y1, double x2, double y2) override;
    void drawText(const std::string &text, const std::string &fontFamily, double pointSize,
                  double x, double y) override;

  private:
    QPainter &painter_;
    QRectF bounds_;
};

} // namespace byteward
