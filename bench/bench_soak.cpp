// Soak: in one process, for an hour, the app model signed in and polling, the Cameras grid
// refreshing its pictures, a live session stopped and opened again on another camera every two
// minutes, and the recording player loading, seeking, stepping, changing speed and reloading,
// all against the fake server. Resident memory, threads and open descriptors are sampled as it
// goes; the series goes to soak.csv and soak.png, and the verdict is printed at the end.
//
//   bench/soak [--minutes 60] [--sample-seconds 60] [--warmup-minutes 5] [--live-seconds 120] [--out DIR]
//              [--no-audio] [--parts polling,grid,live,recording]

#include "FakeFrigate.h"
#include "ProcessStats.h"
#include "PulseAudioServer.h"
#include "SoakPlot.h"
#include "TaskRunner.h"
#include "client/ServerTrust.h"
#include "playback/LivePlayer.h"
#include "playback/LiveSession.h"
#include "screens/RemoteImageCache.h"
#include "screens/VideoPlayerModel.h"
#include "state/AppModel.h"
#include "state/MemoryPreferencesStore.h"
#include "state/MemorySecretStore.h"
#include "state/ServerList.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>
#include <QVideoSink>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <memory>

void qml_register_types_Kestrova();

namespace {

// Set by Ctrl-C or a kill: the run then ends as if its time were up, so that the series so far is
// written and the fake server and the sound server are stopped rather than left behind.
std::atomic<bool> interrupted{false};

void interrupt(int)
{
    interrupted = true;
}

struct Options
{
    int minutes = 60;
    int sampleSeconds = 60;
    int warmupMinutes = 5;
    int liveSeconds = 120;
    QString out = QStringLiteral(".");
    bool audio = true;
    // What runs: any of polling, grid, live, recording; all of them unless told (to corner a leak).
    QStringList parts{QStringLiteral("polling"), QStringLiteral("grid"), QStringLiteral("live"),
                      QStringLiteral("recording")};
};

std::optional<Options> parseOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOptions({{QStringLiteral("minutes"), QStringLiteral("Length of the run."), QStringLiteral("N"), "60"},
                       {QStringLiteral("sample-seconds"), QStringLiteral("Between samples."), QStringLiteral("S"), "60"},
                       {QStringLiteral("warmup-minutes"), QStringLiteral("Before the baseline."), QStringLiteral("W"),
                        "5"},
                       {QStringLiteral("live-seconds"), QStringLiteral("Between live restarts."), QStringLiteral("L"),
                        "120"},
                       {QStringLiteral("out"), QStringLiteral("Folder of soak.csv and soak.png."),
                        QStringLiteral("DIR"), "."},
                       {QStringLiteral("no-audio"), QStringLiteral("No private PulseAudio server.")},
                       {QStringLiteral("parts"), QStringLiteral("What runs, of polling,grid,live,recording."),
                        QStringLiteral("LIST"), "polling,grid,live,recording"}});
    parser.process(arguments);
    Options options;
    options.minutes = std::max(1, parser.value(QStringLiteral("minutes")).toInt());
    options.sampleSeconds = std::max(1, parser.value(QStringLiteral("sample-seconds")).toInt());
    options.warmupMinutes = std::max(0, parser.value(QStringLiteral("warmup-minutes")).toInt());
    options.liveSeconds = std::max(10, parser.value(QStringLiteral("live-seconds")).toInt());
    options.out = parser.value(QStringLiteral("out"));
    options.audio = !parser.isSet(QStringLiteral("no-audio"));
    options.parts = parser.value(QStringLiteral("parts")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (!QDir().mkpath(options.out))
        return std::nullopt;
    return options;
}

// The work done so far.
struct Counters
{
    qint64 statsPolls = 0;
    qint64 unseenPolls = 0;
    qint64 gridPictures = 0;
    qint64 liveRestarts = 0;
    qint64 liveFrames = 0;
    qint64 recordingFrames = 0;
    qint64 itemsPlayed = 0;
    qint64 seeks = 0;
    qint64 frameSteps = 0;
    qint64 rateChanges = 0;
    qint64 reloads = 0;
};

struct Sample
{
    double minute = 0;
    ProcessStats::Footprint footprint;
    Counters counters;
};

// The app model as main() makes it, over memory stores, with the system's polling timers.
struct SignedInApp
{
    MemoryPreferencesStore preferences;
    MemorySecretStore secrets;
    ServerTrust trust{&preferences};
    FakeFrigate server;
    std::unique_ptr<AppModel> model;

    bool start()
    {
        const FakeFrigateOptions options{.version = QStringLiteral("0.16")};
        if (!server.start(options))
            return false;
        ServerSettings settings;
        settings.internalURL = server.baseUrl();
        settings.username = options.user;
        ServerList list;
        list.servers = {settings};
        saveServerList(preferences, list);
        model = std::make_unique<AppModel>(&preferences, &secrets, &trust);
        AppModel::setInstance(model.get());
        RemoteImageCache::setModel(model.get());
        runTask(model->initialize());
        runTask(model->connect(std::optional<QString>(options.password)));
        return model->isLoggedIn() && model->isPolling();
    }

    ~SignedInApp()
    {
        RemoteImageCache::setModel(nullptr);
        AppModel::setInstance(nullptr);
    }
};

// The Cameras tab itself, in a window of its own, so that its tiles refresh their pictures as
// they do on screen.
class CameraGrid
{
public:
    bool start()
    {
        qml_register_types_Kestrova();
        m_engine.addImportPath(QStringLiteral("qrc:/"));
        QQmlComponent component(&m_engine);
        component.setData("import QtQuick\nimport Kestrova\nCamerasView {}\n",
                          QUrl::fromLocalFile(QStringLiteral("/bench/SoakGrid.qml")));
        m_root.reset(qobject_cast<QQuickItem *>(component.create()));
        if (!m_root) {
            std::fprintf(stderr, "the Cameras tab did not load: %s\n", qPrintable(component.errorString()));
            return false;
        }
        m_window.resize(1000, 700);
        m_root->setSize(QSizeF(1000, 700));
        m_root->setParentItem(m_window.contentItem());
        m_window.show();
        return true;
    }

private:
    QQmlEngine m_engine;
    QQuickWindow m_window;
    std::unique_ptr<QQuickItem> m_root;
};

// A live view: the product's session and player showing into a sink.
struct LiveView
{
    QVideoSink sink;
    LivePlayer player;
    LiveSession session;

    LiveView(FrigateClient *client, qint64 &frames)
        : session(client, &player)
    {
        player.setVideoSink(&sink);
        QObject::connect(&player, &LivePlayer::framePresented, &player, [&frames] { ++frames; });
    }
};

// The live screen as a user keeps using it: now another camera in the same view, now the view
// closed and a new one opened; sound on every other time.
class LiveRotation
{
public:
    LiveRotation(FrigateClient *client, Counters &counters)
        : m_client(client)
        , m_counters(counters)
    {
    }

    void next()
    {
        static const QStringList cameras{QStringLiteral("front_door"), QStringLiteral("driveway"),
                                         QStringLiteral("back_yard")};
        const QString camera = cameras.at(m_turn % cameras.size());
        if (m_view && m_turn % 2 == 0) {
            m_view->session.stop();
            m_view.reset();
        }
        if (!m_view)
            m_view = std::make_unique<LiveView>(m_client, m_counters.liveFrames);
        m_view->player.setMuted(m_turn % 2 == 1);
        m_view->session.load(camera, camera);
        m_camera = camera;
        m_counters.liveRestarts += m_turn > 0;
        ++m_turn;
    }

    QString status() const
    {
        if (!m_view)
            return {};
        static const char *const kinds[] = {"playing", "error", "loading", "reconnecting"};
        const LiveStatus &status = m_view->session.status();
        return m_camera + QLatin1Char(' ') + QLatin1String(kinds[int(status.kind)]) + QLatin1Char(' ') + status.text;
    }

private:
    FrigateClient *m_client;
    Counters &m_counters;
    std::unique_ptr<LiveView> m_view;
    QString m_camera;
    int m_turn = 0;
};

// The recording player's minute: a new request of two recordings, then a seek, a pause with frame
// steps either way, faster and back to normal speed, the next item, another seek, a reload and
// the sound toggled; one action a second.
class RecordingLoop
{
public:
    RecordingLoop(AppModel *app, Counters &counters)
        : m_counters(counters)
    {
        m_player.setAppModel(app);
        m_player.controller()->setVideoSink(&m_sink);
        QObject::connect(&m_player.controller()->player(), &MediaPlayer::framePresented, &m_player,
                         [&counters] { ++counters.recordingFrames; });
    }

    void tick()
    {
        PlayerController &controller = *m_player.controller();
        switch (m_second++ % 60) {
        case 0: return newRequest();
        case 10:
        case 42: return seek(controller);
        case 15: return setPlaying(controller, false);
        case 16:
        case 17:
        case 18: return stepFrame(controller, +1);
        case 19:
        case 20: return stepFrame(controller, -1);
        case 21: return setPlaying(controller, true);
        case 25:
        case 28: return changeRate(controller, +1);
        case 31:
        case 32: return changeRate(controller, -1);
        case 35: return nextItem();
        case 48: return reload();
        case 52:
        case 55: return controller.toggleMute();
        default: return;
        }
    }

private:
    void newRequest()
    {
        static const QStringList cameras{QStringLiteral("front_door"), QStringLiteral("driveway")};
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        PlayerRequest request;
        for (int i = 0; i < 2; ++i) {
            const QString camera = cameras.at((m_requests + i) % cameras.size());
            const qint64 start = now - 600 - (m_requests * 2 + i) % 30 * 70;
            request.items.append(PlaybackItem{camera, camera, double(start), double(start + 60), std::nullopt});
        }
        ++m_requests;
        m_player.setRequest(request);
        if (m_requests == 1)
            m_player.start();
        ++m_counters.itemsPlayed;
    }
    void seek(PlayerController &controller)
    {
        controller.seek(5 + (m_second * 7919 % 45));
        ++m_counters.seeks;
    }
    static void setPlaying(PlayerController &controller, bool playing)
    {
        if (controller.isPlaying() != playing)
            controller.togglePlay();
    }
    void stepFrame(PlayerController &controller, int direction)
    {
        controller.stepFrame(direction);
        ++m_counters.frameSteps;
    }
    void changeRate(PlayerController &controller, int direction)
    {
        controller.changeRate(direction);
        ++m_counters.rateChanges;
    }
    void nextItem()
    {
        m_player.step(1);
        ++m_counters.itemsPlayed;
    }
    void reload()
    {
        m_player.retry();
        ++m_counters.reloads;
    }

    Counters &m_counters;
    QVideoSink m_sink;
    VideoPlayerModel m_player;
    int m_second = 0;
    int m_requests = 0;
};

// Counts the polls and grid pictures the server answered since the last call, then forgets them
// (the server's request log would otherwise grow for the whole hour).
void countRequests(FakeFrigate &server, Counters &counters)
{
    for (const QJsonValue &value : server.requests()) {
        const QString path = value.toObject().value(QLatin1String("path")).toString();
        if (path == QLatin1String("/api/stats"))
            ++counters.statsPolls;
        else if (path == QLatin1String("/api/review/summary"))
            ++counters.unseenPolls;
        else if (path.endsWith(QLatin1String("/latest.jpg")))
            ++counters.gridPictures;
    }
    server.clearRequests();
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return NAN;
    std::sort(values.begin(), values.end());
    const qsizetype middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

const char *CsvHeader = "minute,rss_kb,threads,fds,stats_polls,unseen_polls,grid_pictures,live_restarts,live_frames,"
                        "recording_frames,items_played,seeks,frame_steps,rate_changes,reloads\n";

QByteArray csvLine(const Sample &sample)
{
    const Counters &c = sample.counters;
    return QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8,%9,%10,%11,%12,%13,%14,%15\n")
        .arg(sample.minute, 0, 'f', 2)
        .arg(sample.footprint.rssKb)
        .arg(sample.footprint.threads)
        .arg(sample.footprint.fds)
        .arg(c.statsPolls)
        .arg(c.unseenPolls)
        .arg(c.gridPictures)
        .arg(c.liveRestarts)
        .arg(c.liveFrames)
        .arg(c.recordingFrames)
        .arg(c.itemsPlayed)
        .arg(c.seeks)
        .arg(c.frameSteps)
        .arg(c.rateChanges)
        .arg(c.reloads)
        .toUtf8();
}

void printSample(const Sample &sample, const QString &liveStatus)
{
    const Counters &c = sample.counters;
    std::printf("%6.2f min  RSS %8.1f MiB  threads %3d  fds %4d  | polls %lld/%lld  grid %lld  live restarts %lld "
                "frames %lld (%s)  recording items %lld frames %lld\n",
                sample.minute, sample.footprint.rssKb / 1024.0, sample.footprint.threads, sample.footprint.fds,
                c.statsPolls, c.unseenPolls, c.gridPictures, c.liveRestarts, c.liveFrames, qPrintable(liveStatus),
                c.itemsPlayed, c.recordingFrames);
    std::fflush(stdout);
}

// The goal: after the warm-up, resident memory stays within 5 % of the baseline, and threads and
// descriptors do not grow. Single samples swing with the workload's phase (an H.265 live decoder
// holds more than an H.264 one; the recording may be at 2x or paused), by up to 8 % on the
// 30-minute run, so memory is judged on medians over one whole cycle of the workload: the
// baseline is the median of the first cycle after the warm-up, and the median of every later
// cycle-long window must stay within 5 % of it. A leak of more than 5 % moves those medians; a
// phase does not. Pool threads come and go (Qt ends an idle one after 30 s), so the end's threads
// and descriptors are compared with the most of each seen in the baseline window.
struct Verdict
{
    bool judged = false;
    double cycleMinutes = 0;
    double baselineKb = NAN;
    const Sample *atWarmup = nullptr;
    int windowThreads = 0; // the most in the baseline window
    int windowFds = 0;
    double worstWindowPercent = 0; // the rolling median furthest from the baseline, signed
    double worstWindowEnd = 0;     // the minute that window ends
    double worstSamplePercent = 0; // one sample furthest from it, signed (shown, not judged)
    double worstSampleMinute = 0;
    QList<QPointF> rollingMedianKb; // (window end minute, median)

    bool memoryFlat() const { return std::abs(worstWindowPercent) <= 5.0; }
    bool countsFlat(const Sample &last) const
    {
        return last.footprint.threads <= windowThreads && last.footprint.fds <= windowFds;
    }
};

constexpr double SampleSlack = 1e-3; // a sample due at a whole minute lands a few ms late

double medianRss(const QList<Sample> &samples, double from, double to)
{
    QList<double> values;
    for (const Sample &sample : samples) {
        if (sample.minute + SampleSlack >= from && sample.minute <= to + SampleSlack)
            values.append(double(sample.footprint.rssKb));
    }
    return median(values);
}

// The live view restarts every liveSeconds through three cameras, with sound every other time:
// six restarts make one whole cycle. Without live the recording script's minute is the cycle.
double cycleMinutes(const Options &options)
{
    if (!options.parts.contains(QStringLiteral("live")))
        return 5;
    return std::max(5.0, std::ceil(6.0 * options.liveSeconds / 60.0));
}

Verdict judge(const QList<Sample> &samples, const Options &options)
{
    Verdict verdict;
    verdict.cycleMinutes = cycleMinutes(options);
    const double warmup = options.warmupMinutes;
    for (const Sample &sample : samples) {
        if (sample.minute + SampleSlack < warmup)
            continue;
        if (!verdict.atWarmup)
            verdict.atWarmup = &sample;
        if (sample.minute <= warmup + verdict.cycleMinutes + SampleSlack) {
            verdict.windowThreads = std::max(verdict.windowThreads, sample.footprint.threads);
            verdict.windowFds = std::max(verdict.windowFds, sample.footprint.fds);
        }
    }
    if (!verdict.atWarmup || samples.last().minute + SampleSlack < warmup + verdict.cycleMinutes)
        return verdict;
    verdict.judged = true;
    verdict.baselineKb = medianRss(samples, warmup, warmup + verdict.cycleMinutes);
    for (const Sample &sample : samples) {
        if (sample.minute + SampleSlack < warmup)
            continue;
        const double percent = 100.0 * (sample.footprint.rssKb - verdict.baselineKb) / verdict.baselineKb;
        if (std::abs(percent) > std::abs(verdict.worstSamplePercent)) {
            verdict.worstSamplePercent = percent;
            verdict.worstSampleMinute = sample.minute;
        }
        if (sample.minute + SampleSlack < warmup + verdict.cycleMinutes)
            continue;
        const double windowMedian = medianRss(samples, sample.minute - verdict.cycleMinutes, sample.minute);
        verdict.rollingMedianKb.append({sample.minute, windowMedian});
        const double windowPercent = 100.0 * (windowMedian - verdict.baselineKb) / verdict.baselineKb;
        if (std::abs(windowPercent) > std::abs(verdict.worstWindowPercent)) {
            verdict.worstWindowPercent = windowPercent;
            verdict.worstWindowEnd = sample.minute;
        }
    }
    return verdict;
}

void printVerdict(const QList<Sample> &samples, const Verdict &verdict, int warmupMinutes)
{
    const Sample &first = samples.first();
    const Sample &last = samples.last();
    std::printf("\nRSS %.1f MiB at start, %.1f MiB at the end (%.2f min); threads %d -> %d; fds %d -> %d\n",
                first.footprint.rssKb / 1024.0, last.footprint.rssKb / 1024.0, last.minute, first.footprint.threads,
                last.footprint.threads, first.footprint.fds, last.footprint.fds);
    if (!verdict.judged) {
        std::printf("VERDICT: not judged, the run ended before the warm-up (%d min) and one cycle (%.0f min)\n",
                    warmupMinutes, verdict.cycleMinutes);
        return;
    }
    const Sample &warm = *verdict.atWarmup;
    const double baseEnd = warmupMinutes + verdict.cycleMinutes;
    std::printf("baseline: median RSS of minutes %d-%.0f (one %.0f-minute cycle of the work) = %.1f MiB\n",
                warmupMinutes, baseEnd, verdict.cycleMinutes, verdict.baselineKb / 1024);
    std::printf("RSS: %.0f-minute rolling median furthest from the baseline %+.2f %% (window ending at minute %.2f), "
                "%.1f MiB at the end: %s\n",
                verdict.cycleMinutes, verdict.worstWindowPercent, verdict.worstWindowEnd,
                verdict.rollingMedianKb.last().y() / 1024, verdict.memoryFlat() ? "flat within 5 %" : "NOT within 5 %");
    std::printf("RSS: one sample furthest from the baseline %+.2f %% (minute %.2f), shown, not judged\n",
                verdict.worstSamplePercent, verdict.worstSampleMinute);
    std::printf("threads: %d at minute %.2f, %d at the end (%+d), at most %d in minutes %d-%.0f\n",
                warm.footprint.threads, warm.minute, last.footprint.threads,
                last.footprint.threads - warm.footprint.threads, verdict.windowThreads, warmupMinutes, baseEnd);
    std::printf("fds: %d at minute %.2f, %d at the end (%+d), at most %d in minutes %d-%.0f\n", warm.footprint.fds,
                warm.minute, last.footprint.fds, last.footprint.fds - warm.footprint.fds, verdict.windowFds,
                warmupMinutes, baseEnd);
    const bool countsFlat = verdict.countsFlat(last);
    std::printf("threads and fds: %s\n", countsFlat ? "no growth" : "GREW past what the baseline window saw");
    std::printf("VERDICT: %s\n", verdict.memoryFlat() && countsFlat ? "PASS" : "FAIL");
}

bool writeResults(const Options &options, const QList<Sample> &samples, const Verdict &verdict)
{
    QFile csv(QDir(options.out).filePath(QStringLiteral("soak.csv")));
    if (!csv.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    csv.write(CsvHeader);
    SoakPlot::Chart chart;
    for (const Sample &sample : samples) {
        csv.write(csvLine(sample));
        chart.points.append({sample.minute, sample.footprint.rssKb / 1024.0, sample.footprint.threads,
                             sample.footprint.fds});
    }
    chart.baselineMiB = verdict.baselineKb / 1024;
    for (const QPointF &point : verdict.rollingMedianKb)
        chart.rollingMedian.append({point.x(), point.y() / 1024});
    chart.warmupMinutes = options.warmupMinutes;
    chart.title = QStringLiteral("Kestrova soak, %1 min of %2; live restarts every %3 s")
                      .arg(samples.last().minute, 0, 'f', 1)
                      .arg(options.parts.join(QStringLiteral(", ")))
                      .arg(options.liveSeconds);
    return SoakPlot::write(chart, QDir(options.out).filePath(QStringLiteral("soak.png")));
}

// Everything that runs during the soak, and its timers.
class Soak
{
public:
    Soak(const Options &options, SignedInApp &app)
        : m_options(options)
        , m_app(app)
        , m_live(app.model->client(), m_counters)
        , m_recording(app.model.get(), m_counters)
    {
    }

    // The first sample is taken before any work; the work then starts half a sample interval
    // later, so that later samples fall between a restart or a new item and the next, not on them.
    void start()
    {
        m_clock.start();
        if (!m_options.parts.contains(QLatin1String("polling")))
            m_app.model->cancelPolling();
        sample();
        QObject::connect(&m_sampleTimer, &QTimer::timeout, [this] { sample(); });
        QObject::connect(&m_liveTimer, &QTimer::timeout, [this] { m_live.next(); });
        QObject::connect(&m_secondTimer, &QTimer::timeout, [this] { m_recording.tick(); });
        for (QTimer *timer : {&m_sampleTimer, &m_liveTimer, &m_secondTimer})
            timer->setTimerType(Qt::PreciseTimer);
        m_sampleTimer.start(m_options.sampleSeconds * 1000);
        QObject::connect(&m_interruptTimer, &QTimer::timeout, [this] {
            if (!interrupted)
                return;
            m_interruptTimer.stop(); // the sample runs the event loop while it asks the server
            sample(true);
        });
        m_interruptTimer.start(250);
        QTimer::singleShot(m_options.sampleSeconds * 500, Qt::PreciseTimer, [this] { startWork(); });
    }

    const QList<Sample> &samples() const { return m_samples; }

private:
    void startWork()
    {
        if (m_options.parts.contains(QLatin1String("live"))) {
            m_live.next();
            m_liveTimer.start(m_options.liveSeconds * 1000);
        }
        if (m_options.parts.contains(QLatin1String("recording"))) {
            m_recording.tick();
            m_secondTimer.start(1000);
        }
    }

    void sample(bool last = false)
    {
        Sample sample;
        sample.minute = m_clock.elapsed() / 60000.0;
        sample.footprint = ProcessStats::footprint(); // before the count, which allocates
        countRequests(m_app.server, m_counters);
        sample.counters = m_counters;
        m_samples.append(sample);
        printSample(sample, m_live.status());
        // The run ends on a sample, the first one due at or after its length.
        if (last || (m_samples.size() - 1) * qint64(m_options.sampleSeconds) >= m_options.minutes * 60LL)
            finish();
    }

    void finish()
    {
        for (QTimer *timer : {&m_sampleTimer, &m_liveTimer, &m_secondTimer, &m_interruptTimer})
            timer->stop();
        QCoreApplication::quit();
    }

    Options m_options;
    SignedInApp &m_app;
    Counters m_counters;
    LiveRotation m_live;
    RecordingLoop m_recording;
    QElapsedTimer m_clock;
    QList<Sample> m_samples;
    QTimer m_sampleTimer;
    QTimer m_liveTimer;
    QTimer m_secondTimer;
    QTimer m_interruptTimer;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "kestrova.*.info=false;kestrova.*.debug=false;qt.multimedia.*=false");
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QGuiApplication app(argc, argv);
    const std::optional<Options> options = parseOptions(QCoreApplication::arguments());
    if (!options) {
        std::fprintf(stderr, "the output folder cannot be made\n");
        return 1;
    }
    PulseAudioServer pulse; // before anything in the process talks to PulseAudio
    if (options->audio && !pulse.start())
        std::printf("no PulseAudio server could be started: the players run without sound\n");
    SignedInApp signedIn;
    if (!signedIn.start()) {
        std::fprintf(stderr, "the fake server did not start, or sign-in or polling did not\n");
        return 1;
    }
    CameraGrid grid;
    if (options->parts.contains(QLatin1String("grid")) && !grid.start())
        return 1;
    std::printf("soak: %d min of %s against fake Frigate 0.16 on %s, a sample every %d s, sound %s; output in %s\n",
                options->minutes, qPrintable(options->parts.join(QLatin1Char(','))),
                qPrintable(signedIn.server.baseUrl()), options->sampleSeconds,
                pulse.running() ? "on a private PulseAudio server" : "off",
                qPrintable(QDir(options->out).absolutePath()));
    Soak soak(*options, signedIn);
    std::signal(SIGINT, interrupt);
    std::signal(SIGTERM, interrupt);
    soak.start();
    app.exec();
    const Verdict verdict = judge(soak.samples(), *options);
    printVerdict(soak.samples(), verdict, options->warmupMinutes);
    if (!writeResults(*options, soak.samples(), verdict))
        std::fprintf(stderr, "the results could not be written to %s\n", qPrintable(options->out));
    return 0;
}
