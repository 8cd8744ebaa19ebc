#pragma once
#include "desktop/NewAlertPolicy.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QCoro/QCoroTask>
#include <functional>

class AppModel;
class DesktopNotifications;

// New alerts, told to the desktop while no window of the app is in front. Each pass of the
// model's unseen-count polling asks the server for the newest unseen alerts; what the policy
// finds new goes out as one notification, with the newest alert's thumbnail. A click brings
// the window forward on that alert. GUI thread only.
class AlertNotifications : public QObject
{
    Q_OBJECT
public:
    // The newest unseen alerts asked for on each pass.
    static constexpr int AnswerLimit = 50;

    AlertNotifications(AppModel *app, DesktopNotifications *desktop, QObject *parent = nullptr);

    // Whether a window of the app is in front; by default, whether the application is active.
    void setForegroundCheck(std::function<bool()> check) { m_inForeground = std::move(check); }

signals:
    // A pass's answer was weighed (whether or not it told anything); for logs and tests.
    void checked();

private:
    QCoro::Task<> checkForNewAlerts();
    QCoro::Task<QImage> thumbnail(ReviewItem item);
    void startSession();
    void openNewest();

    QPointer<AppModel> m_app;
    DesktopNotifications *m_desktop;
    NewAlertPolicy m_policy{AnswerLimit};
    std::function<bool()> m_inForeground;
    // Raised by each sign-in, sign-out and change of the setting: a check that began before
    // finds it changed and drops its answer.
    quint64 m_generation = 0;
    bool m_checking = false;
    QString m_newestAnnounced;
};
