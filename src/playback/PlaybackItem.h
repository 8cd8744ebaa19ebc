#pragma once
#include "client/WireRecords.h"

#include <QList>
#include <QMap>
#include <QNetworkCookie>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <QtQml/qqmlregistration.h>
#include <optional>

class FrigateClient;

// One span of a camera's recordings that the player can play.
struct PlaybackItem
{
    QString camera;     // the server's camera name, used in media paths
    QString cameraName; // shown to the user
    double start = 0;   // seconds since 1970 (UTC)
    double end = 0;
    std::optional<ReviewItem> review;

    bool operator==(const PlaybackItem &) const = default;
};

size_t qHash(const PlaybackItem &item, size_t seed = 0);

// What a screen hands the recording player: the spans to play and where to begin. QML passes
// it along as an opaque value between the screens that make one and the player.
struct PlayerRequest
{
    Q_GADGET
    QML_VALUE_TYPE(playerRequest)
    Q_PROPERTY(QString idText READ idText)
    Q_PROPERTY(int index MEMBER index)
    Q_PROPERTY(int count READ count)
    Q_PROPERTY(bool isEmpty READ isEmpty)

public:
    QUuid id = QUuid::createUuid(); // new for every request opened, so a fresh player is shown
    QList<PlaybackItem> items;
    int index = 0;
    double startOffset = 0; // consumed by the first load
    bool continuous = false;

    QString idText() const { return id.toString(QUuid::WithoutBraces); }
    int count() const { return int(items.size()); }
    bool isEmpty() const { return items.isEmpty(); }
    bool operator==(const PlayerRequest &other) const { return id == other.id; }
};

// The HLS request of one item: playlist URL, sign-in cookie and headers, and where to start.
struct MediaRequest
{
    QUrl url;
    std::optional<QNetworkCookie> cookie;
    QMap<QString, QString> headers;
    std::optional<double> startAt;
};

// "vod/<camera>/start/<s>/end/<e>/master.m3u8" with both times truncated to whole seconds.
QString vodPlaylistPath(const PlaybackItem &item);
// "api/<camera>/start/<s>/end/<e>/clip.mp4", the same whole seconds as the playlist.
QString clipPath(const PlaybackItem &item);
// Absent when the client cannot build a URL (no server address yet).
std::optional<MediaRequest> mediaRequest(const FrigateClient &client, const PlaybackItem &item, double startOffset);

// The item a time jump lands in: the first (list order) holding `target` (start <= target < end),
// else the earliest one starting after it; -1 when the target is past them all.
int timeJumpIndex(const QList<PlaybackItem> &items, double target);
