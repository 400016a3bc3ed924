import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Byteward

// Shows the presenter's current alert and sends the pressed button back.
Dialog {
    id: dialog
    property QmlPresenter presenter
    readonly property var alert: presenter ? presenter.current : ({})
    readonly property bool hasAlert: alert && alert.title !== undefined

    anchors.centerIn: Overlay.overlay
    width: Math.min(parent ? parent.width - 32 : 360, 420)
    modal: true
    closePolicy: Popup.NoAutoClose
    visible: hasAlert
    title: hasAlert ? alert.title : ""

    contentItem: ColumnLayout {
        spacing: 12
        Label {
            text: dialog.hasAlert ? dialog.alert.message : ""
            wrapMode: Text.WordWrap
            visible: text.length > 0
            Layout.fillWidth: true
        }
        TextField {
            id: field
            visible: dialog.hasAlert && dialog.alert.textInput
            text: dialog.hasAlert ? dialog.alert.text : ""
            inputMethodHints: Qt.ImhFormattedNumbersOnly
            Layout.fillWidth: true
        }
    }

    footer: RowLayout {
        spacing: 8
        Item { Layout.fillWidth: true }
        Repeater {
            model: dialog.hasAlert ? dialog.alert.buttons : []
            Button {
                required property string modelData
                required property int index
                text: modelData
                flat: index === 0 && dialog.alert.hasCancel
                onClicked: dialog.presenter.answer(index, field.text)
            }
        }
        Item { implicitWidth: 4 }
    }
}
