#pragma once
#include <QByteArray>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

// A private PulseAudio server with one null sink ("kestrova"), for tests that need a sound device.
// start() must run before anything in the process talks to PulseAudio: it points PULSE_SERVER at
// the new server. record() captures what the sink plays, through its monitor source.
class PulseAudioServer
{
public:
    ~PulseAudioServer();

    bool start();
    void stop();
    bool running() const;

    static constexpr int RecordRate = 48000;
    // Mono signed 16-bit samples at RecordRate of what the sink played during the next `ms`;
    // the event loop runs meanwhile.
    QByteArray record(int ms);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    QByteArray m_server;
};

// Simple measures of a recorded tone.
namespace ToneMeasure {
double rms(const QByteArray &samples);
// Frequency from zero crossings; fine for a clean sine.
double frequency(const QByteArray &samples, int rate = PulseAudioServer::RecordRate);
}
