// Text in the game's bitmap font, image slot 50 ("data\moji.png"): printable
// ASCII in 12x16 cells (advance 12) and the half-width katakana of Shift-JIS
// in 16x16 cells (advance 16); the voiced and semi-voiced signs (0xDE, 0xDF)
// and the bytes above them are drawn over the previous glyph without
// advancing. A line feed starts a new line 20 pixels lower.
//
// Picture layout: bytes 0xA0 to 0xFF at ((c - 0xA0) % 16 x 16, (c - 0xA0) / 16
// x 16); bytes 0x20 to 0x7F at ((c - 0x20) % 16 x 12, 64 + (c - 0x20) / 16 x 16).
#pragma once

#include <cstdint>

inline constexpr int32_t kTextLinePitch = 20;
inline constexpr int32_t kAsciiAdvance = 12;
inline constexpr int32_t kKanaAdvance = 16;

// The width in pixels of the widest line (0 for null or an empty text).
int32_t MeasureText(const char* text);
// Draws the text with the first line's glyph tops at y + 4 (minus 8 with
// raiseHalf, minus 20 with raiseLine). Centred, every line starts at
// x - MeasureText / 2. Drawn in the caller's blend mode and brightness.
void DrawText(const char* text, int32_t x, int32_t y, uint8_t centred, uint8_t raiseHalf = 0, uint8_t raiseLine = 0);
