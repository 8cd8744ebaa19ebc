#pragma once
#include "client/FrigateError.h"
#include "client/ServerTrust.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>
#include <optional>

// Whether the signed-in server still answers, for the banner over the tabs and the figures it
// marks as stale. The polling judges reachability: one failed pass can be a hiccup, so the
// connection counts as lost after LostAfterFailures failed passes in a row (at the 5 s cadence,
// about 10 s). A 401 (the sign-in expired) or a refused certificate is a final answer and counts
// at once, whichever request met it. The next answered pass is ok again, whatever came before.
class ConnectionHealth : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The app model owns the connection health.")

    // "ok", "lost", "signedOut" or "certificateChanged".
    Q_PROPERTY(QString state READ stateName NOTIFY stateChanged)
    // The figures on screen are the last ones received: not ok.
    Q_PROPERTY(bool stale READ isStale NOTIFY stateChanged)
    // While a retry or a re-pin is checking the server again.
    Q_PROPERTY(bool checking READ isChecking NOTIFY checkingChanged)
    // The certificate fingerprints (SHA-256) in groups of four hex digits, two lines.
    Q_PROPERTY(QString pinnedFingerprint READ pinnedFingerprint NOTIFY stateChanged)
    Q_PROPERTY(QString offeredFingerprint READ offeredFingerprint NOTIFY stateChanged)
    // "Last updated 20 seconds ago"; empty before the first answer. Renewed at every pass.
    Q_PROPERTY(QString lastUpdated READ lastUpdatedText NOTIFY lastUpdatedChanged)

public:
    enum class State { Ok, Lost, SignedOut, CertificateChanged };
    static constexpr int LostAfterFailures = 2;

    using QObject::QObject;

    State state() const { return m_state; }
    QString stateName() const;
    bool isStale() const { return m_state != State::Ok; }
    bool isChecking() const { return m_checking; }
    const std::optional<CertificateMismatch> &mismatch() const { return m_mismatch; }
    QString pinnedFingerprint() const;
    QString offeredFingerprint() const;
    QDateTime lastAnswer() const { return m_lastAnswer; }
    QString lastUpdatedText() const;

    void noteAnswer(const QDateTime &at);
    // A polling pass failed. `mismatch` is the certificate last refused for the server's host.
    void notePollFailure(const FrigateError &error, const std::optional<CertificateMismatch> &mismatch);
    // Another request failed: only the final answers (401, a refused certificate) count.
    void noteRequestFailure(const FrigateError &error, const std::optional<CertificateMismatch> &mismatch);
    void setChecking(bool checking);
    // A session begins or ends: nothing known yet.
    void reset();

    static QString groupedFingerprint(const QString &hex);

signals:
    void stateChanged();
    void checkingChanged();
    void lastUpdatedChanged();

private:
    // Applies a 401 or a refused certificate; false when the error is neither.
    bool noteFinalAnswer(const FrigateError &error, const std::optional<CertificateMismatch> &mismatch);
    void setState(State state, std::optional<CertificateMismatch> mismatch = std::nullopt);

    State m_state = State::Ok;
    int m_failures = 0;
    bool m_checking = false;
    std::optional<CertificateMismatch> m_mismatch;
    QDateTime m_lastAnswer;
};
