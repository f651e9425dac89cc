#include "game/bitmap_font.h"

#include "game/game_draw.h"
#include "game/resources.h"

#include <algorithm>

namespace {

constexpr uint8_t kLineFeed = 0x0A;
constexpr uint8_t kSpace = 0x20;
constexpr uint8_t kKanaFirst = 0xA0;
constexpr uint8_t kKanaLast = 0xDD;  // above it: signs drawn over the previous glyph

bool IsAsciiGlyph(uint8_t c) { return c >= 0x21 && c <= 0x7E; }
bool IsKana(uint8_t c) { return c >= kKanaFirst && c <= kKanaLast; }
bool IsSign(uint8_t c) { return c > kKanaLast; }

int32_t Advance(uint8_t c) {
    if (c == kSpace || IsAsciiGlyph(c)) return kAsciiAdvance;
    if (IsKana(c)) return kKanaAdvance;
    return 0;
}

}  // namespace

int32_t MeasureText(const char* text) {
    if (text == nullptr) return 0;
    int32_t width = 0, widest = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        const uint8_t c = static_cast<uint8_t>(*p);
        if (c == kLineFeed) {
            widest = std::max(widest, width);
            width = 0;
        } else {
            width += Advance(c);
        }
    }
    return std::max(widest, width);
}

void DrawText(const char* text, int32_t x, int32_t y, uint8_t centred, uint8_t raiseHalf, uint8_t raiseLine) {
    if (text == nullptr) return;
    if (centred) x -= MeasureText(text) / 2;
    int32_t top = y + 4;
    if (raiseHalf) top -= 8;
    if (raiseLine) top -= 20;
    const int32_t font = ImageHandle(kImageFont);
    int32_t penX = x, penY = top;
    for (const char* p = text; *p != '\0'; ++p) {
        const uint8_t c = static_cast<uint8_t>(*p);
        if (c == kLineFeed) {
            penX = x;
            penY += kTextLinePitch;
        } else if (c == kSpace) {
            penX += kAsciiAdvance;
        } else if (IsAsciiGlyph(c)) {
            DrawImageCell(penX, penY, (c - 0x20) % 16 * 12, 64 + (c - 0x20) / 16 * 16, 12, 16, font);
            penX += kAsciiAdvance;
        } else if (IsKana(c)) {
            DrawImageCell(penX, penY, (c - kKanaFirst) % 16 * 16, (c - kKanaFirst) / 16 * 16, 16, 16, font);
            penX += kKanaAdvance;
        } else if (IsSign(c)) {
            DrawImageCell(penX - 16, penY - 14, (c - kKanaFirst) % 16 * 16, (c - kKanaFirst) / 16 * 16, 16, 16, font);
        }
    }
}
