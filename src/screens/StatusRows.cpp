#include "screens/StatusRows.h"

#include "client/TextFormats.h"
#include "screens/ReviewRows.h"

#include <QCoreApplication>
#include <QLocale>

namespace {

// The theme's online green and error red (Theme.qml), for rows built here.
const QColor OnlineColor(60, 255, 140);
const QColor OfflineColor(229, 72, 77);
const QColor AlertEventColor(242, 107, 29);
const QColor OtherEventColor(242, 167, 29);

// Figures in the user's language (a decimal comma in Italian), with the digits the row shows.
QString figure(double value, int decimals)
{
    return QLocale().toString(value, 'f', decimals);
}

} // namespace

LogRow eventRow(const ReviewItem &item, const QList<CameraInfo> &cameras, const QDateTime &now)
{
    const double nowSeconds = now.toMSecsSinceEpoch() / 1000.0;
    const double length = std::max(0.0, item.end_time.value_or(nowSeconds) - item.start_time);
    LogRow row;
    row.key = item.id;
    row.icon = QStringLiteral("bolt.fill");
    row.iconColor = item.severity == QLatin1String("alert") ? AlertEventColor : OtherEventColor;
    row.title = displayCameraName(cameras, item.camera);
    row.subtitle = objectSummary(item).toUpper() + QStringLiteral(" · ") + durationText(length);
    row.time = mediumDateTimeFormat(QDateTime::fromMSecsSinceEpoch(qint64(item.start_time * 1000)));
    if (!item.has_been_reviewed)
        row.trailing = QCoreApplication::translate("StatusView", "new");
    return row;
}

bool eventMatches(const ReviewItem &item, const QList<CameraInfo> &cameras, const QString &filter)
{
    return displayCameraName(cameras, item.camera).toLower().contains(filter)
        || objectSummary(item).toLower().contains(filter);
}

LogRow serverSummaryRow(const std::optional<StatsSnapshot> &stats)
{
    const StatsSnapshot shown = stats.value_or(StatsSnapshot{});
    const double disk = shown.diskTotalMB > 0 ? shown.diskUsedMB / shown.diskTotalMB * 100 : 0;
    LogRow row;
    row.key = QStringLiteral("server");
    row.icon = QStringLiteral("server.rack");
    row.iconColor = OnlineColor;
    row.title = QStringLiteral("Frigate ") + shown.version;
    //: riepilogo server
    row.subtitle = QCoreApplication::translate("StatusView", "CPU %1% · RAM %2% · detector %3 ms · disk %4%")
                       .arg(figure(shown.cpu, 0), figure(shown.mem, 0), figure(shown.inferenceMs, 0), figure(disk, 0));
    row.time = QCoreApplication::translate("StatusView", "uptime %1").arg(uptimeText(shown.uptime));
    return row;
}

LogRow cameraRow(const CameraInfo &camera, const std::optional<StatsSnapshot> &stats)
{
    std::optional<CameraStats> entry;
    if (stats && stats->cameras.contains(camera.name))
        entry = stats->cameras.value(camera.name);
    const CameraStats shown = entry.value_or(CameraStats{});
    const bool online = entry && shown.fps > 0;
    LogRow row;
    row.key = QStringLiteral("camera:") + camera.name;
    row.icon = online ? QStringLiteral("video.fill") : QStringLiteral("video.slash.fill");
    row.iconColor = online ? OnlineColor : OfflineColor;
    row.title = camera.friendlyName;
    //: statistiche telecamera
    row.subtitle = QCoreApplication::translate("StatusView", "%1 fps · detect %2 · skipped %3")
                       .arg(figure(shown.fps, 1), figure(shown.detectionFps, 1), figure(shown.skippedFps, 0));
    if (shown.ffmpegCPU > 0)
        row.subtitle += QCoreApplication::translate("StatusView", " · ffmpeg %1%").arg(figure(shown.ffmpegCPU, 1));
    if (shown.reconnects > 0) {
        const auto count = static_cast<long long>(std::min(shown.reconnects, 1e15));
        row.time = QCoreApplication::translate("StatusView", "%1 reconnections/hour").arg(QLocale().toString(count));
    } else {
        row.time = online ? QCoreApplication::translate("StatusView", "online") : QCoreApplication::translate("StatusView", "offline");
    }
    return row;
}

bool cameraMatches(const CameraInfo &camera, const QString &filter)
{
    return camera.friendlyName.toLower().contains(filter);
}

QString logLevelIcon(LogLine::Level level)
{
    switch (level) {
    case LogLine::Level::Debug:
        return QStringLiteral("circle");
    case LogLine::Level::Warning:
        return QStringLiteral("exclamationmark.triangle.fill");
    case LogLine::Level::Error:
        return QStringLiteral("xmark.octagon.fill");
    case LogLine::Level::Info:
        break;
    }
    return QStringLiteral("circle.fill");
}

QColor logLevelColor(LogLine::Level level)
{
    switch (level) {
    case LogLine::Level::Debug:
        return {110, 168, 240};
    case LogLine::Level::Warning:
        return {217, 195, 58};
    case LogLine::Level::Error:
        return {229, 72, 77};
    case LogLine::Level::Info:
        break;
    }
    return {59, 79, 214};
}
