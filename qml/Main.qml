import QtQuick
import QtQuick.Window

Window {
    width: 1100
    height: 760
    visible: true
    color: "#000000"
    title: "Kestrova"
}
