#include "screens/LiveStreamView.h"

#include "playback/LivePlayer.h"
#include "playback/LiveSession.h"
#include "state/AppModel.h"

LiveStreamView::LiveStreamView(QObject *parent)
    : QObject(parent)
    , m_player(new LivePlayer(this))
{
    m_player->setMuted(m_muted);
}

LiveStreamView::~LiveStreamView()
{
    // The session's socket and timers go before the player they feed.
    delete m_session;
    m_player->end();
}

void LiveStreamView::setAppModel(AppModel *model)
{
    if (m_app == model)
        return;
    if (m_app)
        disconnect(m_app, nullptr, this, nullptr);
    m_app = model;
    delete m_session;
    m_session = nullptr;
    m_loaded = false;
    if (model) {
        m_session = new LiveSession(model->client(), m_player, this);
        connect(m_session, &LiveSession::statusChanged, this, &LiveStreamView::statusChanged);
        connect(model, &AppModel::addressInUseChanged, this, &LiveStreamView::refresh);
    }
    emit appModelChanged();
    emit statusChanged();
    refresh();
}

void LiveStreamView::setCamera(const QString &camera)
{
    if (m_camera == camera)
        return;
    m_camera = camera;
    emit cameraChanged();
    refresh();
}

void LiveStreamView::setStream(const QString &stream)
{
    if (m_stream == stream)
        return;
    m_stream = stream;
    emit streamChanged();
    refresh();
}

void LiveStreamView::setMuted(bool muted)
{
    if (m_muted == muted)
        return;
    m_muted = muted;
    m_player->setMuted(muted);
    emit mutedChanged();
}

void LiveStreamView::setVideoSink(QVideoSink *sink)
{
    if (m_sink == sink)
        return;
    m_sink = sink;
    m_player->setVideoSink(sink);
    emit videoSinkChanged();
}

void LiveStreamView::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
    emit activeChanged();
    refresh();
}

void LiveStreamView::componentComplete()
{
    m_complete = true;
    refresh();
}

QUrl LiveStreamView::currentBase() const
{
    FrigateClient *client = m_app ? m_app->client() : nullptr;
    const std::optional<QUrl> base = client ? client->baseURL() : std::nullopt;
    return base.value_or(QUrl());
}

// Reloads only for another stream or server address; the first load waits for both and a camera.
void LiveStreamView::refresh()
{
    if (!m_complete || !m_session)
        return;
    const QUrl base = currentBase();
    if (!m_active || base.isEmpty() || m_stream.isEmpty() || m_camera.isEmpty()) {
        m_session->reset();
        m_loaded = false;
        return;
    }
    if (m_loaded && m_loadedStream == m_stream && m_loadedBase == base)
        return;
    // Another camera's last picture must not stand under this camera's name.
    if (m_loadedCamera != m_camera)
        m_player->clearPicture();
    m_loaded = true;
    m_loadedCamera = m_camera;
    m_loadedStream = m_stream;
    m_loadedBase = base;
    m_session->load(m_stream, m_camera);
}

LiveStreamView::Status LiveStreamView::status() const
{
    if (!m_session)
        return Status::Loading;
    switch (m_session->status().kind) {
    case LiveStatus::Kind::Playing:
        return Status::Playing;
    case LiveStatus::Kind::Error:
        return Status::Error;
    case LiveStatus::Kind::Reconnecting:
        return Status::Reconnecting;
    case LiveStatus::Kind::Loading:
        break;
    }
    return Status::Loading;
}

QString LiveStreamView::statusText() const
{
    return m_session ? m_session->status().text : QString();
}
