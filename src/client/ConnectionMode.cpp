#include "client/ConnectionMode.h"
#include <QCoreApplication>

QString connectionModeRawValue(ConnectionMode mode)
{
    switch (mode) {
    case ConnectionMode::Local: return QStringLiteral("local");
    case ConnectionMode::Remote: return QStringLiteral("remote");
    case ConnectionMode::None: break;
    }
    return QStringLiteral("none");
}

QString connectionModeDisplayName(ConnectionMode mode)
{
    switch (mode) {
    case ConnectionMode::Local: return QCoreApplication::translate("ConnectionMode", "Local network");
    case ConnectionMode::Remote: return QCoreApplication::translate("ConnectionMode", "Remote access");
    case ConnectionMode::None: break;
    }
    return QCoreApplication::translate("ConnectionMode", "Not connected");
}
