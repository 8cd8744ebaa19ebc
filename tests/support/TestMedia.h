#pragma once
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QProcess>
#include <QStringList>

// Recordings made by ffmpeg inside a test, and ways to damage them.
namespace TestMedia {

constexpr int VideoPid = 0x100; // the PIDs ffmpeg's MPEG-TS muxer gives the first two streams
constexpr int AudioPid = 0x101;

// What ffmpeg writes to its standard output: `seconds` of a test picture, 320 x 240 at 15 fps,
// with a 440 Hz mono tone in `audioCodec` when one is named, encoded as `output` asks.
inline QByteArray testPicture(int seconds, const QString &audioCodec, const QStringList &output)
{
    QStringList arguments{"-loglevel", "error", "-f", "lavfi", "-i", "testsrc2=size=320x240:rate=15"};
    if (!audioCodec.isEmpty())
        arguments += {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000", "-c:a", audioCodec, "-ac", "1"};
    arguments += {"-t", QString::number(seconds)};
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), arguments + output + QStringList{"-"});
    ffmpeg.waitForFinished(60000);
    return ffmpeg.readAllStandardOutput();
}

// Three seconds of the test picture with a key frame every second and the sample aspect ratio
// given, as MPEG-TS; with `sound`, the tone in AAC too.
inline QByteArray encodedVideo(const QString &sampleAspect, bool sound = false)
{
    return testPicture(3, sound ? QStringLiteral("aac") : QString(),
                       {"-vf", "setsar=" + sampleAspect, "-c:v", "libx264", "-preset", "ultrafast", "-g", "15", "-f",
                        "mpegts"});
}

// A picture of one colour, encoded in `format` ("PNG", "JPEG") as a server would send it.
inline QByteArray stillPicture(QColor colour, QSize size, const char *format)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// Overwrites the payload of one stream's packets between two shares of the file, keeping the
// transport and PES headers, so that the stream still reads but does not decode.
inline QByteArray damaged(QByteArray ts, int pid, double from, double to)
{
    const qsizetype packets = ts.size() / 188;
    for (qsizetype at = qsizetype(packets * from) * 188; at < qsizetype(packets * to) * 188; at += 188) {
        auto *packet = reinterpret_cast<uchar *>(ts.data() + at);
        if ((((packet[1] & 0x1f) << 8) | packet[2]) != pid)
            continue;
        int payload = 4 + ((packet[3] & 0x20) ? 1 + packet[4] : 0);
        if ((packet[1] & 0x40) && payload + 9 < 188)
            payload += 9 + packet[payload + 8];
        for (int i = payload + 8; i < 188; ++i)
            packet[i] = uchar(i * 37);
    }
    return ts;
}

inline QByteArray mediaPlaylist(const QByteArray &segment)
{
    return "#EXTM3U\n#EXT-X-TARGETDURATION:3\n#EXTINF:3.000,\n" + segment + "\n#EXT-X-ENDLIST\n";
}

} // namespace TestMedia
