#include "TestMedia.h"
#include "playback/ByteQueue.h"
#include "playback/LiveFragmentReader.h"
#include "playback/LiveIntake.h"
#include "playback/LivePlayer.h"
#include "playback/MjpegPartReader.h"

#include <QImage>
#include <QSignalSpy>
#include <QtEndian>
#include <QtTest>

namespace {

QByteArray be(quint64 value, int bytes)
{
    QByteArray out(bytes, 0);
    for (int i = 0; i < bytes; ++i)
        out[bytes - 1 - i] = char(value >> (8 * i));
    return out;
}

QByteArray box(const char *type, const QByteArray &payload)
{
    return be(8 + payload.size(), 4) + type + payload;
}

QByteArray fullBox(const char *type, int version, quint32 flags, const QByteArray &payload)
{
    return box(type, be(quint32(version) << 24 | flags, 4) + payload);
}

QByteArray trak(quint32 id, quint32 timescale, const char *handler)
{
    const QByteArray tkhd = fullBox("tkhd", 0, 7, be(0, 8) + be(id, 4) + QByteArray(68, 0));
    const QByteArray mdhd = fullBox("mdhd", 0, 0, be(0, 8) + be(timescale, 4) + be(0, 8));
    const QByteArray hdlr = fullBox("hdlr", 0, 0, be(0, 4) + handler + QByteArray(13, 0));
    return box("trak", tkhd + box("mdia", mdhd + hdlr));
}

// Track 1 video at 90 kHz, track 2 sound at 48 kHz; samples are not sync samples by default.
QByteArray initSegment()
{
    const QByteArray trex1 = fullBox("trex", 0, 0, be(1, 4) + be(1, 4) + be(0, 8) + be(0x10000, 4));
    const QByteArray trex2 = fullBox("trex", 0, 0, be(2, 4) + be(1, 4) + be(0, 8) + be(0x10000, 4));
    return box("ftyp", "iso5" + be(512, 4) + "iso5iso6mp41")
           + box("moov", trak(1, 90000, "vide") + trak(2, 48000, "soun") + box("mvex", trex1 + trex2));
}

// One sample as the relay writes it (duration, size and flags as the tfhd's defaults), or with its
// flags in the trun's first-sample field as other muxers do.
QByteArray fragment(quint32 track, double seconds, bool sync, int size = 16, bool flagsInTrun = false)
{
    const quint64 ticks = quint64(seconds * (track == 1 ? 90000 : 48000) + 0.5);
    const QByteArray flags = be(sync ? 0x2000000 : 0x1010000, 4);
    const QByteArray tfhd = flagsInTrun ? fullBox("tfhd", 0, 0x20000, be(track, 4))
                                        : fullBox("tfhd", 0, 0x20038, be(track, 4) + be(3000, 4) + be(size, 4) + flags);
    const QByteArray trun = flagsInTrun ? fullBox("trun", 0, 0x205, be(1, 4) + be(0, 4) + flags + be(size, 4))
                                        : fullBox("trun", 0, 0x1, be(1, 4) + be(0, 4));
    const QByteArray traf = box("traf", tfhd + fullBox("tfdt", 1, 0, be(ticks, 8)) + trun);
    return box("moof", fullBox("mfhd", 0, 0, be(1, 4)) + traf) + box("mdat", QByteArray(size, 0));
}

struct Piece
{
    quint32 track;
    double seconds;
    bool sync;
    int size;
};

// ffmpeg's fragmented MP4 with one sample per moof+mdat, as the relay writes it, cut into its
// top-level boxes.
QList<QByteArray> relayBoxes(const QString &codec, const QString &sound, int seconds)
{
    const QByteArray file =
        TestMedia::testPicture(seconds, sound,
                               {"-c:v", codec, "-preset", "ultrafast", "-bf", "0", "-g", "15", "-movflags",
                                "frag_every_frame+empty_moov+default_base_moof", "-f", "mp4"});
    QList<QByteArray> boxes;
    for (qsizetype at = 0; at + 8 <= file.size();) {
        const qsizetype size = qFromBigEndian<quint32>(file.constData() + at);
        boxes.append(file.mid(at, size));
        at += std::max<qsizetype>(size, 8);
    }
    return boxes;
}

QByteArray jpeg(Qt::GlobalColor colour)
{
    return TestMedia::stillPicture(colour, {64, 48}, "JPEG");
}

} // namespace

Q_DECLARE_METATYPE(QList<Piece>)

class TestLivePlayer : public QObject
{
    Q_OBJECT
private slots:
    void fragmentReader_data();
    void fragmentReader();
    void partReader_data();
    void partReader();
    void queueBounds_data();
    void queueBounds();
    void picturesArrive_data();
    void picturesArrive();
    void keepsToLiveEdge();
    void jpegPicturesShow();
};

void TestLivePlayer::fragmentReader_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("init");
    QTest::addColumn<QList<double>>("times");
    QTest::addColumn<QList<bool>>("syncs");
    QTest::addColumn<bool>("error");

    const QByteArray init = initSegment();
    const QByteArray pairs = fragment(1, 2.0, true) + fragment(2, 2.5, false) + fragment(1, 2.1, false);
    QTest::newRow("init alone") << init << true << QList<double>{} << QList<bool>{} << false;
    QTest::newRow("init and pairs in one frame")
        << init + pairs << true << QList<double>{2.0, 2.5, 2.1} << QList<bool>{true, false, false} << false;
    QTest::newRow("flags in the trun") << init + fragment(1, 3, false, 16, true) + fragment(1, 4, true, 16, true)
                                       << true << QList<double>{3, 4} << QList<bool>{false, true} << false;
    QTest::newRow("unknown box skipped") << init + box("free", "xyz") + fragment(1, 1, true) << true
                                         << QList<double>{1.0} << QList<bool>{true} << false;
    QTest::newRow("truncated box") << init + pairs.chopped(1) << false << QList<double>{} << QList<bool>{} << true;
    QTest::newRow("box size 0") << init + be(0, 4) + "moof" + be(0, 8) << false << QList<double>{} << QList<bool>{}
                                << true;
    QTest::newRow("box size past the frame")
        << init + be(0xfffffff0, 4) + "mdat" << false << QList<double>{} << QList<bool>{} << true;
    QTest::newRow("64-bit size past the frame")
        << init + be(1, 4) + "mdat" + be(~0ULL, 8) << false << QList<double>{} << QList<bool>{} << true;
    QTest::newRow("moof without mdat") << init + fragment(1, 0, true).chopped(24) << false << QList<double>{}
                                       << QList<bool>{} << true;
    QTest::newRow("fragment before init") << fragment(1, 0, true) << false << QList<double>{} << QList<bool>{} << true;
}

void TestLivePlayer::fragmentReader()
{
    QFETCH(QByteArray, frame);
    LiveFragmentReader reader;
    const LiveFragmentReader::Result result = reader.read(frame);
    QTEST(!result.error.isEmpty(), "error");
    QTEST(!result.init.isEmpty(), "init");
    QList<double> times;
    QList<bool> syncs;
    for (const LiveFragment &fragment : result.fragments) {
        times.append(fragment.time);
        syncs.append(fragment.sync);
        QCOMPARE(fragment.video, fragment.track == 1);
    }
    QTEST(times, "times");
    QTEST(syncs, "syncs");
}

void TestLivePlayer::partReader_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("pictures");
    QTest::addColumn<bool>("error");

    const QByteArray part = "--frame\r\nContent-Type: image/jpeg\r\n\r\n";
    const QByteArray three =
        part + jpeg(Qt::red) + "\r\n\r\n" + part + jpeg(Qt::green) + "\r\n\r\n" + part + jpeg(Qt::blue) + "\r\n\r\n";
    QTest::newRow("server parts") << three << 3 << false;
    QTest::newRow("garbage before the first boundary") << "preamble\r\nmore\r\n" + three << 3 << false;
    const QByteArray blob = "not a jpeg at all";
    QTest::newRow("length given, not a jpeg")
        << "--x\r\nContent-Length: " + QByteArray::number(blob.size()) + "\r\n\r\n" + blob + "\r\n--x\r\n"
        << 1 << false;
    QTest::newRow("no length, not a jpeg: the delimiter ends it")
        << "--x\r\n\r\n" + blob + "\r\n--x\r\n\r\n" + blob + "\r\n--x\r\n" << 2 << false;
    QTest::newRow("length over the bound") << QByteArray("--frame\r\nContent-Length: 9000000\r\n\r\n") << 0 << true;
    QTest::newRow("endless part") << part + "\xff\xd8" + QByteArray(MjpegPartReader::MaxPart, 'a') << 0 << true;
}

void TestLivePlayer::partReader()
{
    QFETCH(QByteArray, body);
    QFETCH(int, pictures);
    QFETCH(bool, error);
    // Every cut into two slices gives the same pictures as the whole body.
    const int step = body.size() > 100000 ? body.size() / 3 : 1;
    for (qsizetype cut = 0; cut <= body.size(); cut += step) {
        MjpegPartReader reader;
        const auto first = reader.read(body.left(cut));
        const auto second = reader.read(body.mid(cut));
        QCOMPARE(first.pictures.size() + second.pictures.size(), pictures);
        QCOMPARE(!second.error.isEmpty(), error);
        const QList<QByteArray> all = first.pictures + second.pictures;
        for (const QByteArray &picture : all)
            QVERIFY2(body.contains("\n" + picture + "\r\n"), "a picture is cut short or runs into the delimiter");
    }
}

void TestLivePlayer::queueBounds_data()
{
    QTest::addColumn<QList<Piece>>("pieces");
    QTest::addColumn<int>("readFirst");
    QTest::addColumn<QList<double>>("queued");

    const int mib = 1 << 20;
    const QList<Piece> overflow{{1, 0, true, mib},   {1, 1, false, mib},   {1, 2, false, mib}, {1, 3, false, mib},
                                {1, 4, false, 1000}, {2, 4.5, false, 100}, {1, 5, true, 1000}, {1, 6, false, 1000}};
    QTest::newRow("over 4 MiB, nothing read") << overflow << 0 << QList<double>{4.5, 5, 6};
    // The fragment being read stays whole; it is the first piece left (time 0).
    QTest::newRow("over 4 MiB, first fragment begun") << overflow << 10 << QList<double>{0, 4.5, 5, 6};
    QList<Piece> long45;
    QList<double> last;
    for (int second = 0; second < 45; ++second)
        long45.append({1, double(second), second % 5 == 0, 100});
    for (int second = 25; second < 45; ++second)
        last.append(second);
    QTest::newRow("over 30 s keeps 10 s from a key frame") << long45 << 0 << last;
}

void TestLivePlayer::queueBounds()
{
    QFETCH(QList<Piece>, pieces);
    QFETCH(int, readFirst);
    auto queue = std::make_shared<ByteQueue>();
    LiveIntake intake(LiveIntake::Kind::Mp4, queue);
    QVERIFY(intake.push(initSegment()).isEmpty());
    QVERIFY(intake.push(fragment(pieces[0].track, pieces[0].seconds, pieces[0].sync, pieces[0].size)).isEmpty());
    QByteArray head(initSegment().size() + readFirst, 0);
    if (readFirst > 0)
        QCOMPARE(queue->read(head.data(), int(head.size())), head.size());
    for (const Piece &piece : pieces.mid(1))
        QVERIFY(intake.push(fragment(piece.track, piece.seconds, piece.sync, piece.size)).isEmpty());

    queue->finish();
    LiveFragmentReader reader;
    QList<double> queued;
    if (readFirst == 0)
        QVERIFY(!reader.read(*queue->take()).init.isEmpty());
    else
        reader.read(initSegment());
    while (const auto piece = queue->take()) {
        const QByteArray whole = queued.isEmpty() && readFirst > 0 ? head.right(readFirst) + *piece : *piece;
        const auto read = reader.read(whole);
        QVERIFY2(read.error.isEmpty(), qPrintable(read.error));
        for (const LiveFragment &fragment : read.fragments)
            queued.append(fragment.time);
    }
    QTEST(queued, "queued");
}

void TestLivePlayer::picturesArrive_data()
{
    QTest::addColumn<QString>("codec");
    QTest::addColumn<QString>("sound");
    QTest::newRow("H.264 and AAC") << "libx264"
                                   << "aac";
    QTest::newRow("H.264 and Opus") << "libx264"
                                    << "libopus";
    QTest::newRow("H.265") << "libx265"
                           << "";
}

// The first picture needs nothing past the first video fragment: the demuxer and the decoder
// hand it over without waiting for more.
void TestLivePlayer::picturesArrive()
{
    QFETCH(QString, codec);
    QFETCH(QString, sound);
    const QList<QByteArray> boxes = relayBoxes(codec, sound, 2);
    QVERIFY(boxes.size() > 10);
    LivePlayer player;
    QSignalSpy presented(&player, &LivePlayer::framePresented);
    QSignalSpy playing(&player, &LivePlayer::playing);
    QSignalSpy waiting(&player, &LivePlayer::waiting);
    QSignalSpy failed(&player, &LivePlayer::failed);
    player.begin(LivePlayer::Feed::FragmentedMp4);
    player.push(boxes[0] + boxes[1]);
    qsizetype at = 2;
    for (bool video = false; !video && at + 1 < boxes.size(); at += 2) {
        video = boxes[at + 1].size() > 1000; // a key frame; AAC frames are a few hundred bytes
        player.push(boxes[at] + boxes[at + 1]);
    }
    QTRY_COMPARE(presented.size(), 1);
    QCOMPARE(playing.size(), 1);
    QCOMPARE(presented[0][0].toDouble(), 0.0);
    QCOMPARE(player.presentationSize(), QSizeF(320, 240));
    // The rest in frames of several pairs each.
    for (; at < boxes.size(); at += 6)
        player.push(boxes.mid(at, 6).join());
    QTRY_VERIFY(presented.last()[0].toDouble() > 1.8);
    QVERIFY(failed.isEmpty());
    QCOMPARE(player.shownImage().size(), QSize(320, 240));
    // The stream stops: the clock catches up with the last picture and the player waits.
    QTRY_COMPARE(waiting.size(), 1);
    QCOMPARE(playing.size(), 1);
}

// Five seconds arriving at once put the picture 2.5 s or more behind the newest one: the clock
// jumps to half a second before it and the pictures in between are never shown.
void TestLivePlayer::keepsToLiveEdge()
{
    const QList<QByteArray> boxes = relayBoxes(QStringLiteral("libx264"), {}, 5);
    LivePlayer player;
    QSignalSpy presented(&player, &LivePlayer::framePresented);
    player.begin(LivePlayer::Feed::FragmentedMp4);
    player.push(boxes.join());
    QTRY_VERIFY(!presented.isEmpty() && presented.last()[0].toDouble() >= 4.4);
    QVERIFY2(presented.size() < 15, qPrintable(QString::number(presented.size())));
}

// JPEGs show as they come; a new stream keeps the old picture until its own first one.
void TestLivePlayer::jpegPicturesShow()
{
    const QList<QByteArray> boxes = relayBoxes(QStringLiteral("libx264"), {}, 1);
    LivePlayer player;
    player.begin(LivePlayer::Feed::FragmentedMp4);
    player.push(boxes.join());
    QTRY_COMPARE(player.presentationSize(), QSizeF(320, 240));
    player.begin(LivePlayer::Feed::MultipartJpeg);
    QCOMPARE(player.presentationSize(), QSizeF(320, 240));
    player.push("--frame\r\nContent-Type: image/jpeg\r\n\r\n" + jpeg(Qt::blue).left(100));
    player.push(jpeg(Qt::blue).mid(100) + "\r\n\r\n");
    QTRY_COMPARE(player.presentationSize(), QSizeF(64, 48));
    QCOMPARE(QColor(player.shownImage().pixel(32, 24)).blue() > 200, true);

    // Bytes that are no stream fail it; the picture stays.
    QSignalSpy failed(&player, &LivePlayer::failed);
    player.begin(LivePlayer::Feed::FragmentedMp4);
    player.push("<html>502 Bad Gateway</html>");
    QCOMPARE(failed.size(), 1);
    QVERIFY(player.hasPicture());
}

QTEST_MAIN(TestLivePlayer)
#include "tst_liveplayer.moc"
