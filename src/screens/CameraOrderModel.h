#pragma once
#include "client/WireRecords.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

class AppModel;

// The camera order editor's rows: the current server's cameras as the grid shows them. Every
// move is stored at once as the server's camera order, which reorders the grid. Roles: name,
// friendlyName, symbol. GUI thread only.
class CameraOrderModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_MOC_INCLUDE("state/AppModel.h")
    Q_PROPERTY(AppModel *appModel READ appModel WRITE setAppModel NOTIFY appModelChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role { NameRole = Qt::UserRole + 1, FriendlyNameRole, SymbolRole };

    explicit CameraOrderModel(QObject *parent = nullptr);

    AppModel *appModel() const { return m_app; }
    void setAppModel(AppModel *model);
    int count() const { return int(m_rows.size()); }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Moves the camera at row `from` so that it ends at row `to`, then stores the order. False,
    // changing nothing, when either row is out of range or they are the same.
    Q_INVOKABLE bool move(int from, int to);

signals:
    void appModelChanged();
    void countChanged();

private:
    // The cameras changed outside the editor (a reconnect, another server, a reload).
    void followCameras();

    QPointer<AppModel> m_app;
    QList<CameraInfo> m_rows;
};
