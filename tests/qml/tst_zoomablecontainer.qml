import QtQuick
import QtTest
import Kestrova

// The container's handlers feed ZoomState (whose rules have their own suite) and its content
// follows the state on screen.
TestCase {
    id: testCase
    name: "ZoomableContainer"
    width: 400
    height: 300
    visible: true
    when: windowShown

    property var swipes: []
    property int taps: 0

    Component {
        id: zoomComponent
        ZoomableContainer {
            width: 400
            height: 300
            Rectangle { objectName: "content"; anchors.fill: parent; color: "teal" }
        }
    }

    function make() {
        swipes = []
        taps = 0
        const container = createTemporaryObject(zoomComponent, testCase)
        container.onSwipe = direction => testCase.swipes.push(direction)
        container.onTap = () => testCase.taps += 1
        return container
    }

    // A mouse drag in small steps, as a hand moves.
    function drag(item, x, y, dx, dy) {
        mousePress(item, x, y)
        for (let i = 1; i <= 8; ++i)
            mouseMove(item, x + dx * i / 8, y + dy * i / 8)
        mouseRelease(item, x + dx, y + dy)
    }

    // Mouse events from the test library are spaced beyond the double-click interval on
    // purpose, so the double tap is made by touch.
    function doubleTap(item, x, y) {
        const touch = touchEvent(item)
        for (let i = 0; i < 2; ++i) {
            touch.press(0, item, x, y).commit()
            touch.release(0, item, x, y).commit()
        }
    }

    // Where a point of the content shows in the container, once animations settle.
    function expectShownAt(container, from, to) {
        const content = findChild(container, "content")
        tryVerify(() => {
            const p = content.mapToItem(container, from.x, from.y)
            return Math.abs(p.x - to.x) < 0.5 && Math.abs(p.y - to.y) < 0.5
        }, 1000, "content point " + from + " not shown at " + to)
    }

    function test_swipe() {
        const container = make()
        drag(container, 200, 150, -61, 0)
        drag(container, 200, 150, 61, 0)
        compare(swipes, [1, -1])
        compare(container.zoom.offset, Qt.point(0, 0))
    }

    function test_doubleTapZoomsAroundThePointAndBack() {
        const container = make()
        doubleTap(container, 300, 150)
        compare(container.zoom.scale, 2.5)
        expectShownAt(container, Qt.point(300, 150), Qt.point(300, 150))
        doubleTap(container, 10, 10)
        compare(container.zoom.scale, 1)
        expectShownAt(container, Qt.point(0, 0), Qt.point(0, 0))
        compare(taps, 0)
    }

    function test_zoomedDragPansClampedAndDoesNotSwipe() {
        const container = make()
        doubleTap(container, 200, 150)
        for (let i = 0; i < 2; ++i)
            drag(container, 390, 10, -380, 280)
        // At 2.5x the offset stops at 0.75 of the size: the content's top right corner meets
        // the container's.
        compare(container.zoom.offset, Qt.point(-300, 225))
        expectShownAt(container, Qt.point(400, 0), Qt.point(400, 0))
        compare(swipes, [])
    }

    function test_ctrlWheelZooms() {
        const container = make()
        mouseWheel(container, 200, 150, 0, 120)
        compare(container.zoom.scale, 1)
        mouseWheel(container, 200, 150, 0, 120, Qt.NoButton, Qt.ControlModifier)
        verify(container.zoom.scale > 1.2)
        for (let i = 0; i < 20; ++i)
            mouseWheel(container, 200, 150, 0, -120, Qt.NoButton, Qt.ControlModifier)
        compare(container.zoom.scale, 1)
    }

    function test_pinchOutThenBackSnapsToRest() {
        const container = make()
        const touch = touchEvent(container)
        // Fingers 100 points apart spread to 360, then close to 60.
        touch.press(0, container, 150, 150).press(1, container, 250, 150).commit()
        for (let i = 1; i <= 26; ++i)
            touch.move(0, container, 150 - 5 * i, 150).move(1, container, 250 + 5 * i, 150).commit()
        touch.release(0, container, 20, 150).release(1, container, 380, 150).commit()
        verify(container.zoom.scale > 1.5, "pinched out to " + container.zoom.scale)

        touch.press(0, container, 20, 150).press(1, container, 380, 150).commit()
        for (let i = 1; i <= 30; ++i)
            touch.move(0, container, 20 + 5 * i, 150).move(1, container, 380 - 5 * i, 150).commit()
        touch.release(0, container, 170, 150).release(1, container, 230, 150).commit()
        compare(container.zoom.scale, 1)
        compare(container.zoom.offset, Qt.point(0, 0))
    }

    function test_singleTapCallsOnTap() {
        const container = make()
        mouseClick(container, 50, 50)
        tryCompare(testCase, "taps", 1, 2000)
        compare(container.zoom.scale, 1)
    }
}
