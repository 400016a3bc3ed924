pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Byteward

// The date picker, shown modally: the chosen date (or "No End Date") above a wheel whose
// columns, order and texts follow the user's locale, as the screen lays them out.
Page {
    id: page
    property ScreenAdapter screen
    readonly property var values: screen ? screen.values : ({})
    readonly property var theme: values.theme || ({})

    function label(name) {
        const l = screen ? screen.labels[name] : undefined
        return l ? l.text : ""
    }
    function act(action, argument) {
        if (screen) screen.perform(action, argument)
    }

    background: Rectangle { color: page.theme.appBackgroundColor || App.colors.background }

    header: ToolBar {
        background: Rectangle { color: page.theme.appNavBarColor || App.colors.navBar }
        RowLayout {
            anchors.fill: parent
            ToolButton {
                objectName: "cancelButton"
                text: page.label("btnCancel")
                onClicked: page.act("cancel")
            }
            Item { Layout.fillWidth: true }
            ToolButton {
                objectName: "doneButton"
                text: page.label("btnDone")
                onClicked: page.act("done")
            }
        }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 16
        spacing: 16

        TextField {
            objectName: "txtDate"
            readOnly: true
            text: page.label("txtDate")
            color: page.theme.appForegroundColor || App.colors.foreground
            horizontalAlignment: TextInput.AlignHCenter
            background: Rectangle { color: page.theme.appBackgroundColor || App.colors.background }
            Layout.fillWidth: true
        }
        Button {
            objectName: "btnNoEndDate"
            text: page.label("btnNoEndDate")
            Layout.alignment: Qt.AlignHCenter
            onClicked: page.act("noEndDateSelected")
        }
        Rectangle {
            color: page.theme.appForegroundColor || App.colors.foreground
            radius: 6
            implicitHeight: 200
            Layout.fillWidth: true
            RowLayout {
                anchors.fill: parent
                anchors.margins: 8
                spacing: 0
                Repeater {
                    model: page.values.wheel || []
                    Tumbler {
                        id: tumbler
                        required property var modelData
                        model: modelData.items
                        currentIndex: modelData.index
                        visibleItemCount: 5
                        wrap: modelData.field !== "year" && modelData.field !== "ampm"
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        delegate: Text {
                            required property var modelData
                            required property int index
                            text: modelData
                            color: page.theme.appBackgroundColor || App.colors.background
                            font.pixelSize: 18
                            horizontalAlignment: Text.AlignHCenter
                            verticalAlignment: Text.AlignVCenter
                            opacity: 1.0 - Math.abs(Tumbler.displacement) / (tumbler.visibleItemCount / 2)
                        }
                        function report() {
                            if (!moving && currentIndex !== modelData.index)
                                page.act("setSelectedDate", { field: modelData.field, index: currentIndex })
                        }
                        onMovingChanged: report()
                        onCurrentIndexChanged: report()
                    }
                }
            }
        }
        Item { Layout.fillHeight: true }
    }
}
