#include "playback/HlsPlaylist.h"
#include "playback/PlaybackError.h"

#include <QTest>

using Kind = HlsPlaylist::Kind;

namespace {

const QUrl Master(QStringLiteral("https://nvr.local:8971/vod/front_door/start/1718096400/end/1718096435/master.m3u8"));

QByteArray lines(std::initializer_list<const char *> text)
{
    QByteArray joined;
    for (const char *line : text)
        joined += QByteArray(line) + '\n';
    return joined;
}

const QByteArray TsIndex = lines({"#EXTM3U", "#EXT-X-TARGETDURATION:10", "#EXT-X-ALLOW-CACHE:YES",
                                  "#EXT-X-PLAYLIST-TYPE:VOD", "#EXT-X-VERSION:3", "#EXT-X-MEDIA-SEQUENCE:1",
                                  "#EXTINF:10.000,", "seg-1-v1-a1.ts", "#EXTINF:9.967,", "seg-2-v1-a1.ts",
                                  "#EXTINF:4.133,", "seg-3-v1-a1.ts", "#EXT-X-ENDLIST"});

const QByteArray Fmp4Index = lines({"#EXTM3U", "#EXT-X-TARGETDURATION:10", "#EXT-X-ALLOW-CACHE:YES",
                                    "#EXT-X-PLAYLIST-TYPE:VOD", "#EXT-X-VERSION:6", "#EXT-X-MEDIA-SEQUENCE:1",
                                    "#EXT-X-MAP:URI=\"init-v1-a1.mp4\"", "#EXTINF:10.000,", "seg-1-v1-a1.m4s",
                                    "#EXTINF:2.000,", "seg-2-v1-a1.m4s", "#EXT-X-ENDLIST"});

QUrl at(const QString &name)
{
    return Master.resolved(QUrl(name));
}

}

class TestHlsPlaylist : public QObject
{
    Q_OBJECT
private slots:
    void masterPlaylists_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QUrl>("location");
        QTest::addColumn<QUrl>("variant");

        const QByteArray withAudio = lines({"#EXTM3U",
            "#EXT-X-STREAM-INF:PROGRAM-ID=1,BANDWIDTH=2183521,RESOLUTION=1920x1080,FRAME-RATE=15.000,CODECS=\"avc1.640028,mp4a.40.2\"",
            "index-v1-a1.m3u8"});
        QTest::newRow("H.264 with AAC") << withAudio << Master << at(QStringLiteral("index-v1-a1.m3u8"));
        QTest::newRow("I-frame line first")
            << lines({"#EXTM3U", "#EXT-X-I-FRAME-STREAM-INF:BANDWIDTH=218352,URI=\"iframes-v1.m3u8\"",
                      "#EXT-X-STREAM-INF:BANDWIDTH=600000,CODECS=\"avc1.640028\"", "index-v1.m3u8"})
            << Master << at(QStringLiteral("index-v1.m3u8"));
        QTest::newRow("CRLF and a byte order mark")
            << QByteArray("\xEF\xBB\xBF#EXTM3U\r\n#EXT-X-STREAM-INF:BANDWIDTH=1\r\n\r\nindex-v1.m3u8\r\n")
            << Master << at(QStringLiteral("index-v1.m3u8"));
        const QUrl withQuery(Master.toString() + QStringLiteral("?camera_token=abc%2Fdef"));
        QTest::newRow("query carried over") << withAudio << withQuery
            << QUrl(at(QStringLiteral("index-v1-a1.m3u8")).toString() + QStringLiteral("?camera_token=abc%2Fdef"));
        QTest::newRow("absolute variant")
            << lines({"#EXTM3U", "#EXT-X-STREAM-INF:BANDWIDTH=1", "https://other:8971/vod/x/index.m3u8"})
            << Master << QUrl(QStringLiteral("https://other:8971/vod/x/index.m3u8"));
    }
    void masterPlaylists()
    {
        QFETCH(QByteArray, text);
        QFETCH(QUrl, location);
        QFETCH(QUrl, variant);
        const HlsPlaylist parsed = HlsPlaylist::parse(text, location);
        QCOMPARE(parsed.kind, Kind::Master);
        QCOMPARE(parsed.variant, variant);
    }

    void mediaPlaylists_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QUrl>("location");
        QTest::addColumn<QList<HlsSegment>>("segments");
        QTest::addColumn<QUrl>("init");

        const QUrl index = at(QStringLiteral("index-v1-a1.m3u8"));
        QTest::newRow("TS with accurate durations") << TsIndex << index
            << QList<HlsSegment>{{at(QStringLiteral("seg-1-v1-a1.ts")), 0, 10},
                                 {at(QStringLiteral("seg-2-v1-a1.ts")), 10, 9.967},
                                 {at(QStringLiteral("seg-3-v1-a1.ts")), 19.967, 4.133}}
            << QUrl();
        QTest::newRow("fMP4 with its init section") << Fmp4Index << index
            << QList<HlsSegment>{{at(QStringLiteral("seg-1-v1-a1.m4s")), 0, 10},
                                 {at(QStringLiteral("seg-2-v1-a1.m4s")), 10, 2}}
            << at(QStringLiteral("init-v1-a1.mp4"));
        const QString query = QStringLiteral("?token=t1");
        QTest::newRow("query carried to segments and init") << Fmp4Index << QUrl(index.toString() + query)
            << QList<HlsSegment>{{QUrl(at(QStringLiteral("seg-1-v1-a1.m4s")).toString() + query), 0, 10},
                                 {QUrl(at(QStringLiteral("seg-2-v1-a1.m4s")).toString() + query), 10, 2}}
            << QUrl(at(QStringLiteral("init-v1-a1.mp4")).toString() + query);
        QTest::newRow("title after the duration and no end tag")
            << lines({"#EXTM3U", "#EXTINF:6.5,first part", "a.ts", "#EXT-X-DISCONTINUITY", "#EXTINF:3,", "b.ts"})
            << index
            << QList<HlsSegment>{{at(QStringLiteral("a.ts")), 0, 6.5}, {at(QStringLiteral("b.ts")), 6.5, 3}} << QUrl();
    }
    void mediaPlaylists()
    {
        QFETCH(QByteArray, text);
        QFETCH(QUrl, location);
        QFETCH(QList<HlsSegment>, segments);
        QFETCH(QUrl, init);
        const HlsPlaylist parsed = HlsPlaylist::parse(text, location);
        QCOMPARE(parsed.kind, Kind::Media);
        QCOMPARE(parsed.media.segments.size(), segments.size());
        for (int i = 0; i < segments.size(); ++i) {
            QCOMPARE(parsed.media.segments[i].url, segments[i].url);
            QVERIFY(qFuzzyCompare(1 + parsed.media.segments[i].start, 1 + segments[i].start));
            QVERIFY(qFuzzyCompare(parsed.media.segments[i].duration, segments[i].duration));
        }
        QCOMPARE(parsed.media.initSection.value_or(QUrl()), init);
        QCOMPARE(parsed.media.fragmentedMp4(), !init.isEmpty());
    }

    void segmentLookup_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("segment");
        QTest::newRow("before the start") << -3.0 << 0;
        QTest::newRow("inside the first") << 9.999 << 0;
        QTest::newRow("boundary belongs to the next") << 10.0 << 1;
        QTest::newRow("past the end") << 99.0 << 2;
    }
    void segmentLookup()
    {
        QFETCH(double, seconds);
        QFETCH(int, segment);
        const HlsPlaylist parsed = HlsPlaylist::parse(TsIndex, Master);
        QCOMPARE(parsed.media.segmentAt(seconds), segment);
        QVERIFY(qFuzzyCompare(parsed.media.duration(), 24.1));
    }

    void refusals_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("message");
        const QString notPlaylist = PlaybackError::notPlaylist();
        QTest::newRow("nginx error page") << QByteArray("<html><head><title>502 Bad Gateway</title></head></html>")
                                          << notPlaylist;
        QTest::newRow("empty body") << QByteArray() << notPlaylist;
        QTest::newRow("master without a URI") << lines({"#EXTM3U", "#EXT-X-STREAM-INF:BANDWIDTH=1"}) << notPlaylist;
        QTest::newRow("no segments") << lines({"#EXTM3U", "#EXT-X-TARGETDURATION:10", "#EXT-X-ENDLIST"})
                                     << PlaybackError::emptyPlaylist();
        QTest::newRow("bad duration") << lines({"#EXTM3U", "#EXTINF:ten,", "a.ts"}) << notPlaylist;
        QTest::newRow("byte ranges") << lines({"#EXTM3U", "#EXTINF:10,", "#EXT-X-BYTERANGE:1000@0", "a.ts"})
                                     << notPlaylist;
        QTest::newRow("map without URI") << lines({"#EXTM3U", "#EXT-X-MAP:BYTERANGE=\"100@0\"", "#EXTINF:10,", "a.m4s"})
                                         << notPlaylist;
    }
    void refusals()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, message);
        const HlsPlaylist parsed = HlsPlaylist::parse(text, Master);
        QCOMPARE(parsed.kind, Kind::Invalid);
        QCOMPARE(parsed.error, message);
    }
};

QTEST_GUILESS_MAIN(TestHlsPlaylist)
#include "tst_hlsplaylist.moc"
