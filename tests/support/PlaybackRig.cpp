#include "PlaybackRig.h"

#include "TaskRunner.h"

#include <QDateTime>
#include <cmath>

bool PlaybackRig::start(const FakeFrigateOptions &options)
{
    if (!server.start(options))
        return false;
    settings.username = options.auth ? options.user : QString();
    settings.internalURL = server.baseUrl();
    client = std::make_unique<FrigateClient>(settings.access(), &secrets, &trust);
    if (!runTask(client->findServer()))
        return false;
    return !runTask(client->signIn(options.password));
}

PlaybackItem PlaybackRig::recentItem(const QString &camera, int secondsAgo, int length)
{
    const qint64 start = QDateTime::currentSecsSinceEpoch() - secondsAgo;
    return PlaybackItem{camera, camera, double(start), double(start + length), std::nullopt};
}

PlaybackItem PlaybackRig::itemAtPhase(const QString &camera, int loopPhase, int length)
{
    qint64 start = QDateTime::currentSecsSinceEpoch() - 1200;
    start -= start % 60;
    start += loopPhase;
    return PlaybackItem{camera, camera, double(start), double(start + length), std::nullopt};
}

namespace FakeRecordings {

double origin(const QString &version, const PlaybackItem &item)
{
    const double start = std::floor(item.start);
    if (version != QLatin1String("0.14") && version != QLatin1String("0.15"))
        return start;
    // The file that ends exactly at the start still overlaps it (end_time >= after) and plays whole.
    const double file = std::floor(start / 10) * 10;
    return file == start ? start - 10 : file;
}

double framePts(double seconds)
{
    return std::floor(seconds * Fps + 1e-6) / Fps;
}

int frameNumberAt(const QString &version, const PlaybackItem &item, double pts)
{
    const qint64 frames = std::llround((origin(version, item) + pts) * Fps);
    return int(frames % LoopFrames);
}

}

int drawnFrameNumber(const QImage &picture)
{
    if (picture.isNull())
        return -1;
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    const int y = rgb.height() - 12;
    int number = 0;
    for (int bit = 0; bit < 10; ++bit) {
        const QRgb pixel = rgb.pixel(8 + bit * 12 + 4, y);
        if (qGray(pixel) > 128)
            number |= 1 << bit;
    }
    return number;
}
