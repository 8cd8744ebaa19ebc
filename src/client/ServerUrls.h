#pragma once
#include <QList>
#include <QString>
#include <QUrl>
#include <utility>

// Query items in order, names and values as text (not yet percent-encoded).
using QueryItems = QList<std::pair<QString, QString>>;

// Addresses on a server's base URL, the base's path kept.
namespace ServerUrls {

// `path` (plain text, no leading '/') below the base's path with `query` and no fragment; an
// empty URL when no address with a host can be formed.
QUrl at(const QUrl &base, const QString &path, const QueryItems &query = {});
// A picture `pixels` high: 0.14 reads the height from "h", 0.15 and later from "height"; each
// ignores the other, so both go.
QueryItems heightQuery(int pixels);

} // namespace ServerUrls
