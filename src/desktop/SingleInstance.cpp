#include "desktop/SingleInstance.h"

#include "client/Logging.h"

#include <QCryptographicHash>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>

namespace {
// The running app answers at once; one that is stuck must not keep a new launch waiting long.
constexpr int HandOverTimeoutMs = 5000;
} // namespace

const QString SingleInstance::BaseName = QStringLiteral("org.kestrova.Kestrova");
const QString SingleInstance::ObjectPath = QStringLiteral("/org/kestrova/Kestrova");

SingleInstance::SingleInstance(const QDBusConnection &bus, QString serviceName, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
    , m_serviceName(std::move(serviceName))
{ }

QString SingleInstance::serviceNameFor(const QString &preferencesPath)
{
    const QString usual = QDir::homePath() + QStringLiteral("/.config/Kestrova/Kestrova/Kestrova.ini");
    const QString path = QDir::cleanPath(preferencesPath);
    if (path == QDir::cleanPath(usual))
        return BaseName;
    const QByteArray digest = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256);
    return BaseName + QStringLiteral(".c") + QString::fromLatin1(digest.toHex().left(16));
}

SingleInstance::Outcome SingleInstance::claimOrHandOver(const QString &server)
{
    if (!m_bus.isConnected() || !m_bus.interface())
        return Outcome::Alone;
    // Registered before the name is taken, so a launch right after finds someone to answer.
    m_bus.registerObject(ObjectPath, this, QDBusConnection::ExportScriptableSlots);
    const auto claimed = m_bus.interface()->registerService(m_serviceName, QDBusConnectionInterface::DontQueueService,
                                                            QDBusConnectionInterface::DontAllowReplacement);
    if (!claimed.isValid())
        return Outcome::Alone;
    if (claimed.value() == QDBusConnectionInterface::ServiceRegistered)
        return Outcome::First;
    m_bus.unregisterObject(ObjectPath);
    QDBusMessage call = QDBusMessage::createMethodCall(m_serviceName, ObjectPath, BaseName, QStringLiteral("Activate"));
    call << server;
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, HandOverTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return Outcome::HandedOver;
    qCWarning(lcDesktop) << "the running Kestrova did not answer:" << reply.errorMessage();
    return Outcome::Alone;
}

void SingleInstance::Activate(const QString &server)
{
    qCInfo(lcDesktop) << "activated by another launch; server:" << server;
    emit activationRequested(server);
}
