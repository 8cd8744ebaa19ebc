#pragma once
#include <QByteArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QList>
#include <cstddef>
#include <cstdint>
#include <optional>

// Shared by the fuzz targets: quiet Qt logging, JSON as the client reads it, and inputs cut into
// the pieces a stream arrives in.
namespace Fuzz {

// Called once from LLVMFuzzerInitialize (FuzzSupport.cpp): drops Qt's messages (they would cost more than the
// parsing), keeps qFatal fatal.
void quietQt();

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// The document as FrigateApi reads an answer: an object or an array, nothing when not JSON.
std::optional<QJsonValue> json(const QByteArray &body);

struct Piece
{
    uint8_t control = 0; // free bits for the target (e.g. "the consumer reads now")
    QByteArray bytes;
};

// The input as a run of [control byte][24-bit big-endian length][bytes] pieces. A length past
// the end takes what is left, so every input cuts somewhere and a mutated length moves a
// boundary instead of wasting the input.
QList<Piece> pieces(const uint8_t *data, size_t size);

} // namespace Fuzz
