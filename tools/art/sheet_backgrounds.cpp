// The five background pictures. Each background fills the screen with its
// sky colour first and draws these pieces over it, so everything above a
// horizon is the colour key. Strips repeat with the period at which they
// are tiled, so their seams do not show.
#include "draw.h"
#include "sheets.h"

#include <cmath>

namespace art {

namespace {

// Draws a sprite centred in the cell at (x, y, w, h).
void Centred(Canvas& c, const Sprite& s, int x, int y, int w, int h, const Ramp* ramp = nullptr, bool mirror = false) {
    DrawSprite(c, s, x + (w - s.width) / 2, y + (h - s.height) / 2, ramp, 0, mirror);
}

// A horizon that repeats every period pixels: the sum of two waves.
double Wave(double x, int period, double a1, double a2, double phase) {
    return a1 * std::sin(2 * M_PI * x / period + phase) + a2 * std::sin(4 * M_PI * x / period + 2 * phase);
}

// Fills the strip (ox, oy, w, h) below a wavy horizon with bands of colour
// by depth, the top line lit.
void FillHills(Canvas& c, int ox, int oy, int w, int h, int base, double a1, double a2, double phase,
               const std::vector<std::pair<int, Color>>& bands, Color rim) {
    for (int x = 0; x < w; ++x) {
        int top = base + int(std::lround(Wave(x, w, a1, a2, phase)));
        for (int y = std::max(top, 0); y < h; ++y) {
            int depth = y - top;
            Color col = bands.back().second;
            for (auto& [limit, colour] : bands)
                if (depth < limit) {
                    col = colour;
                    break;
                }
            c.Set(ox + x, oy + y, depth == 0 ? rim : col);
        }
    }
}

// Haikei0, 240x128: falling petals, leaves or snow over a meadow, an autumn
// wood or snowy hills. Sprites 12x32 at (12k, 0); ground strips 32x96 at
// (72v, 32), tiled every 32 pixels from y 144.
Canvas Background0() {
    Canvas c(240, 128);
    const char* near[3] = {"petal_near", "leaf_near", "flake_near"};
    const char* far[3] = {"petal_far", "leaf_far", "flake_far"};
    for (int v = 0; v < 3; ++v) {
        const int frames = 3 + v / 2;
        for (int f = 0; f < frames; ++f) {
            Centred(c, Spr(near[v] + std::to_string(f)), 12 * (6 * v + f), 0, 12, 32);
            Centred(c, Spr(far[v] + std::to_string(f)), 12 * (6 * v + frames + f), 0, 12, 32);
        }
    }
    // Spring meadow: hazy far hills, green near hills with small flowers.
    FillHills(c, 0, 32, 32, 96, 6, 2.0, 1.0, 0.0, {{96, Pal("lav1")}}, Pal("lav2"));
    FillHills(c, 0, 32, 32, 96, 26, 2.5, 1.0, 1.3, {{4, Pal("mg3")}, {14, Pal("mg2")}, {96, Pal("mg1")}}, Pal("mg3"));
    for (auto [x, y] : {std::pair{5, 40}, {20, 46}, {12, 58}, {27, 66}, {3, 74}, {17, 82}})
        c.Set(x, 32 + y, y % 3 ? Pal("pnk2") : Pal("snow"));
    // Autumn wood: a row of round tree tops, darker trunks below.
    {
        const int ox = 72;
        FillHills(c, ox, 32, 32, 96, 8, 2.0, 0.0, 0.7, {{96, Pal("lav1")}}, Pal("lav2"));
        for (int t = 0; t < 2; ++t) {
            double cx = 8 + 16 * t, cy = 28 + 3 * t;
            FillEllipse(c, ox + cx, 32 + cy, 8.5, 7, Pal("mg1"));
            FillEllipse(c, ox + cx - 2, 32 + cy - 2, 5, 4, Pal("mg2"));
            c.Fill(ox + int(cx) - 1, 32 + int(cy) + 6, 2, 12, Pal("brn1"));
        }
        FillHills(c, ox, 32, 32, 96, 44, 1.5, 0.5, 2.1, {{3, Pal("brn3")}, {96, Pal("brn2")}}, Pal("brn4"));
        for (auto [x, y] : {std::pair{6, 52}, {22, 60}, {14, 72}, {28, 84}}) c.Set(ox + x, 32 + y, Pal("org"));
    }
    // Snowy hills.
    {
        const int ox = 144;
        FillHills(c, ox, 32, 32, 96, 8, 2.5, 1.0, 0.4, {{96, Pal("lav1")}}, Pal("lav2"));
        FillHills(c, ox, 32, 32, 96, 28, 2.0, 1.5, 2.0, {{5, Pal("white")}, {16, Pal("snow")}, {96, Pal("lav2")}},
                  Pal("white"));
        for (int y = 46; y < 96; ++y)
            for (int x = 0; x < 32; ++x)
                if (c.Get(ox + x, 32 + y) == Pal("lav2") && Dither(x, y, 1) && y > 60) c.Set(ox + x, 32 + y, Pal("lav1"));
    }
    return c;
}

// Haikei1, 216x128: the night of the title, level select and break scenes.
// Falling sprites 12x32: near (12f, 0), far (48 + 12f, 0); rising shapes
// 24x36 at (192, 36s); back strip 96x96 at (96, 32), shown from y 192 (its
// top 48 rows); front strip 96x96 at (0, 32), shown from y 208 (top 32 rows).
Canvas Background1() {
    Canvas c(216, 128);
    for (int f = 0; f < 4; ++f) {
        Centred(c, Spr("mote_near" + std::to_string(f)), 12 * f, 0, 12, 32);
        Centred(c, Spr("mote_far" + std::to_string(f)), 48 + 12 * f, 0, 12, 32);
    }
    const char* shapes[3] = {"lantern", "balloon", "seed"};
    for (int s = 0; s < 3; ++s) Centred(c, Spr(shapes[s]), 192, 36 * s, 24, 36);
    // Back: far hills with a few lit windows.
    FillHills(c, 96, 32, 96, 96, 14, 5.0, 2.5, 0.5, {{96, Pal("nt1")}}, Pal("nt2"));
    for (auto [x, y] : {std::pair{20, 28}, {23, 28}, {61, 34}, {80, 24}}) c.Set(96 + x, 32 + y, Pal("yel2"));
    // Front: a dark meadow with closed flowers against the sky.
    FillHills(c, 0, 32, 96, 96, 10, 2.0, 1.5, 1.7, {{96, Pal("nt0")}}, Pal("nt1"));
    for (int k = 0; k < 6; ++k) {
        int x = 8 + 16 * k, top = 10 + int(std::lround(Wave(x, 96, 2.0, 1.5, 1.7)));
        int h = 4 + (k * 5) % 4;
        for (int y = top - h; y < top; ++y) c.Set(x, 32 + y, Pal("nt1"));
        const char* bud = k % 3 == 0 ? "cv2" : k % 3 == 1 ? "nt3" : "cv1";
        c.Fill(x - 1, 32 + top - h - 2, 3, 2, Pal(bud));
    }
    return c;
}

// Haikei2, 288x128: flying sprites 24x24 at (24(4v + f), 0); near strip
// 48x80 at (96v, 48) from y 160, far strip 48x80 at (96v + 48, 48) from y
// 112; both tiled every 48 pixels. v 0: gulls by the sea, 1: fireflies at
// night, 2: butterflies in a garden.
Canvas Background2() {
    Canvas c(288, 128);
    for (int f = 0; f < 3; ++f) {
        Centred(c, Spr("gull" + std::to_string(f)), 24 * f, 0, 24, 24);
        Centred(c, Spr("firefly" + std::to_string(f)), 24 * (4 + f), 0, 24, 24);
        Centred(c, Spr("butterfly" + std::to_string(f)), 24 * (8 + f), 0, 24, 24);
    }
    // Sea: far cliffs over the water; near: dunes.
    FillHills(c, 48, 48, 48, 80, 12, 6.0, 2.0, 0.3, {{30, Pal("lav1")}, {80, Pal("lav1")}}, Pal("lav2"));
    for (int y = 50; y < 80; ++y)
        for (int x = 0; x < 48; ++x)
            if (c.Get(48 + x, 48 + y) != kKey) c.Set(48 + x, 48 + y, (y % 6 == 0 && (x + y) % 7 < 3) ? Pal("lav2") : Pal("lav1"));
    FillHills(c, 0, 48, 48, 80, 12, 2.5, 1.0, 1.0, {{3, Pal("brn4")}, {80, Pal("brn3")}}, Pal("brn4"));
    for (auto [x, y] : {std::pair{6, 22}, {30, 30}, {18, 44}, {40, 60}}) c.Set(x, 48 + y, Pal("brn2"));
    // Night: dark ridges; near: reeds.
    FillHills(c, 144, 48, 48, 80, 16, 7.0, 3.0, 0.9, {{80, Pal("nt1")}}, Pal("nt2"));
    FillHills(c, 96, 48, 48, 80, 18, 2.0, 1.0, 0.2, {{80, Pal("nt0")}}, Pal("nt1"));
    for (int k = 0; k < 4; ++k) {
        int x = 5 + 12 * k, top = 18 + int(std::lround(Wave(x, 48, 2.0, 1.0, 0.2)));
        for (int y = top - 7 - k % 2 * 3; y < top; ++y) c.Set(96 + x, 48 + y, Pal("nt1"));
    }
    // Garden: far hedges; near: a flower bed.
    FillHills(c, 240, 48, 48, 80, 12, 3.0, 2.0, 0.6, {{80, Pal("mg1")}}, Pal("mg2"));
    FillHills(c, 192, 48, 48, 80, 16, 1.5, 1.0, 1.9, {{3, Pal("mg3")}, {80, Pal("mg2")}}, Pal("mg3"));
    for (auto [x, y] : {std::pair{4, 20}, {14, 26}, {26, 21}, {38, 27}, {9, 36}, {33, 40}, {20, 50}, {44, 58}})
        c.Set(192 + x, 48 + y, (x + y) % 3 ? Pal("pnk2") : Pal("snow"));
    return c;
}

// Haikei3, 22x70: a 22x22 wall tile at (0, 48).
Canvas Background3() {
    Canvas c(22, 70);
    for (int y = 0; y < 22; ++y)
        for (int x = 0; x < 22; ++x) {
            int bx = (x + (y / 11) * 11) % 22, by = y % 11;
            Color col = Hash(x, y, 9) < 50 ? Pal("cv1") : Pal("nt1");
            if (by == 10 || bx == 21) col = Pal("ink");
            else if (by == 0 || bx == 0) col = Pal("nt2");
            c.Set(x, 48 + y, col);
        }
    return c;
}

// Haikei4, 192x96: twinkling cells 24x24 at (24(k + 4), 24p), k the frame
// and p the cell parity; the drifting checkerboard's squares 48x48 at
// (0, 48) and (48, 48), dark tiles a shade above the night that cover the
// twinkles they pass over.
Canvas Background4() {
    Canvas c(192, 96);
    for (int p = 0; p < 2; ++p)
        for (int k = 0; k < 4; ++k) {
            const Sprite& s = Spr("twinkle" + std::to_string(k));
            // Off the cell's centre, so the grid does not show.
            int cx = p ? 7 : 15, cy = p ? 15 : 8;
            DrawSprite(c, s, 24 * (k + 4) + cx - s.width / 2, 24 * p + cy - s.height / 2);
        }
    for (int sq = 0; sq < 2; ++sq)
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 48; ++x) {
                Color col = Pal("nt0");
                if (y == 0 || x == 0) col = sq ? Pal("cv1") : Pal("nt1");
                c.Set(48 * sq + x, 48 + y, col);
            }
    return c;
}

}  // namespace

Canvas BuildBackground(int index) {
    switch (index) {
        case 0: return Background0();
        case 1: return Background1();
        case 2: return Background2();
        case 3: return Background3();
        default: return Background4();
    }
}

}  // namespace art
