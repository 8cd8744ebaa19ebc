#include "state/ConnectionHealth.h"
#include "client/Logging.h"
#include "client/TextFormats.h"

#include <QCoreApplication>

namespace {
// Whether a failed pass says the server could not be heard: no answer, a time-out, or a
// server-side failure (a proxy in front of a stopped Frigate answers 502).
bool meansUnreachable(const FrigateError &error)
{
    return error.kind() == FrigateError::Kind::Unreachable
           || (error.kind() == FrigateError::Kind::Http && error.status() >= 500);
}
} // namespace

QString ConnectionHealth::stateName() const
{
    switch (m_state) {
    case State::Ok:
        return QStringLiteral("ok");
    case State::Lost:
        return QStringLiteral("lost");
    case State::SignedOut:
        return QStringLiteral("signedOut");
    case State::CertificateChanged:
        return QStringLiteral("certificateChanged");
    }
    return {};
}

QString ConnectionHealth::pinnedFingerprint() const
{
    return m_mismatch ? groupedFingerprint(m_mismatch->pinned) : QString();
}

QString ConnectionHealth::offeredFingerprint() const
{
    return m_mismatch ? groupedFingerprint(m_mismatch->offered) : QString();
}

QString ConnectionHealth::lastUpdatedText() const
{
    if (!m_lastAnswer.isValid())
        return {};
    //: %1 is a span of time before now, e.g. "20 seconds ago".
    return QCoreApplication::translate("ConnectionHealth", "Last updated %1")
        .arg(relativePhrase(m_lastAnswer, QDateTime::currentDateTime()));
}

void ConnectionHealth::noteAnswer(const QDateTime &at)
{
    m_failures = 0;
    m_lastAnswer = at;
    setState(State::Ok);
    setChecking(false);
    emit lastUpdatedChanged();
}

void ConnectionHealth::notePollFailure(const FrigateError &error, const std::optional<CertificateMismatch> &mismatch)
{
    if (error.isCancellation())
        return;
    setChecking(false);
    emit lastUpdatedChanged();
    if (noteFinalAnswer(error, mismatch))
        return;
    // Anything else came from a server that answered, if strangely: not a lost connection.
    if (!meansUnreachable(error)) {
        m_failures = 0;
        return;
    }
    ++m_failures;
    if (m_failures >= LostAfterFailures) {
        if (m_state != State::Lost)
            qCWarning(lcState) << "connection lost after" << m_failures << "failed passes:" << error.message();
        setState(State::Lost);
    }
}

void ConnectionHealth::noteRequestFailure(const FrigateError &error, const std::optional<CertificateMismatch> &mismatch)
{
    noteFinalAnswer(error, mismatch);
}

bool ConnectionHealth::noteFinalAnswer(const FrigateError &error, const std::optional<CertificateMismatch> &mismatch)
{
    if (error.kind() == FrigateError::Kind::Unauthorized) {
        m_failures = 0;
        setState(State::SignedOut);
        return true;
    }
    if (error.kind() == FrigateError::Kind::Unreachable && mismatch) {
        m_failures = 0;
        setState(State::CertificateChanged, mismatch);
        return true;
    }
    return false;
}

void ConnectionHealth::setChecking(bool checking)
{
    if (m_checking == checking)
        return;
    m_checking = checking;
    emit checkingChanged();
}

void ConnectionHealth::reset()
{
    m_failures = 0;
    m_lastAnswer = {};
    setState(State::Ok);
    setChecking(false);
    emit lastUpdatedChanged();
}

void ConnectionHealth::setState(State state, std::optional<CertificateMismatch> mismatch)
{
    if (m_state == state && m_mismatch == mismatch)
        return;
    m_state = state;
    m_mismatch = std::move(mismatch);
    emit stateChanged();
}

QString ConnectionHealth::groupedFingerprint(const QString &hex)
{
    constexpr int GroupLength = 4;
    constexpr int GroupsPerLine = 8;
    QString text;
    const QString digits = hex.toUpper();
    for (qsizetype at = 0; at < digits.size(); at += GroupLength) {
        if (at > 0)
            text += (at / GroupLength) % GroupsPerLine == 0 ? QLatin1Char('\n') : QLatin1Char(' ');
        text += digits.mid(at, GroupLength);
    }
    return text;
}
