#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

// Cuts the body of a multipart/x-mixed-replace reply (the server's MJPEG stream) into its JPEGs.
// The boundary is taken from the body's first delimiter line; a part may carry a Content-Length,
// otherwise the JPEG ends at its EOI marker (or, failing that, at the next delimiter), so a
// picture is handed over as soon as its last byte arrived. Memory is bounded by MaxPart.
class MjpegPartReader
{
public:
    static constexpr qsizetype MaxPart = 8 << 20;

    struct Result
    {
        QList<QByteArray> pictures;
        QString error; // once set, the stream cannot be read further
    };

    // `bytes` is any slice of the body, in order.
    Result read(const QByteArray &bytes);

private:
    enum class Stage { Delimiter, Headers, Body };

    bool step(Result &result);
    bool readDelimiter(Result &result);
    bool readHeaders(Result &result);
    bool readBody(Result &result);
    void fail(Result &result, const QString &message);

    QByteArray m_buffer;
    QByteArray m_delimiter; // "--" and the boundary
    Stage m_stage = Stage::Delimiter;
    qint64 m_length = -1; // the part's Content-Length, -1 without one
    QString m_error;
};
