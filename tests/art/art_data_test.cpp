// The pictures and sound effects the build makes in data/: every file the
// game loads is there, decodes with the game's own decoders, holds every
// rectangle the game draws from it, keeps to the one palette with hard
// edges against the colour key, and the effects are short, clean PCM waves.
#include "core/memory.h"
#include "file/file.h"
#include "image/image_decode.h"
#include "sound/sound_converter.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kData = std::string(TEST_BINARY_DIR) + "/data/";
constexpr uint32_t kKey = 0xFF00FF;

// A decoded picture as 0xAARRGGBB words.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> argb;
    uint32_t At(int x, int y) const { return argb[size_t(y) * width + x]; }
    uint32_t Rgb(int x, int y) const { return At(x, y) & 0xFFFFFF; }
    bool Key(int x, int y) const { return Rgb(x, y) == kKey || (At(x, y) >> 24) == 0; }
};

// Decodes through the game's loader; an empty picture when it fails.
Picture Load(const std::string& name) {
    Picture p;
    PixelImage image;
    if (LoadPixelImage((kData + name).c_str(), nullptr, 0, &image) != 0) return p;
    p.width = image.width, p.height = image.height;
    p.argb.resize(size_t(p.width) * p.height);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            int r, g, b, a;
            GetPixelImagePixel(&image, x, y, &r, &g, &b, &a);
            p.argb[size_t(y) * p.width + x] = uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
        }
    ReleasePixelImage(&image);
    return p;
}

struct Rect {
    int x, y, w, h;
    std::string what;
    bool mayBeEmpty = false;
};

// ---- every rectangle the game draws, by picture --------------------------------

constexpr int kT1[4] = {1, 0, 0, 1};
constexpr int kT2[4] = {1, 4, 2, 3};
constexpr int kDx[4] = {-1, 0, 1, 0};
constexpr int kDy[4] = {0, -1, 0, 1};
// GetCode of every background the factory can make.
constexpr int kGroundCodes[] = {0, 8, 16, 2, 10, 18, 26, 34, 4, 12};

std::vector<Rect> BoardRects() {
    std::vector<Rect> r{{0, 0, 24, 24, "plain block"}};
    auto tile = [&](int tx, int ty, const std::string& what) { r.push_back({tx * 24, ty * 24, 24, 24, what}); };
    for (int c = 0; c < 3; ++c)
        for (int d = 0; d < 4; ++d)
            for (int f = 0; f < 4; ++f) {
                std::string id = " c" + std::to_string(c) + " d" + std::to_string(d) + " f" + std::to_string(f);
                tile(kT1[d] + 2 * f, kT2[d] + 4 * c, "stone" + id);
                tile(kT1[d] + kDx[d] + 2 * f, kT2[d] + 4 * c + kDy[d], "flower" + id);
            }
    for (int v = 0; v < 3; ++v)
        for (int d = 0; d < 4; ++d) tile(8, d + 4 * v + 1, "stem v" + std::to_string(v) + " d" + std::to_string(d));
    for (int h = 0; h < 4; ++h)
        for (int v = 0; v < 4; ++v) tile(9 + h, v, "gray piece");
    for (int g : kGroundCodes) tile(g % 8, g / 8 + 13, "ground g" + std::to_string(g));
    return r;
}

std::vector<Rect> FrameRects() {
    std::vector<Rect> r;
    for (int tx : {0, 36, 72})
        for (int ty : {0, 36})
            for (int py = 0; py < 3; ++py)
                for (int px = 0; px < 3; ++px)
                    r.push_back({tx + 12 * px, ty + 12 * py, 12, 12, "frame piece",
                                 /* the box's inside shows its underlay */ tx == 0 && ty == 0 && px == 1 && py == 1});
    return r;
}

std::vector<Rect> FontRects() {
    std::vector<Rect> r;
    for (int c = 0xA0; c <= 0xDF; ++c)
        r.push_back({(c - 0xA0) % 16 * 16, (c - 0xA0) / 16 * 16, 16, 16, "kana " + std::to_string(c), c == 0xA0});
    for (int c = 0x21; c <= 0x7E; ++c)
        r.push_back({(c - 0x20) % 16 * 12, 64 + (c - 0x20) / 16 * 16, 12, 16, std::string("ASCII ") + char(c)});
    return r;
}

std::vector<Rect> Grid(int x0, int y0, int dx, int dy, int count, int w, int h, const std::string& what) {
    std::vector<Rect> r;
    for (int i = 0; i < count; ++i) r.push_back({x0 + dx * i, y0 + dy * i, w, h, what + " " + std::to_string(i)});
    return r;
}

std::vector<Rect> Join(std::initializer_list<std::vector<Rect>> parts) {
    std::vector<Rect> all;
    for (auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

struct Sheet {
    const char* file;
    std::vector<Rect> rects;
    bool additive = false;  // particles: black is nothing
};

std::vector<Sheet> Sheets() {
    std::vector<Rect> cursor;
    for (int s = 0; s < 3; ++s)
        for (int p = 0; p < 6; ++p) {
            cursor.push_back({12 * s, 2 * p, 12, 2, "frame strip"});
            cursor.push_back({12 * s + 2 * p, 12, 2, 12, "frame column"});
        }
    std::vector<Rect> haikei2;
    for (int v = 0; v < 3; ++v) {
        for (int f = 0; f < 3; ++f) haikei2.push_back({24 * (4 * v + f), 0, 24, 24, "flyer"});
        haikei2.push_back({96 * v, 48, 48, 80, "near strip"});
        haikei2.push_back({96 * v + 48, 48, 48, 80, "far strip"});
    }
    std::vector<Rect> haikei4;
    for (int p = 0; p < 2; ++p)
        for (int k = 0; k < 4; ++k) haikei4.push_back({24 * (k + 4), 24 * p, 24, 24, "twinkle"});
    haikei4.push_back({0, 48, 48, 48, "square"});
    haikei4.push_back({48, 48, 48, 48, "square"});
    return {
        {"hana.png", BoardRects()},
        {"effect.png", Join({{{0, 0, 24, 24, "flash"}}, Grid(0, 24, 12, 0, 4, 12, 12, "twinkle")}), true},
        {"cursor2.png", Join({cursor, Grid(0, 24, 12, 0, 4, 12, 12, "arrow right"), Grid(0, 36, 12, 0, 4, 12, 12, "arrow left"),
                              Grid(48, 0, 12, 0, 3, 12, 12, "pointer")})},
        {"sentaku.png", Join({Grid(0, 0, 24, 0, 4, 24, 24, "icon"), {{48, 24, 24, 24, "backing"}},
                              Grid(0, 24, 4, 0, 10, 4, 6, "digit"), Grid(0, 48, 12, 0, 2, 12, 24, "previous"),
                              Grid(0, 72, 12, 0, 2, 12, 24, "next")})},
        {"hito.png", Join({Grid(0, 0, 12, 0, 4, 12, 24, "kind 1"), Grid(0, 24, 12, 0, 4, 12, 24, "kind 2"),
                           Grid(0, 48, 12, 0, 4, 12, 24, "kind 3")})},
        {"fuki.png", FrameRects()},
        {"moji.png", FontRects()},
        {"volume.png", Join({Grid(0, 0, 0, 12, 4, 12, 12, "icon"), {{12, 0, 6, 12, "filled"}, {18, 0, 6, 12, "empty"}}})},
        {"morvane.png", {{0, 0, 128, 64, "logo"}}},
        {"haikei00.png", Join({Grid(0, 0, 12, 0, 20, 12, 32, "faller"), Grid(0, 32, 72, 0, 3, 32, 96, "ground strip")})},
        {"haikei01.png", Join({Grid(0, 0, 12, 0, 8, 12, 32, "faller"), Grid(192, 0, 0, 36, 3, 24, 36, "riser"),
                               {{96, 32, 96, 96, "back strip"}, {0, 32, 96, 96, "front strip"}}})},
        {"haikei02.png", haikei2},
        {"haikei03.png", {{0, 48, 22, 22, "wall"}}},
        {"haikei04.png", haikei4},
    };
}

std::set<uint32_t> LoadPalette() {
    std::set<uint32_t> colours;
    std::ifstream in(std::string(TEST_SOURCE_DIR) + "/assets/images/palette.txt");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string name, hex;
        if (words >> name >> hex && name[0] != ';' && name != "ramp" && hex.size() == 7 && hex[0] == '#')
            colours.insert(uint32_t(std::stoul(hex.substr(1), nullptr, 16)));
    }
    return colours;
}

bool HasContent(const Picture& p, const Rect& r, bool additive) {
    for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x)
            if (!p.Key(x, y) && !(additive && p.Rgb(x, y) == 0)) return true;
    return false;
}

double Luma(uint32_t rgb) { return 0.2126 * (rgb >> 16 & 255) + 0.7152 * (rgb >> 8 & 255) + 0.0722 * (rgb & 255); }

// ---- pictures ---------------------------------------------------------------------

TEST(ArtImages, EveryPictureDecodesAndHoldsEveryRectangleTheGameDraws) {
    for (const Sheet& sheet : Sheets()) {
        SCOPED_TRACE(sheet.file);
        Picture p = Load(sheet.file);
        ASSERT_GT(p.width, 0) << "missing or undecodable: " << kData + sheet.file;
        for (const Rect& r : sheet.rects) {
            ASSERT_TRUE(r.x >= 0 && r.y >= 0 && r.x + r.w <= p.width && r.y + r.h <= p.height)
                << r.what << " at " << r.x << "," << r.y << " " << r.w << "x" << r.h << " lies outside " << p.width
                << "x" << p.height;
            if (!r.mayBeEmpty) {
                EXPECT_TRUE(HasContent(p, r, sheet.additive)) << r.what << " is empty";
            }
        }
    }
}

TEST(ArtImages, EveryPixelIsTheKeyOrAPaletteColour) {
    // One palette for the game, and hard edges: a pixel blended toward the
    // colour key would be a colour outside the palette.
    const std::set<uint32_t> palette = LoadPalette();
    ASSERT_GE(palette.size(), 30u);
    ASSERT_LE(palette.size(), 56u);
    ASSERT_EQ(palette.count(kKey), 0u);
    std::vector<std::string> files;
    for (const Sheet& s : Sheets()) files.push_back(s.file);
    files.push_back("icon.png");
    for (const std::string& file : files) {
        Picture p = Load(file);
        ASSERT_GT(p.width, 0) << file;
        int strays = 0;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x)
                if (!p.Key(x, y) && !palette.count(p.Rgb(x, y)) && strays++ < 3)
                    ADD_FAILURE() << file << " pixel " << x << "," << y << " has the colour " << std::hex << p.Rgb(x, y);
        EXPECT_EQ(strays, 0) << file;
    }
}

TEST(ArtImages, StoneColoursDifferInBrightnessAndMarkAndDirectionsShowWithoutColour) {
    Picture p = Load("hana.png");
    ASSERT_GT(p.width, 0);
    // A stone's picture reduced to light and dark against its own middle
    // brightness: what a player without colour vision still sees.
    auto shape = [&](int c, int d) {
        const int ox = kT1[d] * 24, oy = (kT2[d] + 4 * c) * 24;
        std::vector<double> l;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x) l.push_back(p.Key(ox + x, oy + y) ? -1 : Luma(p.Rgb(ox + x, oy + y)));
        std::vector<double> lit;
        for (double v : l)
            if (v >= 0) lit.push_back(v);
        if (lit.empty()) {
            ADD_FAILURE() << "stone colour " << c << " direction " << d << " is empty";
            return std::pair{std::vector<int>(l.size(), 0), -1000.0};
        }
        std::nth_element(lit.begin(), lit.begin() + lit.size() / 2, lit.end());
        const double middle = lit[lit.size() / 2];
        std::vector<int> mask;
        for (double v : l) mask.push_back(v < 0 ? 0 : v > middle + 20 ? 2 : v < middle - 20 ? 1 : 3);
        return std::pair{mask, middle};
    };
    auto differ = [](const std::vector<int>& a, const std::vector<int>& b) {
        int n = 0;
        for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
        return n;
    };
    for (int d = 0; d < 4; ++d) {
        auto [red, redL] = shape(0, d);
        auto [blue, blueL] = shape(1, d);
        auto [yellow, yellowL] = shape(2, d);
        // Blue darkest, yellow brightest, well apart.
        EXPECT_GT(redL - blueL, 25) << "direction " << d;
        EXPECT_GT(yellowL - redL, 40) << "direction " << d;
        // Each colour's mark has its own shape.
        EXPECT_GT(differ(red, blue), 20) << "direction " << d;
        EXPECT_GT(differ(red, yellow), 20) << "direction " << d;
        EXPECT_GT(differ(blue, yellow), 20) << "direction " << d;
    }
    for (int c = 0; c < 3; ++c)
        for (int a = 0; a < 4; ++a)
            for (int b = a + 1; b < 4; ++b)
                EXPECT_GT(differ(shape(c, a).first, shape(c, b).first), 20) << "colour " << c << " directions " << a << b;
}

TEST(ArtImages, FontGlyphsAreTwoToneAndTheVoicedSignsSitAtTheBottomRight) {
    Picture p = Load("moji.png");
    ASSERT_EQ(p.width, 256);
    ASSERT_EQ(p.height, 160);
    std::set<uint32_t> tones;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (!p.Key(x, y)) tones.insert(p.Rgb(x, y));
    // A white body and a dark outline only: the first scene tints the text
    // through the draw brightness, and grey would show as fringes.
    EXPECT_EQ(tones.size(), 2u);
    EXPECT_EQ(tones.count(0xFFFFFF), 1u);
    // The signs are drawn 16 left and 14 up from the pen: their marks must
    // lie low and right in the cell to land on the previous kana's corner.
    for (int sign : {0xDE, 0xDF}) {
        const int ox = (sign - 0xA0) % 16 * 16, oy = (sign - 0xA0) / 16 * 16;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                if (!p.Key(ox + x, oy + y)) {
                    EXPECT_GE(x, 8) << "sign " << sign;
                    EXPECT_GE(y, 8) << "sign " << sign;
                }
    }
    // The icon glyphs differ from each other: next and previous page point
    // opposite ways (one is the other mirrored).
    auto cell = [&](char c, bool mirror) {
        std::vector<bool> m;
        const int ox = (c - 0x20) % 16 * 12, oy = 64 + (c - 0x20) / 16 * 16;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 12; ++x) m.push_back(!p.Key(ox + (mirror ? 11 - x : x), oy + y));
        return m;
    };
    EXPECT_NE(cell('@', false), cell('`', false));
    EXPECT_EQ(cell('@', false), cell('`', true));
    EXPECT_NE(cell('~', false), cell('-', false));
}

TEST(ArtImages, WidgetsKeepTheShapesTheScenesRelyOn) {
    // The pointer's hot spot is its top-left pixel, in every frame.
    Picture cursor = Load("cursor2.png");
    ASSERT_GT(cursor.width, 0);
    for (int f = 0; f < 3; ++f) EXPECT_FALSE(cursor.Key(48 + 12 * f, 0)) << "pointer frame " << f;
    // The cursor's own frame (style 0) is drawn at phase 0 only, so it is
    // solid; the two highlight styles march, so their phases differ.
    for (int s = 1; s < 3; ++s) {
        bool moved = false;
        for (int x = 0; x < 12; ++x) moved |= cursor.Rgb(12 * s + x, 0) != cursor.Rgb(12 * s + x, 2);
        EXPECT_TRUE(moved) << "style " << s;
    }

    // Buttons are 24 pixels apart on the title: each frame may reach only a
    // few pixels past its inner rectangle, and the face fills the inside.
    Picture frames = Load("fuki.png");
    ASSERT_GT(frames.width, 0);
    for (int tx : {0, 36, 72})
        for (int ty : {0, 36}) {
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 36; ++x) {
                    EXPECT_TRUE(frames.Key(tx + x, ty + y)) << "tile " << tx << "," << ty << " reaches row " << y;
                    EXPECT_TRUE(frames.Key(tx + x, ty + 35 - y)) << "tile " << tx << "," << ty;
                    EXPECT_TRUE(frames.Key(tx + y, ty + x)) << "tile " << tx << "," << ty;
                }
            bool inside = tx == 0 && ty == 0;  // the box: its underlay shows through
            for (int y = 12; y < 24; ++y)
                for (int x = 12; x < 24; ++x)
                    EXPECT_EQ(frames.Key(tx + x, ty + y), inside) << "tile " << tx << "," << ty << " at " << x << "," << y;
        }

    // Figures stand with their feet on row 16 at the latest: the level select
    // draws a walker's cell from row 220 at rest and a row or two lower while
    // the walkers crowd or land, and the feet must stay above the screen's
    // last row (239).
    Picture figures = Load("hito.png");
    ASSERT_GT(figures.width, 0);
    for (int k = 0; k < 3; ++k)
        for (int f = 0; f < 4; ++f) {
            int lowest = -1;
            for (int y = 0; y < 24; ++y)
                for (int x = 0; x < 12; ++x)
                    if (!figures.Key(12 * f + x, 24 * k + y)) lowest = y;
            EXPECT_GE(lowest, 14) << "kind " << k + 1 << " frame " << f;
            EXPECT_LE(lowest, 16) << "kind " << k + 1 << " frame " << f;
        }

    // Level numbers are white digits laid on a dark tag of the icon frame.
    Picture select = Load("sentaku.png");
    ASSERT_GT(select.width, 0);
    for (int h = 0; h < 4; ++h)
        for (int y = 12; y < 18; ++y)
            for (int x = 12; x < 20; ++x) {
                ASSERT_FALSE(select.Key(24 * h + x, y)) << "icon " << h << " at " << x << "," << y;
                EXPECT_LT(Luma(select.Rgb(24 * h + x, y)), 60) << "icon " << h;
            }
    for (int d = 0; d < 10; ++d)
        for (int y = 24; y < 30; ++y)
            for (int x = 4 * d; x < 4 * d + 4; ++x)
                if (!select.Key(x, y)) {
                    EXPECT_GT(Luma(select.Rgb(x, y)), 200) << "digit " << d;
                }
}

TEST(ArtImages, BackgroundStripsJoinWhereTheyAreTiled) {
    // Strips are tiled side by side: the horizon must meet itself at the seam.
    struct Strip {
        const char* file;
        int x, y, w, h;
    };
    const Strip strips[] = {
        {"haikei00.png", 0, 32, 32, 96},  {"haikei00.png", 72, 32, 32, 96}, {"haikei00.png", 144, 32, 32, 96},
        {"haikei01.png", 0, 32, 96, 96},  {"haikei01.png", 96, 32, 96, 96}, {"haikei02.png", 0, 48, 48, 80},
        {"haikei02.png", 48, 48, 48, 80}, {"haikei02.png", 96, 48, 48, 80}, {"haikei02.png", 144, 48, 48, 80},
        {"haikei02.png", 192, 48, 48, 80}, {"haikei02.png", 240, 48, 48, 80},
    };
    for (const Strip& s : strips) {
        Picture p = Load(s.file);
        ASSERT_GT(p.width, 0) << s.file;
        auto top = [&](int x) {
            for (int y = 0; y < s.h; ++y)
                if (!p.Key(s.x + x, s.y + y)) return y;
            return s.h;
        };
        EXPECT_LE(std::abs(top(0) - top(s.w - 1)), 2) << s.file << " strip at " << s.x << "," << s.y;
        // The bottom rows are solid: nothing of the sky shows under the strip.
        for (int x = 0; x < s.w; ++x) EXPECT_FALSE(p.Key(s.x + x, s.y + s.h - 1)) << s.file << " at " << s.x + x;
    }
}

TEST(ArtImages, TheProgramIconIsTransparentAroundItsPicture) {
    Picture icon = Load("icon.png");
    ASSERT_EQ(icon.width, 32);
    ASSERT_EQ(icon.height, 32);
    EXPECT_EQ(icon.At(0, 0) >> 24, 0u);
    EXPECT_EQ(icon.At(31, 0) >> 24, 0u);
    EXPECT_EQ(icon.At(16, 14) >> 24, 255u);
    for (uint32_t px : icon.argb) EXPECT_TRUE((px >> 24) == 0 || (px >> 24) == 255) << "no half-transparent edge";
}

// ---- sound effects ---------------------------------------------------------------

struct Wave {
    bool ok = false;
    std::string problem;
    int channels = 0, rate = 0, bits = 0, format = 0;
    std::vector<int16_t> samples;
};

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

Wave ParseWave(const std::vector<uint8_t>& b) {
    Wave w;
    if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF" || std::string(b.begin() + 8, b.begin() + 12) != "WAVE") {
        w.problem = "not RIFF/WAVE";
        return w;
    }
    if (Le32(b, 4) != b.size() - 8) w.problem = "RIFF size differs from the file";
    bool haveFormat = false;
    for (size_t at = 12; at + 8 <= b.size();) {
        const std::string id(b.begin() + at, b.begin() + at + 4);
        const uint32_t size = Le32(b, at + 4);
        if (size > b.size() - at - 8) {
            w.problem = "chunk " + id + " runs past the end";
            return w;
        }
        if (id == "fmt " && size >= 16) {
            w.format = b[at + 8] | b[at + 9] << 8;
            w.channels = b[at + 10] | b[at + 11] << 8;
            w.rate = int(Le32(b, at + 12));
            w.bits = b[at + 22] | b[at + 23] << 8;
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat) {
                w.problem = "data before fmt";
                return w;
            }
            for (size_t i = 0; i + 1 < size; i += 2) w.samples.push_back(int16_t(b[at + 8 + i] | b[at + 9 + i] << 8));
            w.ok = w.problem.empty();
            return w;
        }
        at += 8 + size + (size & 1);
    }
    w.problem = "no data chunk";
    return w;
}

TEST(ArtSounds, EveryEffectIsAShortCleanPcmWave) {
    for (int n = 0; n < 8; ++n) {
        const std::string file = "0" + std::to_string(n) + ".wav";
        SCOPED_TRACE(file);
        Wave w = ParseWave(ReadFile(kData + file));
        ASSERT_TRUE(w.ok) << w.problem;
        EXPECT_EQ(w.format, 1);  // PCM
        EXPECT_EQ(w.bits, 16);
        EXPECT_TRUE(w.channels == 1 || w.channels == 2);
        EXPECT_TRUE(w.rate == 22050 || w.rate == 44100);
        const double seconds = double(w.samples.size()) / w.channels / w.rate;
        // The clear fanfare is the long one; the rest are short.
        EXPECT_GT(seconds, 0.03);
        EXPECT_LT(seconds, n == 4 ? 2.0 : 0.7);
        int peak = 0;
        for (int16_t s : w.samples) peak = std::max(peak, std::abs(int(s)));
        const double peakDb = 20 * std::log10(peak / 32768.0);
        EXPECT_LT(peakDb, -5.0) << "peak below full scale";
        EXPECT_GT(peakDb, -20.0) << "audible";
        // Faded ends: no click when an effect starts or stops.
        for (size_t i = 0; i < 8; ++i) {
            EXPECT_LT(std::abs(int(w.samples[i])), 600) << "sample " << i;
            EXPECT_LT(std::abs(int(w.samples[w.samples.size() - 1 - i])), 600) << "sample from the end " << i;
        }
    }
}

TEST(ArtSounds, TheGamesSoundConverterAcceptsEveryEffect) {
    for (int n = 0; n < 8; ++n) {
        const std::string file = "0" + std::to_string(n) + ".wav";
        SCOPED_TRACE(file);
        std::vector<uint8_t> bytes = ReadFile(kData + file);
        ASSERT_FALSE(bytes.empty());
        DataStream stream{*GetMemoryStreamFunctions(), OpenMemStream(bytes.data(), bytes.size())};
        ASSERT_NE(stream.handle, 0u);
        SoundConverter converter;
        ASSERT_EQ(OpenSoundConverter(&stream, &converter), 0);
        EXPECT_EQ(converter.kind, kConverterPcm);
        WAVEFORMATEX format{};
        uint8_t* pcm = nullptr;
        int32_t size = 0;
        ASSERT_EQ(ConvertAll(&converter, &format, &pcm, &size), 0);
        EXPECT_EQ(format.wBitsPerSample, 16);
        EXPECT_EQ(size_t(size), ParseWave(bytes).samples.size() * 2);
        FreeMemory(pcm);
        CloseConverter(&converter);
        stream.functions.Close(stream.handle);
    }
}

// ---- the tools refuse broken sources ------------------------------------------------

namespace fs = std::filesystem;

// A scratch copy of the picture and sound sources, and an empty output.
class ArtTools : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::path(TEST_BINARY_DIR) / ("art_tools_test_" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "out");
        fs::copy(fs::path(TEST_SOURCE_DIR) / "assets/images", root / "images");
        fs::copy(fs::path(TEST_SOURCE_DIR) / "assets/sounds", root / "sounds");
    }
    void TearDown() override { fs::remove_all(root); }

    static int Run(const std::string& tool, const std::string& args) {
        const std::string command =
            std::string(TEST_BINARY_DIR) + "/tools/art/" + tool + " " + args + " 2>/dev/null >/dev/null";
        return std::system(command.c_str());
    }
    void Replace(const fs::path& file, const std::string& from, const std::string& to) {
        std::ifstream in(file);
        std::string text((std::istreambuf_iterator<char>(in)), {});
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
        std::ofstream(file) << text;
    }
    bool OutputEmpty() const { return fs::is_empty(root / "out"); }

    fs::path root;
};

TEST_F(ArtTools, TheUntouchedSourcesBuild) {
    const std::string images = (root / "images").string(), out = (root / "out").string();
    EXPECT_EQ(Run("make_images", images + " " + out), 0);
    EXPECT_EQ(Run("font_sheet", images + "/palette.txt " + images + "/font_icons.txt " + out + "/moji.png"), 0);
    EXPECT_EQ(Run("make_sounds", (root / "sounds/effects.txt").string() + " " + out), 0);
    EXPECT_TRUE(fs::exists(root / "out/hana.png"));
    EXPECT_TRUE(fs::exists(root / "out/moji.png"));
    EXPECT_TRUE(fs::exists(root / "out/07.wav"));
}

TEST_F(ArtTools, BrokenPictureSourcesAreRefusedBeforeAnythingIsWritten) {
    const std::string args = (root / "images").string() + " " + (root / "out").string();
    // A sprite row one pixel short.
    Replace(root / "images/ui.txt", "KK..........\nKWK.........", "KK..........\nKWK........");
    EXPECT_NE(Run("make_images", args), 0);
    EXPECT_TRUE(OutputEmpty());
    // A legend naming a colour the palette lacks.
    fs::copy_file(fs::path(TEST_SOURCE_DIR) / "assets/images/ui.txt", root / "images/ui.txt",
                  fs::copy_options::overwrite_existing);
    Replace(root / "images/board.txt", "legend W white", "legend W whiter");
    EXPECT_NE(Run("make_images", args), 0);
    EXPECT_TRUE(OutputEmpty());
    // Magenta cannot be a palette colour: it is the colour key.
    fs::copy_file(fs::path(TEST_SOURCE_DIR) / "assets/images/board.txt", root / "images/board.txt",
                  fs::copy_options::overwrite_existing);
    Replace(root / "images/palette.txt", "white  #ffffff", "white  #ff00ff");
    EXPECT_NE(Run("make_images", args), 0);
    EXPECT_TRUE(OutputEmpty());
}

TEST_F(ArtTools, TheFontSheetNeedsAJapaneseFont) {
    const std::string images = (root / "images").string();
    const std::string out = (root / "out/moji.png").string();
    EXPECT_NE(Run("font_sheet", images + "/palette.txt " + images + "/font_icons.txt " + out + " /nonexistent.ttf"), 0);
    EXPECT_TRUE(OutputEmpty());
}

TEST_F(ArtTools, BrokenEffectSourcesAreRefused) {
    const std::string effects = (root / "sounds/effects.txt").string(), out = (root / "out").string();
    Replace(root / "sounds/effects.txt", "effect 07 hover", "effect 06 hover");  // 07 missing, 06 twice
    EXPECT_NE(Run("make_sounds", effects + " " + out), 0);
    EXPECT_TRUE(OutputEmpty());
    fs::copy_file(fs::path(TEST_SOURCE_DIR) / "assets/sounds/effects.txt", effects, fs::copy_options::overwrite_existing);
    Replace(root / "sounds/effects.txt", "peak -16", "peak 0");  // full scale is not allowed
    EXPECT_NE(Run("make_sounds", effects + " " + out), 0);
    fs::copy_file(fs::path(TEST_SOURCE_DIR) / "assets/sounds/effects.txt", effects, fs::copy_options::overwrite_existing);
    Replace(root / "sounds/effects.txt", "freq 1760 to 2100", "freq 1760 too 2100");  // an unknown key
    EXPECT_NE(Run("make_sounds", effects + " " + out), 0);
    EXPECT_TRUE(OutputEmpty());
}

}  // namespace
