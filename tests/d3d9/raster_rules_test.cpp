// Which pixels a triangle covers and what its attributes are at their centres,
// against Direct3D 9's documented rasterisation rules: pixel centres lie on
// whole coordinates, a centre inside the triangle is drawn, and a centre
// exactly on an edge is drawn only when the edge is a top edge (horizontal,
// the triangle below it) or a left edge (the triangle to its right); a centre
// on a vertex is drawn only when both edges through it are. The pictures were
// worked out by hand from that rule, one character per pixel of a 12x12
// target ('#' drawn, '.' not).
#include "d3d9_test_support.h"

#include "platform/d3d9/d3d9_gl.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

using namespace d3d9test;

namespace {

constexpr int kSide = 12;

struct Point {
    float x, y;
};

// kSide rows of kSide pixels of px (a target stride pixels wide) from
// (x0, y0): '#' white, '.' black or beyond the target, '?' anything else.
std::string Window(const std::vector<uint32_t>& px, int stride, int x0, int y0) {
    const int height = static_cast<int>(px.size()) / stride;
    std::string out;
    for (int y = y0; y < y0 + kSide; ++y) {
        for (int x = x0; x < x0 + kSide; ++x) {
            bool in = x >= 0 && x < stride && y >= 0 && y < height;
            uint32_t c = in ? px[static_cast<size_t>(y) * stride + x] : 0xFF000000u;
            out += c == 0xFFFFFFFFu ? '#' : c == 0xFF000000u ? '.' : '?';
        }
        out += '\n';
    }
    return out;
}

// A white triangle over black on a kSide x kSide target, culling off.
class RasterRules : public D3D9Draw {
protected:
    void SetUp() override {
        D3D9Draw::SetUp();
        if (device_ == nullptr) return;
        ASSERT_EQ(device_->CreateRenderTarget(kSide, kSide, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &small_,
                                              nullptr),
                  D3D_OK);
        ASSERT_EQ(device_->SetRenderTarget(0, small_), D3D_OK);
        SetStage0(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT);
    }
    void TearDown() override {
        if (small_ != nullptr) small_->Release();
        D3D9Draw::TearDown();
    }

    // The target as kSide rows of '#' (white) and '.' (black); '?' for anything else.
    std::string Picture() { return Window(ReadTarget(small_), kSide, 0, 0); }

    // Draws the triangle white over what the current render target holds.
    void Fill(const Point (&p)[3]) {
        ColorVertex v[3];
        for (int i = 0; i < 3; ++i) v[i] = {p[i].x, p[i].y, 0.2f, 1, 0xFFFFFFFF};
        device_->SetFVF(kColorFvf);
        device_->BeginScene();
        EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(ColorVertex)), D3D_OK);
        device_->EndScene();
    }

    std::string DrawTriangle(const Point (&p)[3]) {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        Fill(p);
        return Picture();
    }

    // Channel 16 (red) of the target's pixels in rows y0..y1 and columns x0..x1, row by row.
    std::vector<int> Reds(int x0, int y0, int x1, int y1) {
        std::vector<uint32_t> px = ReadTarget(small_);
        std::vector<int> out;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) out.push_back(Channel(px[static_cast<size_t>(y) * kSide + x], 16));
        return out;
    }

    void UseTexture(IDirect3DTexture9* texture, DWORD filter) {
        device_->SetTexture(0, texture);
        SetStage0(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
        device_->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
        device_->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    }

    IDirect3DSurface9* small_ = nullptr;
};

std::string Join(const char* const (&rows)[kSide]) {
    std::string out;
    for (const char* row : rows) out += std::string(row) + '\n';
    return out;
}

// Vertex a with its two edges stretched k times their length, so the
// triangle reaches past the target while keeping the edges through a.
void Stretch(const Point (&p)[3], float k, Point (&out)[3]) {
    out[0] = p[0];
    for (int i = 1; i < 3; ++i) out[i] = {p[0].x + (p[i].x - p[0].x) * k, p[0].y + (p[i].y - p[0].y) * k};
}

struct TriangleCase {
    const char* what;
    Point p[3];
    const char* rows[kSide];
};

// The first two rows keep their vertex a inside the target, so the stretched
// rows below check the same edge pixels near a with the far vertices outside.
const TriangleCase kTriangles[] = {
    // (1,1) lies on the right edge to (9,2) (rows 1..2 end there): not drawn.
    // (9,2) is a vertex on that right edge too; (3,10) ends the left edge.
    {"vertex on a right edge", {{1, 1}, {9, 2}, {3, 10}},
     {"............", "............", "..#######...", "..#######...", "..######....", "..#####.....",
      "...###......", "...###......", "...##.......", "...#........", "............", "............"}},
    // Both edges through (1,9) are left edges: it is drawn; (5,10) lies on
    // the left edge down to (9,11): drawn. The right edge x = 9 is not.
    {"vertex and centres on left edges", {{1, 9}, {9, 5}, {9, 11}},
     {"............", "............", "............", "............", "............", "............",
      ".......##...", ".....####...", "...######...", ".########...", ".....####...", "............"}},
    // The documented pair: the shared diagonal is the first one's left edge,
    // so it takes 15 pixels (top edge y = 0 in) and the second 10.
    {"right angle, top and right edges", {{0, 0}, {5, 0}, {5, 5}},
     {"#####.......", ".####.......", "..###.......", "...##.......", "....#.......", "............",
      "............", "............", "............", "............", "............", "............"}},
    {"right angle, left and bottom edges", {{0, 5}, {0, 0}, {5, 5}},
     {"............", "#...........", "##..........", "###.........", "####........", "............",
      "............", "............", "............", "............", "............", "............"}},
};

TEST_F(RasterRules, CentresOnEdgesFollowTheTopLeftRule) {
    if (device_ == nullptr) GTEST_SKIP();
    for (const TriangleCase& c : kTriangles) EXPECT_EQ(DrawTriangle(c.p), Join(c.rows)) << c.what;
}

// Stretched about vertex a, the first two triangles cover the wedge between
// their edges through a: the same pixels near a, and every pixel further in.
TEST_F(RasterRules, ATriangleReachingPastTheTargetKeepsItsEdgePixels) {
    struct Case {
        const char* what;
        int triangle;
        float k;
        const char* rows[kSide];
    } cases[] = {
        {"right edge stretched 4x", 0, 4,
         {"............", "............", "..#######...", "..##########", "..##########", "..##########",
          "...#########", "...#########", "...#########", "...#########", "...#########", "....########"}},
        {"right edge stretched 1000x", 0, 1000,
         {"............", "............", "..#######...", "..##########", "..##########", "..##########",
          "...#########", "...#########", "...#########", "...#########", "...#########", "....########"}},
        {"left edges stretched 4x", 1, 4,
         {"............", "............", "............", "............", "...........#", ".........###",
          ".......#####", ".....#######", "...#########", ".###########", ".....#######", ".........###"}},
        {"left edges stretched 1000x", 1, 1000,
         {"............", "............", "............", "............", "...........#", ".........###",
          ".......#####", ".....#######", "...#########", ".###########", ".....#######", ".........###"}},
    };
    if (device_ == nullptr) GTEST_SKIP();
    for (const Case& c : cases) {
        Point p[3];
        Stretch(kTriangles[c.triangle].p, c.k, p);
        EXPECT_EQ(DrawTriangle(p), Join(c.rows)) << c.what;
    }
}

// The first of kTriangles (its sloped edges cross a border off the sub-pixel
// grid) stretched k times about vertex a, turned over the diagonal (x and y
// swapped) when asked, and moved by whole pixels, which keeps every pixel
// centre on the same side of every edge.
void Place(float k, bool turned, int dx, int dy, Point (&out)[3]) {
    Stretch(kTriangles[0].p, k, out);
    for (Point& q : out) q = turned ? Point{q.y + dx, q.x + dy} : Point{q.x + dx, q.y + dy};
}

// The move that puts the triangle's middle on the middle of the 64x48 target.
std::pair<int, int> Middle(const Point (&p)[3]) {
    auto [x0, x1] = std::minmax({p[0].x, p[1].x, p[2].x});
    auto [y0, y1] = std::minmax({p[0].y, p[1].y, p[2].y});
    return {static_cast<int>(32 - (x0 + x1) / 2), static_cast<int>(24 - (y0 + y1) / 2)};
}

// Pixels of rows outside r made '.'.
void KeepInside(std::string* rows, const RECT& r) {
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            if (x < r.left || x >= r.right || y < r.top || y >= r.bottom) (*rows)[y * (kSide + 1) + x] = '.';
}

// A triangle with edges through pixel centres, moved across the small
// target's border, takes every pixel it takes where the same triangle lies
// wholly inside the 64x48 target, within the small target's viewport and
// scissor rectangle.
TEST_F(RasterRules, ATriangleCrossingTheBorderDecidesEachPixelAsInside) {
    constexpr RECT kWhole{0, 0, kSide, kSide};
    struct Case {
        const char* what;
        float k;
        bool turned;  // the same edges cross the top and bottom borders
        int dx, dy;
        bool texture;  // a render-target texture's level, not a render-target surface
        RECT viewport, scissor;  // the scissor test is on when scissor is not the whole target
    } cases[] = {
        {"left border", 1, false, -6, 0, false, kWhole, kWhole},
        {"right border", 1, false, 3, 0, false, kWhole, kWhole},
        {"top border", 1, true, 0, -6, false, kWhole, kWhole},
        {"bottom border", 1, true, 0, 3, false, kWhole, kWhole},
        {"top-left corner", 1, false, -6, -4, false, kWhole, kWhole},
        {"bottom-right corner", 1, false, 3, 3, false, kWhole, kWhole},
        {"stretched 4x over the top, right and bottom", 4, false, 0, -9, false, kWhole, kWhole},
        {"right border of a texture", 1, false, 3, 0, true, kWhole, kWhole},
        {"top-left corner of a texture", 1, true, -4, -6, true, kWhole, kWhole},
        {"left border, a smaller viewport", 1, false, -6, 0, false, {0, 3, 12, 8}, kWhole},
        {"bottom border, a scissor rectangle", 1, true, 0, 3, false, kWhole, {2, 0, 12, 11}},
    };
    if (device_ == nullptr) GTEST_SKIP();
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device_->CreateTexture(kSide, kSide, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                     &texture, nullptr),
              D3D_OK);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &level), D3D_OK);
    for (const Case& c : cases) {
        Point inside[3], across[3];
        Place(c.k, c.turned, 0, 0, inside);
        auto [mx, my] = Middle(inside);
        Place(c.k, c.turned, mx, my, inside);
        Place(c.k, c.turned, c.dx, c.dy, across);
        device_->SetRenderTarget(0, target_);
        ClearTo(0xFF000000);
        Fill(inside);
        std::string expected = Window(ReadTarget(target_), kWidth, mx - c.dx, my - c.dy);
        KeepInside(&expected, c.viewport);
        KeepInside(&expected, c.scissor);
        IDirect3DSurface9* small = c.texture ? level : small_;
        device_->SetRenderTarget(0, small);
        ClearTo(0xFF000000);
        D3DVIEWPORT9 vp{static_cast<DWORD>(c.viewport.left), static_cast<DWORD>(c.viewport.top),
                        static_cast<DWORD>(c.viewport.right - c.viewport.left),
                        static_cast<DWORD>(c.viewport.bottom - c.viewport.top), 0.0f, 1.0f};
        ASSERT_EQ(device_->SetViewport(&vp), D3D_OK) << c.what;
        device_->SetScissorRect(&c.scissor);
        device_->SetRenderState(D3DRS_SCISSORTESTENABLE, std::memcmp(&c.scissor, &kWhole, sizeof kWhole) != 0);
        Fill(across);
        device_->SetRenderState(D3DRS_SCISSORTESTENABLE, FALSE);
        EXPECT_EQ(Window(ReadTarget(small), kSide, 0, 0), expected) << c.what;
    }
    device_->SetRenderTarget(0, small_);
    level->Release();
    texture->Release();
}

// A triangle whose edges pass through no pixel centre: (1.5,1.5), (7.5,1.5), (1.5,4.5).
const char* const kCorner[kSide] = {"............", "............", "..#####.....", "..###.......", "..#.........",
                                    "............", "............", "............", "............", "............",
                                    "............", "............"};

TEST_F(RasterRules, TheStartProbeFindsAnExactConventionOnThisDriver) {
    if (device_ == nullptr) GTEST_SKIP();
    EXPECT_TRUE(d3d9::gl::Raster().Exact()) << "shift " << d3d9::gl::Raster().shift[0] << ", "
                                            << d3d9::gl::Raster().shift[1];
}

// Whatever convention drives the driver, rows stay where they are, culling
// goes by the winding on the Direct3D screen, and a quad whose edges miss
// every centre covers the same pixels.
TEST_F(RasterRules, EveryConventionKeepsRowsAndWinding) {
    d3d9::gl::RasterConvention upperLeft, nudged;
    upperLeft.upperLeft = true;
    nudged.shift[0] = nudged.shift[1] = 0.5f - 1.0f / 256.0f;
    struct Case {
        const char* what;
        d3d9::gl::RasterConvention convention;
    } cases[] = {{"lower left", {}}, {"upper left", upperLeft}, {"nudged", nudged}};
    const Point clockwise[3] = {{1.5f, 1.5f}, {7.5f, 1.5f}, {1.5f, 4.5f}};
    const Point counter[3] = {clockwise[0], clockwise[2], clockwise[1]};
    if (device_ == nullptr) GTEST_SKIP();
    for (const Case& c : cases) {
        if (!d3d9::gl::UseRaster(c.convention)) continue;  // no clip control on this context
        for (DWORD cull : {D3DCULL_NONE, D3DCULL_CW, D3DCULL_CCW}) {
            device_->SetRenderState(D3DRS_CULLMODE, cull);
            std::string cw = DrawTriangle(clockwise), ccw = DrawTriangle(counter);
            EXPECT_EQ(cw == Join(kCorner), cull != D3DCULL_CW) << c.what << " cull " << cull << "\n" << cw;
            EXPECT_EQ(ccw == Join(kCorner), cull != D3DCULL_CCW) << c.what << " cull " << cull << "\n" << ccw;
        }
    }
    d3d9::gl::Reprobe();
    EXPECT_TRUE(d3d9::gl::Raster().Exact());
}

// A 4x4 checkerboard of black and white drawn texel to pixel (a quad at
// whole coordinates minus half a pixel, u and v 0..1) gives each texel
// exactly in every filter: the pixel centres are the texel centres.
TEST_F(RasterRules, TexelsMappedOneToOneComeOutExactInEveryFilter) {
    std::vector<uint32_t> board(16);
    for (int i = 0; i < 16; ++i) board[i] = ((i % 4 + i / 4) % 2) != 0 ? 0xFFFFFFFF : 0xFF000000;
    if (device_ == nullptr) GTEST_SKIP();
    IDirect3DTexture9* texture = MakeTexture(4, 4, D3DFMT_A8R8G8B8, board);
    ASSERT_NE(texture, nullptr);
    for (DWORD filter : {D3DTEXF_POINT, D3DTEXF_LINEAR, D3DTEXF_ANISOTROPIC}) {
        UseTexture(texture, filter);
        DrawTexturedQuad(3, 5, 7, 9, 0xFFFFFFFF);
        std::vector<uint32_t> px = ReadTarget(small_);
        for (int y = 4; y <= 9; ++y)
            for (int x = 2; x <= 7; ++x) {
                bool inside = x >= 3 && x < 7 && y >= 5 && y < 9;
                uint32_t expected = inside ? board[(y - 5) * 4 + (x - 3)] : 0xFF000000u;
                EXPECT_EQ(px[static_cast<size_t>(y) * kSide + x], expected)
                    << "filter " << filter << " at " << x << "," << y;
            }
    }
    device_->SetTexture(0, nullptr);
    texture->Release();
}

// Texels 0, 64, 128, 192 stretched to twice their size across and down.
// Pixel centre i samples texel position (i + 0.5) / 2 - 0.5: -0.25, 0.25,
// 0.75, ... 3.25, so linear filtering gives 0 (clamped), 16, 48, 80, 112,
// 144, 176, 192; point sampling takes texel floor((i + 0.5) / 2).
TEST_F(RasterRules, StretchedTexturesSampleWhereTheCentresFall) {
    const std::vector<uint32_t> ramp = {0xFF000000, 0xFF400000, 0xFF800000, 0xFFC00000};
    struct Case {
        const char* what;
        bool across;
        DWORD filter;
        int reds[8];
    } cases[] = {
        {"across, point", true, D3DTEXF_POINT, {0, 0, 64, 64, 128, 128, 192, 192}},
        {"across, linear", true, D3DTEXF_LINEAR, {0, 16, 48, 80, 112, 144, 176, 192}},
        {"down, point", false, D3DTEXF_POINT, {0, 0, 64, 64, 128, 128, 192, 192}},
        {"down, linear", false, D3DTEXF_LINEAR, {0, 16, 48, 80, 112, 144, 176, 192}},
    };
    if (device_ == nullptr) GTEST_SKIP();
    IDirect3DTexture9* wide = MakeTexture(4, 1, D3DFMT_A8R8G8B8, ramp);
    IDirect3DTexture9* tall = MakeTexture(1, 4, D3DFMT_A8R8G8B8, ramp);
    ASSERT_NE(wide, nullptr);
    ASSERT_NE(tall, nullptr);
    for (const Case& c : cases) {
        UseTexture(c.across ? wide : tall, c.filter);
        if (c.across)
            DrawTexturedQuad(2, 3, 10, 4, 0xFFFFFFFF);
        else
            DrawTexturedQuad(3, 2, 4, 10, 0xFFFFFFFF);
        std::vector<int> got = c.across ? Reds(1, 3, 10, 3) : Reds(3, 1, 3, 10);
        EXPECT_EQ(got.front(), 0) << c.what << ": the pixel before";
        EXPECT_EQ(got.back(), 0) << c.what << ": the pixel after";
        for (int i = 0; i < 8; ++i) EXPECT_EQ(got[i + 1], c.reds[i]) << c.what << " pixel " << i;
    }
    device_->SetTexture(0, nullptr);
    wide->Release();
    tall->Release();
}

}  // namespace
