#include "PulseAudioServer.h"
#include "ChildProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTest>
#include <QThread>
#include <cmath>

PulseAudioServer::~PulseAudioServer()
{
    stop();
}

bool PulseAudioServer::start()
{
    if (!m_dir.isValid())
        return false;
    const QString socket = m_dir.filePath(QStringLiteral("native"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), m_dir.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
    m_process = std::make_unique<QProcess>();
    m_process->setProcessEnvironment(environment);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->start(QStringLiteral("pulseaudio"),
                     {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                      QStringLiteral("--disallow-exit"), QStringLiteral("--use-pid-file=no"),
                      QStringLiteral("--load=module-null-sink sink_name=kestrova rate=48000"),
                      QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") + socket});
    if (!m_process->waitForStarted(5000))
        return false;
    const QDeadlineTimer deadline(10000);
    while (!QFile::exists(socket) && !deadline.hasExpired() && m_process->state() == QProcess::Running)
        QThread::msleep(20);
    if (!QFile::exists(socket))
        return false;
    m_server = "unix:" + socket.toUtf8();
    qputenv("PULSE_SERVER", m_server);
    return true;
}

void PulseAudioServer::stop()
{
    if (!m_process)
        return;
    endChildProcess(*m_process);
    m_process.reset();
}

bool PulseAudioServer::running() const
{
    return m_process && m_process->state() == QProcess::Running;
}

QByteArray PulseAudioServer::record(int ms)
{
    QProcess recorder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PULSE_SERVER"), QString::fromUtf8(m_server));
    recorder.setProcessEnvironment(environment);
    recorder.start(QStringLiteral("parec"), {QStringLiteral("--device=kestrova.monitor"), QStringLiteral("--raw"),
                                             QStringLiteral("--format=s16le"), QStringLiteral("--channels=1"),
                                             QStringLiteral("--rate=%1").arg(RecordRate),
                                             QStringLiteral("--latency-msec=20")});
    if (!recorder.waitForStarted(5000))
        return {};
    QByteArray samples;
    const qsizetype wanted = qsizetype(RecordRate) * 2 * ms / 1000;
    const QDeadlineTimer deadline(ms + 5000);
    // The caller's event loop keeps running: the player feeds the sink from it.
    while (samples.size() < wanted && !deadline.hasExpired() && recorder.state() == QProcess::Running) {
        QTest::qWait(20);
        samples += recorder.readAllStandardOutput();
    }
    recorder.kill();
    recorder.waitForFinished(3000);
    return samples.left(wanted);
}

namespace ToneMeasure {

double rms(const QByteArray &samples)
{
    const auto *data = reinterpret_cast<const qint16 *>(samples.constData());
    const qsizetype count = samples.size() / 2;
    if (count == 0)
        return 0;
    double sum = 0;
    for (qsizetype i = 0; i < count; ++i)
        sum += double(data[i]) * data[i];
    return std::sqrt(sum / count);
}

double frequency(const QByteArray &samples, int rate)
{
    const auto *data = reinterpret_cast<const qint16 *>(samples.constData());
    const qsizetype count = samples.size() / 2;
    qsizetype crossings = 0;
    for (qsizetype i = 1; i < count; ++i) {
        if ((data[i - 1] < 0) != (data[i] < 0))
            ++crossings;
    }
    return count > 0 ? crossings / 2.0 / (double(count) / rate) : 0;
}

}
