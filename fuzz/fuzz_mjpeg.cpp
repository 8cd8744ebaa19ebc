// The MJPEG multipart body through the live intake, cut into the pieces it arrives in. Control
// bit 0 lets the decoder take a picture from the queue after the piece.
#include "FuzzSupport.h"
#include "playback/ByteQueue.h"
#include "playback/LiveIntake.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    auto queue = std::make_shared<ByteQueue>();
    LiveIntake intake(LiveIntake::Kind::Jpeg, queue);
    for (const Fuzz::Piece &piece : Fuzz::pieces(data, size)) {
        if (!intake.push(piece.bytes).isEmpty())
            break;
        if (piece.control & 1 && queue->buffered() > 0)
            queue->take();
    }
    return 0;
}
