#include "desktop/NewAlertPolicy.h"

#include <QTest>

namespace {
// "a@100": an unseen alert a starting at 100 s; "d:x@5" a detection, "r:x@5" an alert already seen.
ReviewItem item(const QString &text)
{
    ReviewItem review;
    const QStringList parts = text.split(u'@');
    QString id = parts.value(0);
    if (id.startsWith(QLatin1String("d:")))
        review.severity = QStringLiteral("detection");
    review.has_been_reviewed = id.startsWith(QLatin1String("r:"));
    review.id = id.contains(u':') ? id.section(u':', 1) : id;
    review.start_time = parts.value(1).toDouble();
    return review;
}

// One pass: the answer's items, newest first, and whether the app was in front ("!" first).
struct Pass
{
    QList<ReviewItem> answer;
    bool inFront = false;
};

Pass pass(const QString &text)
{
    Pass out;
    QString items = text;
    if (items.startsWith(u'!')) {
        out.inFront = true;
        items.remove(0, 1);
    }
    for (const QString &part : items.split(u' ', Qt::SkipEmptyParts))
        out.answer.append(item(part));
    return out;
}
} // namespace

class TestNewAlertPolicy : public QObject
{
    Q_OBJECT
private slots:
    void announcedAlerts_data()
    {
        // Each pass: its answer; what it announced: the pending ids newest first and how many are
        // fresh ("c,a/1"), or "-" for no notification.
        QTest::addColumn<int>("limit");
        QTest::addColumn<QStringList>("passes");
        QTest::addColumn<QStringList>("announced");

        QTest::newRow("waiting at sign-in") << 50 << QStringList{"a@100 b@90", "a@100 b@90"} << QStringList{"-", "-"};
        QTest::newRow("one new") << 50 << QStringList{"a@100", "c@110 a@100"} << QStringList{"-", "c/1"};
        QTest::newRow("several in one pass") << 50 << QStringList{"a@100", "c@110 e@105 a@100"}
                                             << QStringList{"-", "c,e/2"};
        QTest::newRow("nothing at sign-in") << 50 << QStringList{"", "c@110"} << QStringList{"-", "c/1"};
        QTest::newRow("gathered over passes") << 50 << QStringList{"a@100", "c@110 a@100", "e@120 c@110 a@100"}
                                              << QStringList{"-", "c/1", "e,c/1"};
        QTest::newRow("told once") << 50 << QStringList{"a@100", "c@110 a@100", "c@110 a@100"}
                                   << QStringList{"-", "c/1", "-"};
        QTest::newRow("seen elsewhere meanwhile") << 50 << QStringList{"a@100", "c@110 a@100", "e@120 a@100"}
                                                  << QStringList{"-", "c/1", "e/1"};
        QTest::newRow("met while in front") << 50 << QStringList{"a@100", "!c@110 a@100", "c@110 a@100"}
                                            << QStringList{"-", "-", "-"};
        QTest::newRow("in front clears the told")
            << 50 << QStringList{"a@100", "c@110 a@100", "!c@110 a@100", "e@120 c@110 a@100"}
            << QStringList{"-", "c/1", "-", "e/1"};
        QTest::newRow("marked unseen again, long ago") << 50 << QStringList{"a@1000", "a@1000 z@100"}
                                                       << QStringList{"-", "-"};
        QTest::newRow("dated a little before the newest") << 50 << QStringList{"a@1000", "a@1000 z@950"}
                                                          << QStringList{"-", "z/1"};
        QTest::newRow("slid into a full answer") << 2 << QStringList{"a@100 b@90", "a@100 z@80"}
                                                 << QStringList{"-", "-"};
        QTest::newRow("full answer, told one older than it holds")
            << 2 << QStringList{"a@100 b@90", "c@110 a@100", "e@120 f@115"} << QStringList{"-", "c/1", "e,f,c/2"};
        QTest::newRow("detections and seen ones") << 50 << QStringList{"a@100", "d:x@110 r:y@111 a@100"}
                                                  << QStringList{"-", "-"};
    }

    void announcedAlerts()
    {
        QFETCH(int, limit);
        QFETCH(QStringList, passes);
        QFETCH(QStringList, announced);
        NewAlertPolicy policy(limit);
        for (qsizetype i = 0; i < passes.size(); ++i) {
            const Pass next = pass(passes.at(i));
            const auto notice = policy.observe(next.answer, next.inFront);
            QString told = QStringLiteral("-");
            if (notice) {
                QStringList ids;
                for (const ReviewItem &alert : notice->alerts)
                    ids.append(alert.id);
                told = ids.join(u',') + u'/' + QString::number(notice->fresh);
            }
            QVERIFY2(told == announced.at(i), qPrintable(QStringLiteral("pass %1: %2").arg(i).arg(told)));
        }
    }

    // After a reset (a new sign-in) the next answer is again what was already waiting.
    void resetTakesTheNextAnswerAsWaiting()
    {
        NewAlertPolicy policy(50);
        policy.observe(pass(QStringLiteral("a@100")).answer, false);
        policy.reset();
        QVERIFY(!policy.observe(pass(QStringLiteral("c@110 a@100")).answer, false));
        QVERIFY(policy.observe(pass(QStringLiteral("e@120 c@110 a@100")).answer, false));
    }
};

QTEST_GUILESS_MAIN(TestNewAlertPolicy)
#include "tst_newalertpolicy.moc"
