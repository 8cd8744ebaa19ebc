#pragma once
#include "FakeFrigate.h"
#include "client/FrigateClient.h"
#include "client/ServerTrust.h"
#include "playback/PlaybackItem.h"
#include "state/MemoryPreferencesStore.h"
#include "state/MemorySecretStore.h"
#include "state/ServerSettings.h"

#include <QImage>
#include <memory>

// A client signed in to a fake Frigate, wired as the application wires it (its own trust store
// and secrets), for tests and benchmarks of recording playback.
struct PlaybackRig
{
    MemoryPreferencesStore preferences;
    MemorySecretStore secrets;
    ServerTrust trust{&preferences};
    FakeFrigate server;
    ServerSettings settings;
    std::unique_ptr<FrigateClient> client;

    // Starts the server and signs in. False when either fails.
    bool start(const FakeFrigateOptions &options);

    // A span of `camera` beginning `secondsAgo` whole seconds before now, `length` seconds long.
    static PlaybackItem recentItem(const QString &camera, int secondsAgo, int length);
    // Same, but moved back so that it starts at `loopPhase` seconds into the scene's loop minute.
    static PlaybackItem itemAtPhase(const QString &camera, int loopPhase, int length);
};

// The recordings' time line and the frame numbers they draw, as the fake server cuts them.
namespace FakeRecordings {
constexpr int Fps = 15;
constexpr int LoopFrames = 60 * Fps;
// Epoch of media time 0: the requested start (0.16) or the start of the first 10 s recording file
// overlapping it (0.14/0.15).
double origin(const QString &version, const PlaybackItem &item);
// Item time of the picture shown at `seconds`: the last frame starting at or before it.
double framePts(double seconds);
// The loop frame number shown at item time `pts` (a frame time).
int frameNumberAt(const QString &version, const PlaybackItem &item, double pts);
}

// Reads the loop frame number drawn in binary along the bottom edge of a BGRA picture
// (see tests/fakefrigate/media.py); -1 when the picture is missing.
int drawnFrameNumber(const QImage &picture);
