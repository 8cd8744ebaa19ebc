#include "WindowPlacement.h"

#include "client/PreferencesStore.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

namespace {

PreferencesStore *preferencesInUse = nullptr;

QString slotKey(int slot)
{
    return QStringLiteral("window/%1").arg(slot);
}

// One axis of a window or of a screen's available area.
struct Span
{
    int start;
    int length;
};

enum class Fit {
    Keep,   // stays where it was, moved only as far as needed to be inside
    Centre, // keeps its length if it fits, centred
    Fresh,  // fits only with the margin to spare, centred
};

Span fitted(Span window, Span area, int minimum, Fit fit)
{
    // On a screen smaller than the minimum the screen wins: a window larger than its screen
    // cannot be used at all.
    const int smallest = std::min(minimum, area.length);
    const int room = fit == Fit::Fresh ? area.length - 2 * WindowPlacement::margin : area.length;
    int length = std::max(window.length, smallest);
    const bool tooLong = length > room;
    if (tooLong)
        length = std::max(area.length - 2 * WindowPlacement::margin, smallest);
    if (fit != Fit::Keep || tooLong)
        return {area.start + (area.length - length) / 2, length};
    return {std::clamp(window.start, area.start, area.start + area.length - length), length};
}

QRect fittedRect(const QRect &window, const QRect &area, Fit fit)
{
    const Span x = fitted({window.x(), window.width()}, {area.x(), area.width()}, WindowPlacement::minimumSize.width(), fit);
    const Span y = fitted({window.y(), window.height()}, {area.y(), area.height()}, WindowPlacement::minimumSize.height(), fit);
    return {x.start, y.start, x.length, y.length};
}

// The screen that shows the most of `rect`, or none when no screen shows any of it.
std::optional<QRect> screenShowing(const QRect &rect, const QList<QRect> &screens)
{
    std::optional<QRect> best;
    qint64 bestArea = 0;
    for (const QRect &screen : screens) {
        const QRect shown = rect.intersected(screen);
        const qint64 area = qint64(shown.width()) * shown.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    return best;
}

QList<QRect> availableAreas()
{
    QList<QRect> areas;
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (primary)
        areas.append(primary->availableGeometry());
    for (const QScreen *screen : QGuiApplication::screens()) {
        if (screen != primary)
            areas.append(screen->availableGeometry());
    }
    return areas;
}

} // namespace

WindowPlacement::WindowPlacement(QObject *parent)
    : QObject(parent)
{
}

QRect WindowPlacement::place(const std::optional<QRect> &remembered, const QList<QRect> &screens)
{
    const bool hasPlace = remembered && remembered->isValid();
    if (screens.isEmpty())
        return hasPlace ? *remembered : QRect(QPoint(0, 0), preferredSize);
    const QRect first = screens.first();
    if (!hasPlace)
        return fittedRect(QRect(first.topLeft(), preferredSize), first, Fit::Fresh);
    if (const auto home = screenShowing(*remembered, screens))
        return fittedRect(*remembered, *home, Fit::Keep);
    return fittedRect(*remembered, first, Fit::Centre);
}

QSize WindowPlacement::minimumWithin(const QRect &geometry, const QList<QRect> &screens)
{
    const auto home = screenShowing(geometry, screens);
    if (!home)
        return minimumSize;
    return minimumSize.boundedTo(home->size());
}

void WindowPlacement::setPreferences(PreferencesStore *preferences)
{
    preferencesInUse = preferences;
}

QVariantMap WindowPlacement::placeFor(int slot, const QRectF &proposed) const
{
    const QVariantMap stored = preferencesInUse ? preferencesInUse->value(slotKey(slot)).toMap() : QVariantMap();
    std::optional<QRect> wanted;
    if (stored.contains(QStringLiteral("geometry")))
        wanted = stored.value(QStringLiteral("geometry")).toRect();
    else if (proposed.isValid())
        wanted = proposed.toRect();
    const QList<QRect> screens = availableAreas();
    const QRect geometry = place(wanted, screens);
    const QSize minimum = minimumWithin(geometry, screens);
    return {
        {QStringLiteral("x"), geometry.x()},
        {QStringLiteral("y"), geometry.y()},
        {QStringLiteral("width"), geometry.width()},
        {QStringLiteral("height"), geometry.height()},
        {QStringLiteral("maximized"), stored.value(QStringLiteral("maximized")).toBool()},
        {QStringLiteral("minimumWidth"), minimum.width()},
        {QStringLiteral("minimumHeight"), minimum.height()},
    };
}

void WindowPlacement::remember(int slot, const QRectF &normal, bool maximized)
{
    if (!preferencesInUse || !normal.isValid())
        return;
    const QVariantMap place{
        {QStringLiteral("geometry"), normal.toRect()},
        {QStringLiteral("maximized"), maximized},
    };
    preferencesInUse->setValue(slotKey(slot), place);
}
