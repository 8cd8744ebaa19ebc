#pragma once
#include <QList>
#include <QObject>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>
#include <optional>

class PreferencesStore;

// Where each window opens, and what it remembers of where it was. Geometry is the window's
// inside (without the frame) in logical pixels of the virtual desktop, the space
// QScreen::availableGeometry is in.
//
// place() decides: a remembered rectangle that fits the available area of a present screen is
// kept as it is; one that is partly off or too big is pulled onto the screen it overlaps most
// (an axis too long for it is shrunk and centred); one that no present screen shows, its monitor
// gone, keeps its size and is centred on the first screen. Without a remembered rectangle the
// window takes the preferred size, shrunk to leave a margin, centred on the first screen.
class WindowPlacement : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    static constexpr QSize preferredSize{1180, 800};
    // The smallest size every screen is laid out for.
    static constexpr QSize minimumSize{800, 560};
    // Kept free around a window that had to be shrunk to fit.
    static constexpr int margin = 24;

    explicit WindowPlacement(QObject *parent = nullptr);

    // `screens`: the available areas, the primary first.
    static QRect place(const std::optional<QRect> &remembered, const QList<QRect> &screens);
    // minimumSize, capped to the screen that shows `geometry`, so the window still fits there.
    static QSize minimumWithin(const QRect &geometry, const QList<QRect> &screens);

    // Where remembered places are kept; none (the default) remembers nothing. The store must
    // outlive every window.
    static void setPreferences(PreferencesStore *preferences);

    // The place of window number `slot` (0 the first, then the others by the order they
    // opened): its remembered place, else `proposed` when it is a valid rectangle, else the
    // preferred one. Answers x, y, width, height, maximized, minimumWidth and minimumHeight.
    Q_INVOKABLE QVariantMap placeFor(int slot, const QRectF &proposed) const;
    // `normal` is the geometry the window had last while neither maximised nor minimised.
    Q_INVOKABLE void remember(int slot, const QRectF &normal, bool maximized);
};
