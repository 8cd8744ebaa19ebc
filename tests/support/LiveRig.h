#pragma once
#include "PlaybackRig.h"
#include "playback/LivePlayer.h"
#include "playback/LiveSession.h"

#include <memory>

// A live session of a client signed in to a fake Frigate, its pictures going to a player.
struct LiveRig
{
    PlaybackRig rig;
    LivePlayer player;
    std::unique_ptr<LiveSession> session;

    bool start(const FakeFrigateOptions &options = {})
    {
        if (!rig.start(options))
            return false;
        session = std::make_unique<LiveSession>(rig.client.get(), &player);
        return true;
    }
};
