#pragma once
#include <QString>
#include <QUuid>

// Canonical upper-case UUID text without braces: the suffix of secret and preference keys.
QString uuidText(const QUuid &id);
