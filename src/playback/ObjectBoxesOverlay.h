#pragma once
#include "client/WireRecords.h"

#include <QList>
#include <QQuickPaintedItem>
#include <QRectF>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

// Laid over the video (same area): outlines the motion boxes of the current frame and tags each
// with the tracked object found at the same place at the same moment.
class ObjectBoxesOverlay : public QQuickPaintedItem
{
    Q_OBJECT
    QML_ELEMENT
    // Rectangles normalised to the video frame (0...1, origin top left).
    Q_PROPERTY(QVariantList motion READ motion WRITE setMotion NOTIFY motionChanged)
    // A QList<TrackedObject> wrapped in a QVariant, filled from C++.
    Q_PROPERTY(QVariant tracks READ tracksVariant WRITE setTracksVariant NOTIFY tracksChanged)
    // Seconds since 1970 of the moment shown.
    Q_PROPERTY(double time READ time WRITE setTime NOTIFY timeChanged)
    // Width / height of the video.
    Q_PROPERTY(double aspect READ aspect WRITE setAspect NOTIFY aspectChanged)

public:
    explicit ObjectBoxesOverlay(QQuickItem *parent = nullptr);

    QVariantList motion() const;
    void setMotion(const QVariantList &motion);
    void setMotionBoxes(const QList<QRectF> &boxes);
    QList<QRectF> motionBoxes() const { return m_motion; }

    QList<TrackedObject> tracks() const { return m_tracks; }
    void setTracks(const QList<TrackedObject> &tracks);
    QVariant tracksVariant() const;
    void setTracksVariant(const QVariant &tracks);

    double time() const { return m_time; }
    void setTime(double time);
    double aspect() const { return m_aspect; }
    void setAspect(double aspect);

    void paint(QPainter *painter) override;

signals:
    void motionChanged();
    void tracksChanged();
    void timeChanged();
    void aspectChanged();

private:
    QList<QRectF> m_motion;
    QList<TrackedObject> m_tracks;
    double m_time = 0;
    double m_aspect = 16.0 / 9.0;
};
