#pragma once
#include "client/WireRecords.h"

#include <QColor>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <optional>

// Geometry of the object and motion overlay: which tracked object names which motion box, where
// normalised boxes land on the letterboxed video, and how each box is coloured and tagged.
namespace OverlayGeometry {

// A tracked object's label and its box at the moment shown, normalised to the frame.
struct TrackBox
{
    QString label;
    QRectF box;
};

// Inside this centre distance (normalised units) a track claims a motion box it does not overlap.
inline constexpr double nearCentreDistance = 0.3;
inline constexpr double outlineWidth = 2;
inline constexpr double tagPaddingX = 4;
inline constexpr double tagPaddingY = 1;
inline constexpr int tagFontPixels = 11;

// One optional name per motion box; each track in order names at most one still unnamed box.
QList<std::optional<QString>> nameBoxes(const QList<QRectF> &motion, const QList<TrackBox> &tracks);

// Same, with each track's box taken at `time` (seconds since 1970); tracks without one name nothing.
QList<std::optional<QString>> nameMotionBoxes(const QList<QRectF> &motion,
                                              const QList<TrackedObject> &tracks, double time);

// The rectangle the video occupies when shown whole and centred in `area`; empty when nothing fits.
QRectF videoRect(const QSizeF &area, double aspect);

// A normalised box (0...1, origin top left) placed on the video rectangle.
QRectF placeBox(const QRectF &normalised, const QRectF &video);

QColor boxColor(const std::optional<QString> &name);

// Text of a box's tag: the label's display name.
QString tagText(const QString &name);

// Tag centre: 30 to the right of the box's left edge, just above the box but never above the video.
QPointF tagCentre(const QRectF &placedBox, const QRectF &video);

// The tag's background rectangle around text of `textSize`, padded and centred on tagCentre.
QRectF tagRect(const QRectF &placedBox, const QRectF &video, const QSizeF &textSize);

} // namespace OverlayGeometry
