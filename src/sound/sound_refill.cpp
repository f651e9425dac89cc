// The refill that keeps a stream sound playing, and its play position.
//
// Every pass converts the next piece of PCM into the one-second ring ahead of
// the play cursor: three quarters of a second on the first fill, then an
// eighth of a second per pass (more when less than 3/8 s is left ahead),
// nothing while more than 3/4 s is buffered. After the last data it writes
// silence and stops the buffer once the cursor has passed the end.
#include "core/log.h"
#include "sound/sound_internal.h"

namespace {

// The locked span of the ring during one refill.
struct StreamLockRegion {
    uint32_t start;
    uint8_t* first;
    uint8_t* second;
    uint32_t firstLength;
    uint32_t secondLength;
    uint32_t firstDone;
    uint32_t secondDone;
    uint32_t firstLeft;
    uint32_t secondLeft;
};

struct StreamAmounts {
    uint32_t eighth;     // 1/8 s, whole blocks
    uint32_t firstFill;  // 3/4 s, whole blocks
    uint32_t guard;      // 3/4 s rounded up to whole blocks
};

StreamAmounts AmountsFor(const WAVEFORMATEX& format) {
    const uint32_t a = format.nAvgBytesPerSec, b = format.nBlockAlign;
    StreamAmounts amounts;
    amounts.eighth = a / 8 / b * b;
    amounts.firstFill = static_cast<uint32_t>(uint64_t{a} * 3 / 4) / b * b;
    amounts.guard = (static_cast<uint32_t>(uint64_t{a} * 3 / 4) + b - 1) / b * b;
    return amounts;
}

// Forward distance from a to b around a ring of the given size.
uint32_t ForwardDistance(uint32_t a, uint32_t b, uint32_t size) { return b >= a ? b - a : size - a + b; }

uint32_t RegionWritePosition(const StreamLockRegion& region, uint32_t ringBytes) {
    if (region.firstLeft > 0 || region.second == nullptr) return (region.start + region.firstDone) % ringBytes;
    return region.secondDone;
}

uint32_t RegionBytesLeft(const StreamLockRegion& region) { return region.firstLeft + region.secondLeft; }

void FillSoundSilence(SoundRecord* record, StreamLockRegion* region, uint32_t bytes) {
    const int value = record->format.wBitsPerSample == 8 ? 127 : 0;
    uint32_t n = bytes < region->firstLeft ? bytes : region->firstLeft;
    FillBytes(region->first + region->firstDone, value, n);
    region->firstDone += n;
    region->firstLeft -= n;
    bytes -= n;
    n = bytes < region->secondLeft ? bytes : region->secondLeft;
    if (n > 0) FillBytes(region->second + region->secondDone, value, n);
    region->secondDone += n;
    region->secondLeft -= n;
}

int32_t ReadStreamSource(SoundConverter* converter, StreamLockRegion* region, uint32_t bytes) {
    uint32_t total = 0;
    while (bytes > 0) {
        int32_t got;
        if (region->firstLeft > 0) {
            const uint32_t want = bytes < region->firstLeft ? bytes : region->firstLeft;
            got = ReadConverter(converter, region->first + region->firstDone, static_cast<int32_t>(want));
            if (got <= 0) break;
            region->firstDone += got;
            region->firstLeft -= got;
        } else if (region->secondLeft > 0) {
            const uint32_t want = bytes < region->secondLeft ? bytes : region->secondLeft;
            got = ReadConverter(converter, region->second + region->secondDone, static_cast<int32_t>(want));
            if (got <= 0) break;
            region->secondDone += got;
            region->secondLeft -= got;
        } else {
            break;
        }
        bytes -= static_cast<uint32_t>(got);
        total += static_cast<uint32_t>(got);
    }
    return static_cast<int32_t>(total);
}

// Sets a loop point at the region's write position: the played-bytes count
// restarts at restart once the cursor arrives there.
void SetLoopPoint(SoundRecord* record, const StreamLockRegion& region, uint32_t restart) {
    record->loopRestartPosition = restart;
    record->loopPointPending = 1;
    record->loopPoint = RegionWritePosition(region, record->bufferBytes);
}

// Called when the current source gave no data: loops it, moves to the next
// source or ends the data. -1 once the data has ended.
int32_t AdvanceStreamSource(SoundRecord* record, StreamLockRegion* region, uint32_t cursor) {
    ++record->loopCounter;
    StreamSource* source = &record->sources[record->currentSource];
    const uint32_t block = record->format.nBlockAlign;
    if (source->loopCount == -1) {
        if (record->loopPointPending) return 0;
        record->readPosition = source->loopStartSample * static_cast<int32_t>(block);
        SetLoopPoint(record, *region, static_cast<uint32_t>(record->readPosition));
        SeekConverter(&source->converter, source->loopStartSample);
        return 0;
    }
    if (record->loopCounter <= source->loopCount) {
        record->readPosition = 0;
        SeekConverter(&source->converter, 0);
        return 0;
    }
    const bool last = record->currentSource >= record->sourceCount - 1;
    if (last && record->playType == kPlayTypeLoop && record->loopPointPending) return 0;
    record->loopCounter = 0;
    if (!last) {
        // The next source starts at its beginning, also when an earlier pass
        // of the stream has read it already.
        ++record->currentSource;
        record->readPosition = 0;
        SeekConverter(&record->sources[record->currentSource].converter, 0);
        return 0;
    }
    record->finished = 1;
    if (record->playType == kPlayTypeLoop) {
        record->currentSource = 0;
        record->readPosition = 0;
        SetLoopPoint(record, *region, 0);
        SeekConverter(&record->sources[0].converter, 0);
        return 0;
    }
    record->dataEnded = 1;
    record->endWritePosition = RegionWritePosition(*region, record->bufferBytes);
    record->endCursor = cursor;
    const uint32_t eighth = AmountsFor(record->format).eighth;
    const uint32_t left = RegionBytesLeft(*region);
    FillSoundSilence(record, region, eighth < left ? eighth : left);
    return -1;
}

// True when the cursor lies after the write position and before the guard,
// going forward around the ring: more than 3/4 s is buffered ahead.
bool GuardHolds(const SoundRecord* record, uint32_t cursor) {
    if (record->guardPosition < 0) return false;
    const uint32_t size = record->bufferBytes;
    const uint32_t write = static_cast<uint32_t>(record->writePosition);
    const uint32_t toCursor = ForwardDistance(write, cursor, size);
    const uint32_t toGuard = ForwardDistance(write, static_cast<uint32_t>(record->guardPosition), size);
    return toCursor > 0 && toCursor < toGuard;
}

// True when the cursor has passed the position where the data ended.
bool CursorPassedEnd(const SoundRecord* record, uint32_t cursor) {
    const uint32_t end = record->endWritePosition, was = record->endCursor;
    if (was <= end) return cursor >= end || cursor < was;
    return cursor >= end && cursor < was;
}

}  // namespace

int32_t UpdateStreamPosition(int32_t handle, int32_t cursorArgument) {
    SoundRecord* record = FindSound(handle);
    if (record == nullptr || record->kind != kSoundStream || !record->active) return -1;
    SoundBufferWrapper* buffer = nullptr;
    if (GetStreamBuffer(handle, record, &buffer, 0) != 0) return -1;
    const uint32_t cursor =
        cursorArgument == -1 ? GetWrappedBufferCursor(buffer) : static_cast<uint32_t>(cursorArgument);
    if (cursor == record->lastCursor) return 0;
    const uint32_t size = record->bufferBytes;
    const uint32_t moved = ForwardDistance(record->lastCursor, cursor, size);
    if (record->loopPointPending && ForwardDistance(record->lastCursor, record->loopPoint, size) <= moved) {
        record->playedBytes = ForwardDistance(record->loopPoint, cursor, size) + record->loopRestartPosition;
        record->loopPointPending = 0;
    } else {
        record->playedBytes += moved;
    }
    record->lastCursor = cursor;
    return 0;
}

int32_t RefillStream(int32_t handle) {
    if (g_sound.soundObject == nullptr) return -1;
    {
        SoundRecord* record = FindSound(handle);
        if (record == nullptr || record->kind != kSoundStream || !record->active) return 0;
    }
    SoundLockGuard lock;
    SoundRecord* record = FindSound(handle);
    if (record == nullptr || record->kind != kSoundStream || !record->active) return 0;
    SoundBufferWrapper* buffer = nullptr;
    if (GetStreamBuffer(handle, record, &buffer, 0) != 0) return 0;
    UpdateStreamPosition(handle, -1);

    const StreamAmounts amounts = AmountsFor(record->format);
    const uint32_t ringBytes = record->bufferBytes;
    const uint32_t block = record->format.nBlockAlign;
    const bool firstFill = record->writePosition == kFirstFillPending;
    uint32_t offset = firstFill ? 0 : static_cast<uint32_t>(record->writePosition);
    uint32_t amount = amounts.eighth;
    uint32_t cursor = 0;

    if (record->dataEnded) {
        cursor = GetWrappedBufferCursor(buffer);
        if (CursorPassedEnd(record, cursor)) {
            StopWrappedBuffer(buffer);
            record->dataEnded = 0;
            RewindStream(record);
            return 0;
        }
        if (firstFill || GuardHolds(record, cursor)) return -1;
    } else {
        DWORD status = 0;
        if (GetWrappedBufferStatus(buffer, &status) != 0) return -1;
        if ((status & DSBSTATUS_PLAYING) == 0) {
            if (!firstFill) return 0;
            amount = amounts.firstFill;
        } else {
            cursor = GetWrappedBufferCursor(buffer);
            if (!firstFill) {
                if (GuardHolds(record, cursor)) return -1;
                const uint32_t ahead = ForwardDistance(cursor, offset, ringBytes);
                const uint64_t q = uint64_t{ahead} * 512 / record->format.nAvgBytesPerSec;
                if (q < 192)
                    amount = static_cast<uint32_t>((192 - q) * record->format.nAvgBytesPerSec / 512) / block * block;
            } else {
                amount = amounts.firstFill;
            }
        }
    }
    if (amount == 0) return -1;
    if (amount > ringBytes) amount = ringBytes;

    StreamLockRegion region{};
    region.start = offset;
    void* first = nullptr;
    void* second = nullptr;
    DWORD firstBytes = 0, secondBytes = 0;
    if (LockWrappedBuffer(buffer, offset, amount, &first, &firstBytes, &second, &secondBytes) != 0) return -1;
    region.first = static_cast<uint8_t*>(first);
    region.second = static_cast<uint8_t*>(second);
    region.firstLength = region.firstLeft = firstBytes;
    region.secondLength = region.secondLeft = second != nullptr ? secondBytes : 0;

    if (record->dataEnded) {
        FillSoundSilence(record, &region, amount);
    } else {
        // A source that runs dry is advanced and the reading goes on in the
        // same pass, so that a source shorter than a pass neither leaves the
        // cursor to run into old ring contents nor ends its data a pass
        // late. Two empty reads in a row (a loop point still pending, or a
        // source with nothing before its end sample) end the pass.
        bool lastEmpty = false;
        while (RegionBytesLeft(region) > 0 && !record->dataEnded) {
            StreamSource* source = &record->sources[record->currentSource];
            uint32_t want = RegionBytesLeft(region);
            if (source->endSample != -1) {
                const int64_t left = int64_t{source->endSample} * block - record->readPosition;
                if (left < want) want = left > 0 ? static_cast<uint32_t>(left) : 0;
            }
            const int32_t got = want > 0 ? ReadStreamSource(&source->converter, &region, want) : 0;
            if (got > 0) {
                record->readPosition += got;
                lastEmpty = false;
                continue;
            }
            if (lastEmpty) break;
            lastEmpty = true;
            AdvanceStreamSource(record, &region, cursor);
        }
    }
    UnlockWrappedBuffer(buffer, region.first, region.firstDone, region.second, region.secondDone);

    const uint32_t written = region.firstDone + region.secondDone;
    if (firstFill) {
        record->writePosition = static_cast<int32_t>(written);
        record->guardPosition = 0;
    } else {
        record->writePosition = static_cast<int32_t>((offset + written) % ringBytes);
        int64_t guard = int64_t{record->writePosition} - amounts.guard;
        if (guard < 0) guard += ringBytes;
        record->guardPosition = static_cast<int32_t>(guard);
    }
    return 0;
}

int32_t ProcessStreamSounds() {
    if (g_sound.soundObject == nullptr) return -1;
    for (ListNode* node = g_sound.streamHead.next; node != nullptr && node->next != nullptr; node = node->next) {
        auto* record = static_cast<SoundRecord*>(node->data);
        if (record->active) RefillStream(node->value);
    }
    return 0;
}
