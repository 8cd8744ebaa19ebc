#include "desktop/DesktopNotifications.h"

#include "client/Logging.h"
#include "desktop/NotificationImage.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QPointer>
#include <QCoro/QCoroDBus>

namespace {
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
const QString DesktopEntry = QStringLiteral("org.kestrova.Kestrova");
const QString DefaultAction = QStringLiteral("default");
// The service's own timeout for the message.
constexpr int ServerTimeout = -1;
// Long enough for a busy desktop, short enough that a hung one does not hold messages back.
constexpr int CallTimeoutMs = 10000;
constexpr int LargestImageSide = 256; // pixels
} // namespace

DesktopNotifications::DesktopNotifications(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{
    registerNotificationImageType();
    if (!m_bus.isConnected())
        return;
    m_bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onClosed(uint, uint)));
}

void DesktopNotifications::show(const Message &message)
{
    if (!m_bus.isConnected())
        return;
    m_waiting = message;
    if (!m_sending)
        sendWaiting();
}

QCoro::Task<> DesktopNotifications::sendWaiting()
{
    QPointer<DesktopNotifications> self = this;
    m_sending = true;
    while (self && m_waiting) {
        const Message message = *std::exchange(m_waiting, std::nullopt);
        const bool withImage = !message.image.isNull() && co_await drawsImages();
        if (!self)
            co_return;
        QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
        const QStringList actions{DefaultAction, tr("Open")};
        call << QStringLiteral("Kestrova") << m_shownId << DesktopEntry << message.title << message.body
             << actions << hints(message, withImage) << ServerTimeout;
        const QDBusMessage reply = co_await m_bus.asyncCall(call, CallTimeoutMs);
        if (!self)
            co_return;
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            qCInfo(lcDesktop) << "no notification shown:" << reply.errorName() << reply.errorMessage();
            continue;
        }
        m_shownId = reply.arguments().constFirst().toUInt();
        emit shown(m_shownId);
    }
    if (self)
        m_sending = false;
}

// Asked once a session of the service answers; a failure is asked again with the next message.
// Services that announce "icon-static" or "icon-multi" draw the image-data hint as the icon (GNOME
// Shell, dunst, xfce4-notifyd); "body-images" (Plasma) also takes it.
QCoro::Task<bool> DesktopNotifications::drawsImages()
{
    if (!m_capabilities) {
        QPointer<DesktopNotifications> self = this;
        const auto call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("GetCapabilities"));
        const QDBusMessage reply = co_await m_bus.asyncCall(call, CallTimeoutMs);
        if (!self || reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            co_return false;
        m_capabilities = reply.arguments().constFirst().toStringList();
    }
    for (const char *name : {"icon-static", "icon-multi", "body-images"}) {
        if (m_capabilities->contains(QLatin1String(name)))
            co_return true;
    }
    co_return false;
}

QVariantMap DesktopNotifications::hints(const Message &message, bool withImage) const
{
    QVariantMap hints{
        {QStringLiteral("desktop-entry"), DesktopEntry},
        // Cameras are devices; the other categories of the freedesktop list (im, email,
        // transfer...) would get a chat or mail sound on some desktops.
        {QStringLiteral("category"), QStringLiteral("device")},
        {QStringLiteral("urgency"), QVariant::fromValue(uchar(1))},
    };
    if (withImage) {
        const QImage scaled = message.image.width() > LargestImageSide || message.image.height() > LargestImageSide
            ? message.image.scaled(LargestImageSide, LargestImageSide, Qt::KeepAspectRatio, Qt::SmoothTransformation)
            : message.image;
        hints.insert(QStringLiteral("image-data"), QVariant::fromValue(NotificationImage::from(scaled)));
    }
    return hints;
}

void DesktopNotifications::onActionInvoked(uint id, const QString &action)
{
    if (id != m_shownId || m_shownId == 0 || action != DefaultAction)
        return;
    qCDebug(lcDesktop) << "notification" << id << "activated";
    emit activated();
}

// A notification the user dismissed (or that expired) is not replaced: the next one is new.
void DesktopNotifications::onClosed(uint id, uint reason)
{
    Q_UNUSED(reason);
    if (id == m_shownId)
        m_shownId = 0;
}
