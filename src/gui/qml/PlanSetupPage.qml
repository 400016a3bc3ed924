import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Byteward

// One plan setup screen: a checked list, wheels of digits or days, or a list of dates. Every
// choice goes straight to the screen, which stores it.
Page {
    id: page
    property ScreenAdapter screen
    readonly property var values: screen ? screen.values : ({})
    function label(name) {
        const l = screen ? screen.labels[name] : undefined
        return l ? l.text : ""
    }
    background: Rectangle { color: App.colors.background }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 12
        spacing: 12

        RowLayout {
            Layout.fillWidth: true
            Button {
                text: "‹ Settings"
                flat: true
                onClicked: page.StackView.view.pop()
            }
            Text {
                text: page.label("lblTitle")
                color: App.colors.foreground
                font.pixelSize: 20
                font.bold: true
                Layout.fillWidth: true
            }
        }

        Repeater {
            model: page.values.rows || []
            Rectangle {
                required property string modelData
                required property int index
                Layout.fillWidth: true
                implicitHeight: 46
                color: App.colors.settingsCell
                Text {
                    anchors.left: parent.left
                    anchors.leftMargin: 12
                    anchors.verticalCenter: parent.verticalCenter
                    text: modelData
                    color: App.colors.cellForeground
                    font.pixelSize: 15
                }
                Text {
                    anchors.right: parent.right
                    anchors.rightMargin: 12
                    anchors.verticalCenter: parent.verticalCenter
                    text: "✓"
                    visible: page.values.checked === index
                    color: App.windowTint
                    font.pixelSize: 18
                }
                MouseArea {
                    anchors.fill: parent
                    onClicked: page.screen.perform("select", { row: index })
                }
            }
        }

        RowLayout {
            Layout.alignment: Qt.AlignHCenter
            spacing: 4
            visible: (page.values.wheels || []).length > 0
            Repeater {
                model: page.values.wheels || []
                Tumbler {
                    id: wheel
                    required property var modelData
                    required property int index
                    model: modelData.rows
                    visibleItemCount: 5
                    implicitWidth: modelData.width * 1.3
                    implicitHeight: 200
                    currentIndex: Math.max(0, modelData.selected)
                    onMovingChanged: if (!moving) page.screen.perform("select", { row: currentIndex, component: index })
                    delegate: Text {
                        required property var modelData
                        required property int index
                        text: modelData
                        color: App.colors.foreground
                        opacity: 1.0 - Math.abs(Tumbler.displacement) / (wheel.visibleItemCount / 2)
                        font.pixelSize: 20
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                    }
                }
            }
        }

        Tumbler {
            id: days
            Layout.alignment: Qt.AlignHCenter
            visible: (page.values.days || []).length > 0
            model: page.values.days || []
            visibleItemCount: 5
            implicitWidth: 220
            implicitHeight: 200
            // The day shown: the last one not after the stored date.
            currentIndex: {
                const list = page.values.days || []
                let shown = 0
                for (let i = 0; i < list.length; ++i)
                    if (list[i].seconds <= page.values.date) shown = i
                return shown
            }
            onMovingChanged: if (!moving && count > 0)
                page.screen.perform("setDate", { seconds: page.values.days[currentIndex].seconds })
            delegate: Text {
                required property var modelData
                required property int index
                text: modelData.title
                color: App.colors.foreground
                opacity: 1.0 - Math.abs(Tumbler.displacement) / (days.visibleItemCount / 2)
                font.pixelSize: 20
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
            }
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 44
            color: "transparent"
            border.color: App.colors.subheader
            border.width: 1
            visible: page.label("selectedDate").length > 0
            Text {
                anchors.centerIn: parent
                text: page.label("selectedDate")
                color: App.colors.foreground
                font.pixelSize: 16
            }
        }
        Item { Layout.fillHeight: true }
    }
}
