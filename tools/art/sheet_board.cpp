// The board sheet, data/hana.png: 13 x 18 tiles of 24x24.
//
//   (0, 0)                 plain block
//   rows 4c+1 .. 4c+4      colour c (0 red, 1 blue, 2 yellow): each stone
//                          beside its flower cell as on the board, frames
//                          0 to 3 of the bloom in columns 2f and 2f+1
//   column 8, rows 1..12   stems drawn over ground blocks, row 4v+d+1
//   columns 9..12, 0..3    gray stone pieces (nine-slice)
//   rows 13..17            ground blocks, one per background group
#include "draw.h"
#include "sheets.h"

#include <cmath>

namespace art {

namespace {

constexpr int kTile = 24;
constexpr int kT1[4] = {1, 0, 0, 1};
constexpr int kT2[4] = {1, 4, 2, 3};
constexpr int kDx[4] = {-1, 0, 1, 0};
constexpr int kDy[4] = {0, -1, 0, 1};

// Sprites are drawn facing up; direction d (0 left, 1 up, 2 right, 3 down)
// is that many quarter turns.
int TurnOf(int d) { return (d + 3) % 4; }

struct PetalStyle {
    int count;
    double angle0;  // radians from up, clockwise
    double dist;    // petal centre (round) or base (pointed) from the head centre
    double len;     // radial half-length (round) or length (pointed)
    double width;   // half-width
    bool pointed;
    const char* centre;  // ramp of the centre disc
    double centreR;
};

struct StoneColour {
    const char* ramp;
    const char* emblem;
    bool darkEmblem;  // an engraved (dark) mark reads better on the bright stone
    PetalStyle full;
    PetalStyle half;
};

// Red: round petals, like its ring. Blue: four pointed petals, a diamond.
// Yellow: five pointed petals, a star.
const StoneColour kColours[3] = {
    {"red", "emblem_ring", false, {5, 0.0, 4.7, 4.2, 4.0, false, "yellow", 2.3}, {5, 0.0, 3.0, 3.0, 2.8, false, "yellow", 1.6}},
    {"blue", "emblem_diamond", false, {4, 0.0, 0.0, 9.3, 4.4, true, "snow", 2.2}, {4, 0.0, 0.0, 6.2, 3.2, true, "snow", 1.5}},
    {"yellow", "emblem_star", true, {5, 0.0, 0.0, 9.6, 3.8, true, "brown", 2.0}, {5, 0.0, 0.0, 6.4, 2.8, true, "brown", 1.5}},
};

// ---- stones --------------------------------------------------------------------

// The stone's rounded body inside a 1-pixel margin, lit from the top left.
void DrawStoneBody(Canvas& c, int ox, int oy, const Ramp& r) {
    auto in = [](int x, int y) { return InRoundRect(x, y, 1, 1, 22, 22, 4); };
    auto layer = [&](int x, int y) {  // 0 outline, 1 and 2 the bevel, 3 face
        if (!in(x, y)) return -1;
        int best = 3;
        for (int k = 1; k <= 3; ++k)
            if (!in(x - k, y) || !in(x + k, y) || !in(x, y - k) || !in(x, y + k)) {
                best = k - 1;
                break;
            }
        return best;
    };
    for (int y = 0; y < kTile; ++y)
        for (int x = 0; x < kTile; ++x) {
            int l = layer(x, y);
            if (l < 0) continue;
            Color col = r[3];
            // Which side of the body the pixel is nearest: light on the top
            // and left, shade on the bottom and right.
            bool lit = (x + y) < 23;
            if (l == 0) col = r[0];
            else if (l == 1) col = lit ? r[4] : r[1];
            else if (l == 2) col = lit ? r[3] : r[2];
            else if (Dither(x, y, std::clamp((x + y - 24) / 5, 0, 2))) col = r[2];
            c.Set(ox + x, oy + y, col);
        }
    // A gleam on the top-left shoulder.
    c.Set(ox + 4, oy + 3, Pal("white"));
    c.Set(ox + 5, oy + 3, Pal("white"));
    c.Set(ox + 3, oy + 4, Pal("white"));
}

// The colour's mark, centred on (cx, cy): a light mark with a drop shadow,
// or a dark engraved one with a lit lower edge. glow 1 and 2 light it up
// once the stone has bloomed.
void DrawEmblem(Canvas& c, int ox, int oy, const StoneColour& sc, double cx, double cy, int glow) {
    const Sprite& s = Spr(sc.emblem);
    const Ramp& r = RampOf(sc.ramp);
    int x0 = int(std::lround(cx - s.width / 2.0)), y0 = int(std::lround(cy - s.height / 2.0));
    auto body = [&](int i, int j) { return i >= 0 && j >= 0 && i < s.width && j < s.height && s.rows[j][i] != '.'; };
    Color fill = sc.darkEmblem ? r[1] : r[4];
    Color edge = sc.darkEmblem ? r[4] : r[1];
    if (glow > 0) fill = glow == 1 ? r[4] : Pal("white"), edge = r[1];
    for (int j = 0; j <= s.height; ++j)
        for (int i = 0; i <= s.width; ++i) {
            if (body(i, j)) {
                c.Set(ox + x0 + i, oy + y0 + j, fill);
            } else if (body(i - 1, j - 1)) {
                c.Set(ox + x0 + i, oy + y0 + j, edge);
            }
        }
}

// One stone: body, mark, and the sprout (unbloomed) or the stem (bloomed)
// on the side it faces.
void DrawStone(Canvas& c, int ox, int oy, int colour, int d, int frame) {
    const StoneColour& sc = kColours[colour];
    const Ramp& r = RampOf(sc.ramp);
    DrawStoneBody(c, ox, oy, r);
    // The mark keeps away from the sprout.
    DrawEmblem(c, ox, oy, sc, 12.0 - 2 * kDx[d], 12.0 - 2 * kDy[d], frame >= 2 ? frame - 1 : 0);
    Canvas over(kTile, kTile);
    if (frame == 0) DrawSprite(over, Spr("sprout"), 7, 0, &RampOf("green"));
    else DrawSprite(over, Spr("stub"), 10, 0, &RampOf("green"));
    c.Blit(Turned(over, TurnOf(d)), ox, oy);
}

// ---- flowers -------------------------------------------------------------------

// Which petal a point lies in (-1 none), with the head centre at 0, 0.
int PetalAt(const PetalStyle& p, double x, double y) {
    int best = -1;
    double bestScore = 1e9;
    for (int k = 0; k < p.count; ++k) {
        double a = p.angle0 + k * 2 * M_PI / p.count;
        double u = x * std::sin(a) - y * std::cos(a);  // along the petal
        double v = x * std::cos(a) + y * std::sin(a);  // across it
        double score;
        if (p.pointed) {
            if (u < 0 || u > p.len) continue;
            double t = u / p.len;
            double half = p.width * (t < 0.45 ? 0.35 + 0.65 * t / 0.45 : (1 - t) / 0.55);
            score = std::abs(v) / std::max(half, 0.01);
        } else {
            double du = (u - p.dist) / p.len, dv = v / p.width;
            score = std::sqrt(du * du + dv * dv);
        }
        if (score <= 1.0 && score < bestScore) best = k, bestScore = score;
    }
    return best;
}

// A flower head centred on (cx, cy) of the ox, oy tile, drawn upright
// whichever way its stem runs. Petals are told apart by dark seams.
void DrawFlowerHead(Canvas& c, int ox, int oy, const StoneColour& sc, const PetalStyle& p, double cx, double cy) {
    const Ramp& r = RampOf(sc.ramp);
    Canvas head(kTile, kTile);
    std::vector<int> label(kTile * kTile, -2);
    for (int y = 0; y < kTile; ++y)
        for (int x = 0; x < kTile; ++x) {
            double px = x + 0.5 - cx, py = y + 0.5 - cy;
            double dist = std::hypot(px, py);
            if (dist <= p.centreR) {
                label[y * kTile + x] = -1;
                continue;
            }
            int k = PetalAt(p, px, py);
            if (k >= 0) label[y * kTile + x] = k;
        }
    auto at = [&](int x, int y) { return (x < 0 || y < 0 || x >= kTile || y >= kTile) ? -2 : label[y * kTile + x]; };
    const Ramp& centre = RampOf(p.centre);
    for (int y = 0; y < kTile; ++y)
        for (int x = 0; x < kTile; ++x) {
            int l = at(x, y);
            if (l == -2) continue;
            double px = x + 0.5 - cx, py = y + 0.5 - cy;
            if (l == -1) {
                head.Set(x, y, (px + py) < 0 ? centre[4] : centre[2]);
                continue;
            }
            bool seam = false;
            for (auto [dx, dy] : {std::pair{1, 0}, {0, 1}})
                if (at(x + dx, y + dy) >= 0 && at(x + dx, y + dy) != l) seam = true;
            double dist = std::hypot(px, py);
            Color col = r[3];
            if (seam) col = r[1];
            else if (dist <= p.centreR + 1.2) col = r[2];
            else if (px + py < -0.35 * dist * 1.41) col = r[4];
            else if (px + py > 0.6 * dist * 1.41) col = r[2];
            head.Set(x, y, col);
        }
    Outline(head, 0, 0, kTile, kTile, r[0]);
    c.Blit(head, ox, oy);
}

// The flower cell of a stone facing d in bloom frame f (0 the shoot, 1 the
// bud, 2 half open, 3 in full bloom).
void DrawFlowerCell(Canvas& c, int ox, int oy, int colour, int d, int frame) {
    const StoneColour& sc = kColours[colour];
    const Ramp& green = RampOf("green");
    Canvas over(kTile, kTile);
    const Sprite& stem = Spr("stem");
    auto stemFrom = [&](int top) {
        for (int y = top; y < kTile; ++y) DrawSprite(over, stem, 10, y, &green);
    };
    double headX = 12, headY = 9;
    switch (frame) {
        case 0: DrawSprite(over, Spr("shoot"), 10, 20, &green); break;
        case 1:
            stemFrom(14);
            DrawSprite(over, Spr("leaf_right"), 14, 16, &green);
            DrawSprite(over, Spr("bud"), 9, 7, &RampOf(sc.ramp));
            break;
        case 2:
            stemFrom(12);
            DrawSprite(over, Spr("leaf_right"), 14, 16, &green);
            DrawSprite(over, Spr("leaf_right"), 5, 17, &green, 0, true);
            headY = 10;
            break;
        default:
            stemFrom(12);
            DrawSprite(over, Spr("leaf_right"), 14, 15, &green);
            DrawSprite(over, Spr("leaf_right"), 5, 17, &green, 0, true);
            break;
    }
    const int turn = TurnOf(d);
    c.Blit(Turned(over, turn), ox, oy);
    if (frame >= 2) {
        double hx, hy;
        TurnPoint(kTile, turn, headX, headY, &hx, &hy);
        DrawFlowerHead(c, ox, oy, sc, frame == 2 ? sc.half : sc.full, hx, hy);
    }
}

// ---- fixed pieces ----------------------------------------------------------------

void DrawPlainBlock(Canvas& c, int ox, int oy) {
    // A brick block: two courses of bricks set in dark mortar.
    const Ramp& b = RampOf("brown");
    for (int y = 0; y < kTile; ++y)
        for (int x = 0; x < kTile; ++x) {
            int course = y / 6;
            int bx = (x + (course % 2) * 6) % 12;
            int by = y % 6;
            Color col = b[2];
            if (by == 5 || bx == 11) col = b[0];
            else if (by == 0 || bx == 0) col = b[3];
            else if (by == 4 || bx == 10) col = b[1];
            else if (Hash(x, y, 7) < 28) col = b[1];
            c.Set(ox + x, oy + y, col);
        }
    for (int i = 0; i < kTile; ++i) {
        c.Set(ox + i, oy, b[4]);
        c.Set(ox, oy + i, b[4]);
        c.Set(ox + i, oy + kTile - 1, Pal("ink"));
        c.Set(ox + kTile - 1, oy + i, Pal("ink"));
    }
}

// One piece of the nine-slice gray stone: h and v are 0 for one cell, else
// 1 first, 2 middle, 3 last column or row.
void DrawGrayPiece(Canvas& c, int ox, int oy, int h, int v) {
    const Ramp& r = RampOf("gray");
    bool left = h <= 1, right = h == 0 || h == 3, top = v <= 1, bottom = v == 0 || v == 3;
    // The body as if it continued beyond the open sides.
    int x0 = left ? 1 : -8, x1 = right ? 22 : 31, y0 = top ? 1 : -8, y1 = bottom ? 22 : 31;
    auto in = [&](int x, int y) { return InRoundRect(x, y, x0, y0, x1 - x0 + 1, y1 - y0 + 1, 4); };
    for (int y = 0; y < kTile; ++y)
        for (int x = 0; x < kTile; ++x) {
            if (!in(x, y)) continue;
            int l = 3;
            for (int k = 1; k <= 2; ++k)
                if (!in(x - k, y) || !in(x + k, y) || !in(x, y - k) || !in(x, y + k)) {
                    l = k - 1;
                    break;
                }
            bool lit = (!in(x, y - l - 1) || !in(x - l - 1, y)) && in(x + l + 1, y) && in(x, y + l + 1);
            Color col = r[3];
            if (l == 0) col = r[0];
            else if (l == 1) col = lit ? r[4] : r[1];
            else {
                // Grain: a few darker flecks and a lighter one, the same in every piece.
                int hsh = Hash(x, y, 11);
                if (hsh < 10) col = r[2];
                else if (hsh > 250) col = r[4];
            }
            c.Set(ox + x, oy + y, col);
        }
}

// ---- ground blocks ---------------------------------------------------------------

enum GroundStyle { kMeadow, kLoam, kSnow, kSandstone, kPlanter, kCobble, kNightRock, kNightBrick, kCrystal, kTealRock };

// A block of material filling its whole cell, so that neighbours join;
// a light top and left edge and a dark bottom and right edge mark each block.
void DrawGround(Canvas& c, int ox, int oy, GroundStyle style) {
    auto put = [&](int x, int y, Color col) { c.Set(ox + x, oy + y, col); };
    for (int y = 0; y < kTile; ++y)
        for (int x = 0; x < kTile; ++x) {
            int h = Hash(x, y, 3 + style);
            Color col = 0;
            switch (style) {
                case kMeadow: {  // grass over soil
                    int grass = 5 + ((x * 7) % 3 == 0 ? 1 : 0) + (x % 5 == 2 ? 1 : 0);
                    if (y < grass - 2) col = h < 60 ? Pal("grn4") : Pal("grn3");
                    else if (y < grass) col = Pal("grn2");
                    else if (y == grass) col = Pal("brn1");
                    else col = h < 22 ? Pal("brn3") : h < 50 ? Pal("brn1") : Pal("brn2");
                    break;
                }
                case kLoam: {  // dark earth with fallen leaves
                    col = h < 40 ? Pal("brn1") : Pal("brn2");
                    if (h > 238) col = Pal("org");
                    else if (h > 226) col = Pal("yel2");
                    if (y < 3) col = (x + y) % 3 ? Pal("brn3") : Pal("brn2");
                    break;
                }
                case kSnow: {  // snow on frozen stone
                    int cap = 6 + (x % 6 == 1 ? 1 : 0) + (x % 9 == 4 ? 1 : 0);
                    if (y < cap - 2) col = Pal("white");
                    else if (y < cap) col = Pal("snow");
                    else if (y == cap) col = Pal("lav1");
                    else col = h < 40 ? Pal("gry2") : Pal("gry3");
                    if (y > cap && h > 240) col = Pal("lav2");
                    break;
                }
                case kSandstone: {  // layered sandstone
                    int band = (y + (x / 8) % 2) / 4;
                    col = band % 2 ? Pal("brn3") : Pal("brn4");
                    if ((y + (x / 8) % 2) % 4 == 3) col = Pal("brn2");
                    if (h < 14) col = Pal("brn2");
                    break;
                }
                case kPlanter: {  // wooden planks
                    int plank = y / 8;
                    int py = y % 8;
                    col = Pal("brn3");
                    if (py == 7) col = Pal("brn0");
                    else if (py == 0) col = Pal("brn4");
                    else if ((x + plank * 9) % 13 == 0 || h < 20) col = Pal("brn2");
                    if (((x + plank * 7) % 12 == 5) && py == 3) col = Pal("brn1");
                    break;
                }
                case kCobble: {  // mossy cobbles
                    int cx = (x + (y / 8) * 4) % 8, cy = y % 8;
                    col = Pal("gry3");
                    if (cx == 7 || cy == 7) col = Pal("gry1");
                    else if (cx == 0 || cy == 0) col = Pal("gry4");
                    if ((cx == 7 || cy == 7) && h < 120) col = Pal("mg1");
                    if (cx < 7 && cy < 7 && h > 236) col = Pal("mg2");
                    break;
                }
                case kNightRock: {  // moonlit stone
                    col = h < 60 ? Pal("nt3") : Pal("lav1");
                    if (h > 236) col = Pal("lav2");
                    if ((x + 2 * y) % 11 == 0 && h < 140) col = Pal("nt2");
                    break;
                }
                case kNightBrick: {  // old bricks at night
                    int course = y / 6;
                    int bx = (x + (course % 2) * 6) % 12, by = y % 6;
                    col = Pal("cv3");
                    if (by == 5 || bx == 11) col = Pal("cv1");
                    else if (by == 0 || bx == 0) col = Pal("lav1");
                    else if (h < 25) col = Pal("cv2");
                    break;
                }
                case kCrystal: {  // cave rock with crystals
                    col = h < 70 ? Pal("cv2") : Pal("cv3");
                    if (h < 20) col = Pal("cv1");
                    break;
                }
                case kTealRock: {
                    col = h < 70 ? Pal("nt3") : Pal("tl1");
                    if (h < 20) col = Pal("nt2");
                    break;
                }
            }
            put(x, y, col);
        }
    if (style == kCrystal || style == kTealRock) {
        // A crystal growing from the block's lower left.
        Color dark = style == kCrystal ? Pal("tl1") : Pal("cv2");
        Color light = style == kCrystal ? Pal("tl2") : Pal("cv3");
        for (int k = 0; k < 6; ++k) {
            for (int w = -1; w <= 1; ++w) put(6 + k / 2 + w, 18 - k, w < 0 ? light : dark);
        }
        for (int k = 0; k < 4; ++k) {
            put(16 + k / 2, 9 - k, light);
            put(17 + k / 2, 9 - k, dark);
        }
    }
    // Every block shows its edges.
    Color hi = 0, lo = 0;
    switch (style) {
        case kMeadow: hi = Pal("grn4"), lo = Pal("brn0"); break;
        case kLoam: hi = Pal("brn3"), lo = Pal("brn0"); break;
        case kSnow: hi = Pal("white"), lo = Pal("gry1"); break;
        case kSandstone: hi = Pal("brn4"), lo = Pal("brn1"); break;
        case kPlanter: hi = Pal("brn4"), lo = Pal("brn0"); break;
        case kCobble: hi = Pal("gry4"), lo = Pal("gry0"); break;
        case kNightRock: hi = Pal("lav2"), lo = Pal("nt1"); break;
        case kNightBrick: hi = Pal("lav2"), lo = Pal("cv1"); break;
        case kCrystal: hi = Pal("lav2"), lo = Pal("cv1"); break;
        case kTealRock: hi = Pal("tl2"), lo = Pal("nt0"); break;
    }
    for (int i = 0; i < kTile; ++i) {
        if (style != kMeadow && style != kSnow) put(i, 0, hi);
        put(0, i, hi);
        put(i, kTile - 1, lo);
        put(kTile - 1, i, lo);
    }
}

}  // namespace

Canvas BuildBoardSheet() {
    Canvas sheet(13 * kTile, 18 * kTile);
    DrawPlainBlock(sheet, 0, 0);
    for (int colour = 0; colour < 3; ++colour)
        for (int d = 0; d < 4; ++d)
            for (int f = 0; f < 4; ++f) {
                int sx = kT1[d] + 2 * f, sy = kT2[d] + 4 * colour;
                DrawStone(sheet, sx * kTile, sy * kTile, colour, d, f);
                DrawFlowerCell(sheet, (sx + kDx[d]) * kTile, (sy + kDy[d]) * kTile, colour, d, f);
            }
    // Stems over ground blocks: row 4v + d + 1 for side d of stem colour v.
    for (int v = 0; v < 3; ++v)
        for (int d = 0; d < 4; ++d) {
            Canvas over(kTile, kTile);
            DrawSprite(over, Spr("root"), 1, 0, &RampOf("green"));
            sheet.Blit(Turned(over, TurnOf(d)), 8 * kTile, (4 * v + d + 1) * kTile);
        }
    for (int h = 0; h < 4; ++h)
        for (int v = 0; v < 4; ++v) DrawGrayPiece(sheet, (9 + h) * kTile, v * kTile, h, v);
    // Ground block of background code g: tile (g mod 8, g / 8 + 13).
    struct {
        int g;
        GroundStyle style;
    } grounds[] = {
        {0, kMeadow},      // meadow, petals falling
        {8, kLoam},        // leaves falling
        {16, kSnow},       // snow falling
        {2, kSandstone},   // birds over the sea
        {10, kPlanter},    // butterflies in the garden
        {18, kNightRock},  // night
        {26, kNightBrick}, // night
        {34, kCobble},     // garden
        {4, kCrystal},     // cave
        {12, kTealRock},   // cave
    };
    for (auto& g : grounds) DrawGround(sheet, (g.g % 8) * kTile, (g.g / 8 + 13) * kTile, g.style);
    return sheet;
}

}  // namespace art
