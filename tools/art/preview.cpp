// Composes mock-up screens from the built data/ pictures, drawn the way the
// game draws them (colour-key blits, alpha and additive blending, the
// bitmap font, nine-slice buttons), and writes them doubled to 640x480 so
// that the art can be judged as a player sees it. Not run by the build.
//
//   art_preview DATA-DIR OUT-DIR
//
// Writes puzzle_<background>_<language>.png (the same board on every
// background), clear_, title_, title_delete_, select_, first_ and
// break_<language>.png, bloom.png and logo.png, and every sheet enlarged
// four times as sheet_<name>.png, the colour key shown as a pink check.
#include "canvas.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

using namespace art;

namespace {

std::string g_data;
std::map<int, Canvas> g_images;  // by image slot

const Canvas& Image(int slot) { return g_images.at(slot); }

void LoadImages() {
    const std::pair<int, const char*> files[] = {
        {0, "hana"},       {2, "effect"},     {3, "cursor2"},    {4, "sentaku"},    {5, "hito"},
        {49, "fuki"},      {50, "moji"},      {51, "volume"},    {52, "morvane"},   {100, "haikei00"},
        {101, "haikei01"}, {102, "haikei02"}, {103, "haikei03"}, {104, "haikei04"},
    };
    for (auto [slot, name] : files) {
        std::string error;
        Canvas c;
        if (!ReadPng(g_data + "/" + name + ".png", &c, &error)) Fail(error);
        g_images[slot] = c;
    }
}

// ---- a small renderer with the game's blend modes --------------------------------

struct Screen {
    Canvas pixels{320, 240, 0};
    int mode = 1;  // 1 alpha, 2 add
    int param = 255;
    int bright[3] = {255, 255, 255};
};
Screen g;

void SetBlend(int mode, int param) { g.mode = mode, g.param = param; }

void Plot(int x, int y, Color src) {
    if (x < 0 || y < 0 || x >= 320 || y >= 240) return;
    int s[3] = {int(src >> 16 & 255) * g.bright[0] / 255, int(src >> 8 & 255) * g.bright[1] / 255,
                int(src & 255) * g.bright[2] / 255};
    Color d = g.pixels.Get(x, y);
    int dc[3] = {int(d >> 16 & 255), int(d >> 8 & 255), int(d & 255)};
    int o[3];
    for (int i = 0; i < 3; ++i) {
        if (g.mode == 2) o[i] = std::min(255, dc[i] + s[i] * g.param / 255);
        else o[i] = dc[i] + (s[i] - dc[i]) * g.param / 255;
    }
    g.pixels.Set(x, y, Color(o[0]) << 16 | Color(o[1]) << 8 | Color(o[2]));
}

void DrawRect(int x, int y, int sx, int sy, int w, int h, int slot, bool mirror = false) {
    const Canvas& img = Image(slot);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            int u = mirror ? sx + w - 1 - i : sx + i;
            if (!img.Inside(u, sy + j)) continue;
            Color c = img.Get(u, sy + j);
            if (c == kKey) continue;
            Plot(x + i, y + j, c);
        }
}

void FillScreen(Color c, int x0 = 0, int y0 = 0, int x1 = 320, int y1 = 240) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) Plot(x, y, c);
}

// The run-time's generator, seed 1, as the game uses it.
uint32_t g_seed = 1;
int Rand() {
    g_seed = g_seed * 214013u + 2531011u;
    return int((g_seed >> 16) & 0x7FFF);
}

// ---- text (the game's bitmap font) -------------------------------------------------

// UTF-8 with half-width katakana to the game's Shift-JIS single bytes.
// (u8 literals stay UTF-8 whatever execution character set the build uses.)
std::string Sjis(const char8_t* utf8) {
    std::string out;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8);
    while (*p) {
        if (*p < 0x80) {
            out += char(*p++);
            continue;
        }
        uint32_t cp = 0;
        int n = (*p >= 0xF0) ? 3 : (*p >= 0xE0) ? 2 : 1;
        cp = *p++ & (0x3F >> n);
        for (int i = 0; i < n; ++i) cp = cp << 6 | (*p++ & 0x3F);
        if (cp >= 0xFF61 && cp <= 0xFF9F) out += char(cp - 0xFEC0);
        else out += '?';
    }
    return out;
}

int MeasureText(const std::string& t) {
    int w = 0, best = 0;
    for (unsigned char c : t) {
        if (c == '\n') best = std::max(best, w), w = 0;
        else if (c >= 0x20 && c <= 0x7E) w += 12;
        else if (c >= 0xA0 && c <= 0xDD) w += 16;
    }
    return std::max(best, w);
}

void DrawText(const std::string& t, int x, int y, bool centred = false, bool raiseHalf = false, bool raiseLine = false) {
    if (centred) x -= MeasureText(t) / 2;
    int top = y + 4 - (raiseHalf ? 8 : 0) - (raiseLine ? 20 : 0);
    int px = x, py = top;
    for (unsigned char c : t) {
        if (c == ' ') px += 12;
        else if (c == '\n') px = x, py += 20;
        else if (c >= 0x21 && c <= 0x7E) {
            DrawRect(px, py, (c - 0x20) % 16 * 12, 64 + (c - 0x20) / 16 * 16, 12, 16, 50);
            px += 12;
        } else if (c >= 0xA0 && c <= 0xDD) {
            DrawRect(px, py, (c - 0xA0) % 16 * 16, (c - 0xA0) / 16 * 16, 16, 16, 50);
            px += 16;
        } else if (c >= 0xDE) {
            DrawRect(px - 16, py - 14, (c - 0xA0) % 16 * 16, (c - 0xA0) / 16 * 16, 16, 16, 50);
        }
    }
}

// ---- buttons and figures --------------------------------------------------------

struct Button {
    int style = 1, x = 0, y = 0, w = 0, h = 17, tileX = 36, tileY = 0, hover = 0, press = 0;
    std::string label;
    bool centred = true;
    int figure = -1;
    double fdx = 0, fdy = 0;
    int fcount = 0;
};

void DrawFigure(int kind, int counter, double x, double y, bool mirror) {
    int frame = kind == 2 ? (counter / 12) % 4 : kind == 3 ? (counter / 10) % 3 : (counter / 10) % 4;
    DrawRect(int(x - 6), int(y - 12), frame * 12, (kind - 1) * 24, 12, 24, 5, mirror);
}

void DrawFrame(const Button& b, int offset, int bounce) {
    int sx = b.tileX, sy = b.tileY + offset, x0 = b.x, y0 = b.y + bounce, right = b.x + b.w, bottom = b.y + bounce + b.h;
    DrawRect(x0 - 12, y0 - 12, sx, sy, 12, 12, 49);
    DrawRect(right, y0 - 12, sx + 24, sy, 12, 12, 49);
    DrawRect(x0 - 12, bottom, sx, sy + 24, 12, 12, 49);
    DrawRect(right, bottom, sx + 24, sy + 24, 12, 12, 49);
    for (int X = b.x; X < right; X += 12) {
        int w = std::min(12, right - X);
        DrawRect(X, y0 - 12, sx + 12, sy, w, 12, 49);
        DrawRect(X, bottom, sx + 12, sy + 24, w, 12, 49);
    }
    for (int Y = b.y; Y < b.y + b.h; Y += 12) {
        int h = std::min(12, b.y + b.h - Y);
        DrawRect(x0 - 12, Y + bounce, sx, sy + 12, 12, h, 49);
        DrawRect(right, Y + bounce, sx + 24, sy + 12, 12, h, 49);
        for (int X = b.x; X < right; X += 12) DrawRect(X, Y + bounce, sx + 12, sy + 12, std::min(12, right - X), h, 49);
    }
}

void DrawButton(const Button& b) {
    int bounce = int((1 - std::cos(b.press * 0.2)) * 3.0);
    if (b.style == 0) {
        SetBlend(1, 192);
        DrawFrame(b, b.hover + 36, bounce);
    }
    SetBlend(1, 255);
    DrawFrame(b, b.hover, bounce);
    if (b.centred) DrawText(b.label, b.x + b.w / 2, b.y + bounce - 2, true);
    else DrawText(b.label, b.x, b.y + bounce - 2);
    if (b.figure >= 0) DrawFigure(b.figure, b.fcount, b.x + b.fdx, b.y + bounce + b.fdy, false);
}

Button BoxButton(const std::string& label, int x, int y, int w, int h, int figureDx, int figureDy, int count, bool centred) {
    Button b;
    b.style = 0, b.x = x, b.y = y, b.w = w, b.h = h, b.tileX = 0, b.label = label, b.centred = centred;
    b.figure = 1, b.fdx = figureDx, b.fdy = figureDy, b.fcount = count;
    return b;
}

Button PlainButton(const std::string& label, int x, int y, int w, bool lit = false, int tileX = 36) {
    Button b;
    b.x = x, b.y = y, b.w = w, b.label = label, b.hover = lit ? 36 : 0, b.tileX = tileX;
    return b;
}

void DrawPointer(int x, int y, int frameCount) { DrawRect(x, y, 48 + 12 * ((frameCount / 4) % 3), 0, 12, 12, 3); }

void DrawSliders(int x, int y, int effect, int music) {
    DrawRect(x, y, 0, effect ? 0 : 12, 12, 12, 51);
    for (int k = 0; k < 12; ++k) DrawRect(x + 12 + 6 * k, y, k < effect ? 12 : 18, 0, 6, 12, 51);
    DrawRect(x, y + 12, 0, music ? 24 : 36, 12, 12, 51);
    for (int k = 0; k < 12; ++k) DrawRect(x + 12 + 6 * k, y + 12, k < music ? 12 : 18, 0, 6, 12, 51);
}

// ---- backgrounds: the five classes as the game moves them, some frames in -------

struct Sprite32 {
    double x, y;
    int layer, counter, shape;
};

void DrawBackground(int code, int frames) {
    g_seed = 1;
    SetBlend(1, 255);
    int cls = code % 10;
    int variant = 0, scroll = 0;
    if (cls == 0) variant = code == 10 ? 1 : (code == 20 || code == 40) ? 2 : 0, scroll = code >= 30;
    if (cls == 2) variant = (code == 12 || code == 52) ? 2 : (code == 22 || code == 32) ? 1 : 0, scroll = code == 42;
    bool rising = code == 11;
    std::vector<Sprite32> s(32);
    if (cls == 0 || cls == 1) {
        for (auto& p : s) {
            p.layer = Rand() % 2, p.x = Rand() % 320, p.y = Rand() % 240;
            if (cls == 1) p.shape = Rand() % 3;
            p.counter = Rand() % 100 + 1;
        }
        for (int f = 0; f < frames; ++f)
            for (auto& p : s) {
                double speed = cls == 1 && rising ? (p.layer - 2) * 0.3 : (2 - p.layer) * 0.3;
                p.y += speed;
                if (p.y > 272.0) p.y = -32.0, p.x = Rand() % 320, p.layer = Rand() % 2, p.shape = cls == 1 ? Rand() % 3 : 0;
                if (cls == 1 && p.y < -32.0) p.y = 272.0, p.x = Rand() % 320, p.layer = Rand() % 2, p.shape = Rand() % 3;
                p.counter += 1 + (cls == 0 && variant == 2);
            }
    }
    if (cls == 0) {
        const Color sky[3] = {0x7F97FF, 0xA0C0FF, 0xD0D0FF};
        FillScreen(sky[variant]);
        int off = scroll ? (frames / 4) % 32 : 0;
        for (int x = -off; x < 320; x += 32) DrawRect(x, 144, 72 * variant, 32, 32, 96, 100);
        for (int layer = 1; layer >= 0; --layer)
            for (auto& p : s) {
                if (p.layer != layer) continue;
                int n = 3 + variant / 2, f = (p.counter / 8) % n;
                int cell = layer == 0 ? 6 * variant + f : 6 * variant + 3 + variant / 2 + f;
                DrawRect(int(p.x - 6), int(p.y - 16), 12 * cell, 0, 12, 32, 100);
            }
    } else if (cls == 1) {
        FillScreen(0x001020);
        for (int x = 0; x < 320; x += 96) DrawRect(x, 192, 96, 32, 96, 96, 101);
        auto sprite = [&](const Sprite32& p) {
            if (rising) DrawRect(int(p.x - 12), int(p.y - 18), 192, 36 * p.shape, 24, 36, 101);
            else DrawRect(int(p.x - 6), int(p.y - 16), 12 * ((p.counter / 4) % 4) + (p.layer ? 48 : 0), 0, 12, 32, 101);
        };
        for (auto& p : s)
            if (p.layer == 1) sprite(p);
        for (int x = -48; x < 320; x += 96) DrawRect(x, 208, 0, 32, 96, 96, 101);
        for (auto& p : s)
            if (p.layer == 0) sprite(p);
    } else if (cls == 2) {
        struct Fly {
            double x, y, dx;
            int counter;
        };
        std::vector<Fly> fl(32);
        for (auto& p : fl) p.x = Rand() % 320, p.y = Rand() % 240, p.dx = (-5 - Rand() % 5) * 0.1, p.counter = Rand() % 100 + 1;
        for (int f = 0; f < frames; ++f)
            for (auto& p : fl) {
                p.x += p.dx;
                if (p.x < -32.0) p.x = 352 + Rand() % 128, p.dx = (-5 - Rand() % 5) * 0.1, p.y = Rand() % 240;
                p.counter++;
            }
        FillScreen(variant == 1 ? 0x000000 : 0xA0C0FF);
        int off = (frames / 5) % 48;
        for (int x = -off; x < 320; x += 48) DrawRect(x, 112, 96 * variant + 48, 48, 48, 80, 102);
        for (auto& p : fl) DrawRect(int(p.x - 6), int(p.y - 6), 24 * (4 * variant + (p.counter / 4) % 3), 0, 24, 24, 102);
        off = scroll ? (frames / 3) % 48 : 0;
        for (int x = -off; x < 320; x += 48) DrawRect(x, 160, 96 * variant, 48, 48, 80, 102);
    } else if (cls == 3) {
        FillScreen(0);
        for (int y = -14; y < 240; y += 22)
            for (int x = -14 - (frames / 6) % 22; x < 320; x += 22) DrawRect(x, y, 0, 48, 22, 22, 103);
    } else {
        FillScreen(0x000010);
        for (int r = 0, y = -12; y < 240; ++r, y += 24)
            for (int c = 0; c < 14; ++c) {
                int p = (r + c) % 2, t = (frames + 30 * p) % 60;
                if (t < 28) DrawRect(24 * c, y, 24 * (t / 7 + 4), 24 * p, 24, 24, 104);
            }
        int sh = (frames / 4) % 96;
        for (int r2 = 0, y = -sh; y < 240; ++r2, y += 48)
            for (int k = 0, x = -sh; x < 320; ++k, x += 48)
                if ((r2 + k) % 2 == 0) DrawRect(x, y, 48 * (r2 % 2), 48, 48, 48, 104);
    }
}

// ---- the puzzle board ---------------------------------------------------------------

constexpr int kT1[4] = {1, 0, 0, 1};
constexpr int kT2[4] = {1, 4, 2, 3};
constexpr int kDx[4] = {-1, 0, 1, 0};
constexpr int kDy[4] = {0, -1, 0, 1};

void Tile(int col, int row, int tx, int ty) { DrawRect(col * 24 - 8, row * 24, tx * 24, ty * 24, 24, 24, 0); }

void Stone(int col, int row, int colour, int d, int frame = 0) {
    Tile(col, row, kT1[d] + 2 * frame, kT2[d] + 4 * colour);
    if (frame > 0 || frame == -1) {
        int f = std::max(frame, 0);
        Tile(col + kDx[d], row + kDy[d], kT1[d] + kDx[d] + 2 * f, kT2[d] + 4 * colour + kDy[d]);
    }
}

void Ground(int col, int row, int g) { Tile(col, row, g % 8, g / 8 + 13); }

void FixedFlower(int col, int row, int colour, int d, int g) {
    // The flower faces d; the ground block it grows from lies opposite.
    Tile(col, row, kT1[d] + 6 + kDx[d], kT2[d] + 4 * colour + kDy[d]);
    Ground(col - kDx[d], row - kDy[d], g);
    DrawRect((col - kDx[d]) * 24 - 8, (row - kDy[d]) * 24, 192, (d + 4 * colour + 1) * 24, 24, 24, 0);
}

void Gray(int col, int row, int w, int h) {
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            int hp = w == 1 ? 0 : i == 0 ? 1 : i == w - 1 ? 3 : 2;
            int vp = h == 1 ? 0 : j == 0 ? 1 : j == h - 1 ? 3 : 2;
            Tile(col + i, row + j, 9 + hp, vp);
        }
}

void CellFrame(int style, int minCol, int maxCol, int minRow, int maxRow, int anim) {
    int a = 2 * minCol, b = 2 * maxCol + 2, c = 2 * minRow, e = 2 * maxRow + 2;
    int phase = style == 0 ? 0 : (anim / 2) % 6;
    SetBlend(1, style == 0 ? 64 : 255);
    for (int i = a; i < b; ++i) {
        DrawRect(12 * i - 8, 12 * c - 1, 12 * style, 2 * phase, 12, 2, 3);
        DrawRect(12 * i - 8, 12 * e - 1, 12 * style, 2 * phase, 12, 2, 3);
    }
    for (int j = c; j < e; ++j) {
        DrawRect(12 * a - 9, 12 * j, 12 * style + 2 * phase, 12, 2, 12, 3);
        DrawRect(12 * b - 9, 12 * j, 12 * style + 2 * phase, 12, 2, 12, 3);
    }
    SetBlend(1, 255);
}

// A board that shows every kind of piece: ground with fixed flowers, stones
// of each colour facing each way, bloomed pairs, gray stones, a block.
void DrawBoard(int g) {
    SetBlend(1, 255);
    for (int c = 0; c < 14; ++c) Ground(c, 9, g);
    for (int c : {0, 1, 12, 13}) Ground(c, 8, g);
    Ground(5, 8, g), Ground(6, 8, g);
    FixedFlower(2, 8, 0, 1, g);
    FixedFlower(7, 8, 1, 1, g);
    FixedFlower(11, 8, 2, 1, g);
    FixedFlower(13, 6, 0, 1, g), Ground(13, 7, g);
    FixedFlower(0, 5, 2, 3, g), Ground(0, 4, g);
    Stone(3, 8, 0, 2), Stone(4, 8, 1, 0), Stone(8, 8, 2, 1), Stone(9, 8, 0, 3);
    Stone(3, 7, 2, 0), Stone(4, 7, 0, 1), Stone(8, 7, 1, 2), Stone(9, 7, 1, 3);
    Stone(5, 7, 2, 2, 3);  // bloomed to the right
    Stone(1, 7, 1, 1, 3);  // bloomed upwards
    Stone(10, 8, 2, 1, 3);
    Stone(12, 7, 0, 0, 2);  // half open
    Gray(10, 5, 2, 1), Gray(7, 5, 1, 2), Gray(3, 4, 2, 2), Gray(5, 6, 1, 1);
    Tile(12, 4, 0, 0);
    Stone(6, 3, 0, 2), Stone(7, 3, 1, 1), Stone(8, 3, 2, 3), Stone(9, 3, 1, 0);
}

void DrawPuzzle(int code, bool english, int howTo, bool cleared = false) {
    SetBlend(1, 255);
    DrawBackground(code, 600);
    int g = code % 10 == 0 ? (code == 10 ? 8 : (code == 20 || code == 40) ? 16 : 0)
            : code % 10 == 2 ? (code == 12 ? 10 : code == 22 ? 18 : code == 32 ? 26 : code == 52 ? 34 : 2)
                             : (code == 14 ? 12 : 4);
    CellFrame(0, 8, 9, 3, 3, 0);
    DrawBoard(g);
    // A few bloom puffs in flight, drawn adding, then the highlights.
    SetBlend(2, 200);
    DrawRect(int(5 * 24 + 12 - 8 - 6 + 10), 7 * 24 + 12 - 6 - 8, 12, 24, 12, 12, 2);
    SetBlend(1, 255);
    CellFrame(1, 8, 8, 3, 3, 5), CellFrame(1, 9, 9, 3, 3, 5);
    DrawRect(8 * 24 + 16, 3 * 24 + 6, 12, 24, 12, 12, 3);
    DrawRect(8 * 24 + 4, 3 * 24 + 6, 12, 36, 12, 12, 3);
    CellFrame(2, 3, 4, 4, 5, 5);
    std::string level = english ? "LEVEL 1" : Sjis(u8"ﾚﾍﾞﾙ 1");
    DrawText(level, 0, 0);
    if (howTo) {
        const char8_t* jp[] = {u8"- ｱｿﾋﾞｶﾀ -\n(ﾐｷﾞ ﾉ @ ｦ\nｸﾘｯｸ ｼﾃｸﾀﾞｻｲ｡)", u8"ｲｼ ﾊ ｵﾅｼﾞ ｲﾛ ﾉ ﾊﾅ ﾆ\nﾌﾚﾙﾄ ｿﾉ ｲｼ ｶﾗ ｻﾗﾆ\nﾊﾅ ｶﾞ ｻｷﾏｽ｡"};
        const char* en[] = {"- HOW TO PLAY -\n(CLICK THE @ BUTTON\nON THE RIGHT.)", "IF A STONE TOUCHES A\nFLOWER IN THE SAME\nCOLOR,"};
        std::string text = english ? en[howTo - 1] : Sjis(jp[howTo - 1]);
        DrawButton(BoxButton(text, 8, 24, 304, 57, 272, 50, 15, false));
        DrawButton(PlainButton(howTo == 1 ? "@" : "-", 296, 64, 16, true));
        if (howTo == 2) DrawButton(PlainButton("`", 296, 24, 16));
    }
    if (!cleared) {  // a cleared level hides them
        DrawButton(PlainButton(english ? "RESTART" : Sjis(u8"ﾔﾘﾅｵｼ"), 220, 222, 96));
        DrawButton(PlainButton("~", 194, 222, 16));
        DrawButton(PlainButton(english ? "BACK" : Sjis(u8"ﾓﾄﾞﾙ"), 4, 222, 48));
        DrawRect(0, 192, 0, 48, 12, 24, 4);
        DrawRect(308, 192, 12, 72, 12, 24, 4);
    }
    DrawPointer(221, 86, 4);
}

void DrawClear(bool english) {
    DrawPuzzle(2, english, 0, true);
    std::string msg = english ? "EXCELLENT!!" : Sjis(u8"ｽﾊﾞﾗｼｲﾃﾞｽ!!");
    int w = (MeasureText(msg) / 16 + 5) * 16;
    Button box = BoxButton(msg, 160 - w / 2, 112, w, 17, w - 8, 10, 20, true);
    DrawButton(box);
    DrawButton(PlainButton(english ? "NEXT" : Sjis(u8"ﾂｷﾞﾍ"), 252, 222, 64, true));
    // The fireworks rings a few frames after the clear.
    SetBlend(2, 255);
    const double steps[3] = {0.39269908169875, 0.5235987755983333, 0.7853981633975};
    const int counts[3] = {16, 12, 8};
    const double speeds[3] = {11, 8, 5};
    for (int r = 0; r < 3; ++r)
        for (int i = 0; i < counts[r]; ++i) {
            double x = 168, y = 120, vx = std::cos(i * steps[r]) * speeds[r], vy = std::sin(i * steps[r]) * speeds[r];
            double alpha = 1.0;
            for (int a = 0; a < 12 - 2 * r; ++a) x += vx, y += vy, vx *= 0.93, vy *= 0.93, alpha -= 0.01;
            SetBlend(2, int(alpha * 255));
            DrawRect(int(x - 8 - 6), int(y - 6), 12 * ((i + r) % 4), 24, 12, 12, 2);
        }
    SetBlend(1, 255);
}

// A stone blooming, left to right in time: the pause with its flash and
// puffs, then the flower opening (animation frames 1 to 3), on the meadow.
void DrawBloomSequence() {
    DrawBackground(0, 300);
    for (int c = 0; c < 14; ++c) Ground(c, 9, 0);
    const int steps[5][3] = {{0, 0, 100}, {0, 6, 60}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}};  // frame, age, flash
    for (int colour = 0; colour < 3; ++colour)
        for (int k = 0; k < 5; ++k) {
            const int col = 1 + k * 2 + (colour == 1 ? 1 : 0), row = 2 + colour * 2 + (colour == 2 ? 1 : 0);
            int d = colour == 0 ? 1 : colour == 1 ? 2 : 3;
            int frame = steps[k][0];
            SetBlend(1, 255);
            Tile(col, row, kT1[d] + 2 * frame, kT2[d] + 4 * colour);
            Tile(col + kDx[d], row + kDy[d], kT1[d] + kDx[d] + 2 * frame, kT2[d] + 4 * colour + kDy[d]);
            if (k < 2) {
                double x = col * 24 + 12, y = row * 24 + 12;
                SetBlend(2, steps[k][2] * 255 / 100);
                DrawRect(int(x - 8 - 12), int(y - 12), 0, 0, 24, 24, 2);
                for (auto [dx, dy] : {std::pair{-1, -1}, {-1, 1}, {1, -1}, {1, 1}}) {
                    double px = x + 6 * dx + 4 * dx * 2.3, py = y + 6 * dy + 4 * dy * 2.3;
                    SetBlend(2, 200);
                    DrawRect(int(px - 8 - 6), int(py - 6), 12 * ((steps[k][1] + 2) / 2 % 4), 24, 12, 12, 2);
                }
            }
        }
    SetBlend(1, 255);
}

void DrawTitle(bool english, bool deleteMode) {
    DrawBackground(1, 900);
    if (deleteMode) DrawText(english ? "WHICH DO YOU\nWANT TO DELETE?" : Sjis(u8"ﾄﾞﾉ ｾｰﾌﾞﾃﾞｰﾀ ｦ ｹｼﾏｽｶ?"), 160, 80, true, true);
    else {
        DrawText(english ? "VELUMI PUZZLE" : Sjis(u8"ﾍﾞﾙﾐﾊﾟｽﾞﾙ"), 160, 64, true, true);
        DrawText("VER.1.000", 160, 96, true, true);
    }
    const char8_t* slotJp[3] = {u8"  ｽﾛｯﾄ1 ﾆｭｰｹﾞｰﾑ", u8"  ｽﾛｯﾄ2 ﾚﾍﾞﾙ12", u8"  ｽﾛｯﾄ3 ｺﾝﾌﾟ"};
    const char* slotEn[3] = {"  SLOT1 NEW GAME", "  SLOT2 LEVEL12", "  SLOT3 COMPLETE"};
    for (int i = 0; i < 3; ++i) {
        Button b = PlainButton(english ? slotEn[i] : Sjis(slotJp[i]), 48, 128 + 24 * i, 224, i == 1,
                               deleteMode ? 72 : 36);
        b.centred = false;
        DrawButton(b);
    }
    DrawButton(PlainButton(english ? (deleteMode ? "CANCEL" : "DELETE") : Sjis(deleteMode ? u8"ｷｬﾝｾﾙ" : u8"ｾｰﾌﾞ ｹｽ"), 48, 204,
                           96, false, deleteMode ? 72 : 36));
    if (!deleteMode) DrawButton(PlainButton(english ? "QUIT" : Sjis(u8"ｵﾜﾙ"), 176, 204, 96));
    DrawSliders(230, 2, 6, 5);
    DrawPointer(150, 158, 0);
}

void DrawSelect(bool english, int cleared) {
    DrawBackground(1, 700);
    DrawButton(PlainButton(english ? "BACK" : Sjis(u8"ﾓﾄﾞﾙ"), 270, 4, 48));
    // Walkers standing along the bottom.
    g_seed = 99;
    for (int i = 0; i < cleared; ++i) DrawFigure(i % 3 + 1, Rand() % 100, 8 + (i * 37 % 50) * 6.08, 232.5, Rand() % 2);
    DrawText(english ? "CHOOSE A LEVEL..." : Sjis(u8"ﾚﾍﾞﾙ ｦ ｾﾝﾀｸｼﾃｸﾀﾞｻｲ"), 4, 4);
    int count = std::min(cleared + 1, 50);
    for (int i = 0; i < count; ++i) {
        double tx, ty;
        if (count < 38) {
            if (i < 20) tx = std::sin(i * 2 * M_PI / 20) * 84, ty = 60 - std::cos(i * 2 * M_PI / 20) * 84;
            else if (i < 32) {
                int m = std::min(count, 32) - 20;
                tx = std::sin((i - 20) * 2 * M_PI / m) * 54, ty = 60 - std::cos((i - 20) * 2 * M_PI / m) * 54;
            } else {
                int m = count - 32;
                tx = std::sin((i - 32) * 2 * M_PI / m) * 24, ty = 60 - std::cos((i - 32) * 2 * M_PI / m) * 24;
            }
        } else {
            tx = (i % 10) * 24 - 108.0, ty = (i / 10) * 24;
            if (i >= 40) tx = (i % 10) * 24 + 12 * (41 - count);
        }
        int left = int(160 + tx - 12), top = int(64 + ty - 12);
        bool isCleared = i < cleared;
        if (isCleared) DrawRect(left, top, 48, 24, 24, 24, 4);
        int hover = i == 7 ? 3 : i == 8 ? 1 : 0;
        DrawRect(left, top, 24 * hover, 0, 24, 24, 4);
        int n = i + 1;
        if (n >= 10) DrawRect(left + 12, top + 12, 4 * (n / 10), 24, 4, 6, 4);
        DrawRect(left + 16, top + 12, 4 * (n % 10), 24, 4, 6, 4);
    }
    DrawSliders(230, 192, 6, 5);
    DrawPointer(214, 110, 8);
}

void DrawLogo() {
    FillScreen(0xFFFFFF);
    DrawRect(96, 88, 0, 0, 128, 64, 52);
}

void DrawFirst(bool english) {
    FillScreen(0xFFFFFF);
    DrawButton(PlainButton(english ? "NEXT" : Sjis(u8"ﾂｷﾞﾍ"), 248, 215, 64));
    g.bright[0] = 255, g.bright[1] = 128, g.bright[2] = 0;
    DrawText(english ? "USE A MOUSE." : Sjis(u8"ﾏｳｽ ﾃﾞ ｿｳｻ ﾃﾞｽ｡"), 8, 32);
    DrawText(english ? "SAVING IS AUTOMATIC." : Sjis(u8"ｾｰﾌﾞ ﾊ ｵｰﾄｾｰﾌﾞ ﾃﾞｽ｡"), 8, 64);
    g.bright[0] = g.bright[1] = g.bright[2] = 255;
    DrawPointer(270, 200, 0);
}

void DrawBreak(bool english) {
    DrawBackground(11, 500);
    DrawText(english ? "PROGRAMMING\nGRAPHICS\nSOUND\nLEVEL DESIGN\n   MIRENKOTA"
                     : Sjis(u8"ﾌﾟﾛｸﾞﾗﾑ\nｸﾞﾗﾌｨｯｸ\nｻｳﾝﾄﾞ\nﾚﾍﾞﾙﾃﾞｻﾞｲﾝ\n   ﾐﾚﾝｺﾀ"),
             12, 132);
    std::string title = english ? "ALL LEVELS BEATEN!!" : Sjis(u8"ｾﾞﾝ ﾚﾍﾞﾙ ｦ ｸﾘｱ!!");
    int w = (MeasureText(title) / 16 + 5) * 16;
    DrawButton(BoxButton(title, 160 - w / 2, 56, w, 17, w - 8, 10, 0, true));
    DrawButton(PlainButton(english ? "BACK" : Sjis(u8"ﾓﾄﾞﾙ"), 252, 222, 64));
    DrawPointer(40, 60, 0);
}

void Save(const std::string& path) {
    Canvas out(640, 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) out.Set(x, y, g.pixels.Get(x / 2, y / 2));
    std::string error;
    if (!WritePng(path, out, &error)) Fail(error);
}

void Reset() {
    g = Screen{};
}

void SaveSheetsEnlarged(const std::string& dir) {
    const std::pair<int, const char*> names[] = {
        {0, "hana"},       {2, "effect"},     {3, "cursor2"},    {4, "sentaku"},    {5, "hito"},
        {49, "fuki"},      {50, "moji"},      {51, "volume"},    {52, "morvane"},   {100, "haikei00"},
        {101, "haikei01"}, {102, "haikei02"}, {103, "haikei03"}, {104, "haikei04"},
    };
    for (auto [slot, name] : names) {
        const Canvas& in = Image(slot);
        Canvas out(in.width * 4, in.height * 4);
        for (int y = 0; y < out.height; ++y)
            for (int x = 0; x < out.width; ++x) {
                Color c = in.Get(x / 4, y / 4);
                if (c == kKey) c = ((x / 8 + y / 8) & 1) ? 0xD8A0D8 : 0xC890C8;
                out.Set(x, y, c);
            }
        std::string error;
        if (!WritePng(dir + "/sheet_" + name + ".png", out, &error)) Fail(error);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: art_preview DATA-DIR OUT-DIR\n");
        return 2;
    }
    g_data = argv[1];
    const std::string out = argv[2];
    LoadImages();
    const int codes[] = {0, 10, 20, 2, 12, 22, 32, 52, 4, 14};
    for (int code : codes)
        for (int english = 0; english < 2; ++english) {
            Reset();
            DrawPuzzle(code, english, code == 0 ? 1 : code == 4 ? 2 : 0);
            Save(out + "/puzzle_" + std::to_string(code) + (english ? "_en" : "_jp") + ".png");
        }
    for (int english = 0; english < 2; ++english) {
        Reset();
        DrawTitle(english, false);
        Save(out + "/title" + (english ? "_en" : "_jp") + ".png");
        Reset();
        DrawTitle(english, true);
        Save(out + "/title_delete" + std::string(english ? "_en" : "_jp") + ".png");
        Reset();
        DrawSelect(english, english ? 24 : 42);
        Save(out + "/select" + std::string(english ? "_en" : "_jp") + ".png");
        Reset();
        DrawFirst(english);
        Save(out + "/first" + std::string(english ? "_en" : "_jp") + ".png");
        Reset();
        DrawBreak(english);
        Save(out + "/break" + std::string(english ? "_en" : "_jp") + ".png");
        Reset();
        DrawClear(english);
        Save(out + "/clear" + std::string(english ? "_en" : "_jp") + ".png");
    }
    Reset();
    DrawBloomSequence();
    Save(out + "/bloom.png");
    Reset();
    DrawLogo();
    Save(out + "/logo.png");
    SaveSheetsEnlarged(out);
    return 0;
}
