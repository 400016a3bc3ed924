// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "screens/kit/drawing_context.h"

#include <algorithm>
#include <string>
#include <vector>

namespace byteward::test {

// Records what was drawn together with the state it was drawn in (the clip as the intersection
// of every clip since the last save, colours and dash), so tests can check what would show.
class RecordingDrawingContext final : public DrawingContext {
  public:
    struct State {
        RectF clip;
        Rgba stroke{0, 0, 0, 1};
        Rgba fill{0, 0, 0, 1};
        double dashPhase = 0;
        std::vector<double> dashLengths;
    };
    struct Gradient {
        RectF rect;
        std::vector<Rgba> colours;
        std::vector<double> locations;
        State state;
    };
    struct Line {
        double x1, y1, x2, y2;
        State state;
    };
    struct Text {
        std::string text, fontFamily;
        double pointSize, x, y;
        State state;
    };

    explicit RecordingDrawingContext(RectF bounds) {
        State initial;
        initial.clip = bounds;
        states_.push_back(initial);
    }

    RectF clipBoundingBox() const override { return current().clip; }
    void saveState() override { states_.push_back(current()); }
    void restoreState() override {
        if (states_.size() > 1)
            states_.pop_back();
        else
            ++unmatchedRestores;
    }
    void clipToRect(const RectF &rect) override {
        current().clip = intersect(current().clip, rect);
    }
    void fillLinearGradient(const RectF &rect, const std::vector<Rgba> &colours,
                            const std::vector<double> &locations) override {
        gradients.push_back({rect, colours, locations, current()});
    }
    void setStrokeColor(const Rgba &colour) override { current().stroke = colour; }
    void setFillColor(const Rgba &colour) override { current().fill = colour; }
    void setLineDash(double phase, const std::vector<double> &lengths) override {
        current().dashPhase = phase;
        current().dashLengths = lengths;
    }
    void strokeLine(double x1, double y1, double x2, double y2) override {
        lines.push_back({x1, y1, x2, y2, current()});
    }
    void drawText(const std::string &text, const std::string &fontFamily, double pointSize,
                  double x, double y) override {
        texts.push_back({text, fontFamily, pointSize, x, y, current()});
    }

    // Saves not yet restored.
    int openSaves() const { return static_cast<int>(states_.size()) - 1; }

    std::vector<Gradient> gradients;
    std::vector<Line> lines;
    std::vector<Text> texts;
    int unmatchedRestores = 0;

  private:
    static RectF intersect(const RectF &a, const RectF &b) {
        const double left = std::max(a.x, b.x), top = std::max(a.y, b.y);
        const double right = std::min(a.x + a.width, b.x + b.width);
        const double bottom = std::min(a.y + a.height, b.y + b.height);
        return {left, top, std::max(0.0, right - left), std::max(0.0, bottom - top)};
    }
    State &current() { return states_.back(); }
    const State &current() const { return states_.back(); }

    std::vector<State> states_;
};

} // namespace byteward::test
