// The software renderer's blit and fill beside SDL2 and pixman doing the same
// work, with memcpy of the same bytes as the limit.
//
// Names: blit/<work>/<bits>/<key|nokey>/<size>/<library>, fill/<bits>/<size>/<library>
//   blit copy   - velumi mode 0; SDL blend mode NONE; pixman SRC
//   blit alpha  - velumi mode 1, p 128; SDL BLEND with alpha mod 128; pixman
//                 OVER through a solid mask of alpha 128
//   blit add    - velumi mode 2, p 255; SDL ADD; pixman ADD
//   key         - velumi and SDL skip the transparent colour (magenta); pixman
//                 has no colour key and composites an a8r8g8b8 source whose
//                 transparent pixels are 0 (OVER for copy)
//   fill        - velumi FillMemImgRect mode 0; SDL_FillRect; pixman_fill
#include "softrender/draw_state.h"
#include "softrender/memimg.h"
#include "softrender/memimg_tables.h"
#include "softrender/soft_draw.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

enum class Work { Copy, Alpha, Add };
const char* WorkName(Work w) { return w == Work::Copy ? "copy" : w == Work::Alpha ? "alpha128" : "add"; }

constexpr uint32_t kKey32 = 0x00FF00FF;
constexpr uint32_t kKey16 = 0xF81F;

// A sprite-like source: random colours with transparent runs (about a
// quarter of the pixels), and a random destination.
struct Pictures {
    int width, height, bits;
    std::vector<uint32_t> source, dest;  // pixel values of the format
    Pictures(int w, int h, int b) : width(w), height(h), bits(b) {
        std::mt19937 random(7);
        source.resize(static_cast<size_t>(w) * h);
        dest.resize(source.size());
        const uint32_t key = b == 32 ? kKey32 : kKey16;
        for (int y = 0; y < h; ++y) {
            int run = 0;
            bool transparent = false;
            for (int x = 0; x < w; ++x) {
                if (run-- <= 0) {
                    transparent = random() % 4 == 0;
                    run = 2 + static_cast<int>(random() % 24);
                }
                uint32_t v = random() & (b == 32 ? 0x00FFFFFF : 0xFFFF);
                if (v == key) v ^= 1;
                source[static_cast<size_t>(y) * w + x] = transparent ? key : v;
                dest[static_cast<size_t>(y) * w + x] = random() & (b == 32 ? 0x00FFFFFF : 0xFFFF);
            }
        }
    }
    template <typename T>
    void Write(const std::vector<uint32_t>& values, void* pixels, int pitch) const {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                reinterpret_cast<T*>(static_cast<uint8_t*>(pixels) + y * pitch)[x] =
                    static_cast<T>(values[static_cast<size_t>(y) * width + x]);
    }
    void Write(const std::vector<uint32_t>& values, void* pixels, int pitch) const {
        if (bits == 32) Write<uint32_t>(values, pixels, pitch);
        else Write<uint16_t>(values, pixels, pitch);
    }
};

void SetPixelCount(benchmark::State& state, int w, int h) {
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(w) * h);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(w) * h * 4);
}

// ---- velumi -------------------------------------------------------------------

void VelumiBlit(benchmark::State& state, Work work, int bits, bool key, int w, int h) {
    Pictures pics(w, h, bits);
    const int32_t type = bits == 32 ? kMemImgX8R8G8B8 : kMemImgR5G6B5;
    MEMIMG src, dst;
    CreateMemImg(&src, w, h, type, 0, bits == 32 ? kKey32 : kKey16);
    CreateMemImg(&dst, w, h, type, 0, 0);
    pics.Write(pics.source, src.pixels, src.base->pitch);
    pics.Write(pics.dest, dst.pixels, dst.base->pitch);
    InitMemImgTables();
    ResetDrawState();
    SetDrawStateArea(0, 0, w, h);
    g_drawState.blendMode = work == Work::Copy ? kBlendNone : work == Work::Alpha ? kBlendAlpha : kBlendAdd;
    g_drawState.blendParameter = work == Work::Alpha ? 128 : 255;
    for (auto _ : state) {
        BlitMemImg(&dst, &src, 0, 0, key ? 1 : 0, nullptr);
        benchmark::ClobberMemory();
    }
    SetPixelCount(state, w, h);
    ReleaseMemImg(&src);
    ReleaseMemImg(&dst);
}

void VelumiFill(benchmark::State& state, int bits, int w, int h) {
    MEMIMG dst;
    CreateMemImg(&dst, w, h, bits == 32 ? kMemImgX8R8G8B8 : kMemImgR5G6B5, 0, 0);
    InitMemImgTables();
    ResetDrawState();
    SetDrawStateArea(0, 0, w, h);
    uint32_t colour = 0x123456;
    for (auto _ : state) {
        FillMemImgRect(&dst, nullptr, colour++ & (bits == 32 ? 0xFFFFFF : 0xFFFF));
        benchmark::ClobberMemory();
    }
    SetPixelCount(state, w, h);
    ReleaseMemImg(&dst);
}

// ---- SDL2 ----------------------------------------------------------------------

SDL_Surface* MakeSurface(const Pictures& pics, const std::vector<uint32_t>& values) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(
        0, pics.width, pics.height, pics.bits, pics.bits == 32 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565);
    pics.Write(values, s->pixels, s->pitch);
    return s;
}

void SdlBlit(benchmark::State& state, Work work, int bits, bool key, int w, int h) {
    Pictures pics(w, h, bits);
    SDL_Surface* src = MakeSurface(pics, pics.source);
    SDL_Surface* dst = MakeSurface(pics, pics.dest);
    if (key) SDL_SetColorKey(src, SDL_TRUE, bits == 32 ? kKey32 : kKey16);
    SDL_SetSurfaceBlendMode(src, work == Work::Copy    ? SDL_BLENDMODE_NONE
                                 : work == Work::Alpha ? SDL_BLENDMODE_BLEND
                                                       : SDL_BLENDMODE_ADD);
    if (work == Work::Alpha) SDL_SetSurfaceAlphaMod(src, 128);
    for (auto _ : state) {
        SDL_Rect to{0, 0, w, h};
        SDL_BlitSurface(src, nullptr, dst, &to);
        benchmark::ClobberMemory();
    }
    SetPixelCount(state, w, h);
    SDL_FreeSurface(src);
    SDL_FreeSurface(dst);
}

void SdlFill(benchmark::State& state, int bits, int w, int h) {
    Pictures pics(w, h, bits);
    SDL_Surface* dst = MakeSurface(pics, pics.dest);
    uint32_t colour = 0x123456;
    for (auto _ : state) {
        SDL_FillRect(dst, nullptr, colour++ & (bits == 32 ? 0xFFFFFF : 0xFFFF));
        benchmark::ClobberMemory();
    }
    SetPixelCount(state, w, h);
    SDL_FreeSurface(dst);
}

// ---- pixman ----------------------------------------------------------------------

struct PixmanPicture {
    std::vector<uint32_t> storage;
    pixman_image_t* image = nullptr;
    PixmanPicture(int w, int h, pixman_format_code_t format, int bits) {
        int stride = ((w * bits / 8) + 3) & ~3;
        storage.resize(static_cast<size_t>(stride / 4) * h + 1);
        image = pixman_image_create_bits(format, w, h, storage.data(), stride);
    }
    ~PixmanPicture() { pixman_image_unref(image); }
    void* Bits() { return pixman_image_get_data(image); }
    int Stride() { return pixman_image_get_stride(image); }
};

void PixmanBlit(benchmark::State& state, Work work, int bits, bool key, int w, int h) {
    Pictures pics(w, h, bits);
    const pixman_format_code_t own = bits == 32 ? PIXMAN_x8r8g8b8 : PIXMAN_r5g6b5;
    PixmanPicture dst(w, h, own, bits);
    pics.Write(pics.dest, dst.Bits(), dst.Stride());
    // With a key the source carries alpha: 0 (all zero) where transparent.
    PixmanPicture src(w, h, key ? PIXMAN_a8r8g8b8 : own, key ? 32 : bits);
    if (key) {
        const uint32_t k = bits == 32 ? kKey32 : kKey16;
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(src.Bits()) + y * src.Stride());
            for (int x = 0; x < w; ++x) {
                uint32_t v = pics.source[static_cast<size_t>(y) * w + x];
                if (bits == 16) v = ((v >> 11) << 19) | (((v >> 5) & 63) << 10) | ((v & 31) << 3);
                row[x] = pics.source[static_cast<size_t>(y) * w + x] == k ? 0 : (0xFF000000 | v);
            }
        }
    } else {
        pics.Write(pics.source, src.Bits(), src.Stride());
    }
    pixman_color_t half{0, 0, 0, 0x8080};
    pixman_image_t* mask = work == Work::Alpha ? pixman_image_create_solid_fill(&half) : nullptr;
    const pixman_op_t op = work == Work::Add ? PIXMAN_OP_ADD : (work == Work::Alpha || key) ? PIXMAN_OP_OVER
                                                                                           : PIXMAN_OP_SRC;
    for (auto _ : state) {
        pixman_image_composite32(op, src.image, mask, dst.image, 0, 0, 0, 0, 0, 0, w, h);
        benchmark::ClobberMemory();
    }
    SetPixelCount(state, w, h);
    if (mask) pixman_image_unref(mask);
}

void PixmanFill(benchmark::State& state, int bits, int w, int h) {
    PixmanPicture dst(w, h, bits == 32 ? PIXMAN_x8r8g8b8 : PIXMAN_r5g6b5, bits);
    uint32_t colour = 0x123456;
    for (auto _ : state) {
        pixman_fill(static_cast<uint32_t*>(dst.Bits()), dst.Stride() / 4, bits, 0, 0, w, h,
                    colour++ & (bits == 32 ? 0xFFFFFF : 0xFFFF));
        benchmark::ClobberMemory();
    }
    SetPixelCount(state, w, h);
}

// ---- the limit --------------------------------------------------------------------

void MemcpyRows(benchmark::State& state, int bits, int w, int h) {
    const size_t row = static_cast<size_t>(w) * bits / 8;
    std::vector<uint8_t> a(row * h, 1), b(row * h, 2);
    for (auto _ : state) {
        for (int y = 0; y < h; ++y) std::memcpy(b.data() + y * row, a.data() + y * row, row);
        benchmark::ClobberMemory();
    }
    SetPixelCount(state, w, h);
}

void RegisterAll() {
    const int sizes[2][2] = {{320, 240}, {640, 480}};
    for (int bits : {32, 16}) {
        for (const auto& size : sizes) {
            const int w = size[0], h = size[1];
            const std::string dims = std::to_string(w) + "x" + std::to_string(h);
            const std::string tail = "/" + std::to_string(bits) + "bit/";
            for (Work work : {Work::Copy, Work::Alpha, Work::Add}) {
                for (bool key : {false, true}) {
                    std::string name = std::string("blit/") + WorkName(work) + tail + (key ? "key/" : "nokey/") + dims;
                    benchmark::RegisterBenchmark((name + "/velumi").c_str(), VelumiBlit, work, bits, key, w, h);
                    benchmark::RegisterBenchmark((name + "/sdl2").c_str(), SdlBlit, work, bits, key, w, h);
                    benchmark::RegisterBenchmark((name + "/pixman").c_str(), PixmanBlit, work, bits, key, w, h);
                }
            }
            std::string fill = std::string("fill") + tail + dims;
            benchmark::RegisterBenchmark((fill + "/velumi").c_str(), VelumiFill, bits, w, h);
            benchmark::RegisterBenchmark((fill + "/sdl2").c_str(), SdlFill, bits, w, h);
            benchmark::RegisterBenchmark((fill + "/pixman").c_str(), PixmanFill, bits, w, h);
            benchmark::RegisterBenchmark(("memcpy" + tail + dims).c_str(), MemcpyRows, bits, w, h);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
