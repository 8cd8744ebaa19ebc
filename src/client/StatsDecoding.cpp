#include "client/JsonLookup.h"
#include "client/TextFormats.h"
#include "client/WireDecoding.h"

#include <cmath>

using namespace JsonLookup;

namespace {

// The recordings volume when the server reports it, else the largest volume it reports.
std::optional<QJsonObject> diskEntry(const QJsonObject &storage)
{
    const QJsonValue recordings = storage.value(u"/media/frigate/recordings");
    if (recordings.isObject())
        return recordings.toObject();
    std::optional<QJsonObject> best;
    double bestTotal = 0;
    for (const QJsonValue &value : storage) {
        if (!value.isObject())
            continue;
        const double total = numberValue(value.toObject().value(u"total"));
        if (!best || total > bestTotal) {
            best = value.toObject();
            bestTotal = total;
        }
    }
    return best;
}

// Absent unless the value is a number, or a text that reads as one.
std::optional<double> optionalNumber(const QJsonValue &value)
{
    if (value.isDouble())
        return value.toDouble();
    if (!value.isString())
        return std::nullopt;
    return parseCNumber(trimmedSpacesAndTabs(value.toString()));
}

double largestInferenceMs(const QJsonObject &detectors)
{
    std::optional<double> largest;
    for (const QJsonValue &value : detectors) {
        if (!value.isObject())
            continue;
        const double speed = numberValue(value.toObject().value(u"inference_speed"));
        if (!largest || speed > *largest)
            largest = speed;
    }
    return largest.value_or(0);
}

// The key of a process in "cpu_usages": its id as decimal text.
QString pidKey(const QJsonValue &pid)
{
    if (pid.isString())
        return pid.toString().trimmed();
    if (!pid.isDouble())
        return {};
    const double number = pid.toDouble();
    if (!std::isfinite(number) || number != std::trunc(number) || std::abs(number) > 0x1p53)
        return {};
    return QString::number(qint64(number));
}

// Servers up to 0.16 report no "ffmpeg_cpu"; they list the camera's ffmpeg process under its
// id among all processes instead.
double ffmpegCpu(const QJsonObject &camera, const QJsonObject &cpuUsages)
{
    if (camera.contains(u"ffmpeg_cpu"))
        return numberValue(camera.value(u"ffmpeg_cpu"));
    const QString pid = pidKey(camera.value(u"ffmpeg_pid"));
    if (pid.isEmpty())
        return 0;
    return numberValue(objectAt(cpuUsages, pid).value(u"cpu"));
}

CameraStats decodeCameraStats(const QJsonObject &camera, const QJsonObject &cpuUsages)
{
    CameraStats stats;
    stats.fps = numberValue(camera.value(u"camera_fps"));
    stats.detectionFps = numberValue(camera.value(u"detection_fps"));
    stats.processFps = numberValue(camera.value(u"process_fps"));
    stats.skippedFps = numberValue(camera.value(u"skipped_fps"));
    stats.ffmpegCPU = ffmpegCpu(camera, cpuUsages);
    stats.reconnects = numberValue(camera.value(u"reconnects_last_hour"));
    return stats;
}

} // namespace

StatsSnapshot decodeStats(const QJsonObject &stats)
{
    StatsSnapshot snapshot;
    const QJsonObject cpuUsages = objectAt(stats, u"cpu_usages");
    const QJsonObject system = objectAt(cpuUsages, u"frigate.full_system");
    snapshot.cpu = numberValue(system.value(u"cpu"));
    snapshot.mem = numberValue(system.value(u"mem"));

    const QJsonObject service = objectAt(stats, u"service");
    snapshot.uptime = numberValue(service.value(u"uptime"));
    snapshot.version = service.value(u"version").toString();
    if (const auto disk = diskEntry(objectAt(service, u"storage"))) {
        snapshot.diskUsedMB = numberValue(disk->value(u"used"));
        snapshot.diskTotalMB = numberValue(disk->value(u"total"));
        snapshot.diskFreeMB = optionalNumber(disk->value(u"free"));
    }
    snapshot.inferenceMs = largestInferenceMs(objectAt(stats, u"detectors"));

    const QJsonObject cameras = objectAt(stats, u"cameras");
    for (auto it = cameras.begin(); it != cameras.end(); ++it) {
        if (it.value().isObject())
            snapshot.cameras.insert(it.key(), decodeCameraStats(it.value().toObject(), cpuUsages));
    }
    return snapshot;
}
