#pragma once
#include "playback/AudioConverter.h"

#include <QObject>
#include <memory>
#include <optional>

class AudioQueue;
class QAudioSink;
class QIODevice;

// The sound device of a player. Sound is stretched to the playback speed here, as it is handed to
// the device, so a change of speed applies at once to everything already decoded; above 2x
// nothing is played. Qt 6.4 reaches the device through PulseAudio only: without a server (or
// without a device) the player runs video-only on the system clock.
class AudioOutput : public QObject
{
    Q_OBJECT
public:
    explicit AudioOutput(QObject *parent = nullptr);
    ~AudioOutput() override;

    bool available() const { return m_sink != nullptr; }
    AudioFormat format() const { return m_format; }

    // Sound of a new run of segments; drops whatever the device still holds.
    void begin(std::shared_ptr<AudioQueue> queue);
    void end();
    void setMuted(bool muted);
    void setRate(double rate);
    void setPlaying(bool playing);
    // Hands the device the sound that is due at item time `now`.
    void pump(double now);
    // Item time of the sound leaving the device, while it is being fed.
    std::optional<double> heardTime() const;

private:
    void restartDevice();
    bool writePending();

    AudioFormat m_format;
    QAudioSink *m_sink = nullptr;
    QIODevice *m_device = nullptr;
    std::shared_ptr<AudioQueue> m_queue;
    TempoStretcher m_stretcher;
    QByteArray m_pending; // stretched sound the device had no room for yet
    double m_rate = 1;
    bool m_playing = false;
    std::optional<double> m_writtenEnd; // item time at the end of what was stretched so far
};
