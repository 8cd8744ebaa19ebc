#pragma once
#include <QByteArray>
#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSizeF>
#include <QString>
#include <QVideoSink>
#include <memory>

class ByteQueue;
class FramePresenter;
class LiveIntake;

// Plays a live stream whose bytes arrive from elsewhere: the relay's WebSocket frames (an init
// segment, then moof+mdat fragments) or the body of an MJPEG reply. It shares the demux, decode,
// clock and present path with the recording player and keeps to the live edge. GUI thread.
class LivePlayer : public QObject
{
    Q_OBJECT
public:
    enum class Feed { FragmentedMp4, MultipartJpeg };

    explicit LivePlayer(QObject *parent = nullptr);
    ~LivePlayer() override;

    void setVideoSink(QVideoSink *sink);
    // A new stream (a new connection): decoding starts afresh; the picture on screen stays until
    // the new stream's first picture replaces it.
    void begin(Feed feed);
    // Bytes as they arrive: a whole WebSocket binary frame (one or more boxes), or any slice of an
    // MJPEG body.
    void push(const QByteArray &bytes);
    // Stops decoding; the picture on screen stays.
    void end();
    // Takes the picture off the screen, for a stream of another camera.
    void clearPicture();
    void setMuted(bool muted);

    bool hasPicture() const;
    QImage shownImage() const;
    QSizeF presentationSize() const;

signals:
    // The first picture of a stream is on screen, or pictures flow again after waiting().
    void playing();
    // The stream is open but pictures stopped coming.
    void waiting();
    // The bytes cannot be played (not a transport failure): an unknown container or codec.
    void failed(const QString &message);
    // A picture went on screen; `mediaTime` is its decode time in the stream, in seconds.
    void framePresented(double mediaTime);

private:
    void present();
    void showFirst();
    void keepToEdge();
    void holdOrResume(bool shownNow);
    void stopWithError(const QString &message);

    std::unique_ptr<FramePresenter> m_presenter; // held apart, so that this header needs no FFmpeg
    std::shared_ptr<ByteQueue> m_bytes;
    std::unique_ptr<LiveIntake> m_intake;
    Feed m_feed = Feed::FragmentedMp4;
    bool m_awaitingFirst = false;
    bool m_held = false; // the clock reached the last picture and waits for the next
    bool m_waiting = false; // waiting() was emitted and playing() not yet again
    QElapsedTimer m_sincePicture;
};
