#pragma once
#include "screens/HomeStatusRows.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QtQml/qqmlregistration.h>
#include <QCoro/QCoroTask>

class AppModel;

// The Home tab: the server line, the connection mode, the CPU, memory and recording-disk gauges
// and the status card, all read from the application model. GUI thread only.
class HomeViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_MOC_INCLUDE("state/AppModel.h")
    Q_PROPERTY(AppModel *appModel READ appModel WRITE setAppModel NOTIFY appModelChanged)
    // Gauge fractions within 0…1 and their labels ("42%").
    Q_PROPERTY(double cpuFraction READ cpuFraction NOTIFY statsChanged)
    Q_PROPERTY(double memFraction READ memFraction NOTIFY statsChanged)
    Q_PROPERTY(double diskFraction READ diskFraction NOTIFY statsChanged)
    Q_PROPERTY(QString cpuPercent READ cpuPercent NOTIFY statsChanged)
    Q_PROPERTY(QString memPercent READ memPercent NOTIFY statsChanged)
    Q_PROPERTY(QString diskPercent READ diskPercent NOTIFY statsChanged)
    // "Frigate 0.16.4 uptime 1:01:01:01"
    Q_PROPERTY(QString serverLine READ serverLine NOTIFY statsChanged)
    // "globe" over the remote address, else "network"; the name is the mode's own: "none",
    // "local" or "remote".
    Q_PROPERTY(QString connectionSymbol READ connectionSymbol NOTIFY connectionChanged)
    Q_PROPERTY(QString connectionName READ connectionName NOTIFY connectionChanged)
    Q_PROPERTY(HomeStatusListModel *rows READ rows CONSTANT)

public:
    explicit HomeViewModel(QObject *parent = nullptr);

    AppModel *appModel() const { return m_app; }
    void setAppModel(AppModel *model);

    // The value kept within 0…1; not a number reads as 0.
    static double gaugeFraction(double value);
    // gaugeFraction × 100 rounded, halves away from zero, then "%".
    static QString percentText(double value);

    double cpuFraction() const;
    double memFraction() const;
    // Used over total of the recording disk; 0 while the total is unknown.
    double diskFraction() const;
    QString cpuPercent() const { return percentText(cpuFraction()); }
    QString memPercent() const { return percentText(memFraction()); }
    QString diskPercent() const { return percentText(diskFraction()); }
    QString serverLine() const;
    QString connectionSymbol() const;
    QString connectionName() const;
    HomeStatusListModel *rows() { return &m_rows; }

    // Fetches statistics, the unseen alerts and the log badge, in that order, once the screen
    // appears; the polling loop keeps them current afterwards.
    Q_INVOKABLE void refresh();
    QCoro::Task<> refreshAll();

signals:
    void appModelChanged();
    void statsChanged();
    void connectionChanged();

private:
    void updateRows();

    QPointer<AppModel> m_app;
    HomeStatusListModel m_rows;
};
