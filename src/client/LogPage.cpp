#include "client/LogPage.h"

#include "client/LogLineParser.h"
#include "client/WireDecoding.h"
#include "client/WireNumbers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

qint64 pythonSliceStart(qint64 start, qint64 total)
{
    if (start < 0)
        return std::max<qint64>(total + start, 0);
    return std::min(start, total);
}

Result<LogPage> decodeLogPage(const QByteArray &body, qint64 start, const QString &service)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return FrigateError::decoding(QStringLiteral("log"));
    const QJsonObject object = document.object();
    const QJsonValue lines = object.value(QLatin1String("lines"));
    if (!lines.isArray())
        return FrigateError::decoding(QStringLiteral("log lines"));
    const QJsonArray array = lines.toArray();
    LogPage page;
    constexpr qint64 MostLines = qint64(1) << 53;
    page.totalLines = clampedWhole<qint64>(trimmedNumberValue(object.value(QLatin1String("totalLines"))), 0, MostLines);
    page.first = pythonSliceStart(start, page.totalLines);
    page.received = array.size();
    page.lines.reserve(array.size());
    for (qsizetype index = 0; index < array.size(); ++index) {
        const QString text = array.at(index).toString();
        page.rawBytes += text.toUtf8().size();
        if (!text.trimmed().isEmpty())
            page.lines.append(parseLogLine(text, page.first + index, service));
    }
    return page;
}
