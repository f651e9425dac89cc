// The drawing surface of the art tools: an RGB picture in which magenta
// (255, 0, 255) is the colour key, the palette every sheet draws from, the
// hand-placed sprites of assets/images/*.txt, and PNG files.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace art {

using Color = uint32_t;           // 0xRRGGBB
constexpr Color kKey = 0xFF00FF;  // transparent: the game's colour key

struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<Color> pixels;

    Canvas() = default;
    Canvas(int w, int h, Color fill = kKey) : width(w), height(h), pixels(size_t(w) * h, fill) {}

    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    Color Get(int x, int y) const { return Inside(x, y) ? pixels[size_t(y) * width + x] : kKey; }
    void Set(int x, int y, Color c) {
        if (Inside(x, y)) pixels[size_t(y) * width + x] = c;
    }
    bool Opaque(int x, int y) const { return Get(x, y) != kKey; }
    void Fill(int x, int y, int w, int h, Color c);
    // Copies the rectangle of src to (dx, dy), skipping key pixels.
    void Blit(const Canvas& src, int sx, int sy, int w, int h, int dx, int dy);
    void Blit(const Canvas& src, int dx, int dy) { Blit(src, 0, 0, src.width, src.height, dx, dy); }
    Canvas Crop(int x, int y, int w, int h) const;
};

// ---- palette ------------------------------------------------------------------
// "name #rrggbb" lines, and "ramp name c0 c1 c2 c3 c4" lines naming five
// colours from darkest (the outline) to lightest.
struct Ramp {
    Color c[5];
    Color operator[](int i) const { return c[i]; }
};

struct Palette {
    std::map<std::string, Color> colors;
    std::map<std::string, Ramp> ramps;
};

bool LoadPalette(const std::string& path, Palette* palette, std::string* error);
// The colour or ramp of that name; a missing name ends the tool with a message.
Color Pal(const std::string& name);
const Ramp& RampOf(const std::string& name);
const Palette& CurrentPalette();
void SetCurrentPalette(const Palette& palette);

// ---- sprites --------------------------------------------------------------------
// A sprite is a grid of characters. '.' is transparent, the digits 0 to 4
// stand for the entries of the ramp given when the sprite is drawn, and every
// other character is a palette colour through the file's legend.
struct Sprite {
    std::string name;
    int width = 0;
    int height = 0;
    std::vector<std::string> rows;
    std::map<char, std::string> legend;  // the legend in force where it was read
};

bool LoadSprites(const std::string& path, std::map<std::string, Sprite>* sprites, std::string* error);
const Sprite& Spr(const std::string& name);
void AddSprites(const std::map<std::string, Sprite>& sprites);

// Transforms: rotation in quarter turns clockwise, then an optional mirror.
enum Turn { kTurn0 = 0, kTurn90 = 1, kTurn180 = 2, kTurn270 = 3 };
// Draws the sprite with its top-left corner at (x, y) after the transform;
// ramp may be null when the sprite uses no ramp digits.
void DrawSprite(Canvas& canvas, const Sprite& sprite, int x, int y, const Ramp* ramp = nullptr, int turn = 0,
                bool mirror = false);
// The transformed sprite's size.
int SpriteWidth(const Sprite& sprite, int turn);
int SpriteHeight(const Sprite& sprite, int turn);

// ---- PNG --------------------------------------------------------------------------
// Writes an opaque RGB PNG (magenta stays magenta).
bool WritePng(const std::string& path, const Canvas& canvas, std::string* error);
// Writes an RGBA PNG in which the key colour becomes fully transparent.
bool WritePngWithAlpha(const std::string& path, const Canvas& canvas, std::string* error);
// Reads any PNG into a canvas; fully transparent pixels become the key.
bool ReadPng(const std::string& path, Canvas* canvas, std::string* error);

// Ends the tool with a message on stderr.
[[noreturn]] void Fail(const std::string& message);

}  // namespace art
