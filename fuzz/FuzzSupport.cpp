#include "FuzzSupport.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLoggingCategory>
#include <cstdlib>

namespace Fuzz {

void quietQt()
{
    QLoggingCategory::setFilterRules(QStringLiteral("*=false"));
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &) {
        if (type == QtFatalMsg)
            std::abort();
    });
}

} // namespace Fuzz

// Every target starts the same way: Qt quiet before the first input.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::quietQt();
    return 0;
}

namespace Fuzz {

std::optional<QJsonValue> json(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
}

QList<Piece> pieces(const uint8_t *data, size_t size)
{
    constexpr size_t Header = 4;
    QList<Piece> result;
    size_t at = 0;
    while (at + Header <= size) {
        Piece piece;
        piece.control = data[at];
        const size_t length = size_t(data[at + 1]) << 16 | size_t(data[at + 2]) << 8 | data[at + 3];
        at += Header;
        const size_t taken = std::min(length, size - at);
        piece.bytes = bytes(data + at, taken);
        at += taken;
        result.append(piece);
    }
    return result;
}

} // namespace Fuzz
