import QtQuick
import Kestrova

// A settings text field that shows `value` and reports the user's edits. A value that changes
// from outside (a fresh draft) shows from its start, not scrolled to its end.
IconTextField {
    id: root
    property string value
    signal edited(string text)

    function show() {
        if (text === value)
            return
        text = value
        field.cursorPosition = 0
    }

    onValueChanged: show()
    Component.onCompleted: show()
    onTextChanged: if (text !== value) edited(text)

    Connections {
        target: root.field
        function onActiveFocusChanged() {
            if (!root.field.activeFocus)
                root.field.cursorPosition = 0
        }
    }
}
