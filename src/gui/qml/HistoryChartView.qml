import QtQuick
import QtQuick.Controls
import QtCharts
import Byteward

// The history chart. Its screen works out every figure (ranges, padding, labels and where they
// go, which bars carry a value); this page only places them. Qt Charts draws the frame, the
// y labels and the grid; the bars and the x labels go on top, since their rounded tips, turned
// texts and free positions are beyond a bar series.
Page {
    id: page
    property ScreenAdapter screen
    // Larger dates and every value label; by default the shell's rule for a tablet-sized window.
    property bool tablet: Window.window ? Math.min(Window.window.width, Window.window.height) >= 700 : false
    // The chart closed itself (close button, or the window turned taller than wide).
    signal dismissed()

    readonly property var v: screen ? screen.values : ({})
    readonly property bool hasChart: v.hasChart === true
    readonly property bool isDismissed: v.dismissed === true
    readonly property var pad: v.padding || ({ top: 0, left: 0, bottom: 0, right: 0 })
    readonly property var xRange: v.xRange || ({ location: 0, length: 1 })
    readonly property var yRange: v.yRange || ({ location: 0, length: 1 })
    readonly property var xAxisInfo: v.xAxis || ({})
    readonly property var yAxisInfo: v.yAxis || ({})
    readonly property color foreground: v.foregroundColor || "white"

    onIsDismissedChanged: if (isDismissed) dismissed()
    onTabletChanged: reportWindow()

    function label(name) {
        const l = screen ? screen.labels[name] : undefined
        return l ? l : ({ text: "", hidden: true })
    }
    function reportWindow() {
        const w = Window.window
        if (screen && w)
            screen.perform("windowResized", { width: w.width, height: w.height, tablet: page.tablet })
    }
    // Chart units to pixels of the page.
    function px(x) { return chart.plotArea.x + (x - xRange.location) / xRange.length * chart.plotArea.width }
    function py(y) { return chart.plotArea.y + chart.plotArea.height - (y - yRange.location) / yRange.length * chart.plotArea.height }

    Component.onCompleted: {
        if (screen) screen.perform("viewDidLoad")
        reportWindow()
    }
    Connections {
        target: page.Window.window
        function onWidthChanged() { page.reportWindow() }
        function onHeightChanged() { page.reportWindow() }
    }

    background: Rectangle { color: page.v.backgroundColor || "#32373c" }

    ChartView {
        id: chart
        objectName: "chart"
        anchors.fill: parent
        visible: page.hasChart
        theme: ChartView.ChartThemeDark
        antialiasing: true
        legend.visible: false
        backgroundRoundness: 0
        plotArea: Qt.rect(page.pad.left, page.pad.top,
                          Math.max(1, width - page.pad.left - page.pad.right),
                          Math.max(1, height - page.pad.top - page.pad.bottom))

        ValueAxis {
            id: axisX
            min: page.xRange.location
            max: page.xRange.location + page.xRange.length
            labelsVisible: false
            gridVisible: false
            lineVisible: false
            minorGridVisible: false
        }
        ValueAxis {
            id: axisY
            min: page.yRange.location
            max: page.yRange.location + page.yRange.length
            tickType: ValueAxis.TicksDynamic
            tickAnchor: 0
            tickInterval: page.yAxisInfo.majorInterval || 1
            minorTickCount: 0
            labelFormat: page.yAxisInfo.labelFormat || "%.1f"
            labelsColor: page.foreground
            labelsFont.pixelSize: page.v.yLabels && page.v.yLabels.length ? page.v.yLabels[0].fontSize : 10
            lineVisible: false
            gridVisible: true
            gridLineColor: page.v.gridLineColor || "gray"
            minorGridVisible: false
        }
        // Holds the axes; the bars are drawn below.
        LineSeries { axisX: axisX; axisY: axisY }

        // The axes as lines, without tick marks.
        Rectangle {
            x: chart.plotArea.x
            y: page.py(0)
            width: chart.plotArea.width
            height: 1
            color: page.foreground
        }
        Rectangle {
            x: page.px(0)
            y: chart.plotArea.y
            width: 1
            height: chart.plotArea.height
            color: page.foreground
        }

        Repeater {
            model: page.hasChart ? page.v.bars : []
            Item {
                id: bar
                required property var modelData
                readonly property real leftEdge: page.px(modelData.location - page.v.barWidth / 2)
                readonly property real rightEdge: page.px(modelData.location + page.v.barWidth / 2)
                readonly property real tipRadius: Math.min(page.v.barCornerRadius, width / 2, height)
                x: leftEdge
                width: rightEdge - leftEdge
                y: page.py(modelData.tip)
                height: page.py(0) - y
                clip: true
                // Only the tip is rounded: the lower corners fall outside the clip.
                Rectangle {
                    width: parent.width
                    height: parent.height + bar.tipRadius
                    radius: bar.tipRadius
                    color: page.v.barColor || "white"
                }
                Text {
                    objectName: "valueLabel"
                    visible: bar.modelData.hasValueLabel
                    text: bar.modelData.valueText
                    color: page.foreground
                    font.pixelSize: bar.modelData.valueFontSize || 10
                    parent: chart
                    x: page.px(bar.modelData.location) - width / 2
                    y: bar.y - height - 2
                }
            }
        }

        Repeater {
            id: xLabels
            model: page.hasChart ? page.v.xLabels : []
            // The box a turned label takes, its top on the axis and centred on its place.
            Item {
                id: slot
                required property var modelData
                required property int index
                readonly property real angle: modelData.rotation
                width: Math.abs(text.implicitWidth * Math.cos(angle)) + Math.abs(text.implicitHeight * Math.sin(angle))
                height: Math.abs(text.implicitWidth * Math.sin(angle)) + Math.abs(text.implicitHeight * Math.cos(angle))
                // Kept inside the page: a wide label under an end bar would run off it.
                x: Math.max(0, Math.min(chart.width - width, page.px(modelData.location) - width / 2))
                y: page.py(0) + page.xAxisInfo.labelOffset
                visible: page.shownXLabels[index] !== false
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
            text: page.xAxisInfo.title || ""
            color: page.foreground
            font.pixelSize: 12
            x: page.px(page.xAxisInfo.titleLocation || 0) - width / 2
            // Below the tallest date label should an upright one reach that far.
            y: page.py(0) + Math.max(page.xAxisInfo.titleOffset || 0, page.tallestXLabel() + page.xAxisInfo.labelOffset + 2)
        }
    }

    // Where dates would run into each other (many billing periods in a narrow window), every
    // label that would touch the last one shown is left out, so those shown stay readable.
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

    function tallestXLabel() {
        let tallest = 0
        for (let i = 0; i < xLabels.count; ++i)
            tallest = Math.max(tallest, xLabels.itemAt(i) ? xLabels.itemAt(i).height : 0)
        return tallest
    }

    Label {
        objectName: "lblNoData"
        anchors.centerIn: parent
        visible: !page.label("lblNoData").hidden
        text: page.label("lblNoData").text
        color: page.foreground
        font.pixelSize: 17
        padding: 8
        background: Rectangle { color: page.v.backgroundColor || "#32373c" }
    }

    Button {
        objectName: "closeButton"
        text: "Close"
        z: 10
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.margins: 6
        onClicked: if (page.screen) page.screen.perform("dismissView")
    }
}
