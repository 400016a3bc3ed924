import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Byteward

// The settings tab: every section and row comes from the settings schema through the screen.
Page {
    id: page
    property ScreenAdapter screen
    background: Rectangle { color: App.colors.background }
    // Values changed on a pushed screen show when the list is back in front.
    StackView.onActivated: if (screen) screen.refresh()

    Component { id: planPage; PlanSetupPage {} }
    Connections {
        target: App
        function onPlanScreenRequested(name) {
            page.StackView.view.push(planPage, { screen: App.planScreen(name) }, StackView.Immediate)
        }
        function onPlanScreenDismissed() { page.StackView.view.pop(null, StackView.Immediate) }
    }
    Component { id: valuePage; ValueListPage {} }

    Flickable {
        anchors.fill: parent
        contentHeight: column.implicitHeight + 24
        clip: true
        ScrollBar.vertical: ScrollBar {}

        ColumnLayout {
            id: column
            x: 12
            y: 12
            width: parent.width - 24
            spacing: 1

            Repeater {
                model: page.screen ? page.screen.sections : []
                ColumnLayout {
                    id: section
                    required property var modelData
                    Layout.fillWidth: true
                    spacing: 1
                    Text {
                        text: section.modelData.title
                        color: App.colors.subheader
                        font.pixelSize: 14
                        topPadding: 14
                        bottomPadding: 5
                        leftPadding: 3
                    }
                    Repeater {
                        model: section.modelData.rows
                        Rectangle {
                            id: row
                            required property var modelData
                            Layout.fillWidth: true
                            implicitHeight: 46
                            color: App.colors.settingsCell

                            RowLayout {
                                anchors.fill: parent
                                anchors.leftMargin: 12
                                anchors.rightMargin: 8
                                Text {
                                    text: row.modelData.title
                                    color: row.modelData.kind === "button" || row.modelData.kind === "screen"
                                           ? App.windowTint : App.colors.cellForeground
                                    font.pixelSize: 14
                                    Layout.fillWidth: true
                                    elide: Text.ElideRight
                                    MouseArea {
                                        anchors.fill: parent
                                        enabled: row.modelData.kind === "button" || row.modelData.kind === "screen"
                                                 || row.modelData.kind === "choice"
                                        onClicked: {
                                            if (row.modelData.kind === "button")
                                                page.screen.perform("tap", { key: row.modelData.key })
                                            else if (row.modelData.kind === "screen")
                                                page.StackView.view.push(planPage, { screen: App.planScreen(row.modelData.key) })
                                            else
                                                page.StackView.view.push(valuePage, { screen: page.screen, row: row.modelData })
                                        }
                                    }
                                }
                                Switch {
                                    visible: row.modelData.kind === "switch"
                                    checked: row.modelData.on === true
                                    onToggled: page.screen.perform("setSwitch", { key: row.modelData.key, on: checked })
                                }
                                Text {
                                    visible: row.modelData.kind === "choice"
                                    text: row.modelData.value + "  ›"
                                    color: App.colors.cellDetail
                                    font.pixelSize: 14
                                    horizontalAlignment: Text.AlignRight
                                    Layout.maximumWidth: page.width * 0.45
                                    elide: Text.ElideRight
                                }
                                Text {
                                    visible: row.modelData.kind === "screen"
                                    text: "›"
                                    color: App.colors.cellDetail
                                    font.pixelSize: 18
                                }
                                TextField {
                                    visible: row.modelData.kind === "list"
                                    text: row.modelData.value
                                    placeholderText: "built-in"
                                    Layout.preferredWidth: Math.min(180, page.width * 0.4)
                                    onEditingFinished: page.screen.perform("setList", { key: row.modelData.key, text: text })
                                }
                                TextField {
                                    visible: row.modelData.kind === "number"
                                    text: row.modelData.value
                                    inputMethodHints: Qt.ImhFormattedNumbersOnly
                                    horizontalAlignment: TextInput.AlignRight
                                    Layout.preferredWidth: 110
                                    onEditingFinished: {
                                        if (!page.screen.perform("setNumber", { key: row.modelData.key, text: text }))
                                            text = row.modelData.value
                                    }
                                }
                            }
                        }
                    }
                }
            }
        }
    }
}
