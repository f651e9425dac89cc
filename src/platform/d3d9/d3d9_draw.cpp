// The scene bracket, clears and drawing of pre-transformed vertices.
#include "platform/d3d9/d3d9_device.h"
#include "platform/d3d9/d3d9_shared_vertices.h"
#include "platform/d3d9/d3d9_vertex_processing.h"

#include <algorithm>
#include <cstring>

namespace d3d9 {
namespace {

constexpr const char* kDevice = "IDirect3DDevice9";
constexpr UINT kMaxPrimitives = 0xFFFFF;

// Vertices a primitive count takes; 0 for an unknown type.
UINT VertexCount(D3DPRIMITIVETYPE type, UINT primitives) {
    switch (type) {
        case D3DPT_POINTLIST: return primitives;
        case D3DPT_LINELIST: return primitives * 2;
        case D3DPT_LINESTRIP: return primitives + 1;
        case D3DPT_TRIANGLELIST: return primitives * 3;
        case D3DPT_TRIANGLESTRIP:
        case D3DPT_TRIANGLEFAN: return primitives + 2;
        default: return 0;
    }
}

// The layout of a pre-transformed FVF; false for any other position kind.
bool LayoutOf(DWORD fvf, gl::VertexLayout* layout, int* size) {
    if ((fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZRHW) return false;
    int offset = 16;
    if (fvf & D3DFVF_NORMAL) offset += 12;
    if (fvf & D3DFVF_PSIZE) offset += 4;
    if (fvf & D3DFVF_DIFFUSE) {
        layout->diffuseOffset = offset;
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        layout->specularOffset = offset;
        offset += 4;
    }
    int count = static_cast<int>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    if (count > 8) return false;
    layout->texCount = count;
    for (int i = 0; i < count; ++i) {
        static constexpr int kSizes[4] = {2, 3, 4, 1};
        layout->texOffset[i] = offset;
        layout->texSize[i] = kSizes[(fvf >> (16 + 2 * i)) & 3];
        offset += layout->texSize[i] * 4;
    }
    *size = offset;
    return true;
}

gl::Rect Intersect(const gl::Rect& a, const gl::Rect& b) {
    int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    int x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
    return gl::Rect{x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0)};
}

void ToFloats(D3DCOLOR c, float out[4]) {
    out[0] = ((c >> 16) & 255) / 255.0f;
    out[1] = ((c >> 8) & 255) / 255.0f;
    out[2] = (c & 255) / 255.0f;
    out[3] = ((c >> 24) & 255) / 255.0f;
}

template <typename Index>
bool IndicesBelow(const void* indices, UINT count, UINT limit) {
    const auto* p = static_cast<const Index*>(indices);
    for (UINT i = 0; i < count; ++i)
        if (p[i] >= limit) return false;
    return true;
}

}  // namespace

HRESULT Device::BeginScene() {
    HRESULT hr = Enter(kDevice, "BeginScene");
    if (FAILED(hr)) return hr;
    hr = inScene_ ? D3DERR_INVALIDCALL : D3D_OK;
    inScene_ = true;
    Record("BeginScene", {}, hr);
    return hr;
}

HRESULT Device::EndScene() {
    HRESULT hr = Enter(kDevice, "EndScene");
    if (FAILED(hr)) return hr;
    hr = inScene_ ? D3D_OK : D3DERR_INVALIDCALL;
    inScene_ = false;
    Record("EndScene", {}, hr);
    return hr;
}

gl::Rect Device::ClipRect() const {
    const D3DVIEWPORT9& v = state_.viewport;
    gl::Rect clip = Intersect(gl::Rect{static_cast<int>(v.X), static_cast<int>(v.Y), static_cast<int>(v.Width),
                                       static_cast<int>(v.Height)},
                              renderTarget_->Whole());
    if (state_.render[D3DRS_SCISSORTESTENABLE]) {
        const RECT& s = state_.scissor;
        gl::Rect scissor{s.left, s.top, s.right > s.left ? s.right - s.left : 0, s.bottom > s.top ? s.bottom - s.top : 0};
        clip = Intersect(clip, scissor);
    }
    return clip;
}

HRESULT Device::Clear(DWORD count, const RECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
    HRESULT hr = Enter(kDevice, "Clear");
    if (FAILED(hr)) return hr;
    bool hasStencil = depthStencil_ != nullptr && depthStencil_->desc().Format == D3DFMT_D24S8;
    if ((count > 0 && rects == nullptr) || (flags & ~7u) || flags == 0 || !(z >= 0.0f && z <= 1.0f) ||
        ((flags & D3DCLEAR_ZBUFFER) && depthStencil_ == nullptr) || ((flags & D3DCLEAR_STENCIL) && !hasStencil))
        hr = D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr) && !lost_) {
        MakeCurrent();
        gl::Target target = renderTarget_->AsTarget(depthStencil_);
        gl::Rect clip = ClipRect();
        bool color_ = (flags & D3DCLEAR_TARGET) != 0, depth = (flags & D3DCLEAR_ZBUFFER) != 0;
        if (count == 0) gl::Clear(target, clip, color_, color, 0xF, depth, z);
        for (DWORD i = 0; i < count; ++i) {
            const RECT& r = rects[i];
            if (r.right <= r.left || r.bottom <= r.top) continue;
            gl::Clear(target, Intersect(clip, gl::Rect{r.left, r.top, r.right - r.left, r.bottom - r.top}), color_,
                      color, 0xF, depth, z);
        }
    }
    (void)stencil;
    Record("Clear", {count, flags, color}, hr);
    return hr;
}

bool Device::BuildPipeline(gl::PipelineSetup* setup, gl::VertexLayout* layout, DWORD fvf, UINT stride) {
    bool bound[kStages];
    for (int i = 0; i < kStages; ++i) {
        BaseTexture* t = state_.texture[i];
        bound[i] = t != nullptr && t->glTexture() != 0;
        gl::SamplerSetup& s = setup->samplers[i];
        s.texture = bound[i] ? t->glTexture() : 0;
        s.magFilter = state_.sampler[i][D3DSAMP_MAGFILTER];
        s.minFilter = state_.sampler[i][D3DSAMP_MINFILTER];
        s.addressU = state_.sampler[i][D3DSAMP_ADDRESSU];
        s.addressV = state_.sampler[i][D3DSAMP_ADDRESSV];
        s.border = state_.sampler[i][D3DSAMP_BORDERCOLOR];
    }
    if ((state_.dirty & kDirtyProgram) || program_ == 0 || fvf != programFvf_)
        program_ = programs_.Find(MakeFixedFunctionKey(state_, fvf, bound));
    programFvf_ = fvf;
    setup->program = program_;
    if (setup->program == 0) return false;
    const auto& rs = state_.render;
    setup->target = renderTarget_->AsTarget(depthStencil_);
    setup->targetWidth = static_cast<int>(renderTarget_->desc().Width);
    setup->targetHeight = static_cast<int>(renderTarget_->desc().Height);
    setup->clip = ClipRect();
    setup->blend = rs[D3DRS_ALPHABLENDENABLE] != FALSE;
    setup->srcBlend = rs[D3DRS_SRCBLEND];
    setup->destBlend = rs[D3DRS_DESTBLEND];
    setup->blendOp = rs[D3DRS_BLENDOP];
    bool separate = rs[D3DRS_SEPARATEALPHABLENDENABLE] != FALSE;
    setup->srcBlendAlpha = separate ? rs[D3DRS_SRCBLENDALPHA] : rs[D3DRS_SRCBLEND];
    setup->destBlendAlpha = separate ? rs[D3DRS_DESTBLENDALPHA] : rs[D3DRS_DESTBLEND];
    setup->blendOpAlpha = separate ? rs[D3DRS_BLENDOPALPHA] : rs[D3DRS_BLENDOP];
    setup->blendFactor = rs[D3DRS_BLENDFACTOR];
    setup->depthTest = rs[D3DRS_ZENABLE] != D3DZB_FALSE;
    setup->depthWrite = rs[D3DRS_ZWRITEENABLE] != FALSE;
    setup->depthFunc = rs[D3DRS_ZFUNC];
    setup->cull = rs[D3DRS_CULLMODE];
    setup->fill = rs[D3DRS_FILLMODE];
    setup->colorWrite = rs[D3DRS_COLORWRITEENABLE];
    ToFloats(rs[D3DRS_TEXTUREFACTOR], setup->textureFactor);
    setup->alphaRef = static_cast<float>(rs[D3DRS_ALPHAREF] & 0xFF);
    int size = 0;
    if (!LayoutOf(fvf, layout, &size)) return false;
    layout->stride = static_cast<int>(stride);
    state_.dirty = 0;
    return true;
}

HRESULT Device::CheckDraw(UINT stride, const void* vertices) const {
    gl::VertexLayout layout;
    int size = 0;
    UINT untransformed = 0;
    if (IsUntransformedFvf(state_.fvf, &untransformed)) size = static_cast<int>(untransformed);
    if (!inScene_ || vertices == nullptr || stride == 0 || (untransformed == 0 && !LayoutOf(state_.fvf, &layout, &size)) ||
        stride < static_cast<UINT>(size) || stride > 255)
        return D3DERR_INVALIDCALL;
    return D3D_OK;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) {
    HRESULT hr = Enter(kDevice, "DrawPrimitiveUP");
    if (FAILED(hr)) return hr;
    UINT count = VertexCount(type, primitiveCount);
    hr = CheckDraw(stride, vertices);
    if (SUCCEEDED(hr) && (count == 0 || primitiveCount > kMaxPrimitives)) hr = D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) hr = Submit(type, vertices, count, stride, nullptr, 0, 0);
    Record("DrawPrimitiveUP", {type, primitiveCount, stride}, hr);
    return hr;
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT primitiveCount,
                                       const void* indices, D3DFORMAT indexFormat, const void* vertices,
                                       UINT stride) {
    HRESULT hr = Enter(kDevice, "DrawIndexedPrimitiveUP");
    if (FAILED(hr)) return hr;
    UINT count = VertexCount(type, primitiveCount);
    UINT limit = minIndex + numVertices;
    int indexBytes = indexFormat == D3DFMT_INDEX16 ? 2 : indexFormat == D3DFMT_INDEX32 ? 4 : 0;
    hr = CheckDraw(stride, vertices);
    if (SUCCEEDED(hr) && (count == 0 || primitiveCount > kMaxPrimitives || indices == nullptr || indexBytes == 0 ||
                          numVertices == 0 || limit > kMaxPrimitives + 1 || limit < minIndex))
        hr = D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr) && !(indexBytes == 2 ? IndicesBelow<uint16_t>(indices, count, limit)
                                           : IndicesBelow<uint32_t>(indices, count, limit)))
        hr = D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) hr = Submit(type, vertices, limit, stride, indices, indexBytes, count);
    Record("DrawIndexedPrimitiveUP", {type, minIndex, numVertices, primitiveCount, indexFormat, stride}, hr);
    return hr;
}

HRESULT Device::Submit(D3DPRIMITIVETYPE type, const void* vertices, UINT vertexCount, UINT stride,
                      const void* indices, int indexBytes, UINT indexCount) {
    if (lost_) return D3D_OK;
    UINT untransformed = 0;
    if (IsUntransformedFvf(state_.fvf, &untransformed))
        return SubmitUntransformed(type, vertices, vertexCount, stride, indices, indexBytes, indexCount);
    MakeCurrent();
    gl::PipelineSetup setup;
    gl::VertexLayout layout;
    if (!BuildPipeline(&setup, &layout, state_.fvf, stride)) return D3DERR_DRIVERINTERNALERROR;
    // Quads sent as two triangles of six vertices: through indices, the driver
    // shades the two shared corners once.
    if (type == D3DPT_TRIANGLELIST && indices == nullptr && vertexCount >= 6 &&
        ShareTriangleVertices(static_cast<const uint8_t*>(vertices), vertexCount, stride, &sharedIndices_) > 0) {
        indices = sharedIndices_.data();
        indexBytes = 4;
        indexCount = vertexCount;
    }
    gl::Draw(setup, layout, type, vertices, static_cast<size_t>(vertexCount) * stride, static_cast<int>(vertexCount),
             indices, indexBytes, static_cast<int>(indexCount));
    return D3D_OK;
}

HRESULT Device::SubmitUntransformed(D3DPRIMITIVETYPE type, const void* vertices, UINT vertexCount, UINT stride,
                                   const void* indices, int indexBytes, UINT indexCount) {
    ProcessedVertices processed;
    ProcessVertices(state_, state_.fvf, static_cast<const uint8_t*>(vertices), vertexCount, stride, &processed);
    std::vector<uint32_t> order(indices != nullptr ? indexCount : vertexCount);
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = static_cast<uint32_t>(i);
        if (indices != nullptr) std::memcpy(&order[i], static_cast<const uint8_t*>(indices) + i * indexBytes, indexBytes);
    }
    D3DPRIMITIVETYPE listType = type;
    std::vector<uint32_t> list = ListWithout(type, order, processed.behind, &listType);
    if (list.empty()) return D3D_OK;
    MakeCurrent();
    gl::PipelineSetup setup;
    gl::VertexLayout layout;
    if (!BuildPipeline(&setup, &layout, processed.fvf, processed.stride)) return D3DERR_DRIVERINTERNALERROR;
    gl::Draw(setup, layout, listType, processed.bytes.data(), processed.bytes.size(), static_cast<int>(vertexCount),
             list.data(), 4, static_cast<int>(list.size()));
    return D3D_OK;
}

// From stream 0: every vertex read must lie inside the buffer.
HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    HRESULT hr = Enter(kDevice, "DrawPrimitive");
    if (FAILED(hr)) return hr;
    const VertexBuffer* b = state_.stream;
    UINT stride = state_.streamStride;
    UINT count = VertexCount(type, primitiveCount);
    hr = CheckDraw(stride, b != nullptr ? b->data() : nullptr);
    if (SUCCEEDED(hr) && (count == 0 || primitiveCount > kMaxPrimitives ||
                          state_.streamOffset + (static_cast<uint64_t>(startVertex) + count) * stride > b->length()))
        hr = D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr))
        hr = Submit(type, b->data() + state_.streamOffset + static_cast<size_t>(startVertex) * stride, count, stride,
                    nullptr, 0, 0);
    Record("DrawPrimitive", {type, startVertex, primitiveCount}, hr);
    return hr;
}

// From stream 0 through the index buffer: each index must lie in
// [minIndex, minIndex + numVertices) and, moved by baseVertex, name a vertex
// inside the vertex buffer.
HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex, UINT minIndex, UINT numVertices,
                                     UINT startIndex, UINT primitiveCount) {
    HRESULT hr = Enter(kDevice, "DrawIndexedPrimitive");
    if (FAILED(hr)) return hr;
    const VertexBuffer* vb = state_.stream;
    const IndexBuffer* ib = state_.indices;
    UINT stride = state_.streamStride;
    UINT count = VertexCount(type, primitiveCount);
    int64_t lowest = static_cast<int64_t>(baseVertex) + minIndex;
    hr = CheckDraw(stride, vb != nullptr ? vb->data() : nullptr);
    if (SUCCEEDED(hr) && (ib == nullptr || count == 0 || primitiveCount > kMaxPrimitives || numVertices == 0 ||
                          lowest < 0 ||
                          state_.streamOffset + (static_cast<uint64_t>(lowest) + numVertices) * stride > vb->length() ||
                          (static_cast<uint64_t>(startIndex) + count) * ib->indexBytes() > ib->length()))
        hr = D3DERR_INVALIDCALL;
    std::vector<uint32_t> rebased;
    if (SUCCEEDED(hr)) {
        rebased.resize(count);
        const uint8_t* at = ib->data() + static_cast<size_t>(startIndex) * ib->indexBytes();
        for (UINT i = 0; i < count && SUCCEEDED(hr); ++i) {
            uint32_t index = 0;
            std::memcpy(&index, at + static_cast<size_t>(i) * ib->indexBytes(), ib->indexBytes());
            if (index < minIndex || index - minIndex >= numVertices) hr = D3DERR_INVALIDCALL;
            rebased[i] = index - minIndex;
        }
    }
    if (SUCCEEDED(hr))
        hr = Submit(type, vb->data() + state_.streamOffset + static_cast<size_t>(lowest) * stride, numVertices, stride,
                    rebased.data(), 4, count);
    Record("DrawIndexedPrimitive", {type, baseVertex, minIndex, numVertices, startIndex, primitiveCount}, hr);
    return hr;
}

}  // namespace d3d9
