#include "playback/ObjectBoxesOverlay.h"

#include "playback/OverlayGeometry.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>

using namespace OverlayGeometry;

namespace {

QFont tagFont()
{
    // Sizes here are device-independent pixels, the unit of the overlay's layout.
    QFont font = QGuiApplication::font();
    font.setBold(true);
    font.setPixelSize(tagFontPixels);
    return font;
}

void drawTag(QPainter *painter, const QRectF &box, const QRectF &video, const QString &name,
             const QColor &colour)
{
    const QString text = tagText(name);
    const QRectF rect = tagRect(box, video, QFontMetricsF(painter->font()).size(Qt::TextSingleLine, text));
    painter->fillRect(rect, colour);
    painter->setPen(Qt::black);
    painter->drawText(rect, Qt::AlignCenter, text);
}

} // namespace

ObjectBoxesOverlay::ObjectBoxesOverlay(QQuickItem *parent)
    : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
    for (auto changed : {&ObjectBoxesOverlay::motionChanged, &ObjectBoxesOverlay::tracksChanged,
                         &ObjectBoxesOverlay::timeChanged, &ObjectBoxesOverlay::aspectChanged})
        connect(this, changed, this, [this] { update(); });
}

QVariantList ObjectBoxesOverlay::motion() const
{
    QVariantList list;
    for (const QRectF &box : m_motion)
        list.append(box);
    return list;
}

void ObjectBoxesOverlay::setMotion(const QVariantList &motion)
{
    QList<QRectF> boxes;
    for (const QVariant &value : motion) {
        if (value.canConvert<QRectF>())
            boxes.append(value.toRectF());
    }
    setMotionBoxes(boxes);
}

void ObjectBoxesOverlay::setMotionBoxes(const QList<QRectF> &boxes)
{
    if (boxes == m_motion)
        return;
    m_motion = boxes;
    emit motionChanged();
}

void ObjectBoxesOverlay::setTracks(const QList<TrackedObject> &tracks)
{
    if (tracks == m_tracks)
        return;
    m_tracks = tracks;
    emit tracksChanged();
}

QVariant ObjectBoxesOverlay::tracksVariant() const
{
    return QVariant::fromValue(m_tracks);
}

void ObjectBoxesOverlay::setTracksVariant(const QVariant &tracks)
{
    setTracks(tracks.value<QList<TrackedObject>>());
}

void ObjectBoxesOverlay::setTime(double time)
{
    if (time == m_time)
        return;
    m_time = time;
    emit timeChanged();
}

void ObjectBoxesOverlay::setAspect(double aspect)
{
    if (aspect == m_aspect)
        return;
    m_aspect = aspect;
    emit aspectChanged();
}

void ObjectBoxesOverlay::paint(QPainter *painter)
{
    const QRectF video = videoRect(size(), m_aspect);
    if (m_motion.isEmpty() || video.isEmpty())
        return;
    const QList<std::optional<QString>> names = nameMotionBoxes(m_motion, m_tracks, m_time);
    painter->setFont(tagFont());
    for (qsizetype i = 0; i < m_motion.size(); ++i) {
        const QRectF box = placeBox(m_motion[i], video);
        const QColor colour = boxColor(names[i]);
        painter->setPen(QPen(colour, outlineWidth));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(box);
        if (names[i])
            drawTag(painter, box, video, *names[i], colour);
    }
}
