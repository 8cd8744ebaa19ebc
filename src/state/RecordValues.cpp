#include "state/RecordValues.h"

QVariantMap cameraValue(const CameraInfo &camera)
{
    return {
        {QStringLiteral("name"), camera.name},
        {QStringLiteral("friendlyName"), camera.friendlyName},
        {QStringLiteral("enabled"), camera.enabled},
        {QStringLiteral("recordEnabled"), camera.recordEnabled},
        {QStringLiteral("uiOrder"), camera.uiOrder},
        {QStringLiteral("mainStream"), camera.mainStream},
        {QStringLiteral("subStream"), camera.subStream.value_or(QString())},
        {QStringLiteral("annotationOffset"), camera.annotationOffset},
    };
}

QVariantMap groupValue(const CameraGroup &group)
{
    return {
        {QStringLiteral("name"), group.name},
        {QStringLiteral("cameras"), group.cameras},
        {QStringLiteral("order"), group.order},
    };
}

QVariantMap cameraStatsValue(const CameraStats &stats)
{
    return {
        {QStringLiteral("fps"), stats.fps},
        {QStringLiteral("detectionFps"), stats.detectionFps},
        {QStringLiteral("processFps"), stats.processFps},
        {QStringLiteral("skippedFps"), stats.skippedFps},
        {QStringLiteral("ffmpegCPU"), stats.ffmpegCPU},
        {QStringLiteral("reconnects"), stats.reconnects},
    };
}

QVariantMap statsValue(const StatsSnapshot &stats)
{
    QVariantMap cameras;
    for (auto it = stats.cameras.begin(); it != stats.cameras.end(); ++it)
        cameras.insert(it.key(), cameraStatsValue(it.value()));
    QVariantMap value{
        {QStringLiteral("cpu"), stats.cpu},
        {QStringLiteral("mem"), stats.mem},
        {QStringLiteral("diskUsedMB"), stats.diskUsedMB},
        {QStringLiteral("diskTotalMB"), stats.diskTotalMB},
        {QStringLiteral("uptime"), stats.uptime},
        {QStringLiteral("version"), stats.version},
        {QStringLiteral("inferenceMs"), stats.inferenceMs},
        {QStringLiteral("cameras"), cameras},
    };
    if (stats.diskFreeMB)
        value.insert(QStringLiteral("diskFreeMB"), *stats.diskFreeMB);
    return value;
}
