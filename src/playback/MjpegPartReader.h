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

    // How far a part without Content-Length was looked at, so each pushed byte is looked at once:
    // the position of the next JPEG marker (or of the entropy-coded data after a scan header) and
    // where the search for the next delimiter goes on.
    struct BodyScan
    {
        qsizetype marker = 2; // just past SOI
        bool entropy = false;
        qsizetype delimiterFrom = 0;
    };

    static qsizetype jpegLength(const QByteArray &data, BodyScan &scan);

    bool step(Result &result);
    bool readDelimiter(Result &result);
    bool readHeaders(Result &result);
    bool readBody(Result &result);
    void fail(Result &result, const QString &message);

    QByteArray m_buffer;
    QByteArray m_delimiter; // "--" and the boundary
    Stage m_stage = Stage::Delimiter;
    qint64 m_length = -1; // the part's Content-Length, -1 without one
    BodyScan m_scan;
    QString m_error;
};
