import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Byteward

// The settings tab: every section and row comes from the settings schema through the screen.
Page {
    id: page
    property ScreenAdapter screen
    background: Rectangle { color: App.colors.background }

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
                                    color: row.modelData.kind === "button" ? App.windowTint : App.colors.cellForeground
                                    font.pixelSize: 14
                                    Layout.fillWidth: true
                                    elide: Text.ElideRight
                                    MouseArea {
                                        anchors.fill: parent
                                        enabled: row.modelData.kind === "button"
                                        onClicked: page.screen.perform("tap", { key: row.modelData.key })
                                    }
                                }
                                Switch {
                                    visible: row.modelData.kind === "switch"
                                    checked: row.modelData.on === true
                                    onToggled: page.screen.perform("setSwitch", { key: row.modelData.key, on: checked })
                                }
                                ComboBox {
                                    visible: row.modelData.kind === "choice"
                                    model: row.modelData.choices || []
                                    currentIndex: row.modelData.index !== undefined ? row.modelData.index : -1
                                    displayText: currentIndex < 0 ? row.modelData.value : currentText
                                    Layout.preferredWidth: Math.min(220, page.width * 0.5)
                                    onActivated: (chosen) => page.screen.perform("setChoice", { key: row.modelData.key, index: chosen })
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
