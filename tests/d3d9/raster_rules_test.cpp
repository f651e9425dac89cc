// Which pixels a triangle covers and what its attributes are at their centres,
// against Direct3D 9's documented rasterisation rules: pixel centres lie on
// whole coordinates, a centre inside the triangle is drawn, and a centre
// exactly on an edge is drawn only when the edge is a top edge (horizontal,
// the triangle below it) or a left edge (the triangle to its right); a centre
// on a vertex is drawn only when both edges through it are. The pictures were
// worked out by hand from that rule, one character per pixel of a 12x12
// target ('#' drawn, '.' not).
#include "d3d9_test_support.h"

#include <string>

using namespace d3d9test;

namespace {

constexpr int kSide = 12;

struct Point {
    float x, y;
};

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
    std::string Picture() {
        std::vector<uint32_t> px = ReadTarget(small_);
        std::string out;
        for (size_t i = 0; i < px.size(); ++i) {
            out += px[i] == 0xFFFFFFFFu ? '#' : px[i] == 0xFF000000u ? '.' : '?';
            if (i % kSide == kSide - 1) out += '\n';
        }
        return out;
    }

    std::string DrawTriangle(const Point (&p)[3]) {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        ColorVertex v[3];
        for (int i = 0; i < 3; ++i) v[i] = {p[i].x, p[i].y, 0.2f, 1, 0xFFFFFFFF};
        device_->SetFVF(kColorFvf);
        device_->BeginScene();
        EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(ColorVertex)), D3D_OK);
        device_->EndScene();
        return Picture();
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

}  // namespace
