#pragma once
#include "playback/FramePresenter.h"
#include "playback/HlsPlaylist.h"
#include "playback/MediaSource.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSizeF>
#include <QUrl>
#include <QVideoSink>
#include <memory>
#include <optional>

class ByteQueue;
class QNetworkReply;
class SegmentFeeder;

// Plays one HLS VOD item at a time from a Frigate server: reads the playlists, feeds init section
// and segments through one byte stream to the presenter's decoding thread, and keeps the
// recording's rules (exact seeks, rates, stepping, the end of the item). Lives on the GUI thread.
class MediaPlayer : public QObject
{
    Q_OBJECT
public:
    enum class Status { Empty, Loading, Ready, Failed };
    enum class TimeControl { Paused, Waiting, Playing };

    explicit MediaPlayer(QObject *parent = nullptr);
    ~MediaPlayer() override;

    void setVideoSink(QVideoSink *sink) { m_presenter.setVideoSink(sink); }
    QVideoSink *videoSink() const { return m_presenter.videoSink(); }

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
    QSizeF presentationSize() const { return m_presenter.presentationSize(); }
    TimeControl timeControl() const;

    // The picture on screen: its item time and a BGRA copy.
    std::optional<double> shownTime() const;
    // How long the picture on screen lasts at normal speed, 0 without one.
    double shownDuration() const { return m_presenter.shown() ? m_presenter.shown()->duration : 0; }
    QImage shownImage() const { return m_presenter.shownImage(); }
    // The decoder's picture on screen, for copies made off the GUI thread.
    SharedFrame shownFrame() const { return m_presenter.shownFrame(); }

signals:
    void statusChanged();
    void ended();
    void framePresented(double time);

private:
    void present();
    void fetchPlaylist(const QUrl &url, int depth);
    void onPlaylistReply(QNetworkReply *reply, int depth, quint64 generation);
    void playlistReady(const HlsMediaPlaylist &playlist);
    void startSession(double target, bool keepPictures = false);
    void remember(const DecodedFrame &picture);
    void stopSession();
    void fail(const QString &message);
    void presentDue();
    void checkStreamEnd();
    void reachEnd();
    void updateClock();

    Status m_status = Status::Empty;
    QString m_error;
    MediaSource m_source;
    HlsMediaPlaylist m_playlist;
    quint64 m_generation = 0;
    QPointer<QNetworkReply> m_playlistReply;
    double m_pendingTarget = 0;

    FramePresenter m_presenter;
    std::shared_ptr<ByteQueue> m_bytes;
    SegmentFeeder *m_feeder = nullptr;

    double m_rate = 1;
    bool m_playing = false;
    bool m_awaitingFirstFrame = false;
    bool m_stalled = false;
    bool m_ended = false;
    std::shared_ptr<PictureHistory> m_history;
};
