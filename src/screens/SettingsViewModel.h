#pragma once
#include "state/ServerSettings.h"

#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>
#include <QCoro/QCoroTask>
#include <memory>

class AppModel;

// The Settings tab. The current server's connection fields are edited in a draft that only
// "Save and reconnect" applies; the display preferences apply as soon as they change. The
// draft is taken afresh each time the screen is shown, so unsaved edits are dropped by leaving.
// GUI thread only.
class SettingsViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_MOC_INCLUDE("state/AppModel.h")
    Q_PROPERTY(AppModel *appModel READ appModel WRITE setAppModel NOTIFY appModelChanged)

    // The draft's connection fields.
    Q_PROPERTY(QString serverName READ serverName WRITE setServerName NOTIFY draftChanged)
    Q_PROPERTY(QString internalURL READ internalURL WRITE setInternalURL NOTIFY draftChanged)
    Q_PROPERTY(QString externalURL READ externalURL WRITE setExternalURL NOTIFY draftChanged)
    Q_PROPERTY(QString username READ username WRITE setUsername NOTIFY draftChanged)
    // Empty keeps the saved password.
    Q_PROPERTY(QString newPassword READ newPassword WRITE setNewPassword NOTIFY newPasswordChanged)

    // The display preferences, applied to the current server at once.
    Q_PROPERTY(double gridRefreshSeconds READ gridRefreshSeconds WRITE setGridRefreshSeconds NOTIFY draftChanged)
    Q_PROPERTY(bool liveUsesSubstream READ liveUsesSubstream WRITE setLiveUsesSubstream NOTIFY draftChanged)
    Q_PROPERTY(bool showDetections READ showDetections WRITE setShowDetections NOTIFY draftChanged)
    // Desktop notifications of new alerts: an app-wide preference, stored at once.
    Q_PROPERTY(bool notifyAlerts READ notifyAlerts WRITE setNotifyAlerts NOTIFY notifyAlertsChanged)
    // The Cameras menu's rates: [{seconds, text, chosen}].
    Q_PROPERTY(QVariantList refreshChoices READ refreshChoices NOTIFY draftChanged)
    Q_PROPERTY(QString refreshText READ refreshText NOTIFY draftChanged)

    Q_PROPERTY(bool saving READ saving NOTIFY savingChanged)
    // Why the last "Save and reconnect" did not sign in (the model's lastError); empty otherwise.
    // A failed reconnect can leave the tabs up, so the screen tells it where it was asked.
    Q_PROPERTY(QString saveError READ saveError NOTIFY saveErrorChanged)
    Q_PROPERTY(bool isLoggedIn READ isLoggedIn NOTIFY connectionChanged)
    Q_PROPERTY(QString connectionText READ connectionText NOTIFY connectionChanged)
    // The address the client reached; empty while no server answers.
    Q_PROPERTY(QString addressInUse READ addressInUse NOTIFY connectionChanged)
    Q_PROPERTY(QString versionText READ versionText CONSTANT)

public:
    explicit SettingsViewModel(QObject *parent = nullptr);
    ~SettingsViewModel() override;

    AppModel *appModel() const { return m_app; }
    void setAppModel(AppModel *model);
    const ServerSettings &draft() const { return m_draft; }

    QString serverName() const { return m_draft.serverName; }
    void setServerName(const QString &text) { setDraftText(&ServerSettings::serverName, text); }
    QString internalURL() const { return m_draft.internalURL; }
    void setInternalURL(const QString &text) { setDraftText(&ServerSettings::internalURL, text); }
    QString externalURL() const { return m_draft.externalURL; }
    void setExternalURL(const QString &text) { setDraftText(&ServerSettings::externalURL, text); }
    QString username() const { return m_draft.username; }
    void setUsername(const QString &text) { setDraftText(&ServerSettings::username, text); }
    QString newPassword() const { return m_newPassword; }
    void setNewPassword(const QString &password);

    double gridRefreshSeconds() const { return m_draft.gridRefreshSeconds; }
    void setGridRefreshSeconds(double seconds);
    bool liveUsesSubstream() const { return m_draft.liveUsesSubstream; }
    void setLiveUsesSubstream(bool on);
    bool showDetections() const { return m_draft.showDetections; }
    void setShowDetections(bool on);
    bool notifyAlerts() const;
    void setNotifyAlerts(bool on);
    QVariantList refreshChoices() const;
    QString refreshText() const;

    bool saving() const { return m_saving; }
    QString saveError() const { return m_saveError; }
    bool isLoggedIn() const;
    QString connectionText() const;
    QString addressInUse() const;
    static QString versionText();

    // Copies the current server's settings into the draft, dropping unsaved edits and the last
    // save's error.
    Q_INVOKABLE void takeDraft();
    // Makes the draft the current server's settings and connects again, with the new password
    // when one was typed, else the saved one. Failures end in the model's lastError.
    Q_INVOKABLE void saveAndReconnect();
    QCoro::Task<> saveAndReconnectTask();

signals:
    void appModelChanged();
    void draftChanged();
    void newPasswordChanged();
    void savingChanged();
    void saveErrorChanged();
    void connectionChanged();
    void notifyAlertsChanged();

private:
    void setDraftText(QString ServerSettings::*field, const QString &text);
    void setDraft(const ServerSettings &draft);
    // The model's settings changed: another server means a fresh draft; the same one brings
    // in its display preferences, which may have been changed elsewhere (the Cameras menu).
    void followSettings();
    void applyDisplayPreferences();
    void setSaving(bool saving);
    void setSaveError(const QString &error);

    QPointer<AppModel> m_app;
    ServerSettings m_draft;
    QString m_newPassword;
    bool m_saving = false;
    QString m_saveError;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
