import QtQuick.Controls
import Byteward

// A page that shows one screen: the stacks tell it by this when its screen goes away.
Page {
    property ScreenAdapter screen
}
