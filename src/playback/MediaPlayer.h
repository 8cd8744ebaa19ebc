#pragma once
#include "playback/DecodeThread.h"
#include "playback/FrameQueue.h"
#include "playback/HlsPlaylist.h"
#include "playback/MediaSource.h"
#include "playback/PlaybackClock.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSizeF>
#include <QTimer>
#include <QUrl>
#include <QVideoSink>
#include <memory>
#include <optional>

class AudioOutput;
class AudioQueue;
class ByteQueue;
class QNetworkReply;
class SegmentFeeder;

// Plays one HLS VOD item at a time from a Frigate server: reads the playlists, feeds init section
// and segments through one byte stream to a decoding thread, and shows the pictures on a
// QVideoSink at the right moment. Lives on the GUI thread.
class MediaPlayer : public QObject
{
    Q_OBJECT
public:
    enum class Status { Empty, Loading, Ready, Failed };
    enum class TimeControl { Paused, Waiting, Playing };

    explicit MediaPlayer(QObject *parent = nullptr);
    ~MediaPlayer() override;

    void setVideoSink(QVideoSink *sink);
    QVideoSink *videoSink() const { return m_sink; }

    void load(const QUrl &url, MediaSource source);
    void unload();
    void play();
    void pause();
    // Frame-exact: shows the picture on screen at `seconds` (the last one starting at or before it).
    void seek(double seconds);
    void setRate(double rate);
    void setMuted(bool muted);
    // Frame-exact like seek, and the pictures decoded on the way stay for stepping back.
    void seekKeepingPictures(double seconds);
    // While paused, shows the next (direction > 0) or previous picture when it is already decoded:
    // waiting in the queue or kept by the last seek. False when a seek must fetch it.
    bool stepFromMemory(int direction);

    Status status() const { return m_status; }
    QString errorString() const { return m_error; }
    bool hasItem() const { return m_status != Status::Empty; }
    bool isPlaying() const { return m_playing; }
    double rate() const { return m_rate; }
    double currentTime() const;
    double duration() const { return m_playlist.duration(); }
    // Shape on screen (the sample aspect ratio applied), empty before the first picture.
    QSizeF presentationSize() const { return m_presentationSize; }
    TimeControl timeControl() const;

    // The picture on screen: its item time and a BGRA copy.
    std::optional<double> shownTime() const;
    // How long the picture on screen lasts at normal speed, 0 without one.
    double shownDuration() const { return m_shown ? m_shown->duration : 0; }
    QImage shownImage() const;
    // The decoder's picture on screen, for copies made off the GUI thread.
    SharedFrame shownFrame() const;

signals:
    void statusChanged();
    void ended();
    void framePresented(double time);

private:
    Q_INVOKABLE void present();
    void fetchPlaylist(const QUrl &url, int depth);
    void onPlaylistReply(QNetworkReply *reply, int depth, quint64 generation);
    void playlistReady(const HlsMediaPlaylist &playlist);
    void startSession(double target, bool keepPictures = false);
    void remember(const DecodedFrame &picture);
    void stopSession();
    void fail(const QString &message);
    void show(const DecodedFrame &frame);
    void presentDue();
    void checkStreamEnd();
    void reachEnd();
    void followSound();
    void updateClock();
    AudioOutput *audio();

    Status m_status = Status::Empty;
    QString m_error;
    MediaSource m_source;
    HlsMediaPlaylist m_playlist;
    quint64 m_generation = 0;
    QPointer<QNetworkReply> m_playlistReply;
    double m_pendingTarget = 0;

    DecodeThread m_decoder;
    std::shared_ptr<ByteQueue> m_bytes;
    std::shared_ptr<FrameQueue> m_frames;
    std::shared_ptr<AudioQueue> m_audioQueue;
    std::shared_ptr<SessionControl> m_control;
    SegmentFeeder *m_feeder = nullptr;

    AudioOutput *m_audio = nullptr;
    bool m_audioProbed = false;
    QPointer<QVideoSink> m_sink;
    QTimer m_tick;
    PlaybackClock m_clock;
    double m_soundDrift = 0;
    double m_rate = 1;
    bool m_muted = false;
    bool m_playing = false;
    bool m_awaitingFirstFrame = false;
    bool m_stalled = false;
    bool m_ended = false;
    std::optional<DecodedFrame> m_shown;
    std::shared_ptr<PictureHistory> m_history;
    QSizeF m_presentationSize;
};
