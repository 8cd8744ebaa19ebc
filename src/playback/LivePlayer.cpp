#include "playback/LivePlayer.h"

// Interface first: the engine behind it lands with the live source split.
LivePlayer::LivePlayer(QObject *parent) : QObject(parent) {}
LivePlayer::~LivePlayer() = default;
void LivePlayer::setVideoSink(QVideoSink *) {}
void LivePlayer::begin(Feed) {}
void LivePlayer::push(const QByteArray &) {}
void LivePlayer::end() {}
void LivePlayer::setMuted(bool) {}
bool LivePlayer::hasPicture() const { return false; }
QImage LivePlayer::shownImage() const { return {}; }
QSizeF LivePlayer::presentationSize() const { return {}; }
