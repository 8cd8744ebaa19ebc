import QtQuick
import QtTest
import Kestrova

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
            Rectangle {
                objectName: "content"
                anchors.fill: parent
                color: "teal"
            }
        }
    }

    function make() {
        swipes = []
        taps = 0
        const container = createTemporaryObject(zoomComponent, testCase)
        container.onSwipe = function (direction) { testCase.swipes.push(direction) }
        container.onTap = function () { testCase.taps += 1 }
        return container
    }

    // A mouse drag in small steps, as a hand moves.
    function drag(item, x, y, dx, dy) {
        mousePress(item, x, y)
        const steps = 8
        for (let i = 1; i <= steps; ++i)
            mouseMove(item, x + dx * i / steps, y + dy * i / steps)
        mouseRelease(item, x + dx, y + dy)
    }

    // Two quick taps. (Mouse events from the test library are spaced beyond the double-click
    // interval on purpose, so the double tap is made by touch.)
    function doubleTap(item, x, y) {
        const touch = touchEvent(item)
        touch.press(0, item, x, y).commit()
        touch.release(0, item, x, y).commit()
        touch.press(0, item, x, y).commit()
        touch.release(0, item, x, y).commit()
    }

    function test_swipeThresholds_data() {
        return [
            { tag: "61 to the left: next", dx: -61, dy: 0, swipes: [1] },
            { tag: "61 to the right: previous", dx: 61, dy: 0, swipes: [-1] },
            { tag: "59 to the left: nothing", dx: -59, dy: 0, swipes: [] },
            { tag: "mostly vertical: nothing", dx: -70, dy: 90, swipes: [] },
            { tag: "slanted but horizontal", dx: -120, dy: 60, swipes: [1] }
        ]
    }
    function test_swipeThresholds(data) {
        const container = make()
        drag(container, 200, 150, data.dx, data.dy)
        compare(swipes, data.swipes)
        compare(container.zoom.scale, 1)
        compare(container.zoom.offset, Qt.point(0, 0))
    }

    function test_doubleClickZoomsAroundThePointAndBack() {
        const container = make()
        doubleTap(container, 300, 150)
        compare(container.zoom.scale, 2.5)
        // p = (100, 0) from the centre; the point stays under the pointer: -1.5 p.
        compare(container.zoom.offset, Qt.point(-150, 0))
        const content = findChild(container, "content")
        tryVerify(function () { return Math.abs(content.mapToItem(container, 300, 150).x - 300) < 0.5 }, 1000)

        doubleTap(container, 10, 10)
        compare(container.zoom.scale, 1)
        tryVerify(function () { return Math.abs(content.mapToItem(container, 0, 0).x) < 0.5 }, 1000)
        compare(taps, 0)
    }

    function test_zoomedDragPansClampedAndDoesNotSwipe() {
        const container = make()
        doubleTap(container, 200, 150)
        compare(container.zoom.scale, 2.5)
        drag(container, 200, 150, -150, 100)
        // The pan follows the pointer from where the drag took hold (past 12 points).
        const moved = container.zoom.offset
        verify(moved.x < -100 && moved.x >= -150, "x " + moved.x)
        verify(moved.y > 60 && moved.y <= 100, "y " + moved.y)
        drag(container, 200, 150, -390, 290)
        // At 2.5x the offset stops at 0.75 of the size: 300 across, 225 down.
        compare(container.zoom.offset, Qt.point(-300, 225))
        compare(swipes, [])

        // The content's right edge meets the container's, its top edge the container's.
        const content = findChild(container, "content")
        tryVerify(function () {
            const corner = content.mapToItem(container, 400, 0)
            return Math.abs(corner.x - 400) < 0.5 && Math.abs(corner.y) < 0.5
        }, 1000)
    }

    function test_ctrlWheelZooms() {
        const container = make()
        mouseWheel(container, 200, 150, 0, 120)
        compare(container.zoom.scale, 1)
        mouseWheel(container, 200, 150, 0, 120, Qt.NoButton, Qt.ControlModifier)
        verify(container.zoom.scale > 1.2)
        for (let i = 0; i < 20; ++i)
            mouseWheel(container, 200, 150, 0, 120, Qt.NoButton, Qt.ControlModifier)
        compare(container.zoom.scale, 6)
        for (let i = 0; i < 20; ++i)
            mouseWheel(container, 200, 150, 0, -120, Qt.NoButton, Qt.ControlModifier)
        compare(container.zoom.scale, 1)
        compare(container.zoom.offset, Qt.point(0, 0))
    }

    function test_pinchEndingNearRestSnapsBack() {
        const container = make()
        const touch = touchEvent(container)
        // Fingers 100 points apart spread to 360: the pinch takes hold after a few steps, so the
        // scale ends somewhat below 3.6.
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
