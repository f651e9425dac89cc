// Shader code checks and the scripted shader model, shader constants,
// vertex declarations, and vertex and index buffers drawn from. Pixels are
// compared exactly: every vertex is pre-transformed and flat-coloured.
#include "d3d9_test_support.h"

#include <cstring>

using namespace d3d9test;

namespace {

constexpr DWORD kEnd = 0x0000FFFF;
constexpr DWORD kVs20 = 0xFFFE0200, kVs11 = 0xFFFE0101, kPs20 = 0xFFFF0200, kPs14 = 0xFFFF0104;
constexpr DWORD kDst = 0x800F0000, kSrc = 0x80E40000;  // r0 with all channels, r0 unswizzled
constexpr DWORD Instr(DWORD opcode, DWORD length) { return opcode | length << 24; }

class D3D9Shader : public DeviceTest {
protected:
    void TearDown() override {
        d3d9::ResetShaderModel();
        DeviceTest::TearDown();
    }
};

TEST_F(D3D9Shader, CapsReportTheScriptedShaderModelAndCodeAboveItIsRefused) {
    const DWORD code[] = {kVs20, Instr(1, 2), kDst, kSrc, kEnd};  // mov r0, r0
    struct Case {
        const char* what;
        UINT major, minor;
        DWORD vs, ps;
        HRESULT expected;
    };
    const Case cases[] = {{"no shader model 2.0", 1, 1, 0xFFFE0101, 0xFFFF0101, D3DERR_INVALIDCALL},
                          {"shader model 2.0", 2, 0, 0xFFFE0200, 0xFFFF0200, D3D_OK},
                          {"shader model 3.0", 3, 0, 0xFFFE0300, 0xFFFF0300, D3D_OK}};
    for (const Case& c : cases) {
        d3d9::SetShaderModel(c.major, c.minor);
        D3DCAPS9 caps{}, runtimeCaps{};
        ASSERT_EQ(device_->GetDeviceCaps(&caps), D3D_OK);
        d3d_->GetDeviceCaps(0, D3DDEVTYPE_HAL, &runtimeCaps);
        EXPECT_EQ(caps.VertexShaderVersion, c.vs) << c.what;
        EXPECT_EQ(caps.PixelShaderVersion, c.ps) << c.what;
        EXPECT_EQ(runtimeCaps.PixelShaderVersion, c.ps) << c.what;
        IDirect3DVertexShader9* shader = nullptr;
        EXPECT_EQ(device_->CreateVertexShader(code, &shader), c.expected) << c.what;
        EXPECT_EQ(shader != nullptr, c.expected == D3D_OK) << c.what;
        if (shader != nullptr) shader->Release();
    }
}

TEST_F(D3D9Shader, OnlyWellFormedTokenStreamsBecomeShaders) {
    d3d9::SetShaderModel(3, 0);
    struct Case {
        const char* what;
        bool vertex;
        std::vector<DWORD> code;
        HRESULT expected;
    };
    const float one = 1.0f, minusOne = -1.0f;
    DWORD a, b;
    std::memcpy(&a, &one, 4);
    std::memcpy(&b, &minusOne, 4);
    const Case cases[] = {
        {"empty vs_2_0", true, {kVs20, kEnd}, D3D_OK},
        {"mov in vs_2_0", true, {kVs20, Instr(1, 2), kDst, kSrc, kEnd}, D3D_OK},
        {"a comment is skipped", true, {kVs20, 0xFFFE | 2u << 16, 0x12345678, 0xFFFFFFFF, kEnd}, D3D_OK},
        {"def with a negative value", true, {kVs20, Instr(0x51, 5), 0xA00F0000, a, b, a, b, kEnd}, D3D_OK},
        {"vs_1_1 without lengths", true, {kVs11, 0x51, 0xA00F0000, a, b, a, b, 1, kDst, kSrc, kEnd}, D3D_OK},
        {"ps_2_0 texld", false, {kPs20, Instr(0x42, 3), kDst, kSrc, 0xA0E40800, kEnd}, D3D_OK},
        {"ps_1_4 phase", false, {kPs14, 0xFFFD, kEnd}, D3D_OK},
        {"pixel code to the vertex call", true, {kPs20, kEnd}, D3DERR_INVALIDCALL},
        {"vertex code to the pixel call", false, {kVs20, kEnd}, D3DERR_INVALIDCALL},
        {"vs_4_0", true, {0xFFFE0400, kEnd}, D3DERR_INVALIDCALL},
        {"vs_1_0", true, {0xFFFE0100, kEnd}, D3DERR_INVALIDCALL},
        {"no version token", true, {Instr(1, 2), kDst, kSrc, kEnd}, D3DERR_INVALIDCALL},
        {"unknown opcode", true, {kVs20, Instr(0x70, 0), kEnd}, D3DERR_INVALIDCALL},
        {"phase in a vertex shader", true, {kVs20, 0xFFFD, kEnd}, D3DERR_INVALIDCALL},
        {"length past a sane instruction", true, {kVs20, Instr(1, 15), kEnd, kEnd, kEnd}, D3DERR_INVALIDCALL},
        {"a source without its parameter bit", true, {kVs20, Instr(1, 2), kDst, 0x00E40000, kEnd},
         D3DERR_INVALIDCALL},
        {"a parameter where an instruction belongs", true, {kVs20, kDst, kEnd}, D3DERR_INVALIDCALL},
        {"length in a vs_1_1 token", true, {kVs11, Instr(1, 2), kDst, kSrc, kEnd}, D3DERR_INVALIDCALL},
        {"too many vs_1_1 parameters", true, {kVs11, 1, kDst, kSrc, kSrc, kSrc, kSrc, kEnd}, D3DERR_INVALIDCALL},
        {"end token cut short", true, {kVs20, Instr(1, 2), kDst, kSrc, 0x0001FFFF}, D3DERR_INVALIDCALL},
    };
    for (const Case& c : cases) {
        IUnknown* made = nullptr;
        HRESULT hr = c.vertex ? device_->CreateVertexShader(c.code.data(), reinterpret_cast<IDirect3DVertexShader9**>(&made))
                              : device_->CreatePixelShader(c.code.data(), reinterpret_cast<IDirect3DPixelShader9**>(&made));
        EXPECT_EQ(hr, c.expected) << c.what;
        EXPECT_EQ(made != nullptr, c.expected == D3D_OK) << c.what;
        if (made != nullptr) made->Release();
    }
    IDirect3DVertexShader9* shader = nullptr;
    EXPECT_EQ(device_->CreateVertexShader(nullptr, &shader), D3DERR_INVALIDCALL);
}

TEST_F(D3D9Shader, ConstantsAreKeptPerFileAndRangesPastTheEndRefused) {
    float in[8], out[8] = {};
    for (int i = 0; i < 8; ++i) in[i] = 0.5f * i - 1.0f;
    ASSERT_EQ(device_->SetVertexShaderConstantF(254, in, 2), D3D_OK);
    ASSERT_EQ(device_->SetPixelShaderConstantF(3, in + 4, 1), D3D_OK);
    ASSERT_EQ(device_->GetVertexShaderConstantF(254, out, 2), D3D_OK);
    EXPECT_EQ(std::memcmp(in, out, sizeof in), 0);
    ASSERT_EQ(device_->GetPixelShaderConstantF(3, out, 1), D3D_OK);
    EXPECT_EQ(std::memcmp(in + 4, out, 4 * sizeof(float)), 0) << "the pixel file is its own";
    ASSERT_EQ(device_->GetVertexShaderConstantF(3, out, 1), D3D_OK);
    EXPECT_EQ(out[0], 0.0f) << "the vertex file was not written at 3";
    struct Case {
        const char* what;
        HRESULT hr;
    };
    const Case cases[] = {
        {"vertex set past 256", device_->SetVertexShaderConstantF(255, in, 2)},
        {"vertex get past 256", device_->GetVertexShaderConstantF(256, out, 1)},
        {"pixel set past 224", device_->SetPixelShaderConstantF(0xFFFFFFFF, in, 2)},
        {"null data", device_->GetPixelShaderConstantF(0, nullptr, 1)},
    };
    for (const Case& c : cases) EXPECT_EQ(c.hr, D3DERR_INVALIDCALL) << c.what;
}

TEST_F(D3D9Shader, DeclarationsTakeOnlyDocumentedElementLists) {
    const D3DVERTEXELEMENT9 end = D3DDECL_END();
    const D3DVERTEXELEMENT9 pos{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0};
    const D3DVERTEXELEMENT9 color{0, 12, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0};
    std::vector<D3DVERTEXELEMENT9> tooLong(65, pos);
    for (size_t i = 0; i < tooLong.size(); ++i) tooLong[i].UsageIndex = static_cast<BYTE>(i);
    tooLong.push_back(end);
    struct Case {
        const char* what;
        std::vector<D3DVERTEXELEMENT9> elements;
        HRESULT expected;
    };
    const Case cases[] = {
        {"position and colour", {pos, color, end}, D3D_OK},
        {"the same usage twice", {pos, pos, end}, D3DERR_INVALIDCALL},
        {"stream 1", {{1, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, end}, D3DERR_INVALIDCALL},
        {"unaligned offset", {pos, {0, 13, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0}, end}, D3DERR_INVALIDCALL},
        {"unknown type", {{0, 0, 40, 0, D3DDECLUSAGE_POSITION, 0}, end}, D3DERR_INVALIDCALL},
        {"65 elements", tooLong, D3DERR_INVALIDCALL},
    };
    for (const Case& c : cases) {
        IDirect3DVertexDeclaration9* decl = nullptr;
        EXPECT_EQ(device_->CreateVertexDeclaration(c.elements.data(), &decl), c.expected) << c.what;
        if (decl == nullptr) continue;
        DWORD fvf = 0;
        device_->SetFVF(kColorFvf);
        EXPECT_EQ(device_->SetVertexDeclaration(decl), D3D_OK);
        device_->GetFVF(&fvf);
        EXPECT_EQ(fvf, 0u) << "a declaration replaces the FVF";
        decl->Release();  // the device's binding keeps it until replaced
        EXPECT_EQ(device_->SetFVF(kColorFvf), D3D_OK);
    }
}

// Buffers: a quad of two triangles in a vertex buffer, drawn directly and
// through indices.
class D3D9Buffer : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        if (device_ == nullptr) return;
        ASSERT_EQ(device_->CreateVertexBuffer(sizeof(ColorVertex) * 8, D3DUSAGE_WRITEONLY, kColorFvf, D3DPOOL_DEFAULT,
                                              &vb_, nullptr),
                  D3D_OK);
        ASSERT_EQ(device_->CreateIndexBuffer(12 * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib_, nullptr),
                  D3D_OK);
        // Vertices 0-3: a red square at x 4..12; 4-7: a green one at x 20..28 (both y 4..12).
        void* data = nullptr;
        ASSERT_EQ(vb_->Lock(0, 0, &data, 0), D3D_OK);
        auto* v = static_cast<ColorVertex*>(data);
        for (int q = 0; q < 2; ++q) {
            float x0 = 4.0f + 16 * q - 0.5f, x1 = x0 + 8, y0 = 3.5f, y1 = 11.5f;
            DWORD c = q == 0 ? 0xFFFF0000 : 0xFF00FF00;
            v[4 * q + 0] = {x0, y0, 0, 1, c};
            v[4 * q + 1] = {x1, y0, 0, 1, c};
            v[4 * q + 2] = {x0, y1, 0, 1, c};
            v[4 * q + 3] = {x1, y1, 0, 1, c};
        }
        ASSERT_EQ(vb_->Unlock(), D3D_OK);
        ASSERT_EQ(ib_->Lock(0, 0, &data, 0), D3D_OK);
        const WORD indices[12] = {0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7};
        std::memcpy(data, indices, sizeof indices);
        ASSERT_EQ(ib_->Unlock(), D3D_OK);
        device_->SetFVF(kColorFvf);
        device_->SetRenderState(D3DRS_ZENABLE, FALSE);
        device_->SetTexture(0, nullptr);
        SetStage0(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE);
    }
    void TearDown() override {
        if (device_ != nullptr) {
            device_->SetStreamSource(0, nullptr, 0, 0);
            device_->SetIndices(nullptr);
        }
        if (vb_ != nullptr) vb_->Release();
        if (ib_ != nullptr) ib_->Release();
        DeviceTest::TearDown();
    }
    // Red at (8, 8), green at (24, 8), as drawn.
    std::pair<bool, bool> Drawn() {
        std::vector<uint32_t> px = ReadTarget();
        return {px[8 * kWidth + 8] == 0xFFFF0000u, px[8 * kWidth + 24] == 0xFF00FF00u};
    }

    IDirect3DVertexBuffer9* vb_ = nullptr;
    IDirect3DIndexBuffer9* ib_ = nullptr;
};

TEST_F(D3D9Buffer, DrawsReadTheStreamAndIndicesAndRefuseReadsOutside) {
    ASSERT_EQ(device_->SetStreamSource(0, vb_, 0, sizeof(ColorVertex)), D3D_OK);
    ASSERT_EQ(device_->SetIndices(ib_), D3D_OK);
    struct Case {
        const char* what;
        bool indexed;
        D3DPRIMITIVETYPE type;
        INT base;
        UINT minIndex, numVertices, start, count;
        HRESULT expected;
        bool red, green;
    };
    const Case cases[] = {
        {"strip of the second square", false, D3DPT_TRIANGLESTRIP, 0, 0, 0, 4, 2, D3D_OK, false, true},
        {"list through indices 0-5", true, D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2, D3D_OK, true, false},
        {"second square by base vertex", true, D3DPT_TRIANGLELIST, 4, 0, 4, 0, 2, D3D_OK, false, true},
        {"negative base vertex", true, D3DPT_TRIANGLELIST, -4, 4, 4, 6, 2, D3D_OK, true, false},
        {"strip past the buffer's end", false, D3DPT_TRIANGLESTRIP, 0, 0, 0, 5, 2, D3DERR_INVALIDCALL, false, false},
        {"indices past the index buffer", true, D3DPT_TRIANGLELIST, 0, 0, 8, 6, 4, D3DERR_INVALIDCALL, false, false},
        {"index outside the vertex range", true, D3DPT_TRIANGLELIST, 0, 0, 3, 0, 2, D3DERR_INVALIDCALL, false, false},
        {"index below the minimum", true, D3DPT_TRIANGLELIST, 0, 1, 4, 0, 2, D3DERR_INVALIDCALL, false, false},
        {"base vertex past the buffer", true, D3DPT_TRIANGLELIST, 6, 0, 4, 0, 2, D3DERR_INVALIDCALL, false, false},
        {"base vertex before the buffer", true, D3DPT_TRIANGLELIST, -5, 4, 4, 6, 2, D3DERR_INVALIDCALL, false, false},
        {"absurd primitive count", false, D3DPT_TRIANGLELIST, 0, 0, 0, 0, 0x7FFFFFFF, D3DERR_INVALIDCALL, false, false},
    };
    for (const Case& c : cases) {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        device_->BeginScene();
        HRESULT hr = c.indexed ? device_->DrawIndexedPrimitive(c.type, c.base, c.minIndex, c.numVertices, c.start, c.count)
                               : device_->DrawPrimitive(c.type, c.start, c.count);
        device_->EndScene();
        EXPECT_EQ(hr, c.expected) << c.what;
        EXPECT_EQ(Drawn(), std::make_pair(c.red, c.green)) << c.what;
    }
}

TEST_F(D3D9Buffer, DrawsWithoutTheirSourcesOrOutsideAScenAreRefused) {
    device_->BeginScene();
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL) << "no stream";
    device_->SetStreamSource(0, vb_, 0, sizeof(ColorVertex));
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL) << "no indices";
    device_->SetStreamSource(0, vb_, 0, 8);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL) << "stride below the FVF";
    device_->EndScene();
    device_->SetStreamSource(0, vb_, 0, sizeof(ColorVertex));
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL) << "outside a scene";
    EXPECT_EQ(device_->SetStreamSource(1, vb_, 0, 20), D3DERR_INVALIDCALL) << "stream 1";
    EXPECT_EQ(device_->SetStreamSource(0, vb_, 160, 20), D3DERR_INVALIDCALL) << "offset at the end";
}

TEST_F(D3D9Buffer, CreationAndLocksRefuseWhatDoesNotFit) {
    struct Case {
        const char* what;
        UINT length;
        DWORD usage;
        DWORD fvf;
        D3DFORMAT format;  // UNKNOWN: a vertex buffer
        D3DPOOL pool;
        HRESULT expected;
    };
    const Case cases[] = {
        {"zero length", 0, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL},
        {"shorter than one vertex", 16, 0, kColorFvf, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL},
        {"dynamic and managed", 64, D3DUSAGE_DYNAMIC, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DERR_INVALIDCALL},
        {"render-target usage", 64, D3DUSAGE_RENDERTARGET, 0, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL},
        {"scratch pool", 64, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_SCRATCH, D3DERR_INVALIDCALL},
        {"absurd length", 0xFFFFFFF0, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, D3DERR_OUTOFVIDEOMEMORY},
        {"model layout", 4 * 84, D3DUSAGE_WRITEONLY, 0x2D2, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, D3D_OK},
        {"32-bit indices", 8, 0, 0, D3DFMT_INDEX32, D3DPOOL_MANAGED, D3D_OK},
        {"index format not an index", 8, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL},
        {"one byte of 16-bit indices", 1, 0, 0, D3DFMT_INDEX16, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL},
    };
    for (const Case& c : cases) {
        IUnknown* made = nullptr;
        HRESULT hr = c.format == D3DFMT_UNKNOWN
                         ? device_->CreateVertexBuffer(c.length, c.usage, c.fvf, c.pool,
                                                       reinterpret_cast<IDirect3DVertexBuffer9**>(&made), nullptr)
                         : device_->CreateIndexBuffer(c.length, c.usage, c.format, c.pool,
                                                      reinterpret_cast<IDirect3DIndexBuffer9**>(&made), nullptr);
        EXPECT_EQ(hr, c.expected) << c.what;
        EXPECT_EQ(made != nullptr, c.expected == D3D_OK) << c.what;
        if (made != nullptr) made->Release();
    }
    struct LockCase {
        const char* what;
        UINT offset, size;
        HRESULT expected;
    };
    const LockCase locks[] = {{"the last vertex", 140, 20, D3D_OK},       {"the rest from an offset", 100, 0, D3D_OK},
                              {"one byte past the end", 141, 20, D3DERR_INVALIDCALL},
                              {"offset at the end", 160, 0, D3DERR_INVALIDCALL},
                              {"size that wraps", 20, 0xFFFFFFF0, D3DERR_INVALIDCALL}};
    for (const LockCase& c : locks) {
        void* data = nullptr;
        EXPECT_EQ(vb_->Lock(c.offset, c.size, &data, 0), c.expected) << c.what;
        if (c.expected != D3D_OK) continue;
        static_cast<uint8_t*>(data)[c.size == 0 ? 160 - c.offset - 1 : c.size - 1] = 0;  // in bounds (sanitizers)
        vb_->Unlock();
    }
    EXPECT_EQ(vb_->Unlock(), D3DERR_INVALIDCALL) << "unlock without a lock";
}

TEST_F(D3D9Buffer, DefaultPoolBuffersBlockResetUntilReleased) {
    D3DPRESENT_PARAMETERS params = WindowParams();
    EXPECT_EQ(device_->Reset(&params), D3DERR_INVALIDCALL);
    device_->SetStreamSource(0, vb_, 0, sizeof(ColorVertex));
    vb_->Release();
    vb_ = nullptr;
    ib_->Release();
    ib_ = nullptr;
    EXPECT_EQ(device_->Reset(&params), D3DERR_INVALIDCALL) << "the stream still binds the vertex buffer";
    device_->SetStreamSource(0, nullptr, 0, 0);
    EXPECT_EQ(device_->Reset(&params), D3D_OK);
}

}  // namespace
