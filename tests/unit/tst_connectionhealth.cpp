#include "state/ConnectionHealth.h"

#include <QRegularExpression>
#include <QTest>

namespace {

const CertificateMismatch refused{QStringLiteral("nvr.local"), 8971, QString(64, QLatin1Char('a')),
                                  QString(64, QLatin1Char('b'))};

// One letter per event. Polling passes: a answered, u unreachable, 5 HTTP 502, 4 HTTP 404,
// d undecodable, x cancelled, s 401, c refused certificate. Other requests: S 401,
// C refused certificate, U unreachable, R HTTP 500.
void play(ConnectionHealth &health, const QString &events)
{
    for (const QChar event : events) {
        switch (event.toLatin1()) {
        case 'a': health.noteAnswer(QDateTime::currentDateTime()); break;
        case 'u': health.notePollFailure(FrigateError::unreachable(), std::nullopt); break;
        case '5': health.notePollFailure(FrigateError::http(502), std::nullopt); break;
        case '4': health.notePollFailure(FrigateError::http(404), std::nullopt); break;
        case 'd': health.notePollFailure(FrigateError::decoding(QStringLiteral("x")), std::nullopt); break;
        case 'x': health.notePollFailure(FrigateError::cancelled(), std::nullopt); break;
        case 's': health.notePollFailure(FrigateError::unauthorized(), std::nullopt); break;
        case 'c': health.notePollFailure(FrigateError::unreachable(), refused); break;
        case 'S': health.noteRequestFailure(FrigateError::unauthorized(), std::nullopt); break;
        case 'C': health.noteRequestFailure(FrigateError::unreachable(), refused); break;
        case 'U': health.noteRequestFailure(FrigateError::unreachable(), std::nullopt); break;
        case 'R': health.noteRequestFailure(FrigateError::http(500), std::nullopt); break;
        default: QFAIL("unknown event");
        }
    }
}

} // namespace

class TestConnectionHealth : public QObject
{
    Q_OBJECT
private slots:
    void rules_data()
    {
        QTest::addColumn<QString>("events");
        QTest::addColumn<QString>("state");
        QTest::newRow("one failed pass is a hiccup") << "au" << "ok";
        QTest::newRow("two failed passes in a row") << "auu" << "lost";
        QTest::newRow("server errors count as failures") << "a55" << "lost";
        QTest::newRow("unreachable then server error") << "u5" << "lost";
        QTest::newRow("an answer between failures") << "uau" << "ok";
        QTest::newRow("an answer ends a loss") << "uuua" << "ok";
        QTest::newRow("a 404 is an answer") << "u4u" << "ok";
        QTest::newRow("an undecodable body is an answer") << "udu" << "ok";
        QTest::newRow("cancellations change nothing") << "uxu" << "lost";
        QTest::newRow("cancellation alone") << "axx" << "ok";
        QTest::newRow("401 of a pass at once") << "as" << "signedOut";
        QTest::newRow("401 of another request at once") << "aS" << "signedOut";
        QTest::newRow("401 outranks a loss") << "uus" << "signedOut";
        QTest::newRow("one failure after a 401") << "su" << "signedOut";
        QTest::newRow("two failures after a 401") << "suu" << "lost";
        QTest::newRow("an answer after a 401") << "sa" << "ok";
        QTest::newRow("refused certificate of a pass") << "ac" << "certificateChanged";
        QTest::newRow("refused certificate of a request") << "aC" << "certificateChanged";
        QTest::newRow("refused certificate while lost") << "uuc" << "certificateChanged";
        QTest::newRow("other requests do not judge reachability") << "aUUR" << "ok";
        QTest::newRow("an answer after a refused certificate") << "cca" << "ok";
    }

    void rules()
    {
        QFETCH(QString, events);
        QFETCH(QString, state);
        ConnectionHealth health;
        play(health, events);
        QCOMPARE(health.stateName(), state);
        QCOMPARE(health.isStale(), state != QLatin1String("ok"));
        const bool certificate = state == QLatin1String("certificateChanged");
        QCOMPARE(health.mismatch(), certificate ? std::optional(refused) : std::nullopt);
    }

    // Consecutive failures as the loss rule counts them: the run restarts after an answer.
    void lossNeedsConsecutiveFailures()
    {
        ConnectionHealth health;
        for (int round = 0; round < 3; ++round) {
            for (int failure = 1; failure < ConnectionHealth::LostAfterFailures; ++failure)
                play(health, QStringLiteral("u"));
            QCOMPARE(health.stateName(), QStringLiteral("ok"));
            play(health, QStringLiteral("a"));
        }
    }

    void resetForgetsEverything()
    {
        ConnectionHealth health;
        play(health, QStringLiteral("auc"));
        health.setChecking(true);
        health.reset();
        QCOMPARE(health.stateName(), QStringLiteral("ok"));
        QVERIFY(!health.mismatch() && !health.isChecking() && health.lastUpdatedText().isEmpty());
        // The failure before the reset does not count towards a loss after it.
        play(health, QStringLiteral("u"));
        QCOMPARE(health.stateName(), QStringLiteral("ok"));
    }

    void fingerprintGroups()
    {
        const QString hex = QStringLiteral("0123456789abcdef").repeated(4);
        const QString grouped = ConnectionHealth::groupedFingerprint(hex);
        const QStringList lines = grouped.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2);
        for (const QString &line : lines)
            QVERIFY(QRegularExpression(QStringLiteral("^([0-9A-F]{4} ){7}[0-9A-F]{4}$")).match(line).hasMatch());
        QCOMPARE(grouped.toLower().remove(QLatin1Char(' ')).remove(QLatin1Char('\n')), hex);
    }
};

QTEST_GUILESS_MAIN(TestConnectionHealth)
#include "tst_connectionhealth.moc"
