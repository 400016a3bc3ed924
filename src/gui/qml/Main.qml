// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

import QtQuick
import QtQuick.Controls
import Byteward

// The window: five tabs, each a navigation stack. Which dashboard layout shows depends on the
// window's shape: a wide window gets the tablet layout, a tall phone window the tall one, and a
// window wider than tall pushes the landscape dashboard.
ApplicationWindow {
    id: window
    width: 420
    height: 800
    minimumWidth: 320
    minimumHeight: 480
    visible: true
    title: "Byteward"
    color: App.colors.background
    // The dark theme for every control.
    palette.window: App.colors.background
    palette.windowText: App.colors.foreground
    palette.base: App.colors.block
    palette.alternateBase: App.colors.background
    palette.text: App.colors.foreground
    palette.button: App.colors.block
    palette.buttonText: App.colors.foreground
    palette.brightText: App.colors.foreground
    palette.highlight: App.windowTint
    palette.highlightedText: App.colors.background
    palette.light: App.colors.subheader
    palette.midlight: App.colors.block
    palette.mid: App.colors.subheader
    palette.dark: App.colors.background
    palette.placeholderText: App.colors.subheader

    readonly property bool landscape: width > height
    readonly property bool tablet: Math.min(width, height) >= 700
    readonly property bool tall: !landscape && height / width >= 1.7

    onVisibilityChanged: (shown) => App.setWindowVisible(shown !== Window.Minimized && shown !== Window.Hidden)

    // Icon and title per tab, each at least 48 px square so a thumb finds it.
    footer: TabBar {
        id: tabs
        objectName: "tabs"
        currentIndex: App.currentTab
        implicitHeight: 58
        background: Rectangle { color: App.colors.background }
        Accessible.role: Accessible.PageTabList
        Accessible.name: App.i18n("Sections")
        Repeater {
            model: [
                { title: App.i18n("Cellular"), icon: "tab-cellular" },
                { title: App.i18n("Wi-Fi"), icon: "tab-wifi" },
                { title: App.i18n("Counters"), icon: "tab-counters" },
                { title: App.i18n("History"), icon: "tab-history" },
                { title: App.i18n("Settings"), icon: "tab-settings" }
            ]
            TabButton {
                id: tab
                required property var modelData
                required property int index
                objectName: "tab" + index
                text: modelData.title
                implicitHeight: 58
                display: AbstractButton.TextUnderIcon
                icon.source: "qrc:/byteward/icons/" + modelData.icon + ".png"
                icon.width: 24
                icon.height: 24
                // The selected tab takes the tint, which follows the usage bar's colour.
                icon.color: checked ? App.windowTint : App.colors.subheader
                palette.buttonText: checked ? App.windowTint : App.colors.subheader
                palette.brightText: checked ? App.windowTint : App.colors.subheader
                palette.windowText: checked ? App.windowTint : App.colors.subheader
                font.pixelSize: 11
                Accessible.role: Accessible.PageTab
                Accessible.name: modelData.title
                // Only the person's own choice reaches the app: the bar also moves when the app
                // selects a tab, and while it is being built.
                onClicked: App.selectTab(index)
                Accessible.onPressAction: App.selectTab(index)
                background: Rectangle {
                    color: App.colors.background
                    Rectangle {
                        objectName: "tabHighlight" + tab.index
                        width: parent.width
                        height: 3
                        color: App.windowTint
                        visible: tab.checked
                    }
                }
            }
        }
    }

    Connections {
        target: App
        function onCurrentTabChanged() { tabs.currentIndex = App.currentTab }
    }

    component DashboardStack: StackView {
        id: stack
        required property bool cellular
        required property int tab
        anchors.fill: parent
        visible: App.currentTab === tab
        required property bool landscape
        property Component portrait
        property Component sideways
        // Made the first time the tab shows, like the other tabs.
        function build() {
            if (depth > 0 || App.currentTab !== tab) return
            push(portrait, {}, StackView.Immediate)
            follow()
        }
        Connections {
            target: App
            function onCurrentTabChanged() { stack.build() }
        }
        // The landscape dashboard sits on top of the portrait one while the window is sideways.
        onLandscapeChanged: follow()
        function follow() {
            if (landscape && depth === 1)
                push(sideways, {}, StackView.Immediate)
            else if (!landscape && depth > 1)
                pop(StackView.Immediate)
        }
        Component.onCompleted: build()
    }

    // A tab's first page, made the first time the tab shows: starting needs only the tab in front.
    component LazyStack: StackView {
        id: lazy
        required property int tab
        anchors.fill: parent
        visible: App.currentTab === tab
        required property string page
        required property ScreenAdapter screen
        function build() {
            if (depth === 0 && App.currentTab === tab && lazy.screen)
                push(Qt.createComponent(lazy.page + ".qml"), { screen: lazy.screen }, StackView.Immediate)
        }
        Component.onCompleted: build()
        Connections {
            target: App
            function onCurrentTabChanged() { lazy.build() }
        }
    }

    // One stack per tab, the current one showing. Plain items rather than a StackLayout: the
    // first frame then loads no layouts module.
    Item {
        anchors.fill: parent

        DashboardStack {
            id: cellularStack
            objectName: "stack0"
            cellular: true
            tab: 0
            landscape: window.landscape
            portrait: window.component(window.tablet ? "CellularUsageViewiPad"
                                       : window.tall ? "CellularUsageView5" : "CellularUsageView")
            sideways: window.component(window.tablet ? "CellularUsageViewLSiPad" : "CellularUsageViewLS")
        }
        DashboardStack {
            id: wifiStack
            objectName: "stack1"
            cellular: false
            tab: 1
            landscape: window.landscape
            portrait: window.component(window.tablet ? "WiFiUsageViewiPad"
                                       : window.tall ? "WiFiUsageView5" : "WiFiUsageView")
            sideways: window.component(window.tablet ? "WiFiUsageViewLSiPad" : "WiFiUsageViewLS")
        }
        LazyStack { id: countersStack; objectName: "stack2"; tab: 2; page: "CustomCounterView"; screen: App.counters }
        LazyStack { id: historyStack; objectName: "stack3"; tab: 3; page: "HistoryView"; screen: App.history }
        LazyStack { id: settingsStack; tab: 4; page: "SettingsPage"; screen: App.settings }
    }

    // Every page by its file's name, each made ready the first time it is asked for: the first
    // frame needs one dashboard, and the chart brings in Qt Charts.
    readonly property var made: ({})
    function component(name: string): Component {
        if (!made[name]) made[name] = Qt.createComponent(name + ".qml")
        return made[name]
    }
    // Pages the screens open: pushed onto the current tab's stack, or presented over everything.
    readonly property var pages: ["HistoryDetailView", "HistoryChartView", "CustomCounterDetailView",
        "CustomCounterEditView", "DatePickerView", "TextFieldView", "AppsView", "AppDaysView"]
    function pageComponent(name) {
        return pages.includes(name) ? component(name) : null
    }

    // Back to the first page of the current tab, as the back button does.
    function popToRoot() {
        const stack = window.currentStack()
        if (stack.depth > 1) stack.pop(null, StackView.Immediate)
        window.refreshTop()
    }

    // The page now in front is told it shows again, so it reads its screen afresh.
    function refreshTop() {
        const modalStack = window.modalStack()
        const top = modalStack && modalStack.depth > 0 ? modalStack.currentItem
                                                        : window.currentStack().currentItem
        if (top && top.screen) top.screen.perform("viewWillAppear")
    }

    function currentStack() {
        return [cellularStack, wifiStack, countersStack, historyStack, settingsStack][App.currentTab]
    }
    Connections {
        target: App.navigator
        function onPushRequested(page, screen) {
            const component = window.pageComponent(page)
            if (component) window.currentStack().push(component, { screen: screen }, StackView.Immediate)
        }
        function onModalRequested(page, screen) {
            const component = window.pageComponent(page)
            if (!component) return
            modals.active = true
            window.modalStack().push(component, { screen: screen }, StackView.Immediate)
            modals.popup.open()
        }
        function onDismissRequested(screen) {
            const modalStack = window.modalStack()
            const modalPage = modalStack ? modalStack.currentItem as ScreenPage : null
            if (modalStack && modalStack.depth > 0 && modalPage && modalPage.screen === screen) {
                modalPage.screen = null
                if (modalStack.depth > 1) {
                    modalStack.pop(StackView.Immediate)
                } else {
                    modalStack.clear()
                    modals.popup.close()
                }
            } else {
                const stack = window.currentStack()
                if (stack.depth > 1 && stack.currentItem.screen === screen) {
                    stack.currentItem.screen = null
                    stack.pop(StackView.Immediate)
                }
            }
            window.refreshTop()
        }
    }
    // Presented screens, made the first time one is presented.
    Loader {
        id: modals
        readonly property var popup: item
        active: false
        sourceComponent: ModalPopup {}
    }
    function modalStack() {
        return modals.popup ? modals.popup.stack : null
    }

    // The alert dialog is made for the first alert: most starts show none, and a dialog with
    // its buttons is a good part of what the first frame would otherwise build.
    Loader {
        id: alerts
        readonly property var current: App.presenter ? App.presenter.current : ({})
        active: false
        onCurrentChanged: if (current.title !== undefined) active = true
        Component.onCompleted: if (current.title !== undefined) active = true
        sourceComponent: AlertDialog { presenter: App.presenter }
    }
}
