#pragma once
#include "client/WireRecords.h"
#include "state/RecordListModel.h"

#include <QtQml/qqmlregistration.h>

// The cameras of the configuration in the user's order. Roles: name, friendlyName, enabled,
// recordEnabled, uiOrder, mainStream, subStream, annotationOffset.
class CameraListModel : public MapRecordListModel<CameraInfo>
{
    Q_OBJECT
    QML_ANONYMOUS
public:
    explicit CameraListModel(QObject *parent = nullptr);

protected:
    QString keyOf(const CameraInfo &camera) const override { return camera.name; }
    QVariantMap valueOf(const CameraInfo &camera) const override;
};

// The camera groups of the configuration. Roles: name, cameras, order.
class GroupListModel : public MapRecordListModel<CameraGroup>
{
    Q_OBJECT
    QML_ANONYMOUS
public:
    explicit GroupListModel(QObject *parent = nullptr);

protected:
    QString keyOf(const CameraGroup &group) const override { return group.name; }
    QVariantMap valueOf(const CameraGroup &group) const override;
};
