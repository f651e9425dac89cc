// The vertex declarations made while shaders are used: six base layouts
// (rigid, one or two blend sets, each with one or three normals), each
// followed by 0 to 8 four-float texture sets, and one fixed layout. No draw
// sets one.
#include "d3d9/shader_state.h"

#include "d3d9/d3d9_backend.h"

#include <vector>

namespace {

constexpr int kLayouts = 6;
constexpr int kMaxTextureSets = 8;

IDirect3DVertexDeclaration9* g_declarations[kVertexDeclarations + 1]{};

D3DVERTEXELEMENT9 Element(int offset, D3DDECLTYPE type, D3DDECLUSAGE usage, int index) {
    return D3DVERTEXELEMENT9{0, static_cast<WORD>(offset), type, D3DDECLMETHOD_DEFAULT, usage,
                             static_cast<BYTE>(index)};
}

// A base layout: blendSets 0 to 2 blend index and weight pairs, normals 1 or 3.
// Returns its size in bytes.
int BaseLayout(int layout, std::vector<D3DVERTEXELEMENT9>* out) {
    const int blendSets = layout % 3, normals = layout < 3 ? 1 : 3;
    int at = 0;
    out->push_back(Element(at, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0));
    at += 12;
    for (int i = 0; i < blendSets; ++i, at += 4) out->push_back(Element(at, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_BLENDINDICES, i));
    for (int i = 0; i < blendSets; ++i, at += 16) out->push_back(Element(at, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_BLENDWEIGHT, i));
    for (int i = 0; i < normals; ++i, at += 12) out->push_back(Element(at, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, i));
    for (int i = 0; i < 2; ++i, at += 4) out->push_back(Element(at, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, i));
    return at;
}

void Make(int index, std::vector<D3DVERTEXELEMENT9> elements) {
    elements.push_back(D3DDECL_END());
    Device().device->CreateVertexDeclaration(elements.data(), &g_declarations[index]);
}

}  // namespace

// The elements of declaration 9 x layout + k, end marker not included.
std::vector<D3DVERTEXELEMENT9> DeclarationElements(int32_t index) {
    std::vector<D3DVERTEXELEMENT9> elements;
    if (index < 0 || index >= kVertexDeclarations) return elements;
    const int size = BaseLayout(index / (kMaxTextureSets + 1), &elements);
    for (int i = 0; i < index % (kMaxTextureSets + 1); ++i)
        elements.push_back(Element(size + 16 * i, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_TEXCOORD, i));
    return elements;
}

int CreateVertexDeclarations() {
    ReleaseVertexDeclarations();
    if (Device().device == nullptr) return 0;
    for (int index = 0; index < kLayouts * (kMaxTextureSets + 1); ++index) Make(index, DeclarationElements(index));
    // The fixed layout; its second texture set follows the first.
    Make(kVertexDeclarations, {Element(0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0),
                               Element(12, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0),
                               Element(24, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0),
                               Element(28, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1),
                               Element(32, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD, 0),
                               Element(40, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD, 1)});
    return 0;
}

int ReleaseVertexDeclarations() {
    if (Device().device == nullptr) return 0;
    DeviceStateCache& c = Cache();
    Device().device->SetVertexShader(nullptr);
    Device().device->SetPixelShader(nullptr);
    c.vertexShader = nullptr;
    c.vertexDeclaration = nullptr;
    for (IDirect3DVertexDeclaration9*& declaration : g_declarations) {
        if (declaration == nullptr) continue;
        declaration->Release();
        declaration = nullptr;
    }
    return 0;
}

IDirect3DVertexDeclaration9* VertexDeclaration(int32_t index) {
    return index >= 0 && index <= kVertexDeclarations ? g_declarations[index] : nullptr;
}
