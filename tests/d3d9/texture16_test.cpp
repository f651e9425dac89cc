// The 16-bit texture formats A4R4G4B4, A1R5G5B5 and X1R5G5B5 (and R5G6B5
// beside them): the words each holds, widened to 8 bits a channel by
// repeating the channel's bits, written back truncated; textures locked,
// drawn 1:1 and locked again; targets, copies, and the calls that refuse them.
#include "d3d9_test_support.h"

#include "platform/d3d9/d3d9_formats.h"

#include <cstring>

using namespace d3d9test;

namespace {

// ---- the conversions, without a device ---------------------------------------------

TEST(D3D9Formats, SixteenBitWordsWidenByRepeatingTheirBits) {
    struct Case {
        const char* what;
        D3DFORMAT format;
        uint16_t word;
        uint32_t argb;
    } cases[] = {
        {"4444 channels", D3DFMT_A4R4G4B4, 0xF8C4, 0xFF88CC44},
        {"4444 low nibbles", D3DFMT_A4R4G4B4, 0x1234, 0x11223344},
        {"1555 alpha bit clear", D3DFMT_A1R5G5B5, 0x7C1F, 0x00FF00FF},
        {"1555 alpha bit set", D3DFMT_A1R5G5B5, 0x8000, 0xFF000000},
        {"1555 five bits 3 repeat to 0x18, not 3 * 255 / 31 rounded", D3DFMT_A1R5G5B5, 0x8C63, 0xFF181818},
        {"x555 top bit clear reads opaque", D3DFMT_X1R5G5B5, 0x7C1F, 0xFFFF00FF},
        {"x555 top bit set reads the same", D3DFMT_X1R5G5B5, 0xFC1F, 0xFFFF00FF},
        {"x555 green", D3DFMT_X1R5G5B5, 0x03E0, 0xFF00FF00},
        {"565 as before", D3DFMT_R5G6B5, 0x8A65, 0xFF8C4D29},
    };
    for (const Case& c : cases) {
        const d3d9::FormatInfo* f = d3d9::FindFormat(c.format);
        ASSERT_NE(f, nullptr) << c.what;
        EXPECT_EQ(f->bytesPerPixel, 2) << c.what;
        uint8_t bytes[2];
        std::memcpy(bytes, &c.word, 2);
        uint32_t argb = 0;
        d3d9::ToArgb(*f, bytes, &argb, 1);
        EXPECT_EQ(argb, c.argb) << c.what;
    }
}

TEST(D3D9Formats, EveryWordSurvivesWideningAndTruncating) {
    struct Case {
        const char* what;
        D3DFORMAT format;
        uint16_t keep;  // bits that come back as written (X bits come back set)
        uint16_t set;
    } cases[] = {
        {"4444", D3DFMT_A4R4G4B4, 0xFFFF, 0},
        {"1555", D3DFMT_A1R5G5B5, 0xFFFF, 0},
        {"x555", D3DFMT_X1R5G5B5, 0x7FFF, 0x8000},
        {"565", D3DFMT_R5G6B5, 0xFFFF, 0},
    };
    for (const Case& c : cases) {
        const d3d9::FormatInfo* f = d3d9::FindFormat(c.format);
        ASSERT_NE(f, nullptr) << c.what;
        std::vector<uint16_t> words(65536), back(65536);
        std::vector<uint32_t> argb(65536);
        for (size_t i = 0; i < words.size(); ++i) words[i] = static_cast<uint16_t>(i);
        d3d9::ToArgb(*f, reinterpret_cast<const uint8_t*>(words.data()), argb.data(), 65536);
        d3d9::FromArgb(*f, argb.data(), reinterpret_cast<uint8_t*>(back.data()), 65536);
        int wrong = 0;
        for (size_t i = 0; i < words.size(); ++i)
            if (back[i] != ((words[i] & c.keep) | c.set)) ++wrong;
        EXPECT_EQ(wrong, 0) << c.what;
    }
    struct Widen {
        uint32_t value;
        int bits;
        uint32_t expected;
    } widths[] = {{1, 1, 0xFF}, {0, 1, 0}, {0xA, 4, 0xAA}, {0x10, 5, 0x84}, {0x21, 6, 0x86}, {0x7F, 8, 0x7F}};
    for (const Widen& w : widths)
        EXPECT_EQ(d3d9::WidenChannel(w.value, w.bits), w.expected) << w.value << " of " << w.bits << " bits";
}

// ---- on the device -----------------------------------------------------------------

class Texture16 : public D3D9Draw {
protected:
    // A 2 x 2 texture of the format in the pool, its words written through a lock.
    IDirect3DTexture9* MakeWords(D3DFORMAT format, const uint16_t (&words)[4], D3DPOOL pool = D3DPOOL_MANAGED) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(device_->CreateTexture(2, 2, 1, 0, format, pool, &texture, nullptr), D3D_OK);
        if (texture == nullptr) return nullptr;
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        if (locked.pBits == nullptr) return texture;
        EXPECT_EQ(locked.Pitch, 4) << "two bytes a pixel";
        auto* bits = static_cast<uint8_t*>(locked.pBits);
        for (int y = 0; y < 2; ++y) std::memcpy(bits + y * locked.Pitch, words + y * 2, 4);
        EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
        return texture;
    }
    // Draws the texture 1:1 at (8, 8) with point sampling, texture colour and alpha.
    void DrawAt8(IDirect3DTexture9* texture) {
        device_->SetTexture(0, texture);
        SetStage0(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
        device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
        DrawTexturedQuad(8, 8, 10, 10, 0xFFFFFFFF);
        device_->SetTexture(0, nullptr);
    }
    std::vector<uint16_t> LockedWords(IDirect3DTexture9* texture) {
        std::vector<uint16_t> words;
        D3DLOCKED_RECT locked{};
        if (texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK) return words;
        for (int y = 0; y < 2; ++y) {
            const uint8_t* bytes = static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch;
            const auto* row = reinterpret_cast<const uint16_t*>(bytes);
            words.insert(words.end(), row, row + 2);
        }
        texture->UnlockRect(0);
        return words;
    }
};

struct DrawCase {
    const char* what;
    D3DFORMAT format;
    uint16_t words[4];
    uint32_t drawn[4];  // A8R8G8B8 on the target
};

const DrawCase kDrawCases[] = {
    {"A4R4G4B4", D3DFMT_A4R4G4B4, {0xF8C4, 0x0FFF, 0x8421, 0x1234}, {0xFF88CC44, 0x00FFFFFF, 0x88442211, 0x11223344}},
    {"A1R5G5B5", D3DFMT_A1R5G5B5, {0x7C1F, 0xFC1F, 0x83E0, 0x8C63}, {0x00FF00FF, 0xFFFF00FF, 0xFF00FF00, 0xFF181818}},
    {"X1R5G5B5", D3DFMT_X1R5G5B5, {0x7C1F, 0xFC1F, 0x03E0, 0x0C63}, {0xFFFF00FF, 0xFFFF00FF, 0xFF00FF00, 0xFF181818}},
    {"R5G6B5", D3DFMT_R5G6B5, {0xF800, 0x07E0, 0x001F, 0x8A65}, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF8C4D29}},
};

TEST_F(Texture16, LockedWordsDrawBitRepeatedAndLockBackAsWritten) {
    for (const DrawCase& c : kDrawCases) {
        IDirect3DTexture9* texture = MakeWords(c.format, c.words);
        ASSERT_NE(texture, nullptr) << c.what;
        ClearTo(0x5A5A5A5A);
        DrawAt8(texture);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(At(8 + i % 2, 8 + i / 2), c.drawn[i]) << c.what << " texel " << i;
        EXPECT_EQ(LockedWords(texture), std::vector<uint16_t>(c.words, c.words + 4)) << c.what << ": lock after a draw";
        texture->Release();
    }
}

TEST_F(Texture16, AlphaBlendsByTheFormatsAlpha) {
    struct Case {
        const char* what;
        D3DFORMAT format;
        uint16_t word;
        uint32_t blended;  // over opaque red, SRCALPHA / INVSRCALPHA (alpha stays 255)
    } cases[] = {
        {"1555 alpha 0 leaves the red", D3DFMT_A1R5G5B5, 0x001F, 0xFFFF0000},
        {"1555 alpha 1 covers it", D3DFMT_A1R5G5B5, 0x801F, 0xFF0000FF},
        {"x555 top bit 0 still covers", D3DFMT_X1R5G5B5, 0x001F, 0xFF0000FF},
        {"4444 alpha 0 leaves the red", D3DFMT_A4R4G4B4, 0x000F, 0xFFFF0000},
        {"4444 alpha F covers it", D3DFMT_A4R4G4B4, 0xF00F, 0xFF0000FF},
    };
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    for (const Case& c : cases) {
        const uint16_t words[4] = {c.word, c.word, c.word, c.word};
        IDirect3DTexture9* texture = MakeWords(c.format, words);
        ASSERT_NE(texture, nullptr) << c.what;
        ClearTo(0xFFFF0000);
        DrawAt8(texture);
        EXPECT_EQ(At(9, 9), c.blended) << c.what;
        texture->Release();
    }
}

TEST_F(Texture16, TargetsAndCopiesKeepTheFormatsBits) {
    struct Case {
        const char* what;
        D3DFORMAT format;
        D3DCOLOR fill;
        uint16_t word;  // what the fill reads back as
    } cases[] = {
        {"4444 truncates each channel to its top nibble", D3DFMT_A4R4G4B4, 0x80FF8040, 0x8F84},
        {"1555 keeps the top bit of alpha", D3DFMT_A1R5G5B5, 0x80FF8040, 0xFE08},
        {"1555 alpha below half is 0", D3DFMT_A1R5G5B5, 0x7FFF8040, 0x7E08},
        {"x555 alpha is never written", D3DFMT_X1R5G5B5, 0x00FF8040, 0xFE08},
    };
    for (const Case& c : cases) {
        IDirect3DSurface9 *target = nullptr, *copy = nullptr;
        ASSERT_EQ(device_->CreateRenderTarget(4, 4, c.format, D3DMULTISAMPLE_NONE, 0, FALSE, &target, nullptr), D3D_OK)
            << c.what;
        ASSERT_EQ(device_->CreateOffscreenPlainSurface(4, 4, c.format, D3DPOOL_SYSTEMMEM, &copy, nullptr), D3D_OK)
            << c.what;
        ASSERT_EQ(device_->ColorFill(target, nullptr, c.fill), D3D_OK) << c.what;
        ASSERT_EQ(device_->GetRenderTargetData(target, copy), D3D_OK) << c.what;
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK) << c.what;
        EXPECT_EQ(locked.Pitch, 8) << c.what;
        EXPECT_EQ(static_cast<uint16_t*>(locked.pBits)[5], c.word) << c.what;
        copy->UnlockRect();
        copy->Release();
        target->Release();
    }
}

TEST_F(Texture16, SystemMemoryTexturesReachTheDeviceByUpdateTexture) {
    for (const DrawCase& c : kDrawCases) {
        IDirect3DTexture9* staging = MakeWords(c.format, c.words, D3DPOOL_SYSTEMMEM);
        IDirect3DTexture9* texture = nullptr;
        ASSERT_NE(staging, nullptr) << c.what;
        ASSERT_EQ(device_->CreateTexture(2, 2, 1, 0, c.format, D3DPOOL_DEFAULT, &texture, nullptr), D3D_OK) << c.what;
        ASSERT_EQ(device_->UpdateTexture(staging, texture), D3D_OK) << c.what;
        ClearTo(0);
        DrawAt8(texture);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(At(8 + i % 2, 8 + i / 2), c.drawn[i]) << c.what << " texel " << i;
        IDirect3DTexture9* dynamic = nullptr;  // one that locks, to read what the copy wrote
        ASSERT_EQ(device_->CreateTexture(2, 2, 1, D3DUSAGE_DYNAMIC, c.format, D3DPOOL_DEFAULT, &dynamic, nullptr),
                  D3D_OK)
            << c.what;
        ASSERT_EQ(device_->UpdateTexture(staging, dynamic), D3D_OK) << c.what;
        EXPECT_EQ(LockedWords(dynamic), std::vector<uint16_t>(c.words, c.words + 4))
            << c.what << ": the copy keeps the words as they were, unused bits too";
        dynamic->Release();
        texture->Release();
        staging->Release();
    }
}

TEST_F(Texture16, MismatchedOrMisplacedSixteenBitResourcesAreRefused) {
    IDirect3DTexture9 *texture = nullptr, *managed4444 = nullptr, *default4444 = nullptr, *sys1555 = nullptr;
    IDirect3DSurface9 *surface = nullptr, *target1555 = nullptr, *sysX555 = nullptr, *sys4444 = nullptr;
    IDirect3DSurface9* plain1555 = nullptr;
    ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &managed4444, nullptr), D3D_OK);
    ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_DEFAULT, &default4444, nullptr), D3D_OK);
    ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A1R5G5B5, D3DPOOL_SYSTEMMEM, &sys1555, nullptr), D3D_OK);
    ASSERT_EQ(device_->CreateRenderTarget(4, 4, D3DFMT_A1R5G5B5, D3DMULTISAMPLE_NONE, 0, FALSE, &target1555, nullptr),
              D3D_OK);
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(4, 4, D3DFMT_X1R5G5B5, D3DPOOL_SYSTEMMEM, &sysX555, nullptr),
              D3D_OK);
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(4, 4, D3DFMT_A4R4G4B4, D3DPOOL_SYSTEMMEM, &sys4444, nullptr),
              D3D_OK);
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(4, 4, D3DFMT_A1R5G5B5, D3DPOOL_DEFAULT, &plain1555, nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked{};
    const RECT outside{0, 0, 5, 4};
    struct Case {
        const char* what;
        HRESULT got;
        HRESULT expected;
    } cases[] = {
        {"a render-target texture outside the default pool",
         device_->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A1R5G5B5, D3DPOOL_MANAGED, &texture, nullptr),
         D3DERR_INVALIDCALL},
        {"a dynamic managed texture",
         device_->CreateTexture(4, 4, 1, D3DUSAGE_DYNAMIC, D3DFMT_X1R5G5B5, D3DPOOL_MANAGED, &texture, nullptr),
         D3DERR_INVALIDCALL},
        {"a colour format as depth",
         device_->CreateDepthStencilSurface(4, 4, D3DFMT_A4R4G4B4, D3DMULTISAMPLE_NONE, 0, FALSE, &surface, nullptr),
         D3DERR_INVALIDCALL},
        {"a lock of a default-pool texture not made dynamic", default4444->LockRect(0, &locked, nullptr, 0),
         D3DERR_INVALIDCALL},
        {"a lock past the right edge", managed4444->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL},
        {"UpdateTexture across formats", device_->UpdateTexture(sys1555, default4444), D3DERR_INVALIDCALL},
        {"UpdateSurface across formats", device_->UpdateSurface(sys4444, nullptr, plain1555, nullptr),
         D3DERR_INVALIDCALL},
        {"GetRenderTargetData across formats", device_->GetRenderTargetData(target1555, sysX555), D3DERR_INVALIDCALL},
        {"UpdateSurface from x555 into 1555", device_->UpdateSurface(sysX555, nullptr, plain1555, nullptr),
         D3DERR_INVALIDCALL},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(surface, nullptr);
    struct Probe {
        const char* what;
        DWORD usage;
        D3DRESOURCETYPE type;
        D3DFORMAT format;
        HRESULT expected;
    } probes[] = {
        {"4444 texture", 0, D3DRTYPE_TEXTURE, D3DFMT_A4R4G4B4, D3D_OK},
        {"1555 texture", 0, D3DRTYPE_TEXTURE, D3DFMT_A1R5G5B5, D3D_OK},
        {"x555 texture", 0, D3DRTYPE_TEXTURE, D3DFMT_X1R5G5B5, D3D_OK},
        {"1555 render target", D3DUSAGE_RENDERTARGET, D3DRTYPE_SURFACE, D3DFMT_A1R5G5B5, D3D_OK},
        {"4444 as depth", D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_A4R4G4B4, D3DERR_NOTAVAILABLE},
        {"x555 cube texture", 0, D3DRTYPE_CUBETEXTURE, D3DFMT_X1R5G5B5, D3DERR_NOTAVAILABLE},
    };
    for (D3DFORMAT adapter : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5})
        for (const Probe& p : probes)
            EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, adapter, p.usage, p.type, p.format), p.expected)
                << p.what << " on adapter format " << adapter;
    for (IUnknown* o : std::initializer_list<IUnknown*>{managed4444, default4444, sys1555, target1555, sysX555,
                                                         sys4444, plain1555})
        o->Release();
}

}  // namespace
