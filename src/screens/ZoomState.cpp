#include "screens/ZoomState.h"

#include <QtMath>
#include <algorithm>

ZoomState::ZoomState(QObject *parent) : QObject(parent) {}

void ZoomState::setSize(const QSizeF &size)
{
    if (m_size == size)
        return;
    m_size = size;
    emit sizeChanged();
    // A smaller container shrinks the room to pan; keep the content covering it.
    m_baseOffset = clamped(m_baseOffset, m_baseScale);
    apply(m_scale, clamped(m_offset, m_scale), Transition::Immediate);
}

QPointF ZoomState::clamped(QPointF offset, qreal scale) const
{
    const qreal limitX = std::max(0.0, m_size.width() * (scale - 1) * 0.5);
    const qreal limitY = std::max(0.0, m_size.height() * (scale - 1) * 0.5);
    return {std::clamp(offset.x(), -limitX, limitX), std::clamp(offset.y(), -limitY, limitY)};
}

QPointF ZoomState::centred(QPointF location) const
{
    return location - QPointF(m_size.width() / 2, m_size.height() / 2);
}

void ZoomState::pinchChanged(qreal magnification, QPointF startLocation)
{
    const QPointF a = centred(startLocation);
    if (!m_pinchAnchor)
        m_pinchAnchor = (a - m_baseOffset) / m_baseScale;
    const qreal scale = std::clamp(m_baseScale * magnification, MinScale, MaxScale);
    apply(scale, clamped(a - scale * *m_pinchAnchor, scale), Transition::Immediate);
}

void ZoomState::pinchEnded()
{
    m_baseScale = m_scale;
    m_pinchAnchor.reset();
    if (m_scale <= RestThreshold) {
        m_baseScale = 1;
        m_baseOffset = {};
        apply(1, {}, Transition::SnapBack);
        return;
    }
    m_baseOffset = m_offset;
}

void ZoomState::dragChanged(QPointF translation)
{
    if (m_scale <= RestThreshold) {
        m_dragBase.reset();
        return;
    }
    if (!m_dragBase)
        m_dragBase = m_offset - translation;
    apply(m_scale, clamped(*m_dragBase + translation, m_scale), Transition::Immediate);
}

int ZoomState::dragEnded(QPointF translation)
{
    m_baseOffset = m_offset;
    m_dragBase.reset();
    if (m_scale > RestThreshold)
        return 0;
    if (qAbs(translation.y()) >= qAbs(translation.x()) || qAbs(translation.x()) <= SwipeDistance)
        return 0;
    return translation.x() < 0 ? +1 : -1;
}

void ZoomState::doubleTapped(QPointF location)
{
    if (m_scale > RestThreshold) {
        reset();
        return;
    }
    const QPointF p = centred(location);
    m_baseScale = DoubleTapScale;
    m_baseOffset = clamped(p - DoubleTapScale * p, DoubleTapScale);
    apply(DoubleTapScale, m_baseOffset, Transition::ZoomToggle);
}

void ZoomState::zoomBy(qreal factor, QPointF location)
{
    pinchChanged(factor, location);
    pinchEnded();
}

void ZoomState::reset()
{
    m_baseScale = 1;
    m_baseOffset = {};
    m_pinchAnchor.reset();
    m_dragBase.reset();
    apply(1, {}, Transition::ZoomToggle);
}

void ZoomState::apply(qreal scale, QPointF offset, Transition transition)
{
    if (m_transition != transition) {
        m_transition = transition;
        emit transitionChanged();
    }
    if (!qFuzzyCompare(m_scale, scale)) {
        m_scale = scale;
        emit scaleChanged();
    }
    if (m_offset != offset) {
        m_offset = offset;
        emit offsetChanged();
    }
}
