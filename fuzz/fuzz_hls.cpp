// A VOD playlist (master or media), resolved against a location with a query, then looked up.
#include "FuzzSupport.h"
#include "playback/HlsPlaylist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QUrl location(QStringLiteral(
        "https://nvr.example:8971/vod/front_door/start/1729980000/end/1729983600/master.m3u8?token=a%20b"));
    const HlsPlaylist playlist = HlsPlaylist::parse(Fuzz::bytes(data, size), location);
    if (playlist.kind != HlsPlaylist::Kind::Media)
        return 0;
    const double duration = playlist.media.duration();
    for (const double at : {-1.0, 0.0, duration / 2, duration, duration + 1})
        playlist.media.segmentAt(at);
    return 0;
}
