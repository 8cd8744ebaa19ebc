#pragma once
#include <QString>
#include <QUuid>

// The secret-store accounts of one server: "password.<ID>" and "token.<ID>", ID in upper case.
// Every reader and writer of a server's secrets builds the names here.
namespace SecretAccounts {
QString passwordAccount(const QUuid &id);
QString tokenAccount(const QUuid &id);
} // namespace SecretAccounts
