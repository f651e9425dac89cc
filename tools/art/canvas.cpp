#include "canvas.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace art {

void Fail(const std::string& message) {
    std::fprintf(stderr, "art: %s\n", message.c_str());
    std::exit(1);
}

void Canvas::Fill(int x, int y, int w, int h, Color c) {
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) Set(i, j, c);
}

void Canvas::Blit(const Canvas& src, int sx, int sy, int w, int h, int dx, int dy) {
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            Color c = src.Get(sx + i, sy + j);
            if (c != kKey) Set(dx + i, dy + j, c);
        }
}

Canvas Canvas::Crop(int x, int y, int w, int h) const {
    Canvas out(w, h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) out.Set(i, j, Get(x + i, y + j));
    return out;
}

// ---- palette ------------------------------------------------------------------

namespace {

Palette g_palette;
std::map<std::string, Sprite> g_sprites;

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

bool ParseHex(const std::string& text, Color* out) {
    if (text.size() != 7 || text[0] != '#') return false;
    char* end = nullptr;
    unsigned long v = std::strtoul(text.c_str() + 1, &end, 16);
    if (*end != '\0') return false;
    *out = static_cast<Color>(v);
    return true;
}

}  // namespace

bool LoadPalette(const std::string& path, Palette* palette, std::string* error) {
    std::ifstream in(path);
    if (!in) {
        *error = "cannot read " + path;
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        line = Trim(line);  // comments start with ';' ('#' begins a colour)
        if (line.empty() || line[0] == ';') continue;
        std::istringstream words(line);
        std::string first;
        words >> first;
        const std::string where = path + ":" + std::to_string(number) + ": ";
        if (first == "ramp") {
            std::string name;
            words >> name;
            Ramp ramp{};
            for (int i = 0; i < 5; ++i) {
                std::string entry;
                if (!(words >> entry) || !palette->colors.count(entry)) {
                    *error = where + "ramp " + name + " needs five known colours";
                    return false;
                }
                ramp.c[i] = palette->colors[entry];
            }
            palette->ramps[name] = ramp;
            continue;
        }
        std::string hex;
        Color c;
        if (!(words >> hex) || !ParseHex(hex, &c)) {
            *error = where + "expected: name #rrggbb";
            return false;
        }
        if (c == kKey) {
            *error = where + "magenta is the colour key, not a palette colour";
            return false;
        }
        palette->colors[first] = c;
    }
    return true;
}

void SetCurrentPalette(const Palette& palette) { g_palette = palette; }
const Palette& CurrentPalette() { return g_palette; }

Color Pal(const std::string& name) {
    auto it = g_palette.colors.find(name);
    if (it == g_palette.colors.end()) Fail("no palette colour " + name);
    return it->second;
}

const Ramp& RampOf(const std::string& name) {
    auto it = g_palette.ramps.find(name);
    if (it == g_palette.ramps.end()) Fail("no palette ramp " + name);
    return it->second;
}

// ---- sprites --------------------------------------------------------------------
// File layout:
//   legend C name        the character C stands for the palette colour name
//   sprite NAME          the rows follow, one per line, up to "end"
// Lines starting with ';' are comments. The legend is read in file order, so
// a sprite sees every legend line above it.

bool LoadSprites(const std::string& path, std::map<std::string, Sprite>* sprites, std::string* error) {
    std::ifstream in(path);
    if (!in) {
        *error = "cannot read " + path;
        return false;
    }
    std::map<char, std::string> legend;
    std::string line;
    int number = 0;
    Sprite* open = nullptr;
    Sprite current;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string where = path + ":" + std::to_string(number) + ": ";
        if (open) {
            std::string t = Trim(line);
            if (t == "end") {
                if (current.rows.empty()) {
                    *error = where + "sprite " + current.name + " has no rows";
                    return false;
                }
                current.height = static_cast<int>(current.rows.size());
                current.legend = legend;
                (*sprites)[current.name] = current;
                open = nullptr;
                continue;
            }
            if (t.empty()) continue;
            if (current.width == 0) current.width = static_cast<int>(t.size());
            if (static_cast<int>(t.size()) != current.width) {
                *error = where + "row of sprite " + current.name + " is not " + std::to_string(current.width) +
                         " wide";
                return false;
            }
            for (char ch : t)
                if (ch != '.' && !(ch >= '0' && ch <= '4') && !legend.count(ch)) {
                    *error = where + "character '" + std::string(1, ch) + "' has no legend";
                    return false;
                }
            current.rows.push_back(t);
            continue;
        }
        std::string t = Trim(line);
        if (t.empty() || t[0] == ';') continue;
        std::istringstream words(t);
        std::string first;
        words >> first;
        if (first == "legend") {
            std::string ch, name;
            words >> ch >> name;
            if (ch.size() != 1 || name.empty() || ch == "." || (ch[0] >= '0' && ch[0] <= '4')) {
                *error = where + "expected: legend C colour";
                return false;
            }
            if (!g_palette.colors.count(name)) {
                *error = where + "unknown colour " + name;
                return false;
            }
            legend[ch[0]] = name;
        } else if (first == "sprite") {
            current = Sprite{};
            words >> current.name;
            if (current.name.empty()) {
                *error = where + "sprite needs a name";
                return false;
            }
            if (sprites->count(current.name)) {
                *error = where + "sprite " + current.name + " defined twice";
                return false;
            }
            open = &current;
        } else {
            *error = where + "expected legend or sprite";
            return false;
        }
    }
    if (open) {
        *error = path + ": sprite " + current.name + " has no end";
        return false;
    }
    return true;
}

void AddSprites(const std::map<std::string, Sprite>& sprites) {
    for (auto& [name, s] : sprites) g_sprites[name] = s;
}

const Sprite& Spr(const std::string& name) {
    auto it = g_sprites.find(name);
    if (it == g_sprites.end()) Fail("no sprite " + name);
    return it->second;
}

int SpriteWidth(const Sprite& s, int turn) { return (turn & 1) ? s.height : s.width; }
int SpriteHeight(const Sprite& s, int turn) { return (turn & 1) ? s.width : s.height; }

void DrawSprite(Canvas& canvas, const Sprite& s, int x, int y, const Ramp* ramp, int turn, bool mirror) {
    turn &= 3;
    const int w = SpriteWidth(s, turn);
    const int h = SpriteHeight(s, turn);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            int u = mirror ? w - 1 - i : i;  // position in the turned sprite
            int v = j;
            int sx = 0, sy = 0;  // position in the source rows
            switch (turn) {
                case 0: sx = u, sy = v; break;
                case 1: sx = v, sy = s.height - 1 - u; break;
                case 2: sx = s.width - 1 - u, sy = s.height - 1 - v; break;
                case 3: sx = s.width - 1 - v, sy = u; break;
            }
            char ch = s.rows[sy][sx];
            if (ch == '.') continue;
            Color c;
            if (ch >= '0' && ch <= '4') {
                if (!ramp) Fail("sprite " + s.name + " needs a ramp");
                c = (*ramp)[ch - '0'];
            } else {
                c = Pal(s.legend.at(ch));
            }
            canvas.Set(x + i, y + j, c);
        }
}

// ---- PNG --------------------------------------------------------------------------

namespace {

bool WritePngRows(const std::string& path, int width, int height, int colorType, int channels,
                  const std::vector<uint8_t>& bytes, std::string* error) {
    FILE* f = std::fopen((path + ".part").c_str(), "wb");
    if (!f) {
        *error = "cannot write " + path;
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        std::remove((path + ".part").c_str());
        *error = "libpng failed writing " + path;
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, width, height, 8, colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(bytes.data() + size_t(y) * width * channels));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(f) != 0) {
        *error = "cannot finish " + path;
        return false;
    }
    // Written whole under a temporary name first, so no half file is left.
    if (std::rename((path + ".part").c_str(), path.c_str()) != 0) {
        *error = "cannot rename to " + path;
        return false;
    }
    return true;
}

}  // namespace

bool WritePng(const std::string& path, const Canvas& canvas, std::string* error) {
    std::vector<uint8_t> bytes;
    bytes.reserve(canvas.pixels.size() * 3);
    for (Color c : canvas.pixels) {
        bytes.push_back(uint8_t(c >> 16));
        bytes.push_back(uint8_t(c >> 8));
        bytes.push_back(uint8_t(c));
    }
    return WritePngRows(path, canvas.width, canvas.height, PNG_COLOR_TYPE_RGB, 3, bytes, error);
}

bool WritePngWithAlpha(const std::string& path, const Canvas& canvas, std::string* error) {
    std::vector<uint8_t> bytes;
    bytes.reserve(canvas.pixels.size() * 4);
    for (Color c : canvas.pixels) {
        bool key = c == kKey;
        bytes.push_back(key ? 0 : uint8_t(c >> 16));
        bytes.push_back(key ? 0 : uint8_t(c >> 8));
        bytes.push_back(key ? 0 : uint8_t(c));
        bytes.push_back(key ? 0 : 255);
    }
    return WritePngRows(path, canvas.width, canvas.height, PNG_COLOR_TYPE_RGBA, 4, bytes, error);
}

bool ReadPng(const std::string& path, Canvas* canvas, std::string* error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        *error = "cannot read PNG " + path;
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> bytes(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) {
        png_image_free(&image);
        *error = "cannot decode PNG " + path;
        return false;
    }
    *canvas = Canvas(static_cast<int>(image.width), static_cast<int>(image.height));
    for (size_t i = 0; i < canvas->pixels.size(); ++i) {
        const uint8_t* p = &bytes[i * 4];
        canvas->pixels[i] = p[3] == 0 ? kKey : (Color(p[0]) << 16 | Color(p[1]) << 8 | p[2]);
    }
    return true;
}

}  // namespace art
