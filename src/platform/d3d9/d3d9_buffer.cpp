// Vertex and index buffers: memory the program locks and the draws read.
#include "platform/d3d9/d3d9_device.h"

#include <new>

namespace d3d9 {
namespace {

constexpr const char* kDevice = "IDirect3DDevice9";
constexpr DWORD kBufferUsages = D3DUSAGE_WRITEONLY | D3DUSAGE_SOFTWAREPROCESSING | D3DUSAGE_DONOTCLIP |
                                D3DUSAGE_POINTS | D3DUSAGE_DYNAMIC;
constexpr UINT kMaxBufferBytes = 256u << 20;  // what this device lets one buffer have

// Whether creation arguments are ones the device takes.
HRESULT CheckBuffer(UINT length, UINT least, DWORD usage, D3DPOOL pool, const void* out, const HANDLE* shared) {
    if (out == nullptr || shared != nullptr || length < least || (usage & ~kBufferUsages) ||
        (pool != D3DPOOL_DEFAULT && pool != D3DPOOL_MANAGED && pool != D3DPOOL_SYSTEMMEM) ||
        ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED))
        return D3DERR_INVALIDCALL;
    return length > kMaxBufferBytes ? D3DERR_OUTOFVIDEOMEMORY : D3D_OK;
}

template <typename T, typename Out>
HRESULT Deliver(T* made, Out** out) {
    if (!made->Allocate()) {
        made->Release();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *out = made;
    return D3D_OK;
}

// Bytes of one vertex of an FVF (0 when it names no position).
UINT FvfSize(DWORD fvf) {
    static constexpr UINT kPosition[8] = {0, 12, 16, 16, 20, 24, 28, 32};  // XYZ .. XYZB5 by (mask >> 1) & 7
    UINT size = (fvf & D3DFVF_POSITION_MASK) == 0x4002 ? 16 : kPosition[((fvf & 0xE) >> 1) & 7];
    if (fvf & D3DFVF_NORMAL) size += 12;
    if (fvf & D3DFVF_PSIZE) size += 4;
    if (fvf & D3DFVF_DIFFUSE) size += 4;
    if (fvf & D3DFVF_SPECULAR) size += 4;
    UINT sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    for (UINT i = 0; i < sets && i < 8; ++i) {
        static constexpr UINT kFloats[4] = {2, 3, 4, 1};
        size += kFloats[(fvf >> (16 + 2 * i)) & 3] * 4;
    }
    return size;
}

}  // namespace

Buffer::Buffer(Device* device, UINT length, DWORD usage, D3DPOOL pool)
    : Resource(device, false, pool), length_(length), usage_(usage) {}

bool Buffer::Allocate() {
    return memory_.Assign(length_);
}

// offset and size 0: the whole buffer; size 0: from offset to the end. Locks
// nest; each needs its Unlock.
HRESULT Buffer::Lock(UINT offset, UINT size, void** data, DWORD flags) {
    (void)flags;
    if (data == nullptr) return D3DERR_INVALIDCALL;
    *data = nullptr;
    UINT span = size == 0 && offset < length_ ? length_ - offset : size;
    if (offset >= length_ || span > length_ - offset) return D3DERR_INVALIDCALL;
    *data = memory_.data() + offset;
    ++locks_;
    return D3D_OK;
}

HRESULT Buffer::Unlock() {
    if (locks_ == 0) return D3DERR_INVALIDCALL;
    --locks_;
    return D3D_OK;
}

HRESULT Buffer::RecordedLock(const char* interfaceName, UINT offset, UINT size, void** data, DWORD flags) {
    HRESULT hr = Enter(interfaceName, "Lock");
    if (FAILED(hr)) return hr;
    hr = Lock(offset, size, data, flags);
    Record("Lock", {offset, size, flags}, hr);
    return hr;
}

HRESULT Buffer::RecordedUnlock(const char* interfaceName) {
    if (HRESULT seam = Enter(interfaceName, "Unlock"); FAILED(seam)) return seam;
    return Unlock();
}

// length must hold one vertex of a non-zero FVF (any length without one).
HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** buffer,
                                   HANDLE* shared) {
    HRESULT hr = Enter(kDevice, "CreateVertexBuffer");
    if (FAILED(hr)) return hr;
    if (buffer != nullptr) *buffer = nullptr;
    hr = CheckBuffer(length, fvf != 0 ? FvfSize(fvf) : 1, usage, pool, buffer, shared);
    if (SUCCEEDED(hr)) hr = Deliver(new VertexBuffer(this, length, usage, fvf, pool), buffer);
    Record("CreateVertexBuffer", {length, usage, fvf, pool}, hr);
    return hr;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer9** buffer, HANDLE* shared) {
    HRESULT hr = Enter(kDevice, "CreateIndexBuffer");
    if (FAILED(hr)) return hr;
    if (buffer != nullptr) *buffer = nullptr;
    UINT size = format == D3DFMT_INDEX16 ? 2 : format == D3DFMT_INDEX32 ? 4 : 0;
    hr = size == 0 ? D3DERR_INVALIDCALL : CheckBuffer(length, size, usage, pool, buffer, shared);
    if (SUCCEEDED(hr)) hr = Deliver(new IndexBuffer(this, length, usage, format, pool), buffer);
    Record("CreateIndexBuffer", {length, usage, format, pool}, hr);
    return hr;
}

}  // namespace d3d9
