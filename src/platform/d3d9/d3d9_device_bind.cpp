// The device's bindings of shaders, declarations and buffers, and the
// shader constants read back.
#include "platform/d3d9/d3d9_device.h"

#include <algorithm>

namespace d3d9 {
namespace {

constexpr const char* kDevice = "IDirect3DDevice9";

// Reads count registers of 4 values back.
template <typename T, size_t N>
HRESULT LoadConstants(const std::array<T, N>& file, UINT start, T* data, UINT count) {
    if (data == nullptr || static_cast<uint64_t>(start) + count > N / 4) return D3DERR_INVALIDCALL;
    std::copy_n(file.begin() + static_cast<size_t>(start) * 4, static_cast<size_t>(count) * 4, data);
    return D3D_OK;
}

template <typename Object, typename Interface>
HRESULT BindChild(const char* method, Interface* object, Resource*& slot) {
    HRESULT hr = Enter(kDevice, method);
    if (FAILED(hr)) return hr;
    auto* child = dynamic_cast<Object*>(object);
    if (object != nullptr && child == nullptr) return D3DERR_INVALIDCALL;
    Rebind<Resource>(slot, child);
    Record(method, {object != nullptr ? 1 : 0}, hr);
    return hr;
}

}  // namespace

HRESULT Device::SetVertexShader(IDirect3DVertexShader9* s) {
    return BindChild<VertexShader>("SetVertexShader", s, state_.vertexShader);
}

HRESULT Device::SetPixelShader(IDirect3DPixelShader9* s) {
    return BindChild<PixelShader>("SetPixelShader", s, state_.pixelShader);
}

// A declaration replaces the FVF (GetFVF then gives 0), as SetFVF replaces the
// declaration.
HRESULT Device::SetVertexDeclaration(IDirect3DVertexDeclaration9* d) {
    HRESULT hr = BindChild<VertexDeclaration>("SetVertexDeclaration", d, state_.declaration);
    if (SUCCEEDED(hr) && d != nullptr) {
        state_.fvf = 0;
        state_.dirty |= kDirtyProgram;
    }
    return hr;
}

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) {
    HRESULT hr = Enter(kDevice, "SetStreamSource");
    if (FAILED(hr)) return hr;
    auto* b = dynamic_cast<VertexBuffer*>(buffer);
    if (stream != 0 || (buffer != nullptr && b == nullptr) || stride > 255 || offset % 4 != 0 ||
        (b != nullptr && offset >= b->length()))
        hr = D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) {
        Rebind(state_.stream, b);
        state_.streamOffset = b != nullptr ? offset : 0;
        state_.streamStride = b != nullptr ? stride : 0;
    }
    Record("SetStreamSource", {stream, buffer != nullptr ? 1 : 0, offset, stride}, hr);
    return hr;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* buffer) {
    HRESULT hr = Enter(kDevice, "SetIndices");
    if (FAILED(hr)) return hr;
    auto* b = dynamic_cast<IndexBuffer*>(buffer);
    if (buffer != nullptr && b == nullptr) hr = D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) Rebind(state_.indices, b);
    Record("SetIndices", {buffer != nullptr ? 1 : 0}, hr);
    return hr;
}

void Device::UnbindObjects() {
    Rebind<Resource>(state_.vertexShader, nullptr);
    Rebind<Resource>(state_.pixelShader, nullptr);
    Rebind<Resource>(state_.declaration, nullptr);
    Rebind<VertexBuffer>(state_.stream, nullptr);
    Rebind<IndexBuffer>(state_.indices, nullptr);
}

HRESULT Device::GetVertexShaderConstantF(UINT start, float* data, UINT count4) {
    if (HRESULT seam = Enter(kDevice, "GetVertexShaderConstantF"); FAILED(seam)) return seam;
    return LoadConstants(state_.vertexConstF, start, data, count4);
}

HRESULT Device::GetPixelShaderConstantF(UINT start, float* data, UINT count4) {
    if (HRESULT seam = Enter(kDevice, "GetPixelShaderConstantF"); FAILED(seam)) return seam;
    return LoadConstants(state_.pixelConstF, start, data, count4);
}

}  // namespace d3d9
