// Shader code and vertex declarations: checked, kept, never drawn with.
#include "platform/d3d9/d3d9_device.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <set>
#include <utility>

namespace d3d9 {
namespace {

constexpr const char* kDevice = "IDirect3DDevice9";
constexpr DWORD kEndToken = 0x0000FFFF;
constexpr DWORD kComment = 0xFFFE;
constexpr DWORD kPhase = 0xFFFD;  // ps_1_4 only
constexpr DWORD kLastOpcode = 0x60;  // BREAKP
constexpr DWORD kDef = 0x51, kDefI = 0x52, kDefB = 0x53;
constexpr DWORD kParameterBit = 0x80000000u;
constexpr DWORD kMaxLength = 10;   // dest, four sources, and relative-address tokens
constexpr DWORD kMaxDeclaration = 64;

// Scripted shader models (major << 8 | minor); 0 leaves the answer to the
// context.
std::atomic<DWORD> g_vertexModel{0};
std::atomic<DWORD> g_pixelModel{0};

// An OpenGL 3.3 core context runs what shader model 3.0 asks of a device;
// without one only the oldest model is claimed.
DWORD ContextModel() { return HardwareAvailable() ? 0x0300 : 0x0101; }

bool KnownVersion(DWORD version, bool vertex) {
    static constexpr DWORD kVertex[] = {0x0101, 0x0200, 0x0201, 0x0300};
    static constexpr DWORD kPixel[] = {0x0101, 0x0102, 0x0103, 0x0104, 0x0200, 0x0201, 0x0300};
    const DWORD* first = vertex ? std::begin(kVertex) : std::begin(kPixel);
    const DWORD* last = vertex ? std::end(kVertex) : std::end(kPixel);
    return std::find(first, last, version & 0xFFFF) != last;
}

// Tokens after an instruction token of a version 1 shader: its parameters
// carry the parameter bit; a definition holds a register and four values.
size_t Version1Length(const DWORD* code, size_t at, DWORD opcode) {
    if (opcode == kDef) return 5;
    size_t n = 0;
    while (n <= 4 && at + 1 + n < kMaxShaderTokens && (code[at + 1 + n] & kParameterBit)) ++n;
    return n;
}

// Whether the parameters of a version 2 or 3 instruction are parameter tokens
// (the values of a definition may be anything).
bool ParametersSound(const DWORD* code, size_t at, DWORD opcode, DWORD length) {
    DWORD checked = opcode == kDef || opcode == kDefI || opcode == kDefB ? std::min<DWORD>(length, 1) : length;
    for (DWORD i = 1; i <= checked; ++i)
        if (!(code[at + i] & kParameterBit)) return false;
    return true;
}

}  // namespace

size_t CheckShaderCode(const DWORD* code, bool vertex, DWORD maxVersion) {
    if (code == nullptr) return 0;
    DWORD version = code[0];
    if ((version >> 16) != (vertex ? 0xFFFEu : 0xFFFFu) || !KnownVersion(version, vertex) ||
        (version & 0xFFFF) > (maxVersion & 0xFFFF))
        return 0;
    bool modern = ((version >> 8) & 0xFF) >= 2;
    size_t at = 1;
    while (at < kMaxShaderTokens) {
        DWORD token = code[at];
        if (token == kEndToken) return at + 1;
        DWORD opcode = token & 0xFFFF;
        if (token & kParameterBit) return 0;
        if (opcode == kComment) {
            at += 1 + ((token >> 16) & 0x7FFF);
            continue;
        }
        if (opcode > kLastOpcode && !(opcode == kPhase && !vertex && (version & 0xFFFF) == 0x0104)) return 0;
        size_t length;
        if (modern) {
            DWORD declared = (token >> 24) & 0xF;
            if (declared > kMaxLength || at + declared >= kMaxShaderTokens ||
                !ParametersSound(code, at, opcode, declared))
                return 0;
            length = declared;
        } else {
            if ((token >> 24) & 0xF) return 0;
            length = Version1Length(code, at, opcode);
            if (length > 4 && opcode != kDef) return 0;
        }
        at += 1 + length;
    }
    return 0;
}

void SetShaderModel(UINT major, UINT minor) { SetShaderModels(major, minor, major, minor); }

void SetShaderModels(UINT vertexMajor, UINT vertexMinor, UINT pixelMajor, UINT pixelMinor) {
    g_vertexModel = (vertexMajor & 0xFF) << 8 | (vertexMinor & 0xFF);
    g_pixelModel = (pixelMajor & 0xFF) << 8 | (pixelMinor & 0xFF);
}

void ResetShaderModel() { g_vertexModel = g_pixelModel = 0; }

DWORD ReportedVertexShaderVersion() {
    const DWORD model = g_vertexModel.load();
    return 0xFFFE0000u | (model != 0 ? model : ContextModel());
}

DWORD ReportedPixelShaderVersion() {
    const DWORD model = g_pixelModel.load();
    return 0xFFFF0000u | (model != 0 ? model : ContextModel());
}

template <typename Shader, typename Interface>
HRESULT MakeShader(Device* device, const char* method, const DWORD* function, Interface** shader, bool vertex) {
    HRESULT hr = Enter(kDevice, method);
    if (FAILED(hr)) return hr;
    DWORD caps = vertex ? ReportedVertexShaderVersion() : ReportedPixelShaderVersion();
    size_t tokens = shader != nullptr ? CheckShaderCode(function, vertex, caps) : 0;
    if (shader != nullptr) *shader = nullptr;
    hr = tokens == 0 ? D3DERR_INVALIDCALL : D3D_OK;
    if (SUCCEEDED(hr)) *shader = new Shader(device, std::vector<DWORD>(function, function + tokens));
    Record(method, {function != nullptr ? function[0] : 0, static_cast<int64_t>(tokens)}, hr);
    return hr;
}

HRESULT Device::CreateVertexShader(const DWORD* function, IDirect3DVertexShader9** shader) {
    return MakeShader<VertexShader>(this, "CreateVertexShader", function, shader, true);
}

HRESULT Device::CreatePixelShader(const DWORD* function, IDirect3DPixelShader9** shader) {
    return MakeShader<PixelShader>(this, "CreatePixelShader", function, shader, false);
}

// A list of at most 64 elements ended by D3DDECL_END(): stream 0, offsets on
// 4-byte boundaries, known types, methods and usages, no usage twice.
HRESULT Device::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** declaration) {
    HRESULT hr = Enter(kDevice, "CreateVertexDeclaration");
    if (FAILED(hr)) return hr;
    if (declaration != nullptr) *declaration = nullptr;
    hr = elements == nullptr || declaration == nullptr ? D3DERR_INVALIDCALL : D3D_OK;
    std::vector<D3DVERTEXELEMENT9> list;
    std::set<std::pair<int, int>> usages;
    for (DWORD i = 0; SUCCEEDED(hr); ++i) {
        const D3DVERTEXELEMENT9& e = elements[i];
        if (e.Stream == 0xFF) break;
        if (i >= kMaxDeclaration || e.Stream != 0 || e.Offset % 4 != 0 || e.Type >= D3DDECLTYPE_UNUSED ||
            e.Method > 6 || e.Usage > 13 || !usages.insert({e.Usage, e.UsageIndex}).second)
            hr = D3DERR_INVALIDCALL;
        list.push_back(e);
    }
    if (SUCCEEDED(hr)) list.push_back(D3DVERTEXELEMENT9{0xFF, 0, D3DDECLTYPE_UNUSED, 0, 0, 0});
    if (SUCCEEDED(hr)) *declaration = new VertexDeclaration(this, std::move(list));
    Record("CreateVertexDeclaration", {}, hr);
    return hr;
}

}  // namespace d3d9
