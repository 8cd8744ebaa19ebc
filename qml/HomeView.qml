import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Kestrova

// The Home tab: the server's version, uptime and connection mode, gauges of CPU, memory and
// recording disk, and a card of status rows. Wide windows put the gauges beside the card,
// others stack them. The menu reconnects or disconnects; ↑/↓ and Page Up/Down scroll. While the
// server does not answer, gauges and rows are dimmed and say when they were last updated.
FocusScope {
    id: root
    property real bottomInset: 0
    readonly property bool stale: AppModel.health.stale
    readonly property real figureOpacity: stale ? 0.4 : 1
    readonly property bool wide: width >= 600 && width > 1.15 * height
    readonly property real gaugeSize: width >= 600 ? 124 : 88
    readonly property real inset: 30
    readonly property real gap: 18
    readonly property real contentWidth: Math.max(0, flick.width - 2 * inset)
    // Wide, the card keeps its full width while one column of gauges fits beside it.
    readonly property real cardWidth: Math.min(440, wide ? contentWidth - gap - gaugeSize : contentWidth)
    // The three gauges in one row; narrower areas wrap them.
    readonly property real gaugeRowWidth: 3 * gaugeSize + 2 * gap
    readonly property int gaugeColumns: Math.max(1, Math.min(3, Math.floor(
        ((wide ? contentWidth - gap - cardWidth : contentWidth) + gap) / (gaugeSize + gap))))
    readonly property real gaugesWidth: gaugeColumns * gaugeSize + (gaugeColumns - 1) * gap
    // Gauges and card stay together as one block, centred in the screen.
    readonly property real blockWidth: wide ? gaugesWidth + gap + cardWidth
                                            : Math.min(contentWidth, Math.max(gaugeRowWidth, cardWidth))

    HomeViewModel {
        id: home
        appModel: AppModel
    }

    // The tab page is made when the tab is first shown.
    Component.onCompleted: {
        home.refresh()
        Qt.callLater(menuButton.forceActiveFocus)
    }
    onVisibleChanged: if (visible) menuButton.forceActiveFocus()

    function scrollBy(delta) {
        const bottom = Math.max(0, flick.contentHeight - flick.height)
        flick.contentY = Math.max(0, Math.min(bottom, flick.contentY + delta))
    }
    Keys.onUpPressed: scrollBy(-40)
    Keys.onDownPressed: scrollBy(40)
    Keys.onPressed: (event) => {
        if (event.key === Qt.Key_PageUp || event.key === Qt.Key_PageDown) {
            scrollBy((event.key === Qt.Key_PageUp ? -1 : 1) * flick.height * 0.9)
            event.accepted = true
        }
    }

    BIHeader {
        id: header
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        title: qsTr("Frigate")
        trailing: CircleIconButton {
            id: menuButton
            systemName: "ellipsis"
            text: qsTr("Server actions")
            onClicked: menu.open()
            ThemedMenu {
                id: menu
                y: menuButton.height + 4
                x: menuButton.width - width
                ThemedMenuItem {
                    text: qsTr("Reconnect")
                    symbol: "arrow.clockwise"
                    enabled: !AppModel.isConnecting
                    onTriggered: AppModel.connect("")
                }
                ThemedMenuItem {
                    text: qsTr("Disconnect")
                    symbol: "rectangle.portrait.and.arrow.right"
                    onTriggered: AppModel.disconnect()
                }
            }
        }
    }

    Flickable {
        id: flick
        anchors.top: header.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        clip: true
        contentWidth: width
        contentHeight: content.implicitHeight + 2 * root.inset + root.bottomInset
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {}

        GridLayout {
            id: content
            x: root.inset + (root.contentWidth - width) / 2
            y: root.inset
            width: root.blockWidth
            columns: root.wide ? 2 : 1
            columnSpacing: root.gap
            rowSpacing: root.gap

            Column {
                Layout.columnSpan: content.columns
                Layout.fillWidth: true
                spacing: 6
                Text {
                    width: parent.width
                    text: home.serverLine
                    color: Qt.rgba(1, 1, 1, 0.9)
                    font.pixelSize: Theme.footnoteSize
                    elide: Text.ElideRight
                }
                Row {
                    spacing: 6
                    Icon {
                        anchors.verticalCenter: parent.verticalCenter
                        name: home.connectionSymbol
                        size: Theme.footnoteSize + 2
                        color: Qt.rgba(1, 1, 1, 0.75)
                    }
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: home.connectionName
                        color: Qt.rgba(1, 1, 1, 0.75)
                        font.pixelSize: Theme.footnoteSize
                    }
                }
                Row {
                    objectName: "staleNote"
                    visible: root.stale && AppModel.health.lastUpdated.length > 0
                    spacing: 6
                    Icon {
                        anchors.verticalCenter: parent.verticalCenter
                        name: "clock.arrow.circlepath"
                        size: Theme.footnoteSize + 2
                        color: Theme.detection
                    }
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: AppModel.health.lastUpdated
                        color: Theme.detection
                        font.pixelSize: Theme.footnoteSize
                        font.weight: Font.DemiBold
                    }
                }
            }

            Flow {
                id: gauges
                Layout.preferredWidth: root.gaugesWidth
                Layout.alignment: root.wide ? Qt.AlignTop | Qt.AlignLeft : Qt.AlignHCenter
                spacing: root.gap
                opacity: root.figureOpacity

                PieGauge {
                    title: qsTr("CPU")
                    value: home.cpuFraction
                    label: home.cpuPercent
                    color: Qt.rgba(0, 138 / 255, 0, 1)
                    size: root.gaugeSize
                }
                PieGauge {
                    title: qsTr("RAM")
                    value: home.memFraction
                    label: home.memPercent
                    color: Qt.rgba(176 / 255, 174 / 255, 0, 1)
                    size: root.gaugeSize
                }
                PieGauge {
                    title: qsTr("DISK")
                    value: home.diskFraction
                    label: home.diskPercent
                    color: Qt.rgba(0, 0, 245 / 255, 1)
                    size: root.gaugeSize
                }
            }

            Rectangle {
                Layout.preferredWidth: root.cardWidth
                Layout.preferredHeight: rows.implicitHeight
                Layout.alignment: root.wide ? Qt.AlignTop : Qt.AlignHCenter
                radius: Theme.cardRadius
                color: Qt.rgba(Theme.surfaceRaised.r, Theme.surfaceRaised.g, Theme.surfaceRaised.b, 0.85)
                border.width: 1
                border.color: Theme.hairline
                clip: true
                opacity: root.figureOpacity

                Column {
                    id: rows
                    width: parent.width
                    Repeater {
                        model: home.rows
                        delegate: StatusRow {
                            width: rows.width
                            separator: index > 0
                        }
                    }
                }
            }
        }
    }

    // One line of the card: the symbol and value in the status colour, green when ok.
    component StatusRow: Item {
        id: row
        required property int index
        required property string symbol
        required property string title
        required property string value
        required property bool ok
        property bool separator: false
        readonly property color tint: ok ? Theme.online : Theme.error

        implicitHeight: Theme.controlHeight
        Accessible.role: Accessible.StaticText
        Accessible.name: title + " " + value

        Rectangle {
            visible: row.separator
            x: 48
            width: parent.width - x
            height: 1
            color: Theme.hairline
        }
        Icon {
            id: rowIcon
            x: 14
            width: 22
            anchors.verticalCenter: parent.verticalCenter
            name: row.symbol
            size: 20
            color: row.tint
        }
        Text {
            anchors.left: rowIcon.right
            anchors.leftMargin: 12
            anchors.right: valueText.left
            anchors.rightMargin: 10
            anchors.verticalCenter: parent.verticalCenter
            text: row.title
            color: Theme.textPrimary
            font.pixelSize: Theme.calloutSize
            elide: Text.ElideRight
        }
        Text {
            id: valueText
            anchors.right: parent.right
            anchors.rightMargin: 14
            anchors.verticalCenter: parent.verticalCenter
            text: row.value
            color: row.ok ? Theme.textSecondary : Theme.error
            // Narrow cards keep room for the titles.
            font.pixelSize: row.width < 400 ? Theme.footnoteSize : Theme.calloutSize
            font.weight: Font.DemiBold
        }
    }
}
