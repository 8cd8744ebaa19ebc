#include "screens/HomeStatusRows.h"

#include "client/TextFormats.h"

#include <QCoreApplication>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// A detector slower than this per inference falls behind a few busy cameras.
constexpr double SlowInferenceMs = 80;
// Frigate starts deleting the oldest recordings when the disk is nearly full.
constexpr double FullDiskShare = 0.97;

struct CameraCounts
{
    int active = 0;
    int recording = 0;
};

// A camera is active when the statistics list it with frames coming in.
CameraCounts countCameras(const std::optional<StatsSnapshot> &stats, const QList<CameraInfo> &cameras)
{
    CameraCounts counts;
    if (!stats)
        return counts;
    for (const CameraInfo &camera : cameras) {
        const auto entry = stats->cameras.constFind(camera.name);
        if (entry == stats->cameras.cend() || !(entry->fps > 0))
            continue;
        ++counts.active;
        if (camera.recordEnabled)
            ++counts.recording;
    }
    return counts;
}

HomeStatusRow detectorRow(double inferenceMs)
{
    const QString title = QCoreApplication::translate("HomeView", "Detector");
    if (!(inferenceMs > 0))
        return {u"cpu"_s, title, u"-"_s, inferenceMs < SlowInferenceMs};
    const QString speed = QString::asprintf("%.0f", inferenceMs);
    return {u"cpu"_s, title, QCoreApplication::translate("HomeView", "%1 ms").arg(speed), inferenceMs < SlowInferenceMs};
}

HomeStatusRow diskRow(const StatsSnapshot &stats)
{
    const QString title = QCoreApplication::translate("HomeView", "Recording disk");
    const double total = stats.diskTotalMB;
    if (!(total > 0))
        return {u"internaldrive"_s, title, u"-"_s, true};
    const QString free = sizeText(recordingDiskFreeMB(stats));
    const QString value = QCoreApplication::translate("HomeView", "%1 free of %2").arg(free, sizeText(total));
    return {u"internaldrive"_s, title, value, stats.diskUsedMB / total < FullDiskShare};
}

} // namespace

double recordingDiskFreeMB(const StatsSnapshot &stats)
{
    return std::max(0.0, stats.diskFreeMB.value_or(stats.diskTotalMB - stats.diskUsedMB));
}

QList<HomeStatusRow> homeStatusRows(const std::optional<StatsSnapshot> &stats, const QList<CameraInfo> &cameras,
                                    int unseenCount)
{
    const StatsSnapshot figures = stats.value_or(StatsSnapshot());
    const CameraCounts counts = countCameras(stats, cameras);
    const int cameraCount = int(cameras.size());
    const QString active = u"%1 / %2"_s.arg(counts.active).arg(cameraCount);
    return {
        {u"video"_s, QCoreApplication::translate("HomeView", "Active cameras"), active, counts.active == cameraCount},
        {u"record.circle"_s, QCoreApplication::translate("HomeView", "Recording"), QString::number(counts.recording),
         counts.recording >= 1},
        detectorRow(figures.inferenceMs),
        diskRow(figures),
        {u"bolt"_s, QCoreApplication::translate("HomeView", "Unseen alerts"), QString::number(unseenCount), true},
    };
}

HomeStatusListModel::HomeStatusListModel(QObject *parent)
    : MapRecordListModel<HomeStatusRow>({"symbol", "title", "value", "ok"}, parent)
{ }

QVariantMap HomeStatusListModel::valueOf(const HomeStatusRow &row) const
{
    return {
        {QStringLiteral("symbol"), row.symbol},
        {QStringLiteral("title"), row.title},
        {QStringLiteral("value"), row.value},
        {QStringLiteral("ok"), row.ok},
    };
}
