#include "playback/PlaybackError.h"

#include "client/FrigateError.h"
#include "playback/MediaSource.h"

#include <QCoreApplication>
#include <QNetworkReply>

namespace PlaybackError {

QString generic()
{
    return QCoreApplication::translate("PlayerController", "Unable to play the recording.");
}

QString notPlaylist()
{
    return QCoreApplication::translate("PlayerController", "The server did not answer with a recording playlist.");
}

QString emptyPlaylist()
{
    return QCoreApplication::translate("PlayerController", "The server has no video for this time span.");
}

QString certificateChanged()
{
    return QCoreApplication::translate(
        "PlayerController",
        "The server's HTTPS certificate has changed. If you replaced it yourself, edit the server and save it "
        "again to accept the new certificate.");
}

QString foreignRedirect()
{
    return QCoreApplication::translate("PlayerController",
                                       "The server sent the recording to another address, which was not followed.");
}

QString undecodable()
{
    return QCoreApplication::translate("PlayerController", "Part of the recording could not be decoded.");
}

QString segmentTooLarge()
{
    return QCoreApplication::translate("PlayerController", "A part of the recording is too large to play.");
}

QString liveUnreadable()
{
    return QCoreApplication::translate("LivePlayer", "The live stream cannot be read.");
}

QString liveUnsupported()
{
    return QCoreApplication::translate("LivePlayer", "The live stream uses a format this player cannot decode.");
}

QString fromReply(QNetworkReply *reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (MediaSource::refusedRedirect(reply))
        return foreignRedirect();
    if (reply->error() == QNetworkReply::SslHandshakeFailedError)
        return certificateChanged();
    if (status == 401)
        return FrigateError::unauthorized().message();
    if (status != 0 && (status < 200 || status > 299))
        return FrigateError::http(status).message();
    if (reply->error() != QNetworkReply::NoError)
        return FrigateError::unreachable().message();
    return {};
}

}
