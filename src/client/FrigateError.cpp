#include "client/FrigateError.h"
#include <QCoreApplication>

QString FrigateError::message() const
{
    switch (m_kind) {
    case Kind::Http:
        return QCoreApplication::translate("FrigateError", "Server error (HTTP %1).").arg(m_status);
    case Kind::Decoding:
        return QCoreApplication::translate("FrigateError", "Invalid response from server: %1").arg(m_detail);
    case Kind::NotConfigured:
        return QCoreApplication::translate("FrigateError", "Server not configured.");
    case Kind::Unreachable:
        return QCoreApplication::translate("FrigateError", "Frigate server unreachable.");
    case Kind::Unauthorized:
        return QCoreApplication::translate("FrigateError", "Invalid username or password.");
    case Kind::RateLimited:
        return QCoreApplication::translate("FrigateError", "Too many login attempts: try again in a minute.");
    case Kind::LocalFile:
        return QCoreApplication::translate("FrigateError", "The file could not be saved: %1").arg(m_detail);
    case Kind::Cancelled:
        return {};
    }
    return {};
}
