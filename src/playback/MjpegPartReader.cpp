#include "playback/MjpegPartReader.h"

#include <QtEndian>
#include <algorithm>

namespace {

// Delimiter lines and part headers are short; more text without a line end is not MJPEG.
constexpr qsizetype MaxLine = 16 * 1024;

QByteArray takeLine(QByteArray &buffer, qsizetype end)
{
    QByteArray line = buffer.left(end);
    buffer.remove(0, end + 1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace

// The length of the JPEG at the start of `data` up to and including its EOI marker: 0 while it
// is incomplete, -1 when `data` does not follow the JPEG marker structure. The walk goes on where
// the previous call on the same part stopped.
qsizetype MjpegPartReader::jpegLength(const QByteArray &data, BodyScan &scan)
{
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    const qsizetype size = data.size();
    if (size < 2)
        return 0;
    if (bytes[0] != 0xff || bytes[1] != 0xd8)
        return -1;
    qsizetype &at = scan.marker;
    for (;;) {
        if (scan.entropy) {
            // Entropy-coded data: a 0xff in it is followed by 0x00 (stuffing) or a restart marker.
            while (at + 1 < size
                   && !(bytes[at] == 0xff && bytes[at + 1] != 0 && (bytes[at + 1] < 0xd0 || bytes[at + 1] > 0xd7)))
                ++at;
            if (at + 1 >= size)
                return 0;
            scan.entropy = false;
        }
        if (at + 2 > size)
            return 0;
        if (bytes[at] != 0xff)
            return -1;
        const uchar marker = bytes[at + 1];
        if (marker == 0xd9)
            return at + 2;
        if (marker == 0xff || marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7)) {
            at += marker == 0xff ? 1 : 2;
            continue;
        }
        if (at + 4 > size)
            return 0;
        const qsizetype length = qFromBigEndian<quint16>(bytes + at + 2);
        if (length < 2)
            return -1;
        at += 2 + length;
        scan.entropy = marker == 0xda;
    }
}

MjpegPartReader::Result MjpegPartReader::read(const QByteArray &bytes)
{
    Result result;
    if (!m_error.isEmpty()) {
        result.error = m_error;
        return result;
    }
    m_buffer += bytes;
    while (step(result)) { }
    return result;
}

bool MjpegPartReader::step(Result &result)
{
    if (!m_error.isEmpty())
        return false;
    switch (m_stage) {
    case Stage::Delimiter:
        return readDelimiter(result);
    case Stage::Headers:
        return readHeaders(result);
    case Stage::Body:
        return readBody(result);
    }
    return false;
}

void MjpegPartReader::fail(Result &result, const QString &message)
{
    m_error = message;
    result.error = message;
    m_buffer.clear();
}

// Lines before the first delimiter (a preamble) and between a picture and the next delimiter
// (the CR LF pairs the server adds) are skipped.
bool MjpegPartReader::readDelimiter(Result &result)
{
    const qsizetype end = m_buffer.indexOf('\n');
    if (end < 0) {
        if (m_buffer.size() > MaxLine)
            fail(result, QStringLiteral("no multipart delimiter"));
        return false;
    }
    const QByteArray line = takeLine(m_buffer, end).trimmed();
    if (m_delimiter.isEmpty() && line.startsWith("--") && line.size() > 2)
        m_delimiter = line;
    if (!m_delimiter.isEmpty() && line == m_delimiter) {
        m_stage = Stage::Headers;
        m_length = -1;
        m_scan = {};
    }
    return true;
}

bool MjpegPartReader::readHeaders(Result &result)
{
    const qsizetype end = m_buffer.indexOf('\n');
    if (end < 0) {
        if (m_buffer.size() > MaxLine)
            fail(result, QStringLiteral("part header too long"));
        return false;
    }
    const QByteArray line = takeLine(m_buffer, end);
    if (line.isEmpty()) {
        m_stage = Stage::Body;
        return true;
    }
    const qsizetype colon = line.indexOf(':');
    if (colon > 0 && line.left(colon).trimmed().toLower() == "content-length") {
        bool ok = false;
        m_length = line.mid(colon + 1).trimmed().toLongLong(&ok);
        if (!ok || m_length < 0 || m_length > MaxPart) {
            fail(result, QStringLiteral("part length %1 not acceptable").arg(QString::fromLatin1(line.mid(colon + 1))));
            return false;
        }
    }
    return true;
}

bool MjpegPartReader::readBody(Result &result)
{
    qsizetype length = m_length;
    if (length < 0) {
        length = jpegLength(m_buffer, m_scan);
        if (length < 0) {
            // Not a JPEG we can walk: the next delimiter ends it.
            const QByteArray ending = "\r\n" + m_delimiter;
            const qsizetype next = m_buffer.indexOf(ending, m_scan.delimiterFrom);
            if (next == 0) { // an empty part
                m_stage = Stage::Delimiter;
                return true;
            }
            // The delimiter may straddle the end of what arrived.
            m_scan.delimiterFrom = std::max<qsizetype>(0, m_buffer.size() - ending.size() + 1);
            length = std::max<qsizetype>(next, 0);
        }
        if (length == 0) {
            if (m_buffer.size() > MaxPart)
                fail(result, QStringLiteral("part over %1 bytes").arg(MaxPart));
            return false;
        }
    }
    if (m_buffer.size() < length)
        return false;
    if (length > 0) // a part declared empty holds no picture
        result.pictures.append(m_buffer.left(length));
    m_buffer.remove(0, length);
    m_stage = Stage::Delimiter;
    return true;
}
