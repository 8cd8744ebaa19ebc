#pragma once
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <memory>
#include <optional>
#include <vector>

// The yardstick for the live view: the web page a WebKit client runs (bench/live_page.html), in
// Debian's QtWebEngine (Chromium 102 in 6.4), one view per session. The page reports its state
// and each presented picture on the console; this class keeps what it reported.
class LiveBrowserPeer
{
public:
    struct Frame
    {
        double media = 0;  // seconds, the picture's media time
        qint64 wallMs = 0; // when the page expected it on the glass, epoch ms
    };

    struct Session
    {
        qint64 openedMs = 0;
        std::optional<qint64> firstPictureMs;
        QString status; // the last "player" message, "type msg"
        std::vector<Frame> frames;
    };

    static QString filledPage(const QString &webSocketUrl, const QString &mjpegUrl, bool muted)
    {
        QFile file(QStringLiteral(KESTROVA_BENCH_DIR "/live_page.html"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QString page = QString::fromUtf8(file.readAll());
        page.replace(QLatin1String("__WS__"), literal(webSocketUrl));
        page.replace(QLatin1String("__MJPEG__"), literal(mjpegUrl));
        page.replace(QLatin1String("__MUTED__"), QLatin1String(muted ? "true" : "false"));
        return page;
    }

    // Opens a session in a window of its own (the page only decodes pictures it can show).
    Session *open(const QString &webSocketUrl, const QString &mjpegUrl, const QUrl &base)
    {
        auto entry = std::make_unique<Entry>();
        entry->session.openedMs = QDateTime::currentMSecsSinceEpoch();
        entry->page = new ReportingPage(&entry->session);
        entry->view = std::make_unique<QWebEngineView>();
        entry->view->setPage(entry->page);
        entry->page->setParent(entry->view.get());
        entry->view->resize(640, 360);
        entry->view->show();
        entry->view->setHtml(filledPage(webSocketUrl, mjpegUrl, true), base);
        m_entries.push_back(std::move(entry));
        return &m_entries.back()->session;
    }

    void closeAll() { m_entries.clear(); }

private:
    class ReportingPage : public QWebEnginePage
    {
    public:
        explicit ReportingPage(Session *session) : m_session(session) {}

    protected:
        void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &message, int,
                                      const QString &) override
        {
            if (message.startsWith(QLatin1String("frame:")))
                return frame(QJsonDocument::fromJson(message.mid(6).toUtf8()).object());
            if (message.startsWith(QLatin1String("player:"))) {
                const QJsonObject report = QJsonDocument::fromJson(message.mid(7).toUtf8()).object();
                m_session->status = report.value("type").toString() + QLatin1Char(' ') + report.value("msg").toString();
            }
        }

    private:
        void frame(const QJsonObject &report)
        {
            const qint64 wall = qint64(report.value("wall").toDouble());
            if (!m_session->firstPictureMs)
                m_session->firstPictureMs = wall;
            m_session->frames.push_back({report.value("media").toDouble(), wall});
        }
        Session *m_session;
    };

    struct Entry
    {
        Session session;
        std::unique_ptr<QWebEngineView> view;
        ReportingPage *page = nullptr;
    };

    static QString literal(const QString &text)
    {
        const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
        return array.size() < 2 ? QStringLiteral("\"\"") : QString::fromUtf8(array.mid(1, array.size() - 2));
    }

    std::vector<std::unique_ptr<Entry>> m_entries;
};
