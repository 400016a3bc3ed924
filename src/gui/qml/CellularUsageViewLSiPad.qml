import QtQuick
import Byteward

DashboardPage {
    screen: App.cellular
    cellular: true
    layoutKind: "landscapeTablet"
}
