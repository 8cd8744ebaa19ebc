#pragma once
#include <QDBusConnection>
#include <QImage>
#include <QObject>
#include <QStringList>
#include <QCoro/QCoroTask>
#include <optional>

// The desktop's notification service (org.freedesktop.Notifications, version 1.2 of its
// interface) as the app uses it: one notification at a time, each new one replacing the one
// shown before. Every call is asynchronous; without a bus or a service nothing is shown and
// nothing waits. GUI thread only.
class DesktopNotifications : public QObject
{
    Q_OBJECT
public:
    struct Message
    {
        QString title;
        QString body;
        QImage image; // sent only where the service draws images; may be null
    };

    explicit DesktopNotifications(const QDBusConnection &bus, QObject *parent = nullptr);

    // Shows `message` in place of the one shown before. A message asked for while another is
    // being sent follows it; of several waiting, only the latest goes.
    void show(const Message &message);

signals:
    // The user clicked the notification (its default action).
    void activated();
    // Each message the service took, with the id it gave; for logs and tests.
    void shown(uint id);

private Q_SLOTS:
    void onActionInvoked(uint id, const QString &action);
    void onClosed(uint id, uint reason);

private:
    QCoro::Task<> sendWaiting();
    QCoro::Task<bool> drawsImages();
    QVariantMap hints(const Message &message, bool withImage) const;

    QDBusConnection m_bus;
    std::optional<QStringList> m_capabilities;
    std::optional<Message> m_waiting;
    bool m_sending = false;
    uint m_shownId = 0;
};
