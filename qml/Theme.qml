pragma Singleton
import QtQuick

// Colours, type sizes and metrics shared by every screen. The app is always dark.
QtObject {
    // Roles with a fixed meaning.
    readonly property color online: Qt.rgba(60 / 255, 255 / 255, 140 / 255, 1)
    readonly property color alert: Qt.rgba(69 / 255, 94 / 255, 134 / 255, 1)
    readonly property color detection: Qt.rgba(201 / 255, 130 / 255, 46 / 255, 1)
    readonly property color error: Qt.rgba(229 / 255, 72 / 255, 77 / 255, 1)
    readonly property color badge: Qt.rgba(235 / 255, 65 / 255, 53 / 255, 1)

    // Surfaces, darkest first.
    readonly property color surfaceDeep: Qt.rgba(24 / 255, 21 / 255, 57 / 255, 1)
    readonly property color surface: Qt.rgba(35 / 255, 32 / 255, 80 / 255, 1)
    readonly property color surfaceRaised: Qt.rgba(48 / 255, 46 / 255, 75 / 255, 1)
    readonly property color surfaceHigh: Qt.rgba(54 / 255, 52 / 255, 90 / 255, 1)
    readonly property color slate: Qt.rgba(59 / 255, 69 / 255, 83 / 255, 1)

    // Text and icons.
    readonly property color textPrimary: Qt.rgba(1, 1, 1, 0.92)
    readonly property color textSecondary: Qt.rgba(191 / 255, 190 / 255, 201 / 255, 1)
    readonly property color textTertiary: Qt.rgba(169 / 255, 168 / 255, 196 / 255, 1)
    readonly property color iconSecondary: Qt.rgba(169 / 255, 168 / 255, 196 / 255, 1)
    readonly property color placeholder: Qt.rgba(1, 1, 1, 0.45)

    // Accents: blue for actions, warm red for destructive or recording states.
    readonly property color accent: Qt.rgba(53 / 255, 111 / 255, 209 / 255, 1)
    readonly property color accentWarm: Qt.rgba(220 / 255, 81 / 255, 74 / 255, 1)

    // Hairlines and translucent fills over any surface.
    readonly property color hairline: Qt.rgba(1, 1, 1, 0.1)
    readonly property color fillSubtle: Qt.rgba(1, 1, 1, 0.06)
    readonly property color fillControl: Qt.rgba(1, 1, 1, 0.08)
    readonly property color fillHover: Qt.rgba(1, 1, 1, 0.14)
    readonly property color fillPressed: Qt.rgba(1, 1, 1, 0.2)

    readonly property Gradient backdrop: Gradient {
        GradientStop { position: 0.0; color: Qt.rgba(35 / 255, 32 / 255, 80 / 255, 1) }
        GradientStop { position: 1.0; color: Qt.rgba(24 / 255, 21 / 255, 57 / 255, 1) }
    }

    // Type sizes in points.
    readonly property int titleSize: 22
    readonly property int largeTitleSize: 30
    readonly property int bodySize: 17
    readonly property int calloutSize: 15
    readonly property int footnoteSize: 13
    readonly property int captionSize: 12

    // Metrics.
    readonly property int headerHeight: 56
    readonly property int controlHeight: 44
    readonly property int circleIconSize: 42
    readonly property int cardRadius: 14
    readonly property int fieldRadius: 10
    readonly property int margin: 20
    readonly property int spacing: 12
    readonly property int animationMs: 250
}
