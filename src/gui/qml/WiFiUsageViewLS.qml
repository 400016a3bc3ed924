import QtQuick
import Byteward

DashboardPage {
    screen: App.wifi
    cellular: false
    layoutKind: "landscape"
}
