// The frames a device has presented and the display has not shown yet. A
// present with an interval of one queues its frame for the first vertical
// blank after the frame before it, and returns at once while no more than
// the device's maximum frame latency of frames wait to be shown; with more,
// it returns when enough of them have been shown (the oldest first). So a
// program is paced one blank per frame once the queue is full, as on the
// card, without the first frames each waiting for a blank of their own.
#pragma once

#include <cstdint>
#include <deque>

namespace d3d9 {

struct FrameQueue {
    std::deque<int64_t> shownAt;  // microseconds, oldest first
};

// Queues a frame presented at nowUs on a display of periodUs blanks (on the
// grid of ddraw::NextVerticalBlank) and gives the time the present returns
// (nowUs or later). latency 0 counts as 1; periodUs <= 0 shows at once.
int64_t QueueFrame(FrameQueue* queue, int64_t nowUs, int64_t periodUs, unsigned latency);

}  // namespace d3d9
