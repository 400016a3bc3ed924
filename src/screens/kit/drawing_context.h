// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <string>
#include <vector>

namespace byteward {

struct Rgba {
    double red = 0, green = 0, blue = 0, alpha = 1; // 0 to 1
    bool operator==(const Rgba &) const = default;
};

struct RectF {
    double x = 0, y = 0, width = 0, height = 0;
    bool operator==(const RectF &) const = default;
};

// The few 2-D drawing operations the usage bar needs, in top-down view coordinates. The app
// draws with QPainter; tests record the calls.
class DrawingContext {
  public:
    virtual ~DrawingContext() = default;
    virtual RectF clipBoundingBox() const = 0;
    virtual void saveState() = 0;
    virtual void restoreState() = 0;
    virtual void clipToRect(const RectF &rect) = 0;
    // A vertical gradient over `rect` with colour stops at `locations` (0 top to 1 bottom).
    virtual void fillLinearGradient(const RectF &rect, const std::vector<Rgba> &colours,
                                    const std::vector<double> &locations) = 0;
    virtual void setStrokeColor(const Rgba &colour) = 0;
    virtual void setFillColor(const Rgba &colour) = 0;
    virtual void setLineDash(double phase, const std::vector<double> &lengths) = 0;
    virtual void strokeLine(double x1, double y1, double x2, double y2) = 0;
    // Text with its baseline starting at (x, y), in the fill colour.
    virtual void drawText(const std::string &text, const std::string &fontFamily, double pointSize,
                          double x, double y) = 0;
};

} // namespace byteward
