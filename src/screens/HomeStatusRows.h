#pragma once
#include "client/WireRecords.h"
#include "state/RecordListModel.h"

#include <QList>
#include <QString>
#include <QtQml/qqmlregistration.h>
#include <optional>

// One line of the home screen's status card; `ok` decides its colour.
struct HomeStatusRow
{
    QString symbol;
    QString title;
    QString value;
    bool ok = true;

    bool operator==(const HomeStatusRow &) const = default;
};

// The status card, always five rows in this order: active cameras, recording cameras, detector
// speed, recording disk, unseen alerts. Without statistics every figure reads as 0.
QList<HomeStatusRow> homeStatusRows(const std::optional<StatsSnapshot> &stats, const QList<CameraInfo> &cameras,
                                    int unseenCount);

// Free recording space in MB: the server's own figure when it sends one, else total − used;
// never below 0.
double recordingDiskFreeMB(const StatsSnapshot &stats);

// The status card's rows for QML. Roles: symbol, title, value, ok.
class HomeStatusListModel : public MapRecordListModel<HomeStatusRow>
{
    Q_OBJECT
    QML_ANONYMOUS
public:
    explicit HomeStatusListModel(QObject *parent = nullptr);

protected:
    QString keyOf(const HomeStatusRow &row) const override { return row.symbol; }
    QVariantMap valueOf(const HomeStatusRow &row) const override;
};
