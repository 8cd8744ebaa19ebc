#pragma once
#include "client/ConnectionMode.h"
#include "client/FrigateApi.h"

#include <QObject>
#include <QString>
#include <QCoro/QCoroTask>
#include <memory>
#include <optional>

class FrigateClient;
class SecretStore;
class StopToken;

// Connecting to the current server: probing its addresses, signing in, the version check and the
// configuration; and the state the screens show for it (connecting, signed in, mode, error).
//
// One attempt is current at a time. Selecting, deleting or disconnecting a server, or starting a
// new connection, abandons the attempt in progress: its remaining steps end without a trace
// (no error, no sign-in, no secret written), so one server's answers never land under another.
class ServerConnection : public QObject
{
    Q_OBJECT
public:
    ServerConnection(SecretStore *secrets, FrigateClient *client, QObject *parent = nullptr);
    ~ServerConnection() override;

    bool isLoggedIn() const { return m_isLoggedIn; }
    bool isConnecting() const { return m_isConnecting; }
    ConnectionMode mode() const { return m_mode; }
    QString addressInUse() const { return m_addressInUse; }
    std::optional<QString> lastError() const { return m_lastError; }

    // The configuration of the server once every step succeeded for the attempt that is still
    // current; nothing otherwise (the failure is in lastError, a stale attempt leaves no trace).
    // The caller finishes with completeSignIn.
    QCoro::Task<std::optional<FrigateApi::ServerConfig>> connect(std::optional<QString> password);
    void completeSignIn();
    void abandon();
    // Leaves the signed-in state; the client keeps its token.
    void signOut();
    // Probes the addresses again. Whether the address in use changed; nothing when the attempt
    // was abandoned meanwhile.
    QCoro::Task<std::optional<bool>> reprobe();
    void clearError() { setLastError(std::nullopt); }
    // The client now points at another server (or none answered yet).
    void syncAddressInUse();

signals:
    void isLoggedInChanged();
    void isConnectingChanged();
    void modeChanged();
    void addressInUseChanged();
    void lastErrorChanged();

private:
    QCoro::Task<Status> signIn(std::optional<QString> password, std::shared_ptr<StopToken> attempt);
    std::shared_ptr<StopToken> beginAttempt();
    void fail(const FrigateError &error);
    void fail(const QString &message);
    void setIsConnecting(bool value);
    void setMode(ConnectionMode mode);
    void setLastError(std::optional<QString> error);

    SecretStore *m_secrets;
    FrigateClient *m_client;
    std::shared_ptr<StopToken> m_attempt;
    bool m_isLoggedIn = false;
    bool m_isConnecting = false;
    ConnectionMode m_mode = ConnectionMode::None;
    QString m_addressInUse;
    std::optional<QString> m_lastError;
};
