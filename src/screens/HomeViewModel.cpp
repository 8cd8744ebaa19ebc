#include "screens/HomeViewModel.h"

#include "client/TextFormats.h"
#include "state/AppModel.h"

#include <algorithm>
#include <cmath>

HomeViewModel::HomeViewModel(QObject *parent)
    : QObject(parent)
{
    updateRows();
}

void HomeViewModel::setAppModel(AppModel *model)
{
    if (m_app == model)
        return;
    if (m_app)
        disconnect(m_app, nullptr, this, nullptr);
    m_app = model;
    if (m_app) {
        connect(m_app, &AppModel::statsChanged, this, &HomeViewModel::statsChanged);
        connect(m_app, &AppModel::connectionModeChanged, this, &HomeViewModel::connectionChanged);
        connect(m_app, &AppModel::statsChanged, this, &HomeViewModel::updateRows);
        connect(m_app, &AppModel::camerasChanged, this, &HomeViewModel::updateRows);
        connect(m_app, &AppModel::unseenCountChanged, this, &HomeViewModel::updateRows);
    }
    emit appModelChanged();
    emit statsChanged();
    emit connectionChanged();
    updateRows();
}

double HomeViewModel::gaugeFraction(double value)
{
    if (std::isnan(value))
        return 0;
    return std::clamp(value, 0.0, 1.0);
}

QString HomeViewModel::percentText(double value)
{
    return QString::number(std::lround(gaugeFraction(value) * 100)) + u'%';
}

double HomeViewModel::cpuFraction() const
{
    return m_app && m_app->stats() ? gaugeFraction(m_app->stats()->cpu / 100) : 0;
}

double HomeViewModel::memFraction() const
{
    return m_app && m_app->stats() ? gaugeFraction(m_app->stats()->mem / 100) : 0;
}

double HomeViewModel::diskFraction() const
{
    if (!m_app || !m_app->stats() || !(m_app->stats()->diskTotalMB > 0))
        return 0;
    return gaugeFraction(m_app->stats()->diskUsedMB / m_app->stats()->diskTotalMB);
}

QString HomeViewModel::serverLine() const
{
    const StatsSnapshot stats = m_app ? m_app->stats().value_or(StatsSnapshot()) : StatsSnapshot();
    // Before the first statistics there is no version: no double space then.
    return tr("Frigate %1 uptime %2").arg(stats.version, uptimeText(stats.uptime)).simplified();
}

QString HomeViewModel::connectionSymbol() const
{
    const bool remote = m_app && m_app->connectionMode() == ConnectionMode::Remote;
    return remote ? QStringLiteral("globe") : QStringLiteral("network");
}

// The mode's display name, not its raw value: "local" would stay English under any language.
QString HomeViewModel::connectionName() const
{
    return m_app ? m_app->connectionModeName() : connectionModeDisplayName(ConnectionMode::None);
}

void HomeViewModel::refresh()
{
    refreshAll();
}

QCoro::Task<> HomeViewModel::refreshAll()
{
    QPointer<AppModel> app = m_app;
    if (!app)
        co_return;
    co_await app->refreshStats();
    if (!app)
        co_return;
    co_await app->refreshUnseenCount();
    if (!app)
        co_return;
    co_await app->refreshLogBadge();
}

void HomeViewModel::updateRows()
{
    if (!m_app) {
        m_rows.setRecords(homeStatusRows(std::nullopt, {}, 0));
        return;
    }
    m_rows.setRecords(homeStatusRows(m_app->stats(), m_app->cameras(), m_app->unseenCount()));
}
