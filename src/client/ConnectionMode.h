#pragma once
#include <QString>

enum class ConnectionMode { None, Local, Remote };

QString connectionModeRawValue(ConnectionMode mode);
QString connectionModeDisplayName(ConnectionMode mode);
