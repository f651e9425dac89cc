// Text of the window system's own controls: one line of UTF-8 rendered with
// FreeType in the interface font, a Japanese gothic face that fontconfig
// finds (IPA P Gothic, else IPA Gothic, else any face for Japanese).
// Characters the face has no glyph for are left out rather than drawn as
// boxes, so a machine without a Japanese font still shows the Latin text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::sdl {

struct TextImage {
    int width = 0;     // advance of the whole line
    int height = 0;    // ascent + descent of the face at this size
    int baseline = 0;  // rows from the top to the baseline
    std::vector<uint8_t> coverage;  // width x height, 0 (none) to 255 (ink)
};

// Renders a line at a pixel size (the height of the em square); false when no
// font could be opened or the size is outside 4..256.
bool RenderTextLine(const std::string& utf8, int pixelSize, TextImage* out);
// The width RenderTextLine would give (0 without a font).
int MeasureTextLine(const std::string& utf8, int pixelSize);

// The face file in use ("" when there is none). Setting a path uses that file
// from the next rendering on; an empty path goes back to fontconfig's choice.
std::string InterfaceFontFile();
void SetInterfaceFontFile(const std::string& path);

}  // namespace platform::sdl
