#include "playback/LiveCodecs.h"

#include "playback/FFmpeg.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

enum class Track { Video, Audio };

struct CodecToken
{
    const char *token;
    bool LiveDecoders::*decoder;
};

// go2rtc 1.9 matches only avc1.640029, hvc1.1.6.L153.B0, mp4a.40.2, flac and opus; the other
// tokens are what a browser would also announce and cost nothing.
constexpr CodecToken Offered[] = {
    {"avc1.640029", &LiveDecoders::h264}, {"avc1.64002A", &LiveDecoders::h264},
    {"avc1.640033", &LiveDecoders::h264}, {"avc1.4D401F", &LiveDecoders::h264},
    {"avc1.42E01E", &LiveDecoders::h264}, {"hvc1.1.6.L153.B0", &LiveDecoders::hevc},
    {"mp4a.40.2", &LiveDecoders::aac},    {"mp4a.40.5", &LiveDecoders::aac},
    {"flac", &LiveDecoders::flac},        {"opus", &LiveDecoders::opus},
};

struct CodecFamily
{
    const char *prefix; // a token equal to it, or starting with it and a dot
    Track track;
    bool LiveDecoders::*decoder;
};

constexpr CodecFamily Families[] = {
    {"avc1", Track::Video, &LiveDecoders::h264}, {"avc3", Track::Video, &LiveDecoders::h264},
    {"hvc1", Track::Video, &LiveDecoders::hevc}, {"hev1", Track::Video, &LiveDecoders::hevc},
    {"mp4a", Track::Audio, &LiveDecoders::aac},  {"flac", Track::Audio, &LiveDecoders::flac},
    {"opus", Track::Audio, &LiveDecoders::opus},
};

const CodecFamily *familyOf(const QString &token)
{
    for (const CodecFamily &family : Families) {
        const QLatin1String prefix(family.prefix);
        if (token.compare(prefix, Qt::CaseInsensitive) == 0
            || (token.startsWith(prefix, Qt::CaseInsensitive) && token.mid(prefix.size()).startsWith(QLatin1Char('.'))))
            return &family;
    }
    return nullptr;
}

QStringList codecTokens(const QString &mimeType)
{
    static const QRegularExpression form(QStringLiteral(R"re(^\s*video/mp4\s*;\s*codecs\s*=\s*"([^"]*)"\s*$)re"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(mimeType);
    if (!match.hasMatch())
        return {};
    QStringList tokens = match.captured(1).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString &token : tokens)
        token = token.trimmed();
    return tokens;
}

} // namespace

LiveDecoders LiveDecoders::available()
{
    const auto has = [](AVCodecID id) { return avcodec_find_decoder(id) != nullptr; };
    return {has(AV_CODEC_ID_H264), has(AV_CODEC_ID_HEVC), has(AV_CODEC_ID_AAC), has(AV_CODEC_ID_FLAC),
            has(AV_CODEC_ID_OPUS)};
}

namespace LiveCodecs {

QString offered(const LiveDecoders &decoders)
{
    QStringList tokens;
    for (const CodecToken &codec : Offered) {
        if (decoders.*codec.decoder)
            tokens << QLatin1String(codec.token);
    }
    return tokens.join(QLatin1Char(','));
}

bool playable(const QString &mimeType, const LiveDecoders &decoders)
{
    bool video = false;
    for (const QString &token : codecTokens(mimeType)) {
        const CodecFamily *family = familyOf(token);
        if (!family || !(decoders.*family->decoder))
            return false;
        video = video || family->track == Track::Video;
    }
    return video;
}

} // namespace LiveCodecs
