import QtQuick
import QtQuick.Layouts
import Byteward

// The details table: fourteen titled rows, values in the type's progress colour.
ColumnLayout {
    id: table
    property var rows: []
    property color valueColor
    property real scale: 1
    spacing: 1

    Repeater {
        model: table.rows
        Rectangle {
            required property var modelData
            Layout.fillWidth: true
            implicitHeight: 34 * table.scale
            color: App.colors.cellBackground
            Text {
                anchors.left: parent.left
                anchors.leftMargin: 10
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width * 0.45
                text: modelData.title
                color: App.colors.cellForeground
                font.pixelSize: 12 * table.scale
                elide: Text.ElideRight
            }
            Text {
                anchors.right: parent.right
                anchors.rightMargin: 10
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width * 0.53
                horizontalAlignment: Text.AlignRight
                text: modelData.value
                color: table.valueColor
                font.pixelSize: 13 * table.scale
                elide: Text.ElideLeft
            }
        }
    }
}
