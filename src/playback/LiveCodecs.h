#pragma once
#include <QString>

// The codecs the live relay may send and which of them our FFmpeg build can decode.
struct LiveDecoders
{
    bool h264 = false;
    bool hevc = false;
    bool aac = false;
    bool flac = false;
    bool opus = false;

    static LiveDecoders available();
};

namespace LiveCodecs {
// The list offered in the relay handshake: comma-separated tokens, no spaces, in a fixed order.
QString offered(const LiveDecoders &decoders);
// Whether a relay answer such as `video/mp4; codecs="avc1.640029,mp4a.40.2"` can be played: an
// MP4 with at least one video track and only codecs we decode. An audio-only answer (the relay's
// choice when none of our video codecs matches the camera) would show a black picture as live.
bool playable(const QString &mimeType, const LiveDecoders &decoders);
} // namespace LiveCodecs
