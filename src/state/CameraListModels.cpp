#include "state/CameraListModels.h"
#include "state/RecordValues.h"

CameraListModel::CameraListModel(QObject *parent)
    : MapRecordListModel<CameraInfo>(
        {"name", "friendlyName", "enabled", "recordEnabled", "uiOrder", "mainStream", "subStream", "annotationOffset"},
        parent)
{ }

QVariantMap CameraListModel::valueOf(const CameraInfo &camera) const
{
    return cameraValue(camera);
}

GroupListModel::GroupListModel(QObject *parent)
    : MapRecordListModel<CameraGroup>({"name", "cameras", "order"}, parent)
{ }

QVariantMap GroupListModel::valueOf(const CameraGroup &group) const
{
    return groupValue(group);
}
