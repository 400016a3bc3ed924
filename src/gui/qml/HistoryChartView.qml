// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtCharts
import Byteward

// The history chart. Its screen works out every figure (ranges, padding, labels and where they
// go, which bars carry a value); this page only places them. Qt Charts draws the frame, the plot
// area and the grid; bars and labels go on top, since rounded tips, turned texts and labels at
// chosen places are beyond its bar series and axes.
ScreenPage {
    id: page
    // Pages are tabs to a screen reader: each says which screen it is.
    Accessible.name: App.i18n("History chart")
    // Larger dates and every value label; by default the shell's rule for a tablet-sized window.
    property bool tablet: Window.window ? Math.min(Window.window.width, Window.window.height) >= 700 : false
    // The chart closed itself (close button, or the window turned taller than wide).
    signal dismissed()

    readonly property var v: screen ? screen.values : ({})
    readonly property bool hasChart: v.hasChart === true
    readonly property bool isDismissed: v.dismissed === true
    readonly property color foreground: v.foregroundColor || "white"
    readonly property color backgroundColor: v.backgroundColor || "#32373c"
    readonly property color barColor: v.barColor || "white"

    onIsDismissedChanged: if (isDismissed) dismissed()
    onTabletChanged: reportWindow()

    readonly property ScreenLabel noData: screen ? screen.label("lblNoData") : null
    function reportWindow() {
        const w = Window.window
        if (screen && w)
            screen.perform("windowResized", { width: w.width, height: w.height, tablet: page.tablet })
    }

    Component.onCompleted: {
        if (screen) screen.perform("viewDidLoad")
        reportWindow()
    }
    // The window the page is in, once it is in one: turning it upright closes the chart.
    readonly property size windowSize: Qt.size(Window.width, Window.height)
    // Later: turning upright closes this page, which must not happen inside its own binding.
    onWindowSizeChanged: reportLater.restart()
    Timer {
        id: reportLater
        interval: 0
        onTriggered: page.reportWindow()
    }

    background: Rectangle { color: page.backgroundColor }

    // Made once the figures exist, so the axes start out with their final range and step: an
    // axis that took a new range under an old step would lay out millions of ticks. A repeater of
    // one rather than a loader, which cannot make a component bound to this page.
    Repeater {
        model: page.hasChart ? 1 : 0

        ChartView {
            id: chart
            objectName: "chart"
            anchors.fill: parent
            theme: ChartView.ChartThemeDark
            antialiasing: true
            legend.visible: false
            backgroundRoundness: 0
            plotArea: Qt.rect(pad.left, pad.top, Math.max(1, width - pad.left - pad.right),
                              Math.max(1, height - pad.top - pad.bottom))

            readonly property var pad: page.v.padding
            readonly property var xRange: page.v.xRange
            readonly property var yRange: page.v.yRange
            readonly property var xAxisInfo: page.v.xAxis
            readonly property var yAxisInfo: page.v.yAxis

            // Chart units to pixels of the chart.
            function px(x) { return plotArea.x + (x - xRange.location) / xRange.length * plotArea.width }
            function py(y) { return plotArea.y + plotArea.height - (y - yRange.location) / yRange.length * plotArea.height }

            // Where dates would run into each other (many billing periods in a narrow window),
            // every label that would touch the last one shown is left out, so those shown stay
            // readable.
            readonly property var shownXLabels: {
                const shown = []
                let lastRight = -Infinity
                for (let i = 0; i < xLabels.count; ++i) {
                    const item = xLabels.itemAt(i)
                    const fits = !item || item.x >= lastRight + 4
                    shown.push(fits)
                    if (item && fits) lastRight = item.x + item.width
                }
                return shown
            }
            readonly property real tallestXLabel: {
                let tallest = 0
                for (let i = 0; i < xLabels.count; ++i)
                    tallest = Math.max(tallest, xLabels.itemAt(i) ? xLabels.itemAt(i).height : 0)
                return tallest
            }

            // ValuesAxis is ValueAxis under its first name: the Qt Charts type description lists
            // both under one class, and qmllint keeps only the old name.
            ValuesAxis {
                id: axisX
                min: chart.xRange.location
                max: chart.xRange.location + chart.xRange.length
                labelsVisible: false
                gridVisible: false
                lineVisible: false
                minorGridVisible: false
            }
            ValuesAxis {
                id: axisY
                tickInterval: chart.yAxisInfo.majorInterval
                tickAnchor: 0
                tickType: ValuesAxis.TicksDynamic
                min: chart.yRange.location
                max: chart.yRange.location + chart.yRange.length
                minorTickCount: 0
                // The screen's own labels are drawn below: the axis would leave out one that
                // comes near the top of the plot.
                labelsVisible: false
                lineVisible: false
                gridVisible: true
                gridLineColor: page.v.gridLineColor
                minorGridVisible: false
            }
            // Holds the axes; the bars are drawn below.
            LineSeries { axisX: axisX; axisY: axisY }

            // The axes as lines, without tick marks.
            Rectangle {
                x: chart.plotArea.x
                y: chart.py(0)
                width: chart.plotArea.width
                height: 1
                color: page.foreground
            }
            Rectangle {
                x: chart.px(0)
                y: chart.plotArea.y
                width: 1
                height: chart.plotArea.height
                color: page.foreground
            }

            Repeater {
                model: page.v.yLabels
                Text {
                    required property var modelData
                    objectName: "yLabel"
                    text: modelData.text
                    color: page.foreground
                    font.pixelSize: modelData.fontSize
                    x: chart.plotArea.x - width - 6
                    y: chart.py(modelData.location) - height / 2
                }
            }

            Repeater {
                model: page.v.bars
                Item {
                    id: bar
                    required property var modelData
                    readonly property real leftEdge: chart.px(modelData.location - page.v.barWidth / 2)
                    readonly property real rightEdge: chart.px(modelData.location + page.v.barWidth / 2)
                    readonly property real tipRadius: Math.min(page.v.barCornerRadius, width / 2, height)
                    x: leftEdge
                    width: rightEdge - leftEdge
                    y: chart.py(modelData.tip)
                    height: chart.py(0) - y
                    clip: true
                    // Only the tip is rounded: the lower corners fall outside the clip.
                    Rectangle {
                        width: parent.width
                        height: parent.height + bar.tipRadius
                        radius: bar.tipRadius
                        color: page.barColor
                    }
                    Text {
                        objectName: "valueLabel"
                        parent: chart
                        visible: bar.modelData.hasValueLabel
                        text: bar.modelData.valueText
                        color: page.foreground
                        font.pixelSize: bar.modelData.valueFontSize || 10
                        x: chart.px(bar.modelData.location) - width / 2
                        y: bar.y - height - 2
                    }
                }
            }

            Repeater {
                id: xLabels
                model: page.v.xLabels
                // The box a turned label takes, its top on the axis and centred on its place.
                Item {
                    id: slot
                    required property var modelData
                    required property int index
                    readonly property real angle: modelData.rotation
                    width: Math.abs(text.implicitWidth * Math.cos(angle)) + Math.abs(text.implicitHeight * Math.sin(angle))
                    height: Math.abs(text.implicitWidth * Math.sin(angle)) + Math.abs(text.implicitHeight * Math.cos(angle))
                    // Kept inside the chart: a wide label under an end bar would run off it.
                    x: Math.max(0, Math.min(chart.width - width, chart.px(modelData.location) - width / 2))
                    y: chart.py(0) + chart.xAxisInfo.labelOffset
                    visible: chart.shownXLabels[index] !== false
                    Text {
                        id: text
                        objectName: "xLabel"
                        anchors.centerIn: parent
                        text: slot.modelData.text
                        color: page.foreground
                        font.pixelSize: slot.modelData.fontSize
                        horizontalAlignment: Text.AlignHCenter
                        // Counter-clockwise, so upright dates read upwards.
                        rotation: -slot.angle * 180 / Math.PI
                    }
                }
            }

            Text {
                objectName: "xAxisTitle"
                visible: text !== ""
                text: chart.xAxisInfo.title
                color: page.foreground
                font.pixelSize: 12
                x: chart.px(chart.xAxisInfo.titleLocation) - width / 2
                // Below the dates, should upright ones reach further than the title's offset.
                y: chart.py(0) + Math.max(chart.xAxisInfo.titleOffset,
                                          chart.tallestXLabel + chart.xAxisInfo.labelOffset + 2)
            }
        }
    }

    Label {
        objectName: "lblNoData"
        anchors.centerIn: parent
        visible: page.noData ? !page.noData.hidden : false
        text: page.noData ? page.noData.text : ""
        color: page.foreground
        font.pixelSize: 17
        padding: 8
        background: Rectangle { color: page.backgroundColor }
    }

    Button {
        // The bus's press acts as a click does.
        Accessible.onPressAction: clicked()
        Accessible.name: text
        objectName: "closeButton"
        text: App.i18n("Close")
        implicitHeight: 48
        z: 10
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.margins: 6
        onClicked: if (page.screen) page.screen.perform("dismissView")
    }
}
