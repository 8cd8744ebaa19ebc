#pragma once
#include <QObject>
#include <QPointF>
#include <QSizeF>
#include <QtQml/qqmlregistration.h>
#include <optional>

// Scale and pan of a zoomable view and the gesture rules that move them: pinch around its
// start point, drag to pan within the zoomed content, double tap to toggle a 2.5x zoom, and a
// horizontal swipe at rest that pages to the next or previous item. Amounts are in points of
// the container (`size`); the offset is the content's shift from the centred position.
class ZoomState : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QSizeF size READ size WRITE setSize NOTIFY sizeChanged)
    Q_PROPERTY(qreal scale READ scale NOTIFY scaleChanged)
    Q_PROPERTY(QPointF offset READ offset NOTIFY offsetChanged)
    Q_PROPERTY(Transition transition READ transition NOTIFY transitionChanged)
    Q_PROPERTY(bool zoomed READ isZoomed NOTIFY scaleChanged)

public:
    // How the view should move to the current scale and offset.
    enum class Transition { Immediate, SnapBack, ZoomToggle };
    Q_ENUM(Transition)

    static constexpr qreal MinScale = 1.0;
    static constexpr qreal MaxScale = 6.0;
    static constexpr qreal DoubleTapScale = 2.5;
    static constexpr qreal RestThreshold = 1.01;
    static constexpr qreal SwipeDistance = 60.0;
    static constexpr qreal DragThreshold = 12.0;
    static constexpr qreal PinchThreshold = 0.01;

    explicit ZoomState(QObject *parent = nullptr);

    QSizeF size() const { return m_size; }
    void setSize(const QSizeF &size);
    qreal scale() const { return m_scale; }
    QPointF offset() const { return m_offset; }
    Transition transition() const { return m_transition; }
    bool isZoomed() const { return m_scale > RestThreshold; }

    // The offset kept within the zoomed content at the given scale.
    Q_INVOKABLE QPointF clamped(QPointF offset, qreal scale) const;

    // magnification is relative to the gesture start; startLocation in container coordinates.
    Q_INVOKABLE void pinchChanged(qreal magnification, QPointF startLocation);
    Q_INVOKABLE void pinchEnded();
    Q_INVOKABLE void dragChanged(QPointF translation);
    // Answers the swipe the drag made: +1 (to the left: next), -1 (to the right: previous)
    // or 0. Swipes count only at rest scale.
    Q_INVOKABLE int dragEnded(QPointF translation);
    Q_INVOKABLE void doubleTapped(QPointF location);
    // One discrete zoom step (a wheel notch) around a point: a pinch that begins and ends at once.
    Q_INVOKABLE void zoomBy(qreal factor, QPointF location);
    Q_INVOKABLE void reset();

signals:
    void sizeChanged();
    void scaleChanged();
    void offsetChanged();
    void transitionChanged();

private:
    QPointF centred(QPointF location) const;
    void apply(qreal scale, QPointF offset, Transition transition);

    QSizeF m_size;
    qreal m_scale = 1.0;
    qreal m_baseScale = 1.0;
    QPointF m_offset;
    QPointF m_baseOffset;
    std::optional<QPointF> m_pinchAnchor;
    std::optional<QPointF> m_dragBase;
    Transition m_transition = Transition::Immediate;
};
