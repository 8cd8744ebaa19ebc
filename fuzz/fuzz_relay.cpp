// The relay's binary WebSocket frames through the live intake: each piece is one frame (init
// segment, one or more moof+mdat pairs). Control bit 0 lets the demuxer take a piece from the
// queue after the frame, so the drops run against a half-read queue.
#include "FuzzSupport.h"
#include "playback/ByteQueue.h"
#include "playback/LiveIntake.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    auto queue = std::make_shared<ByteQueue>();
    LiveIntake intake(LiveIntake::Kind::Mp4, queue);
    for (const Fuzz::Piece &piece : Fuzz::pieces(data, size)) {
        if (!intake.push(piece.bytes).isEmpty())
            break;
        intake.edge();
        if (piece.control & 1 && queue->buffered() > 0)
            queue->take();
    }
    return 0;
}
