// Movies the DirectShow tests play, written with FFmpeg's encoders: a
// picture of four colour bands (known after decoding within a tolerance)
// and, when asked, a 440 Hz tone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dshowtest {

struct MovieSpec {
    const char* container;  // FFmpeg's muxer name: "mpeg", "avi", "mp4", "webm"
    const char* video;      // encoder name, or null for no picture
    const char* audio;      // encoder name, or null for no sound
    int width = 64;
    int height = 48;
    int frames = 10;
    int fps = 10;
};

// The band colours, left to right, as R, G, B.
constexpr uint8_t kBands[4][3] = {{220, 30, 30}, {30, 200, 40}, {40, 40, 210}, {235, 235, 235}};

// Writes the movie; "" when done, else what failed.
std::string WriteMovie(const MovieSpec& spec, const std::string& path);
// True when this FFmpeg build has the encoder.
bool HasEncoder(const char* name);

std::vector<uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
// A fresh path in the test's temporary directory.
std::string TempPath(const std::string& name);

}  // namespace dshowtest
