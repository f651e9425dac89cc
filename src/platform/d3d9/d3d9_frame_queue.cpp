#include "platform/d3d9/d3d9_frame_queue.h"

#include "platform/ddraw/ddraw.h"

#include <algorithm>

namespace d3d9 {

int64_t QueueFrame(FrameQueue* queue, int64_t nowUs, int64_t periodUs, unsigned latency) {
    std::deque<int64_t>& q = queue->shownAt;
    while (!q.empty() && q.front() <= nowUs) q.pop_front();
    const int64_t after = q.empty() ? nowUs : std::max(nowUs, q.back());
    q.push_back(ddraw::NextVerticalBlank(after, 0, periodUs));
    int64_t returnAt = nowUs;
    while (q.size() > std::max(latency, 1u)) {
        returnAt = std::max(returnAt, q.front());
        q.pop_front();
    }
    return returnAt;
}

}  // namespace d3d9
