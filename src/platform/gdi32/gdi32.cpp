#include "platform/gdi32/gdi32.h"
#include "platform/gdi32/gdi32_font.h"

#include "platform/sdl/sdl_video.h"
#include "platform/user32/user32.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace {

struct DcRecord {
    HWND hwnd = nullptr;  // null: the screen
};

struct DibSection {
    BITMAPINFOHEADER header{};
    DWORD masks[3] = {};
    std::vector<uint8_t> data;
};

std::mutex g_gdiMutex;
std::map<uintptr_t, DcRecord> g_dcs;
std::map<uintptr_t, DibSection> g_sections;
uintptr_t g_nextHandle = 0x2D0010;

// A DIB as read: geometry, pixel format and the band of scan lines present.
struct DibView {
    const uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    bool bottomUp = false;
    int bitCount = 0;
    size_t stride = 0;
    uint32_t masks[3] = {};
    int shifts[3] = {};
    int widths[3] = {};
    UINT startScan = 0;
    UINT lines = 0;
};

void MaskShape(uint32_t mask, int* shift, int* width) {
    *shift = 0;
    *width = 0;
    if (mask == 0) return;
    while (!(mask & 1)) {
        mask >>= 1;
        ++*shift;
    }
    while (mask & 1) {
        mask >>= 1;
        ++*width;
    }
}

bool MakeView(const BITMAPINFO* bmi, const void* bits, UINT startScan, UINT lines, DibView* v) {
    if (bmi == nullptr || bits == nullptr) return false;
    const BITMAPINFOHEADER& h = bmi->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 || h.biWidth > 0x4000 ||
        h.biHeight > 0x4000 || h.biHeight < -0x4000)
        return false;
    v->bits = static_cast<const uint8_t*>(bits);
    v->width = h.biWidth;
    v->bottomUp = h.biHeight > 0;
    v->height = h.biHeight > 0 ? h.biHeight : -h.biHeight;
    v->bitCount = h.biBitCount;
    v->stride = ((static_cast<size_t>(v->width) * h.biBitCount + 31) / 32) * 4;
    v->startScan = startScan;
    v->lines = lines;
    if (h.biCompression == BI_RGB) {
        if (h.biBitCount == 32 || h.biBitCount == 24) {
            v->masks[0] = 0xFF0000, v->masks[1] = 0xFF00, v->masks[2] = 0xFF;
        } else if (h.biBitCount == 16) {
            v->masks[0] = 0x7C00, v->masks[1] = 0x3E0, v->masks[2] = 0x1F;
        } else {
            return false;
        }
    } else if (h.biCompression == BI_BITFIELDS && (h.biBitCount == 16 || h.biBitCount == 32)) {
        // The masks follow a plain header and sit at the same place inside the larger ones.
        const uint8_t* maskBytes = reinterpret_cast<const uint8_t*>(bmi) + sizeof(BITMAPINFOHEADER);
        std::memcpy(v->masks, maskBytes, sizeof v->masks);
        if (v->masks[0] == 0 || v->masks[1] == 0 || v->masks[2] == 0) return false;
    } else {
        return false;
    }
    for (int i = 0; i < 3; ++i) MaskShape(v->masks[i], &v->shifts[i], &v->widths[i]);
    return true;
}

// The bytes of a source row (counted from the top), or null outside the band.
const uint8_t* SourceRow(const DibView& v, int rowFromTop) {
    if (rowFromTop < 0 || rowFromTop >= v.height) return nullptr;
    int scan = v.bottomUp ? v.height - 1 - rowFromTop : rowFromTop;
    if (static_cast<UINT>(scan) < v.startScan || static_cast<UINT>(scan) - v.startScan >= v.lines) return nullptr;
    return v.bits + static_cast<size_t>(scan - v.startScan) * v.stride;
}

uint32_t Channel(uint32_t pixel, uint32_t mask, int shift, int width) {
    uint32_t value = (pixel & mask) >> shift;
    if (width >= 8) return value >> (width - 8);
    uint32_t max = (1u << width) - 1;
    return (value * 255 + max / 2) / max;
}

uint32_t ReadPixel(const DibView& v, const uint8_t* row, int x) {
    uint32_t pixel;
    switch (v.bitCount) {
        case 32: std::memcpy(&pixel, row + static_cast<size_t>(x) * 4, 4); break;
        case 24: {
            const uint8_t* p = row + static_cast<size_t>(x) * 3;
            return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
        }
        default: {
            uint16_t value;
            std::memcpy(&value, row + static_cast<size_t>(x) * 2, 2);
            pixel = value;
        }
    }
    if (v.bitCount == 32 && v.masks[0] == 0xFF0000 && v.masks[1] == 0xFF00 && v.masks[2] == 0xFF)
        return pixel & 0xFFFFFF;
    return (Channel(pixel, v.masks[0], v.shifts[0], v.widths[0]) << 16) |
           (Channel(pixel, v.masks[1], v.shifts[1], v.widths[1]) << 8) |
           Channel(pixel, v.masks[2], v.shifts[2], v.widths[2]);
}

// The window picture a context draws into, with the client offset of its window.
struct Target {
    uint32_t backend = 0;
    POINT offset{};
};

bool TargetOf(HDC hdc, Target* t) {
    HWND hwnd;
    {
        std::lock_guard<std::mutex> lock(g_gdiMutex);
        auto it = g_dcs.find(reinterpret_cast<uintptr_t>(hdc));
        if (it == g_dcs.end()) return false;
        hwnd = it->second.hwnd;
    }
    if (hwnd == nullptr) return true;  // the screen: nothing to draw into
    HWND top = platform::PictureWindow(hwnd, &t->offset);
    if (top == nullptr) return false;  // the window has gone
    t->backend = platform::WindowBackendId(top);
    return true;
}

// Reads rows of a DIB as 0x00RRGGBB. Each channel with contiguous mask bits
// goes through a table of its (at most 8) top bits, already in place, so a
// pixel costs three lookups; other masks take ReadPixel one pixel at a time.
class RowReader {
public:
    explicit RowReader(const DibView& v) : v_(v) {
        plain32_ = v.bitCount == 32 && v.masks[0] == 0xFF0000 && v.masks[1] == 0xFF00 && v.masks[2] == 0xFF;
        tabled_ = v.bitCount != 24;
        for (int c = 0; c < 3 && tabled_; ++c) {
            const int width = v.widths[c], shift = v.shifts[c];
            const uint32_t run = width >= 32 ? ~0u : (1u << width) - 1;
            if (width == 0 || (run << shift) != v.masks[c]) {
                tabled_ = false;
                break;
            }
            const int bits = std::min(width, 8);
            down_[c] = shift + width - bits;
            index_[c] = (1u << bits) - 1;
            for (uint32_t i = 0; i <= index_[c]; ++i)
                table_[c][i] = Channel(i << down_[c], v.masks[c], shift, width) << (16 - 8 * c);
        }
    }

    // count pixels from column first of row into out.
    void Read(const uint8_t* row, int first, int count, uint32_t* out) const {
        const int bytes = v_.bitCount / 8;
        const uint8_t* p = row + static_cast<size_t>(first) * bytes;
        if (plain32_) {
            for (int i = 0; i < count; ++i) {
                uint32_t pixel;
                std::memcpy(&pixel, p + 4 * i, 4);
                out[i] = pixel & 0xFFFFFF;
            }
        } else if (tabled_ && bytes == 2) {
            for (int i = 0; i < count; ++i) {
                uint16_t pixel;
                std::memcpy(&pixel, p + 2 * i, 2);
                out[i] = Lookup(pixel);
            }
        } else if (tabled_) {
            for (int i = 0; i < count; ++i) {
                uint32_t pixel;
                std::memcpy(&pixel, p + 4 * i, 4);
                out[i] = Lookup(pixel);
            }
        } else {
            for (int i = 0; i < count; ++i) out[i] = ReadPixel(v_, row, first + i);
        }
    }

private:
    uint32_t Lookup(uint32_t pixel) const {
        return table_[0][(pixel >> down_[0]) & index_[0]] | table_[1][(pixel >> down_[1]) & index_[1]] |
               table_[2][(pixel >> down_[2]) & index_[2]];
    }

    const DibView& v_;
    bool plain32_ = false;
    bool tabled_ = false;
    int down_[3] = {};
    uint32_t index_[3] = {};
    uint32_t table_[3][256] = {};
};

// How destination columns take source columns: the same one each (an
// unscaled copy), each source column twice (a doubled copy), or any map.
enum class ColumnMap { Same, Doubled, Any };

ColumnMap ClassifyColumns(const std::vector<int>& srcX, size_t from, size_t to) {
    bool same = true, doubled = (to - from) % 2 == 0;
    for (size_t dx = from; dx < to; ++dx) {
        same = same && srcX[dx] == srcX[from] + static_cast<int>(dx - from);
        doubled = doubled && srcX[dx] == srcX[from] + static_cast<int>((dx - from) / 2);
    }
    return same ? ColumnMap::Same : doubled ? ColumnMap::Doubled : ColumnMap::Any;
}

// Copies source pixels into a destination rectangle; srcX/srcY give, for each
// destination column and row, the source column and row from the top (-1: none).
// Each source row is read once into a line of pixels; a destination row that
// repeats the row above (a doubled copy) is copied from it.
void CopyToPicture(const Target& t, const DibView& v, int destLeft, int destTop, const std::vector<int>& srcX,
                   const std::vector<int>& srcY) {
    if (t.backend == 0) return;
    int pw = 0, ph = 0;
    uint32_t* picture = platform::sdl::LockWindowPicture(t.backend, &pw, &ph);
    if (picture == nullptr) return;
    // The destination columns inside the picture, and the source columns they read.
    const int64_t left = int64_t{destLeft} + t.offset.x;
    const size_t from = static_cast<size_t>(std::clamp<int64_t>(-left, 0, static_cast<int64_t>(srcX.size())));
    const size_t to = static_cast<size_t>(std::clamp<int64_t>(pw - left, static_cast<int64_t>(from),
                                                              static_cast<int64_t>(srcX.size())));
    int lo = v.width, hi = -1;
    size_t valid = 0;
    for (size_t dx = from; dx < to; ++dx) {
        if (srcX[dx] < 0 || srcX[dx] >= v.width) continue;
        lo = std::min(lo, srcX[dx]);
        hi = std::max(hi, srcX[dx]);
        ++valid;
    }
    if (valid > 0) {
        const RowReader reader(v);
        const size_t span = static_cast<size_t>(hi - lo + 1);
        const bool whole = valid == to - from;  // every column in the picture gets a pixel
        const ColumnMap map = whole ? ClassifyColumns(srcX, from, to) : ColumnMap::Any;
        std::vector<uint32_t> line(span);
        const uint32_t* last = nullptr;
        int lastRow = -1;
        for (size_t dy = 0; dy < srcY.size(); ++dy) {
            const int64_t py = int64_t{destTop} + static_cast<int64_t>(dy) + t.offset.y;
            if (py < 0 || py >= ph) continue;
            const uint8_t* row = SourceRow(v, srcY[dy]);
            if (row == nullptr) continue;
            uint32_t* out = picture + static_cast<size_t>(py) * pw + (left + static_cast<int64_t>(from));
            if (whole && last != nullptr && srcY[dy] == lastRow) {
                std::memcpy(out, last, (to - from) * sizeof(uint32_t));
            } else if (map == ColumnMap::Same) {
                reader.Read(row, lo, static_cast<int>(span), out);
            } else {
                reader.Read(row, lo, static_cast<int>(span), line.data());
                if (map == ColumnMap::Doubled) {
                    for (size_t i = 0; i < span; ++i) out[2 * i] = out[2 * i + 1] = line[i];
                } else {
                    for (size_t dx = from; dx < to; ++dx) {
                        const int sx = srcX[dx];
                        if (sx >= 0 && sx < v.width) out[dx - from] = line[static_cast<size_t>(sx - lo)];
                    }
                }
            }
            last = out;
            lastRow = srcY[dy];
        }
    }
    platform::sdl::UnlockWindowPicture(t.backend, true);
}

// Nearest-pixel sampling (as GDI's colour-on-colour stretch: a doubled pixel
// repeats, a halved picture keeps every other one) of srcCount source positions
// from start into destCount destination positions, reversed when mirrored.
std::vector<int> Sample(int start, int srcCount, int destCount, bool mirror) {
    std::vector<int> map(static_cast<size_t>(destCount));
    for (int d = 0; d < destCount; ++d) {
        int64_t s = static_cast<int64_t>(d) * srcCount / destCount;
        int index = mirror ? destCount - 1 - d : d;
        map[static_cast<size_t>(index)] = start + static_cast<int>(s);
    }
    return map;
}

// Source rows counted from the top for a rectangle given in the DIB's own
// coordinates (from the bottom for a bottom-up DIB).
int TopRow(const DibView& v, int ySrc, int height) { return v.bottomUp ? v.height - ySrc - height : ySrc; }

}  // namespace

HDC GetDC(HWND hwnd) {
    if (hwnd != nullptr && !IsWindow(hwnd)) return nullptr;
    std::lock_guard<std::mutex> lock(g_gdiMutex);
    uintptr_t handle = g_nextHandle;
    g_nextHandle += 4;
    g_dcs[handle] = DcRecord{hwnd};
    return reinterpret_cast<HDC>(handle);
}

int ReleaseDC(HWND, HDC hdc) {
    std::lock_guard<std::mutex> lock(g_gdiMutex);
    return g_dcs.erase(reinterpret_cast<uintptr_t>(hdc)) ? 1 : 0;
}

int GetDeviceCaps(HDC, int index) {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    switch (index) {
        case HORZRES: return static_cast<int>(mode.dmPelsWidth);
        case VERTRES: return static_cast<int>(mode.dmPelsHeight);
        case BITSPIXEL: return static_cast<int>(mode.dmBitsPerPel);
        case PLANES: return 1;
        case VREFRESH: return static_cast<int>(mode.dmDisplayFrequency);
    }
    return 0;
}

int SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc,
                      UINT startScan, UINT cLines, const void* bits, const BITMAPINFO* bmi, UINT colorUse) {
    DibView v;
    Target t;
    if (colorUse != DIB_RGB_COLORS || width > 0x4000 || height > 0x4000 || !MakeView(bmi, bits, startScan, cLines, &v) ||
        !TargetOf(hdc, &t))
        return 0;
    int w = static_cast<int>(width), h = static_cast<int>(height);
    std::vector<int> srcX(static_cast<size_t>(w)), srcY(static_cast<size_t>(h));
    for (int i = 0; i < w; ++i) srcX[static_cast<size_t>(i)] = xSrc + i;
    int top = TopRow(v, ySrc, h);
    for (int i = 0; i < h; ++i) srcY[static_cast<size_t>(i)] = top + i;
    CopyToPicture(t, v, xDest, yDest, srcX, srcY);
    return static_cast<int>(cLines);
}

int StretchDIBits(HDC hdc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* bmi, UINT usage, DWORD rop) {
    DibView v;
    Target t;
    if (usage != DIB_RGB_COLORS || rop != SRCCOPY || destWidth == 0 || destHeight == 0 || srcWidth == 0 ||
        srcHeight == 0 || std::abs(destWidth) > 0x4000 || std::abs(destHeight) > 0x4000 ||
        std::abs(srcWidth) > 0x4000 || std::abs(srcHeight) > 0x4000)
        return 0;
    if (!MakeView(bmi, bits, 0, static_cast<UINT>(bmi->bmiHeader.biHeight > 0 ? bmi->bmiHeader.biHeight
                                                                                : -bmi->bmiHeader.biHeight),
                  &v) ||
        !TargetOf(hdc, &t))
        return 0;
    bool mirrorX = (destWidth < 0) != (srcWidth < 0);
    bool mirrorY = (destHeight < 0) != (srcHeight < 0);
    int destLeft = destWidth < 0 ? xDest + destWidth + 1 : xDest;
    int destTop = destHeight < 0 ? yDest + destHeight + 1 : yDest;
    int srcLeft = srcWidth < 0 ? xSrc + srcWidth + 1 : xSrc;
    int srcH = std::abs(srcHeight);
    int srcBottomUpY = srcHeight < 0 ? ySrc + srcHeight + 1 : ySrc;
    std::vector<int> srcX = Sample(srcLeft, std::abs(srcWidth), std::abs(destWidth), mirrorX);
    std::vector<int> srcY = Sample(TopRow(v, srcBottomUpY, srcH), srcH, std::abs(destHeight), mirrorY);
    CopyToPicture(t, v, destLeft, destTop, srcX, srcY);
    return srcH;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* bmi, UINT usage, void** bits, HANDLE, DWORD) {
    if (bits != nullptr) *bits = nullptr;
    DibView v;
    static const uint8_t kProbe[4] = {};
    if (usage != DIB_RGB_COLORS || !MakeView(bmi, kProbe, 0, 0, &v)) return nullptr;
    DibSection section;
    section.header = bmi->bmiHeader;
    std::memcpy(section.masks, v.masks, sizeof section.masks);
    section.data.assign(v.stride * static_cast<size_t>(v.height), 0);
    std::lock_guard<std::mutex> lock(g_gdiMutex);
    uintptr_t handle = g_nextHandle;
    g_nextHandle += 4;
    DibSection& stored = g_sections[handle] = std::move(section);
    if (bits != nullptr) *bits = stored.data.data();
    return reinterpret_cast<HBITMAP>(handle);
}

BOOL DeleteObject(HGDIOBJ object) {
    if (platform::IsFontObject(object)) return DeleteFontObject(object);  // fonts: gdi32_font.cpp
    std::lock_guard<std::mutex> lock(g_gdiMutex);
    return g_sections.erase(reinterpret_cast<uintptr_t>(object)) ? TRUE : FALSE;
}

BOOL GdiFlush() { return TRUE; }

namespace platform {

bool ReadWindowPicture(HWND hwnd, std::vector<uint32_t>* pixels, int* width, int* height) {
    if (pixels == nullptr || width == nullptr || height == nullptr) return false;
    uint32_t backend = WindowBackendId(PictureWindow(hwnd, nullptr));
    return backend != 0 && sdl::ReadWindowPicture(backend, pixels, width, height);
}

uint64_t WindowPresentCount(HWND hwnd) {
    uint32_t backend = WindowBackendId(PictureWindow(hwnd, nullptr));
    return backend != 0 ? sdl::WindowPresentCount(backend) : 0;
}

}  // namespace platform
