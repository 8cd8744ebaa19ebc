import QtQuick
import QtTest
import Kestrova

TestCase {
    id: testCase
    name: "SharedComponents"
    width: 500
    height: 400
    visible: true
    when: windowShown

    Component {
        id: remoteImage
        RemoteImage { width: 156; height: 88 }
    }
    Component {
        id: sectionToggle
        SectionToggle { title: "All by hour" }
    }
    Component {
        id: searchField
        BISearchField { width: 300; placeholder: "Search camera or object" }
    }

    function test_remoteImageWithoutServerShowsThePhotoSymbol() {
        // The model's client has reached no server, so the load fails at once.
        const image = createTemporaryObject(remoteImage, testCase, { path: "api/review/abc/preview", query: [["format", "gif"]] })
        tryCompare(image, "failed", true, 3000)
        verify(!image.loaded)
    }

    function test_sectionToggleFlips() {
        const toggle = createTemporaryObject(sectionToggle, testCase, { expanded: false })
        mouseClick(toggle)
        verify(toggle.expanded)
        mouseClick(toggle)
        verify(!toggle.expanded)
    }

    function test_searchFieldClearControl() {
        const field = createTemporaryObject(searchField, testCase)
        waitForRendering(field)
        field.forceFocus()
        verify(field.focused)
        keyClick(Qt.Key_C)
        keyClick(Qt.Key_A)
        compare(field.text, "ca")
        keyClick(Qt.Key_Escape)
        compare(field.text, "")

        field.text = "door"
        const clear = findChild(field, "clearButton")
        verify(clear.visible)
        mouseClick(clear)
        compare(field.text, "")
        verify(!clear.visible)
    }
}
