// The MPEG audio frame header as the MP3 converter reads it.
#pragma once

#include <cstdint>

struct Mp3FrameHeader {
    uint8_t layer;            // 0 Layer I, 1 Layer II, 2 Layer III
    uint8_t mpeg2;            // 1 for the MPEG-2 low sampling frequencies
    uint8_t bitRateIndex;     // 1 to 14
    uint8_t sampleRateIndex;  // 0 to 2
    uint8_t padding;
    uint8_t channels;  // 1 or 2
    uint32_t sampleRate;       // Hz
    uint32_t bitRate;          // kbit/s
    uint32_t frameBytes;       // the whole frame, header included
    uint32_t samplesPerFrame;  // per channel
};

// Reads the 4 header bytes: 0 for a usable header; -2 when there is no frame
// sync (MPEG 2.5 has none here); -1 for a reserved layer, sample-rate index
// 3, bit-rate index 15, or bit-rate index 0 (free format, whose frame size
// the header does not give).
int32_t ParseMp3FrameHeader(const uint8_t header[4], Mp3FrameHeader* out);
