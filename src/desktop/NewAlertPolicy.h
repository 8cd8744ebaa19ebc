#pragma once
#include "client/WireRecords.h"

#include <QList>
#include <QSet>
#include <limits>
#include <optional>

// What the user is told after a pass found new alerts: every alert announced since the app was
// last in front that is still unseen, newest first, of which `fresh` came with this pass.
struct AlertNotice
{
    QList<ReviewItem> alerts;
    int fresh = 0;
};

// Decides from successive answers to "the newest unseen alerts" which alerts are new. Pure data:
// no clock, no network, no bus; times are the server's own start times, so a client clock that
// is off changes nothing.
//
// The first answer of a session is what was already waiting at sign-in: never announced. After
// that an alert is new when its id was never met and it starts after the floor. The floor keeps
// out old alerts that only now show up in the answer: ones the user marked unseen again (more
// than RecentSlack older than the newest alert met), and ones that slid into a full answer from
// below once newer ones were marked seen (not newer than that answer's oldest).
class NewAlertPolicy
{
public:
    // How far a new alert's start may lie before the newest one met: the server dates a review
    // item from its first detection, which can precede an alert created moments earlier.
    static constexpr double RecentSlack = 600; // seconds

    // `answerLimit`: the most items one answer holds; a full answer may have left older ones out.
    explicit NewAlertPolicy(int answerLimit);

    // A new session: the next answer is the one at sign-in.
    void reset();
    // The user had the app in front: what was announced is no longer pending.
    void foregrounded() { m_pending.clear(); }

    // One pass's answer, newest first. Items that are not unseen alerts are ignored. Returns a
    // notice when it holds new alerts and the app is not in front; new alerts met while the app
    // is in front are taken as seen.
    std::optional<AlertNotice> observe(const QList<ReviewItem> &answer, bool inForeground);

private:
    QList<ReviewItem> newAlerts(const QList<ReviewItem> &unseen) const;
    void absorb(const QList<ReviewItem> &unseen, qsizetype answerSize);
    void keepPendingStillUnseen(const QList<ReviewItem> &unseen, qsizetype answerSize);

    int m_limit;
    bool m_primed = false;
    QSet<QString> m_known;
    double m_floor = -std::numeric_limits<double>::infinity();
    QList<ReviewItem> m_pending;
};
