#include "playback/LiveFragmentReader.h"

#include <QtEndian>
#include <optional>

namespace {

// A box inside `data`: its type and the range of its payload.
struct Box
{
    quint32 type = 0;
    qsizetype start = 0; // of the whole box
    qsizetype payload = 0; // offset of the payload
    qsizetype end = 0;
};

constexpr quint32 fourcc(const char (&name)[5])
{
    return quint32(uchar(name[0])) << 24 | quint32(uchar(name[1])) << 16 | quint32(uchar(name[2])) << 8
           | quint32(uchar(name[3]));
}

quint32 be32(const QByteArray &data, qsizetype at)
{
    return qFromBigEndian<quint32>(data.constData() + at);
}

quint64 be64(const QByteArray &data, qsizetype at)
{
    return qFromBigEndian<quint64>(data.constData() + at);
}

// The box at `at`, ending no later than `limit`; an error text when its header does not fit.
std::optional<Box> boxAt(const QByteArray &data, qsizetype at, qsizetype limit, QString &error)
{
    if (limit - at < 8) {
        error = QStringLiteral("truncated box header");
        return std::nullopt;
    }
    Box box{be32(data, at + 4), at, at + 8, 0};
    quint64 size = be32(data, at);
    if (size == 1) {
        if (limit - at < 16) {
            error = QStringLiteral("truncated box header");
            return std::nullopt;
        }
        size = be64(data, at + 8);
        box.payload = at + 16;
    }
    // Size 0 ("to the end of the file") has no meaning inside a stream of frames.
    if (size < quint64(box.payload - at) || size > quint64(limit - at)) {
        error = QStringLiteral("box size %1 does not fit").arg(size);
        return std::nullopt;
    }
    box.end = at + qsizetype(size);
    return box;
}

// The first child of type `type` inside `parent`'s payload (after `skip` header bytes).
std::optional<Box> child(const QByteArray &data, const Box &parent, quint32 type, QString &error, qsizetype skip = 0)
{
    qsizetype at = parent.payload + skip;
    while (at < parent.end) {
        const auto box = boxAt(data, at, parent.end, error);
        if (!box)
            return std::nullopt;
        if (box->type == type)
            return box;
        at = box->end;
    }
    return std::nullopt;
}

QList<Box> children(const QByteArray &data, const Box &parent, quint32 type, QString &error)
{
    QList<Box> found;
    for (qsizetype at = parent.payload; at < parent.end;) {
        const auto box = boxAt(data, at, parent.end, error);
        if (!box)
            return {};
        if (box->type == type)
            found.append(*box);
        at = box->end;
    }
    return found;
}

bool fits(const Box &box, qsizetype bytes)
{
    return box.end - box.payload >= bytes;
}

// A full box's version byte.
int version(const QByteArray &data, const Box &box)
{
    return uchar(data[box.payload]);
}

quint32 boxFlags(const QByteArray &data, const Box &box)
{
    return be32(data, box.payload) & 0xffffff;
}

// Bit 16 of the sample flags marks a non-sync sample (one that needs earlier pictures to decode).
bool isSync(quint32 sampleFlags)
{
    return !(sampleFlags & 0x10000);
}

// The track ID, media timescale and kind of one trak box.
QString readTrak(const QByteArray &data, const Box &trak, quint32 &id, quint32 &timescale, bool &video)
{
    QString error;
    const auto tkhd = child(data, trak, fourcc("tkhd"), error);
    const auto mdia = child(data, trak, fourcc("mdia"), error);
    if (!tkhd || !mdia)
        return error.isEmpty() ? QStringLiteral("trak without tkhd or mdia") : error;
    const auto mdhd = child(data, *mdia, fourcc("mdhd"), error);
    const auto hdlr = child(data, *mdia, fourcc("hdlr"), error);
    if (!mdhd || !hdlr)
        return error.isEmpty() ? QStringLiteral("mdia without mdhd or hdlr") : error;
    const bool longTkhd = fits(*tkhd, 1) && version(data, *tkhd) == 1;
    const bool longMdhd = fits(*mdhd, 1) && version(data, *mdhd) == 1;
    const qsizetype idAt = longTkhd ? 20 : 12;
    const qsizetype scaleAt = longMdhd ? 20 : 12;
    if (!fits(*tkhd, idAt + 4) || !fits(*mdhd, scaleAt + 4) || !fits(*hdlr, 12))
        return QStringLiteral("track header too short");
    id = be32(data, tkhd->payload + idAt);
    timescale = be32(data, mdhd->payload + scaleAt);
    video = be32(data, hdlr->payload + 8) == fourcc("vide");
    if (timescale == 0)
        return QStringLiteral("track %1 has no timescale").arg(id);
    return {};
}

} // namespace

LiveFragmentReader::Result LiveFragmentReader::read(const QByteArray &frame)
{
    Result result;
    QList<Box> boxes;
    for (qsizetype at = 0; at < frame.size();) {
        const auto box = boxAt(frame, at, frame.size(), result.error);
        if (!box)
            return result;
        boxes.append(*box);
        at = box->end;
    }
    QList<Track> tracks;
    const QList<Track> before = m_tracks;
    for (qsizetype i = 0; i < boxes.size() && result.error.isEmpty(); ++i) {
        const Box &box = boxes[i];
        const QByteArray bytes = frame.mid(box.start, box.end - box.start);
        if (box.type == fourcc("ftyp")) {
            result.init += bytes;
        } else if (box.type == fourcc("moov")) {
            result.error = readMoov(bytes, tracks);
            result.init += bytes;
            if (result.error.isEmpty())
                m_tracks = tracks; // the fragments behind it in this frame belong to it
        } else if (box.type == fourcc("moof")) {
            if (i + 1 >= boxes.size() || boxes[i + 1].type != fourcc("mdat")) {
                result.error = QStringLiteral("moof without its mdat");
                break;
            }
            LiveFragment fragment;
            result.error = readFragment(bytes, fragment);
            fragment.bytes = frame.mid(box.start, boxes[i + 1].end - box.start);
            result.fragments.append(fragment);
            ++i;
        }
        // Any other box (free, styp, sidx, prft) carries nothing the player needs.
    }
    if (!result.error.isEmpty()) {
        m_tracks = before;
        return Result{{}, {}, result.error};
    }
    return result;
}

QString LiveFragmentReader::readMoov(const QByteArray &moov, QList<Track> &tracks) const
{
    QString error;
    const auto root = boxAt(moov, 0, moov.size(), error);
    if (!root)
        return error;
    const QList<Box> traks = children(moov, *root, fourcc("trak"), error);
    for (const Box &trak : traks) {
        Track track;
        error = readTrak(moov, trak, track.id, track.timescale, track.video);
        if (!error.isEmpty())
            return error;
        tracks.append(track);
    }
    if (tracks.isEmpty())
        return error.isEmpty() ? QStringLiteral("moov without tracks") : error;
    const auto mvex = child(moov, *root, fourcc("mvex"), error);
    const QList<Box> trexes = mvex ? children(moov, *mvex, fourcc("trex"), error) : QList<Box>();
    for (const Box &trex : trexes) {
        if (!fits(trex, 24))
            return QStringLiteral("trex too short");
        for (Track &track : tracks)
            if (track.id == be32(moov, trex.payload + 4))
                track.defaultFlags = be32(moov, trex.payload + 20);
    }
    return error;
}

// tfhd: flags 0x01 base data offset (8 bytes), 0x02 sample description (4), 0x08 duration (4),
// 0x10 size (4), 0x20 sample flags (4). trun: 0x01 data offset, 0x04 first sample flags, then
// per sample 0x100 duration, 0x200 size, 0x400 flags.
QString LiveFragmentReader::readFragment(const QByteArray &moof, LiveFragment &fragment) const
{
    QString error;
    const auto root = boxAt(moof, 0, moof.size(), error);
    const auto traf = root ? child(moof, *root, fourcc("traf"), error) : std::nullopt;
    const auto tfhd = traf ? child(moof, *traf, fourcc("tfhd"), error) : std::nullopt;
    const auto tfdt = traf ? child(moof, *traf, fourcc("tfdt"), error) : std::nullopt;
    const auto trun = traf ? child(moof, *traf, fourcc("trun"), error) : std::nullopt;
    if (!tfhd || !tfdt || !trun)
        return error.isEmpty() ? QStringLiteral("moof without tfhd, tfdt or trun") : error;
    if (!fits(*tfhd, 8) || !fits(*tfdt, 8) || !fits(*trun, 8))
        return QStringLiteral("fragment header too short");
    fragment.track = be32(moof, tfhd->payload + 4);
    const Track *known = track(fragment.track);
    if (!known)
        return QStringLiteral("fragment of unknown track %1").arg(fragment.track);
    const bool longTime = version(moof, *tfdt) == 1;
    if (longTime && !fits(*tfdt, 12))
        return QStringLiteral("tfdt too short");
    const quint64 decodeTime = longTime ? be64(moof, tfdt->payload + 4) : be32(moof, tfdt->payload + 4);
    fragment.time = double(decodeTime) / known->timescale;
    fragment.video = known->video;

    quint32 flags = known->defaultFlags;
    const quint32 tfhdFlags = boxFlags(moof, *tfhd);
    qsizetype at = 8 + (tfhdFlags & 0x01 ? 8 : 0) + (tfhdFlags & 0x02 ? 4 : 0) + (tfhdFlags & 0x08 ? 4 : 0)
                   + (tfhdFlags & 0x10 ? 4 : 0);
    if (tfhdFlags & 0x20) {
        if (!fits(*tfhd, at + 4))
            return QStringLiteral("tfhd too short");
        flags = be32(moof, tfhd->payload + at);
    }
    const quint32 trunFlags = boxFlags(moof, *trun);
    at = 8 + (trunFlags & 0x01 ? 4 : 0);
    if (trunFlags & 0x04) {
        if (!fits(*trun, at + 4))
            return QStringLiteral("trun too short");
        flags = be32(moof, trun->payload + at);
    } else if ((trunFlags & 0x400) && be32(moof, trun->payload + 4) > 0) {
        at += (trunFlags & 0x100 ? 4 : 0) + (trunFlags & 0x200 ? 4 : 0);
        if (!fits(*trun, at + 4))
            return QStringLiteral("trun too short");
        flags = be32(moof, trun->payload + at);
    }
    fragment.sync = isSync(flags);
    return {};
}

const LiveFragmentReader::Track *LiveFragmentReader::track(quint32 id) const
{
    for (const Track &track : m_tracks)
        if (track.id == id)
            return &track;
    return nullptr;
}
