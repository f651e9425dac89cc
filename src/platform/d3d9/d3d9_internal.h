// The stand-in's object classes, shared by its source files only.
#pragma once

#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/d3d9_bytes.h"
#include "platform/d3d9/d3d9_ff_program.h"
#include "platform/d3d9/d3d9_formats.h"
#include "platform/d3d9/d3d9_gl.h"
#include "platform/d3d9/d3d9_state.h"

#include <initializer_list>
#include <memory>
#include <type_traits>
#include <vector>

namespace d3d9 {

class Device;

// ---- seams and the recording (d3d9_resource.cpp) --------------------------------
bool RecordingOn();
// Appends "method(args...) = result" when the recording is on.
void Record(const char* method, std::initializer_list<int64_t> args, HRESULT result);
// S_OK, or the failure a test injected for "<interfaceName>::<method>"
// (recorded as well).
HRESULT Enter(const char* interfaceName, const char* method);

// ---- reference counting of a device's children ------------------------------------
// A child made by the application starts with one reference and holds the
// device while the application holds it; an implicit child (back buffer,
// swap chain, texture levels) belongs to its owner. The device binds what
// it uses (textures, targets) without counting the application's references,
// so a bound child lives on until it is unbound.
class Resource {
public:
    Resource(Device* device, bool implicit, D3DPOOL pool);
    virtual ~Resource();
    Resource(const Resource&) = delete;
    Resource& operator=(const Resource&) = delete;

    ULONG AddRefResource();
    ULONG ReleaseResource();
    void Bind();
    void Unbind();
    Device* device() const { return device_; }
    D3DPOOL pool() const { return pool_; }
    ULONG refs() const { return refs_; }

private:
    Device* device_;
    bool implicit_;
    D3DPOOL pool_;
    ULONG refs_;
    ULONG binds_ = 0;
    bool counted_;  // counts among the device's default-pool resources
};

HRESULT GetDeviceOf(Resource* resource, IDirect3DDevice9** device);

// Moves the device's binding in slot to next.
template <typename T>
void Rebind(T*& slot, T* next) {
    if (slot == next) return;
    if (next != nullptr) next->Bind();
    if (slot != nullptr) slot->Unbind();
    slot = next;
}

// QueryInterface of a child: only IUnknown (the children's own interfaces
// have no identifiers here).
template <typename Interface>
HRESULT QueryChild(Interface* self, REFIID iid, void** object) {
    return com::AnswerQuery(self, iid, {}, object);
}

// ---- surfaces (d3d9_surface.cpp) -------------------------------------------------
enum class Storage {
    Cpu,       // system memory only
    Gpu,       // a GL texture holds the pixels (targets, default-pool plain surfaces)
    Mirrored,  // memory holds them and a GL texture follows (texture levels)
    Depth,     // a GL depth buffer
};

class Surface final : public IDirect3DSurface9, public Resource {
public:
    // owner: the texture this is a level of (null: the surface counts itself).
    Surface(Device* device, const D3DSURFACE_DESC& desc, Storage storage, bool lockable, Resource* owner,
            bool implicit);
    ~Surface() override;
    // Makes the storage; false when it cannot be had. glTexture: a level of
    // the owner's texture (0: make one of our own).
    bool Allocate(uint32_t glTexture = 0, int glLevel = 0);

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    const D3DSURFACE_DESC& desc() const { return desc_; }
    const FormatInfo& format() const { return *format_; }
    Storage storage() const { return storage_; }
    bool IsRenderTarget() const { return (desc_.Usage & D3DUSAGE_RENDERTARGET) != 0; }
    bool locked() const { return locked_; }
    uint32_t glTexture() const { return glTexture_; }
    int glLevel() const { return glLevel_; }
    uint32_t glDepth() const { return glDepth_; }
    gl::Target AsTarget(const Surface* depth) const;
    gl::Rect Whole() const { return gl::Rect{0, 0, static_cast<int>(desc_.Width), static_cast<int>(desc_.Height)}; }
    // Pixels of an area as A8R8G8B8, top row first, wherever they live (a
    // Y'CbCr surface converted).
    void ReadArgb(const gl::Rect& area, uint32_t* argb) const;
    // Not for Y'CbCr surfaces (nothing is written).
    void WriteArgb(const gl::Rect& area, const uint32_t* argb);
    // A texture level takes the bytes of a surface in memory of the same
    // size and format as they are (no conversion there and back); false,
    // changing nothing, where the two do not allow it.
    bool CopyMemoryFrom(const Surface& from);
    // The level is locked through its texture (the lock tells which).
    HRESULT Lock(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
    HRESULT Unlock();

private:
    // Sends an area of memory to the GL texture that follows it.
    void SendMemory(const gl::Rect& area);

    D3DSURFACE_DESC desc_;
    const FormatInfo* format_;
    Storage storage_;
    bool lockable_;
    Resource* owner_;
    size_t pitch_;  // bytes a row of memory_ (of the Y plane for YV12)
    ZeroedBytes memory_;
    uint32_t glTexture_ = 0;
    int glLevel_ = 0;
    bool ownsTexture_ = false;
    uint32_t glDepth_ = 0;
    bool locked_ = false;
    RECT lockRect_{};
    DWORD lockFlags_ = 0;
};

// ---- textures (d3d9_texture.cpp) ------------------------------------------------------
class BaseTexture : public Resource {
public:
    using Resource::Resource;
    virtual uint32_t glTexture() const = 0;  // 0: not drawn from (volume textures)
    virtual IDirect3DBaseTexture9* Interface() = 0;
};
BaseTexture* AsBaseTexture(IDirect3DBaseTexture9* texture);

class Texture final : public IDirect3DTexture9, public BaseTexture {
public:
    Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    ~Texture() override;
    bool Allocate();

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return AddRefResource(); }
    ULONG Release() override { return ReleaseResource(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override { return GetDeviceOf(this, device); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return static_cast<DWORD>(levels_.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    uint32_t glTexture() const override { return glTexture_; }
    IDirect3DBaseTexture9* Interface() override { return this; }
    Surface* Level(UINT level) const { return level < levels_.size() ? levels_[level].get() : nullptr; }

private:
    D3DSURFACE_DESC desc_;
    std::vector<std::unique_ptr<Surface>> levels_;
    uint32_t glTexture_ = 0;
};

class VolumeTexture final : public IDirect3DVolumeTexture9, public BaseTexture {
public:
    VolumeTexture(Device* device, UINT width, UINT height, UINT depth, UINT levels, DWORD usage, D3DFORMAT format,
                  D3DPOOL pool);
    bool Allocate();

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return AddRefResource(); }
    ULONG Release() override { return ReleaseResource(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override { return GetDeviceOf(this, device); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VOLUMETEXTURE; }
    DWORD GetLevelCount() override { return static_cast<DWORD>(levels_.size()); }
    HRESULT GetLevelDesc(UINT level, D3DVOLUME_DESC* desc) override;
    HRESULT LockBox(UINT level, D3DLOCKED_BOX* locked, const D3DBOX* box, DWORD flags) override;
    HRESULT UnlockBox(UINT level) override;

    uint32_t glTexture() const override { return 0; }
    IDirect3DBaseTexture9* Interface() override { return this; }
    // Copies every level from a texture of the same size and format.
    bool CopyFrom(const VolumeTexture& source);

private:
    struct Level {
        D3DVOLUME_DESC desc;
        ZeroedBytes memory;
        bool locked = false;
    };
    const FormatInfo* format_;
    std::vector<Level> levels_;
};

// The levels a texture of this size gets for a requested count (0: all).
UINT LevelCount(UINT width, UINT height, UINT depth, UINT requested);
// Whether a size is one the device takes (1 .. limit on each side).
bool SizeAllowed(UINT width, UINT height, UINT limit);

// ---- vertex and index buffers (d3d9_buffer.cpp) --------------------------------------
// The bytes live in memory and are sent with each draw that reads them.
class Buffer : public Resource {
public:
    Buffer(Device* device, UINT length, DWORD usage, D3DPOOL pool);
    bool Allocate();
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags);
    HRESULT Unlock();
    // Both through the interface's seams and the recording.
    HRESULT RecordedLock(const char* interfaceName, UINT offset, UINT size, void** data, DWORD flags);
    HRESULT RecordedUnlock(const char* interfaceName);
    const uint8_t* data() const { return memory_.data(); }
    UINT length() const { return length_; }
    DWORD usage() const { return usage_; }

private:
    UINT length_;
    DWORD usage_;
    ZeroedBytes memory_;
    int locks_ = 0;
};

// A vertex buffer (kind: its FVF) or an index buffer (kind: its format).
template <typename Interface>
class TypedBuffer final : public Interface, public Buffer {
public:
    static constexpr bool kVertex = std::is_same_v<Interface, IDirect3DVertexBuffer9>;
    using Desc = std::conditional_t<kVertex, D3DVERTEXBUFFER_DESC, D3DINDEXBUFFER_DESC>;
    static constexpr const char* kName = kVertex ? "IDirect3DVertexBuffer9" : "IDirect3DIndexBuffer9";

    TypedBuffer(Device* device, UINT length, DWORD usage, DWORD kind, D3DPOOL pool)
        : Buffer(device, length, usage, pool), kind_(kind) {}
    HRESULT QueryInterface(REFIID iid, void** object) override {
        return QueryChild(static_cast<Interface*>(this), iid, object);
    }
    ULONG AddRef() override { return AddRefResource(); }
    ULONG Release() override { return ReleaseResource(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override { return GetDeviceOf(this, device); }
    D3DRESOURCETYPE GetType() override { return kVertex ? D3DRTYPE_VERTEXBUFFER : D3DRTYPE_INDEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override {
        return RecordedLock(kName, offset, size, data, flags);
    }
    HRESULT Unlock() override { return RecordedUnlock(kName); }
    HRESULT GetDesc(Desc* desc) override {
        if (desc == nullptr) return D3DERR_INVALIDCALL;
        if constexpr (kVertex)
            *desc = Desc{D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage(), pool(), length(), kind_};
        else
            *desc = Desc{static_cast<D3DFORMAT>(kind_), D3DRTYPE_INDEXBUFFER, usage(), pool(), length()};
        return D3D_OK;
    }
    UINT indexBytes() const { return kind_ == D3DFMT_INDEX32 ? 4 : 2; }

private:
    DWORD kind_;
};
using VertexBuffer = TypedBuffer<IDirect3DVertexBuffer9>;
using IndexBuffer = TypedBuffer<IDirect3DIndexBuffer9>;

// ---- shaders and declarations (d3d9_shader.cpp) ------------------------------------------
// Kept for the program: the checked token stream, or the element list.
template <typename Interface, typename Item>
class DeviceChild final : public Interface, public Resource {
public:
    DeviceChild(Device* device, std::vector<Item> items)
        : Resource(device, false, D3DPOOL_MANAGED), items_(std::move(items)) {}
    HRESULT QueryInterface(REFIID iid, void** object) override {
        return QueryChild(static_cast<Interface*>(this), iid, object);
    }
    ULONG AddRef() override { return AddRefResource(); }
    ULONG Release() override { return ReleaseResource(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override { return GetDeviceOf(this, device); }
    const std::vector<Item>& items() const { return items_; }

private:
    std::vector<Item> items_;
};
using VertexShader = DeviceChild<IDirect3DVertexShader9, DWORD>;
using PixelShader = DeviceChild<IDirect3DPixelShader9, DWORD>;
using VertexDeclaration = DeviceChild<IDirect3DVertexDeclaration9, D3DVERTEXELEMENT9>;

// The number of tokens of a shader up to and including its end token, or 0
// when the code is not one the device takes: vertex (or pixel) shader code
// of a known version at most maxVersion, instructions of known opcodes and
// sane lengths, and the end token within kMaxShaderTokens.
constexpr size_t kMaxShaderTokens = 1u << 18;
size_t CheckShaderCode(const DWORD* code, bool vertex, DWORD maxVersion);
// The shader versions the capabilities report.
DWORD ReportedVertexShaderVersion();
DWORD ReportedPixelShaderVersion();

}  // namespace d3d9
