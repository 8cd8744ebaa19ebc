#include "screens/CameraOrderModel.h"

#include "state/AppModel.h"

CameraOrderModel::CameraOrderModel(QObject *parent)
    : QAbstractListModel(parent)
{ }

void CameraOrderModel::setAppModel(AppModel *model)
{
    if (m_app == model)
        return;
    if (m_app)
        disconnect(m_app, nullptr, this, nullptr);
    m_app = model;
    if (m_app)
        connect(m_app, &AppModel::camerasChanged, this, &CameraOrderModel::followCameras);
    emit appModelChanged();
    followCameras();
}

void CameraOrderModel::followCameras()
{
    const QList<CameraInfo> cameras = m_app ? m_app->cameras() : QList<CameraInfo>();
    // Our own moves come back through the model already in place.
    if (cameras == m_rows)
        return;
    const int before = count();
    beginResetModel();
    m_rows = cameras;
    endResetModel();
    if (count() != before)
        emit countChanged();
}

int CameraOrderModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant CameraOrderModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const CameraInfo &camera = m_rows.at(index.row());
    switch (role) {
    case NameRole:
        return camera.name;
    case Qt::DisplayRole:
    case FriendlyNameRole:
        return camera.friendlyName;
    case SymbolRole:
        return QStringLiteral("video");
    default:
        return {};
    }
}

QHash<int, QByteArray> CameraOrderModel::roleNames() const
{
    return {{NameRole, "name"}, {FriendlyNameRole, "friendlyName"}, {SymbolRole, "symbol"}};
}

bool CameraOrderModel::move(int from, int to)
{
    if (from == to || from < 0 || to < 0 || from >= count() || to >= count())
        return false;
    // Qt counts the destination before the move: below the moved row it is one further down.
    if (!beginMoveRows({}, from, from, {}, to > from ? to + 1 : to))
        return false;
    m_rows.move(from, to);
    endMoveRows();
    if (m_app)
        m_app->setCameraOrder(m_rows);
    return true;
}
