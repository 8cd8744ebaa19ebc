#include "screens/SettingsViewModel.h"

#include "client/ConnectionMode.h"
#include "client/Logging.h"
#include "screens/GridRefreshChoices.h"
#include "state/AppModel.h"

#include <QCoreApplication>

SettingsViewModel::SettingsViewModel(QObject *parent)
    : QObject(parent)
{ }

SettingsViewModel::~SettingsViewModel()
{
    *m_alive = false;
}

void SettingsViewModel::setAppModel(AppModel *model)
{
    if (m_app == model)
        return;
    if (m_app)
        disconnect(m_app, nullptr, this, nullptr);
    m_app = model;
    if (m_app) {
        connect(m_app, &AppModel::settingsChanged, this, &SettingsViewModel::followSettings);
        connect(m_app, &AppModel::isLoggedInChanged, this, &SettingsViewModel::connectionChanged);
        connect(m_app, &AppModel::connectionModeChanged, this, &SettingsViewModel::connectionChanged);
        connect(m_app, &AppModel::addressInUseChanged, this, &SettingsViewModel::connectionChanged);
        connect(m_app, &AppModel::notifyAlertsChanged, this, &SettingsViewModel::notifyAlertsChanged);
    }
    emit appModelChanged();
    emit notifyAlertsChanged();
    emit connectionChanged();
    takeDraft();
}

void SettingsViewModel::takeDraft()
{
    setDraft(m_app ? m_app->settings() : ServerSettings());
    setSaveError(QString());
}

void SettingsViewModel::setDraft(const ServerSettings &draft)
{
    if (m_draft == draft)
        return;
    m_draft = draft;
    emit draftChanged();
}

void SettingsViewModel::followSettings()
{
    const ServerSettings &current = m_app->settings();
    if (current.id != m_draft.id) {
        takeDraft();
        return;
    }
    ServerSettings draft = m_draft;
    draft.gridRefreshSeconds = current.gridRefreshSeconds;
    draft.liveUsesSubstream = current.liveUsesSubstream;
    draft.showDetections = current.showDetections;
    setDraft(draft);
}

void SettingsViewModel::setDraftText(QString ServerSettings::*field, const QString &text)
{
    if (m_draft.*field == text)
        return;
    m_draft.*field = text;
    emit draftChanged();
}

void SettingsViewModel::setNewPassword(const QString &password)
{
    if (m_newPassword == password)
        return;
    m_newPassword = password;
    emit newPasswordChanged();
}

void SettingsViewModel::setGridRefreshSeconds(double seconds)
{
    if (!(seconds > 0) || seconds == m_draft.gridRefreshSeconds)
        return;
    m_draft.gridRefreshSeconds = seconds;
    emit draftChanged();
    applyDisplayPreferences();
}

void SettingsViewModel::setLiveUsesSubstream(bool on)
{
    if (on == m_draft.liveUsesSubstream)
        return;
    m_draft.liveUsesSubstream = on;
    emit draftChanged();
    applyDisplayPreferences();
}

void SettingsViewModel::setShowDetections(bool on)
{
    if (on == m_draft.showDetections)
        return;
    m_draft.showDetections = on;
    emit draftChanged();
    applyDisplayPreferences();
}

bool SettingsViewModel::notifyAlerts() const
{
    return m_app && m_app->notifyAlerts();
}

void SettingsViewModel::setNotifyAlerts(bool on)
{
    if (m_app)
        m_app->setNotifyAlerts(on);
}

// Only the three preferences go to the model: the connection fields wait for the save.
void SettingsViewModel::applyDisplayPreferences()
{
    if (!m_app)
        return;
    m_app->applyDisplayPreferences(m_draft.gridRefreshSeconds, m_draft.liveUsesSubstream, m_draft.showDetections);
}

QVariantList SettingsViewModel::refreshChoices() const
{
    return GridRefreshChoices::choicesFor(m_draft.gridRefreshSeconds);
}

QString SettingsViewModel::refreshText() const
{
    return GridRefreshChoices::textFor(m_draft.gridRefreshSeconds);
}

bool SettingsViewModel::isLoggedIn() const
{
    return m_app && m_app->isLoggedIn();
}

QString SettingsViewModel::connectionText() const
{
    return m_app ? m_app->connectionModeName() : connectionModeDisplayName(ConnectionMode::None);
}

QString SettingsViewModel::addressInUse() const
{
    return m_app ? m_app->addressInUse() : QString();
}

QString SettingsViewModel::versionText()
{
    return tr("Kestrova %1").arg(QCoreApplication::applicationVersion());
}

void SettingsViewModel::setSaving(bool saving)
{
    if (m_saving == saving)
        return;
    m_saving = saving;
    emit savingChanged();
}

void SettingsViewModel::setSaveError(const QString &error)
{
    if (m_saveError == error)
        return;
    m_saveError = error;
    emit saveErrorChanged();
}

void SettingsViewModel::saveAndReconnect()
{
    saveAndReconnectTask();
}

QCoro::Task<> SettingsViewModel::saveAndReconnectTask()
{
    if (!m_app || m_saving)
        co_return;
    setSaving(true);
    setSaveError(QString());
    const auto alive = m_alive;
    const QPointer<AppModel> app = m_app;
    const QVariantMap fields{
        {QStringLiteral("serverName"), m_draft.serverName},
        {QStringLiteral("internalURL"), m_draft.internalURL},
        {QStringLiteral("externalURL"), m_draft.externalURL},
        {QStringLiteral("username"), m_draft.username},
        {QStringLiteral("password"), m_newPassword},
    };
    const bool signedIn = co_await app->saveSettingsAndReconnectFields(fields);
    if (!*alive)
        co_return;
    qCDebug(lcScreens) << "settings saved, signed in again:" << signedIn;
    setNewPassword(QString());
    if (app)
        takeDraft();
    // A failed sign-in can leave the earlier session signed in, so the error tells, not signedIn.
    if (app)
        setSaveError(app->lastError().value_or(QString()));
    setSaving(false);
}
