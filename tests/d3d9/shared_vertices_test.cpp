// Triangle lists drawn through indices that name a repeated vertex once:
// which vertices are taken as shared, and that the pixels stay those of
// the triangles drawn one by one.
#include "d3d9_test_support.h"

#include "platform/d3d9/d3d9_shared_vertices.h"

using namespace d3d9test;

namespace {

// Corners of a quad: top-left, top-right, bottom-left, bottom-right.
constexpr TexVertex kTL{2.5f, 3.5f, 0.2f, 1, 0xFF102030, 0.0f, 0.0f};
constexpr TexVertex kTR{20.5f, 3.5f, 0.2f, 1, 0xFF405060, 1.0f, 0.0f};
constexpr TexVertex kBL{2.5f, 17.5f, 0.2f, 1, 0xFF708090, 0.0f, 1.0f};
constexpr TexVertex kBR{20.5f, 17.5f, 0.2f, 1, 0xFFA0B0C0, 1.0f, 1.0f};

TexVertex WithColor(TexVertex v, DWORD c) {
    v.diffuse = c;
    return v;
}
TexVertex WithU(TexVertex v, float u) {
    v.u = u;
    return v;
}
TexVertex Moved(TexVertex v, float dx) {
    v.x += dx;
    return v;
}

TEST(SharedVertices, VerticesRepeatedInATrianglePairAreNamedOnce) {
    struct Case {
        const char* what;
        std::vector<TexVertex> vertices;
        std::vector<uint32_t> indices;
        int shared;
    };
    const TexVertex far = Moved(kTL, 30), far2 = Moved(kTR, 30), far3 = Moved(kBL, 30);
    const Case cases[] = {
        {"quad as 0-1-2 / 3-2-1", {kTL, kTR, kBL, kBR, kBL, kTR}, {0, 1, 2, 3, 2, 1}, 2},
        {"quad as 0-1-2 / 2-1-3", {kTL, kTR, kBL, kBL, kTR, kBR}, {0, 1, 2, 2, 1, 5}, 2},
        {"quad as 0-1-2 / 0-2-3", {kTL, kTR, kBR, kTL, kBR, kBL}, {0, 1, 2, 0, 2, 5}, 2},
        {"mirrored quad as 0-2-1 / 3-1-2", {kTL, kBL, kTR, kBR, kTR, kBL}, {0, 1, 2, 3, 2, 1}, 2},
        {"a shared corner with another colour", {kTL, kTR, kBL, kBR, WithColor(kBL, 0xFF000000), kTR},
         {0, 1, 2, 3, 4, 1}, 1},
        {"a shared corner with another texture coordinate", {kTL, kTR, kBL, kBR, kBL, WithU(kTR, 0.999f)},
         {0, 1, 2, 3, 2, 5}, 1},
        {"two triangles apart", {kTL, kTR, kBL, far, far2, far3}, {0, 1, 2, 3, 4, 5}, 0},
        {"one triangle", {kTL, kTR, kBL}, {0, 1, 2}, 0},
        {"a quad and a trailing triangle", {kTL, kTR, kBL, kBR, kBL, kTR, kTL, kTR, kBL},
         {0, 1, 2, 3, 2, 1, 6, 7, 8}, 2},
        {"the same quad twice: pairs never reach back", {kTL, kTR, kBL, kBR, kBL, kTR, kTL, kTR, kBL, kBR, kBL, kTR},
         {0, 1, 2, 3, 2, 1, 6, 7, 8, 9, 8, 7}, 4},
        {"a pair of one triangle repeated", {kTL, kTR, kBL, kTL, kTR, kBL}, {0, 1, 2, 0, 1, 2}, 3},
        {"vertices past the last whole triangle", {kTL, kTR, kBL, kBR, kBL, kTR, kTL, kTR}, {0, 1, 2, 3, 2, 1, 6, 7},
         2},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> indices = {99};
        const auto* bytes = reinterpret_cast<const uint8_t*>(c.vertices.data());
        int shared = d3d9::ShareTriangleVertices(bytes, static_cast<uint32_t>(c.vertices.size()), sizeof(TexVertex),
                                                 &indices);
        EXPECT_EQ(shared, c.shared) << c.what;
        EXPECT_EQ(indices, c.indices) << c.what;
    }
}

TEST(SharedVertices, EveryByteOfTheStrideCountsAndAShortStrideSharesNothing) {
    // Vertices of five floats: the first of the second triangle differs from
    // the first of the first only past its position.
    float pair[30] = {1, 2, 0, 0, 0, 3, 4, 0, 0, 0, 5, 6, 0, 0, 0, 1, 2, 7, 0, 0, 3, 4, 0, 0, 0, 5, 6, 0, 0, 0};
    const auto* bytes = reinterpret_cast<const uint8_t*>(pair);
    std::vector<uint32_t> indices;
    EXPECT_EQ(d3d9::ShareTriangleVertices(bytes, 6, 20, &indices), 2);
    EXPECT_EQ(indices, (std::vector<uint32_t>{0, 1, 2, 3, 1, 2}));
    // Four-byte vertices (1, 2, 0, 0, 0, 3): too short to hold a position.
    EXPECT_EQ(d3d9::ShareTriangleVertices(bytes, 6, 4, &indices), 0);
    EXPECT_EQ(indices, (std::vector<uint32_t>{0, 1, 2, 3, 4, 5}));
}

// Gouraud-shaded, textured, blended quads of the library's six-vertex layout,
// some mirrored and overlapping, drawn in one list and triangle by triangle.
TEST_F(D3D9Draw, QuadsDrawnThroughSharedVerticesMatchTrianglesDrawnOneByOne) {
    if (device_ == nullptr) GTEST_SKIP() << "no OpenGL";
    std::vector<uint32_t> texels(64);
    for (int i = 0; i < 64; ++i) texels[i] = 0x80000000u | static_cast<uint32_t>(i * 4) << 16 | (255 - i * 3) << 8 | i;
    IDirect3DTexture9* texture = MakeTexture(8, 8, D3DFMT_A8R8G8B8, texels);
    device_->SetTexture(0, texture);
    device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device_->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    SetStage0(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    device_->SetFVF(kTexFvf);
    std::vector<TexVertex> list;
    for (int q = 0; q < 24; ++q) {
        const float x = 1.3f + static_cast<float>(q % 6) * 9.7f, y = 0.6f + static_cast<float>(q / 6) * 11.1f;
        const float w = 12.25f + static_cast<float>(q % 3), h = 10.5f - static_cast<float>(q % 2) * 3;
        const DWORD c = 0x60000000u + static_cast<DWORD>(q) * 0x05091B0Du;
        TexVertex tl{x, y, 0.2f, 1, c, 0, 0}, tr{x + w, y + 1.5f, 0.2f, 1, c ^ 0x00FF0000u, 1, 0};
        TexVertex bl{x - 0.75f, y + h, 0.2f, 1, c ^ 0x0000FF00u, 0, 1}, br{x + w - 0.75f, y + h + 1.5f, 0.2f, 1,
                                                                         c ^ 0x000000FFu, 1, 1};
        if (q % 4 == 3) std::swap(tr, bl);  // mirrored: the other winding
        for (const TexVertex& v : {tl, tr, bl, br, bl, tr}) list.push_back(v);
    }
    ClearTo(0xFF204060);
    device_->BeginScene();
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(list.size() / 3), list.data(),
                                       sizeof(TexVertex)),
              D3D_OK);
    device_->EndScene();
    const std::vector<uint32_t> together = ReadTarget(target_);
    ClearTo(0xFF204060);
    device_->BeginScene();
    for (size_t t = 0; t < list.size(); t += 3)
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, &list[t], sizeof(TexVertex)), D3D_OK);
    device_->EndScene();
    const std::vector<uint32_t> oneByOne = ReadTarget(target_);
    int differing = 0, drawn = 0;
    for (size_t i = 0; i < together.size(); ++i) {
        differing += together[i] != oneByOne[i];
        drawn += oneByOne[i] != 0xFF204060u;
    }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(drawn, static_cast<int>(together.size() / 2));  // the quads cover most of the target
    texture->Release();
}

}  // namespace
