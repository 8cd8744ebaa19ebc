#include "playback/OverlayGeometry.h"

#include "client/TextFormats.h"

#include <QLineF>
#include <cmath>

namespace OverlayGeometry {

namespace {

constexpr double tagOffsetX = 30;
constexpr double tagRiseAboveBox = 8;
constexpr double tagLowestTopGap = 7;

double centreDistance(const QRectF &a, const QRectF &b)
{
    return QLineF(a.center(), b.center()).length();
}

// The unnamed motion box a track claims: the first overlapping or near one, unless a later unnamed
// box has a strictly nearer centre.
std::optional<qsizetype> chooseBox(const QList<QRectF> &motion,
                                   const QList<std::optional<QString>> &names, const QRectF &trackBox)
{
    std::optional<qsizetype> choice;
    double best = 0;
    for (qsizetype i = 0; i < motion.size(); ++i) {
        if (names[i])
            continue;
        const double distance = centreDistance(motion[i], trackBox);
        const bool claimable = choice ? distance < best
                                      : motion[i].intersects(trackBox) || distance < nearCentreDistance;
        if (!claimable)
            continue;
        choice = i;
        best = distance;
    }
    return choice;
}

} // namespace

QList<std::optional<QString>> nameBoxes(const QList<QRectF> &motion, const QList<TrackBox> &tracks)
{
    QList<std::optional<QString>> names(motion.size());
    for (const TrackBox &track : tracks) {
        if (const auto choice = chooseBox(motion, names, track.box))
            names[*choice] = track.label;
    }
    return names;
}

QList<std::optional<QString>> nameMotionBoxes(const QList<QRectF> &motion,
                                              const QList<TrackedObject> &tracks, double time)
{
    if (motion.isEmpty())
        return {};
    QList<TrackBox> present;
    for (const TrackedObject &track : tracks) {
        if (const std::optional<QRectF> box = track.boxAt(time))
            present.append({track.label, *box});
    }
    return nameBoxes(motion, present);
}

QRectF videoRect(const QSizeF &area, double aspect)
{
    const double w = area.width();
    const double h = area.height();
    if (w <= 0 || h <= 0 || aspect <= 0)
        return {};
    if (w / h <= aspect)
        return QRectF(0, (h - w / aspect) / 2, w, w / aspect);
    return QRectF((w - aspect * h) / 2, 0, aspect * h, h);
}

QRectF placeBox(const QRectF &normalised, const QRectF &video)
{
    return QRectF(video.x() + normalised.x() * video.width(), video.y() + normalised.y() * video.height(),
                  normalised.width() * video.width(), normalised.height() * video.height());
}

QColor boxColor(const std::optional<QString> &name)
{
    if (!name)
        return QColor(255, 59, 48);
    const QString kind = name->section(QLatin1Char('-'), 0, 0);
    if (kind == QLatin1String("person"))
        return QColor(255, 59, 48);
    static const QStringList vehicles{"car", "truck", "motorcycle", "bicycle"};
    if (vehicles.contains(kind))
        return QColor(255, 214, 10);
    static const QStringList animals{"dog", "cat", "bird"};
    if (animals.contains(kind))
        return QColor(60, 255, 140);
    return QColor(255, 159, 10);
}

QString tagText(const QString &name)
{
    return labelDisplayName(name);
}

QPointF tagCentre(const QRectF &placedBox, const QRectF &video)
{
    return QPointF(placedBox.left() + tagOffsetX,
                   std::max(video.top() + tagLowestTopGap, placedBox.top() - tagRiseAboveBox));
}

QRectF tagRect(const QRectF &placedBox, const QRectF &video, const QSizeF &textSize)
{
    const QSizeF size = textSize + QSizeF(2 * tagPaddingX, 2 * tagPaddingY);
    QRectF rect(QPointF(), size);
    rect.moveCenter(tagCentre(placedBox, video));
    return rect;
}

} // namespace OverlayGeometry
