#include "desktop/AlertNoticeText.h"

#include "client/TextFormats.h"
#include "screens/ReviewRows.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>

namespace {
const char *const Context = "AlertNotifications";

AlertNoticeText oneAlert(const ReviewItem &item, const QList<CameraInfo> &cameras)
{
    const QString camera = displayCameraName(cameras, item.camera);
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(qint64(item.start_time * 1000)).toLocalTime();
    const QString time = QLocale().toString(start.time(), QLocale::ShortFormat);
    //: Title of the desktop notification of one alert: camera, then the objects it saw.
    const QString title = QCoreApplication::translate(Context, "%1: %2").arg(camera, objectSummary(item));
    //: Body of the desktop notification of one alert; %1 is the time it started.
    return {title, QCoreApplication::translate(Context, "New alert at %1").arg(time)};
}
} // namespace

AlertNoticeText alertNoticeText(const AlertNotice &notice, const QList<CameraInfo> &cameras)
{
    if (notice.alerts.isEmpty())
        return {};
    if (notice.alerts.size() == 1)
        return oneAlert(notice.alerts.first(), cameras);
    QStringList names;
    for (const ReviewItem &item : notice.alerts) {
        const QString name = displayCameraName(cameras, item.camera);
        if (!names.contains(name))
            names.append(name);
    }
    const int count = int(notice.alerts.size());
    //: Title of the desktop notification of several alerts at once.
    const QString title = QCoreApplication::translate(Context, "%n new alerts", nullptr, count);
    return {title, QLocale().createSeparatedList(names)};
}
