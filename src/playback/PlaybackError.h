#pragma once
#include <QString>

class QNetworkReply;

// The messages a failed recording shows in the player, each a complete sentence for the screen.
namespace PlaybackError {
QString generic();
QString notPlaylist();
QString emptyPlaylist();
QString certificateChanged();
QString foreignRedirect();
QString undecodable();
QString segmentTooLarge();
// A live stream whose bytes cannot be read, or whose codec has no decoder here.
QString liveUnreadable();
QString liveUnsupported();
// Why a finished playlist or segment request cannot be used, or an empty text when it can.
QString fromReply(QNetworkReply *reply);
}
