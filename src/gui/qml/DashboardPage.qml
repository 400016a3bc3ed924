// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

pragma ComponentBehavior: Bound

import QtQuick
import Byteward

// A dashboard of one data type. Every text comes from the screen; this only lays it out.
ScreenPage {
    id: page
    // Pages are tabs to a screen reader: each says which screen it is.
    Accessible.name: page.label("lblTitle")
    property bool cellular: true
    // "phone", "tall", "tablet", "landscape" or "landscapeTablet"
    property string layoutKind: "phone"

    readonly property string suffix: cellular ? "" : "Wifi"
    readonly property bool sideBySide: layoutKind !== "phone" && layoutKind !== "tall"
    readonly property real scale: layoutKind === "tablet" || layoutKind === "landscapeTablet" ? 1.35 : 1
    readonly property var screenValues: screen ? screen.values : ({})
    readonly property var bar: screen ? screen.values[cellular ? "visualView" : "visualViewWifi"] : undefined
    readonly property color progressColor: screen ? (cellular ? App.colors.cellular : App.colors.wifi) : "white"

    function label(name: string): string {
        return page.screen ? page.screen.label(name).text : ""
    }
    function shown(name: string): bool {
        return page.screen ? !page.screen.label(name).hidden : false
    }
    function typed(name: string): string { return page.label(name + page.suffix) }

    background: Rectangle { color: App.colors.background }

    // Until the first figures are read (just after the window appears) the page stays blank:
    // nothing that looks like a figure before there is one.
    Loader {
        id: figures
        anchors.fill: parent
        function follow() {
            if (page.screen && !figures.item)
                figures.setSource("DashboardFigures.qml", { page: page })
        }
        Component.onCompleted: follow()
        Connections {
            target: page
            function onScreenChanged() { figures.follow() }
        }
    }
}
