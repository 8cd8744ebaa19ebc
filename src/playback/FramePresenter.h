#pragma once
#include "playback/DecodeThread.h"
#include "playback/FrameQueue.h"
#include "playback/PlaybackClock.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSizeF>
#include <QTimer>
#include <QVideoSink>
#include <functional>
#include <memory>
#include <optional>

class AudioOutput;
class AudioQueue;
class ByteQueue;

// The half of a player that every source shares: the decoding thread and the queues it fills, the
// sound device, the clock, the tick that presents pictures on it, the sink and the picture on
// screen. The source decides what runs on the decoding thread and when a picture is due (its
// policy); this only carries it out. GUI thread.
class FramePresenter : public QObject
{
    Q_OBJECT
public:
    explicit FramePresenter(QObject *parent = nullptr);
    ~FramePresenter() override;

    void setVideoSink(QVideoSink *sink);
    QVideoSink *videoSink() const { return m_sink; }

    // New queues for a decoding session reading `bytes` (sound too when a device exists), handed
    // back for the session; the previous session is stopped first.
    SessionSetup open(double rate, std::shared_ptr<ByteQueue> bytes);
    // Runs `session` on the decoding thread; it reads the queues `open` made.
    void run(std::function<void()> session);
    // Aborts the running session through its queues, the byte queue too, so that a demuxer
    // blocked in a read wakes at once; the picture on screen stays.
    void stop();
    bool active() const { return m_frames != nullptr; }
    FrameQueue *frames() const { return m_frames.get(); }
    SessionControl *control() const { return m_control.get(); }

    PlaybackClock &clock() { return m_clock; }
    const PlaybackClock &clock() const { return m_clock; }
    // Runs or holds the clock and the sound together; `ticking` keeps presenting while held.
    void setRunning(bool running, bool ticking);
    void setRate(double rate);
    void setMuted(bool muted);
    bool muted() const { return m_muted; }
    AudioOutput *audio();
    // Hands the device its due sound; with `follow`, the clock moves to the sound heard.
    void feedSound(bool follow);
    // Drops the sound the device holds, after the clock jumped: it would pull the clock back.
    void restartSound();

    // The newest queued picture due at `now`, the older due ones dropped unseen.
    std::optional<DecodedFrame> popDue(double now);
    void show(const DecodedFrame &frame);
    void clearPicture();
    const std::optional<DecodedFrame> &shown() const { return m_shown; }
    QImage shownImage() const;
    SharedFrame shownFrame() const { return m_shown ? m_shown->source : nullptr; }
    QSizeF presentationSize() const { return m_presentationSize; }

signals:
    // Time to look at the queue: a timer tick or a picture arrived.
    void tick();
    void framePresented(double time);

private:
    void followSound();

    DecodeThread m_decoder;
    std::shared_ptr<ByteQueue> m_bytes;
    std::shared_ptr<FrameQueue> m_frames;
    std::shared_ptr<AudioQueue> m_audioQueue;
    std::shared_ptr<SessionControl> m_control;
    AudioOutput *m_audio = nullptr;
    bool m_audioProbed = false;
    QPointer<QVideoSink> m_sink;
    QTimer m_tick;
    PlaybackClock m_clock;
    double m_soundDrift = 0;
    double m_rate = 1;
    bool m_muted = false;
    std::optional<DecodedFrame> m_shown;
    QSizeF m_presentationSize;
};
