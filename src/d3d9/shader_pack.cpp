// The shader pack and the shader decision: the packed, scrambled archive the
// program carries holds the packed "ShaderPack.bin"; once unpacked its size
// tables say where each slot's code lies. The pack is unpacked once for the
// process (at the first device start with shaders) and given back at
// graphics end; the two test shaders are made from it at every device start.
#include "d3d9/shader_state.h"

#include "core/log.h"
#include "core/memory.h"
#include "d3d9/d3d9_backend.h"
#include "file/archive.h"

#include <algorithm>
#include <iterator>

// The archive image built into the program (made at build time).
extern const uint8_t kShaderPackArchive[];
extern const uint32_t kShaderPackArchiveSize;

namespace {

struct ShaderPack {
    const void* source = nullptr;  // the packed archive image; null: the program's own
    uint32_t sourceSize = 0;
    ArchiveRecord archive{};
    uint8_t* archiveImage = nullptr;
    uint8_t* pack = nullptr;
    uint32_t packSize = 0;
    int32_t loaded = 0;
    int32_t unpacks = 0;
};

ShaderPack g_pack;
ShaderCodeTable g_code{};
IDirect3DVertexShader9* g_vertexObjects[kVertexShaderSlots]{};
IDirect3DPixelShader9* g_pixelObjects[kPixelShaderSlots]{};

IDirect3DDevice9* Dev() { return Device().device; }

void ClearCode() {
    std::fill(std::begin(g_code.vertex), std::end(g_code.vertex), nullptr);
    std::fill(std::begin(g_code.pixel), std::end(g_code.pixel), nullptr);
}

void FreePackMemory() {
    CloseArchive(&g_pack.archive);
    FreeMemory(g_pack.archiveImage);
    FreeMemory(g_pack.pack);
    g_pack.archiveImage = g_pack.pack = nullptr;
    g_pack.packSize = 0;
}

// The unpacked bytes of packed data in a new block; null when the data is
// damaged or the memory cannot be had (the reader logs damaged data).
uint8_t* Unpack(const void* packed, uint32_t available, uint32_t* size) {
    const int64_t n = DecompressPackedData(nullptr, packed, available);
    if (n < 0 || n > UINT32_MAX) return nullptr;
    auto* out = static_cast<uint8_t*>(AllocMemory(static_cast<uint32_t>(n > 0 ? n : 1), __FILE__, __LINE__));
    if (out == nullptr) return nullptr;
    if (DecompressPackedData(out, packed, available) < 0) {
        FreeMemory(out);
        return nullptr;
    }
    *size = static_cast<uint32_t>(n);
    return out;
}

uint32_t SlotSize(const uint8_t* pack, int32_t index) {
    return static_cast<uint32_t>(pack[2 * index] | pack[2 * index + 1] << 8);
}

// Fills the code table from the size tables. False when the sizes run past
// the pack or a size is no whole number of tokens: such a pack is damaged.
bool IndexCode(const uint8_t* pack, uint32_t packSize) {
    if (packSize < kShaderCodeStart) return false;
    uint64_t at = kShaderCodeStart;
    for (int32_t i = 0; i < kVertexShaderSlots + kPixelShaderSlots; ++i) {
        const uint32_t size = SlotSize(pack, i);
        const DWORD* code = nullptr;
        if (size != 0) {
            if (size % 4 != 0 || at + size > packSize) return false;
            code = reinterpret_cast<const DWORD*>(pack + at);
            at += size;
        }
        if (i < kVertexShaderSlots) {
            g_code.vertex[i] = code;
        } else {
            g_code.pixel[i - kVertexShaderSlots] = code;
        }
    }
    return true;
}

// A slot's code ends with the end token within its own bytes, so that the
// runtime reading the tokens stays inside the pack.
bool WholeCode(const DWORD* code, bool vertex, int32_t slot) {
    if (code == nullptr) return false;
    const uint32_t size = SlotSize(g_pack.pack, vertex ? slot : kVertexShaderSlots + slot);
    for (uint32_t i = 0; i < size / 4; ++i)
        if (code[i] == 0x0000FFFF) return true;
    return false;
}

bool CreateTestShaders() {
    bool made = true;
    const DWORD* vs = g_code.vertex[kTestVertexShaderSlot];
    IDirect3DVertexShader9*& vertex = g_vertexObjects[kTestVertexShaderSlot];
    if (!WholeCode(vs, true, kTestVertexShaderSlot) || FAILED(Dev()->CreateVertexShader(vs, &vertex))) {
        vertex = nullptr;
        made = false;
    }
    const DWORD* ps = g_code.pixel[kTestPixelShaderSlot];
    IDirect3DPixelShader9*& pixel = g_pixelObjects[kTestPixelShaderSlot];
    if (!WholeCode(ps, false, kTestPixelShaderSlot) || FAILED(Dev()->CreatePixelShader(ps, &pixel))) {
        pixel = nullptr;
        made = false;
    }
    return made;
}

}  // namespace

int LoadShaderPack() {
    ShaderPack& p = g_pack;
    if (p.loaded) return 1;
    ClearArchiveRecord(&p.archive);
    const void* source = p.source != nullptr ? p.source : kShaderPackArchive;
    const uint32_t sourceSize = p.source != nullptr ? p.sourceSize : kShaderPackArchiveSize;
    uint32_t imageSize = 0;
    p.archiveImage = Unpack(source, sourceSize, &imageSize);
    ++p.unpacks;
    // A failed step gives back what the load took, so that a later device
    // start can try again without holding a second copy.
    if (p.archiveImage == nullptr || OpenArchiveFromMemory(&p.archive, p.archiveImage, imageSize, nullptr) != 0) {
        FreePackMemory();
        return 0;
    }
    uint32_t offset = 0, size = 0;
    if (GetArchiveMemberData(&p.archive, kShaderPackMember, &offset, &size) != 0) {
        FreePackMemory();
        return 0;
    }
    const uint8_t* member = static_cast<const uint8_t*>(GetArchiveMemoryImage(&p.archive)) + offset;
    p.pack = Unpack(member, size, &p.packSize);
    if (p.pack == nullptr || !IndexCode(p.pack, p.packSize)) {
        ClearCode();
        FreePackMemory();
        return 0;
    }
    p.loaded = 1;
    return 1;
}

int DecideShaderUse() {
    DeviceBlock& d = Device();
    DeviceStateCache& c = Cache();
    ReleaseShaders();
    c.shadersInUse = 0;
    if (d.vertexShader20 && d.pixelShader20 && Dev() != nullptr) {
        c.shadersInUse = 1;
        if (!g_pack.loaded && !LoadShaderPack()) {
            WriteLogFormatted("シェーダーコードを展開するメモリ領域の確保に失敗しました\n");
            c.shadersInUse = 0;
        } else if (!CreateTestShaders()) {
            c.shadersInUse = 0;
        }
    }
    WriteLogFormatted(c.shadersInUse ? "プログラマブルシェーダーを使用します\n" : "プログラマブルシェーダーを使用しません\n");
    SetDeviceVertexShaderConstants(0, 1, kVertexRegisterZero);
    SetDevicePixelShaderConstants(0, 1, kPixelRegisterZero);
    return 0;
}

int ReleaseShaders() {
    if (Dev() == nullptr) return 0;
    DeviceStateCache& c = Cache();
    Dev()->SetVertexShader(nullptr);
    Dev()->SetPixelShader(nullptr);
    c.vertexShader = nullptr;
    c.vertexDeclaration = nullptr;
    for (IDirect3DPixelShader9*& shader : g_pixelObjects) {
        if (shader == nullptr) continue;
        shader->Release();
        shader = nullptr;
    }
    for (IDirect3DVertexShader9*& shader : g_vertexObjects) {
        if (shader == nullptr) continue;
        shader->Release();
        shader = nullptr;
    }
    return 0;
}

void UseShaderPackImage(const void* image, uint32_t size) {
    g_pack.source = image;
    g_pack.sourceSize = image != nullptr ? size : 0;
}

void UnloadShaderPack() {
    FreePackMemory();
    ClearCode();
    g_pack.loaded = 0;
}

const ShaderCodeTable& ShaderCode() { return g_code; }
int32_t ShaderPackUnpackCount() { return g_pack.unpacks; }

IDirect3DVertexShader9* VertexShaderObject(int32_t slot) {
    return slot >= 0 && slot < kVertexShaderSlots ? g_vertexObjects[slot] : nullptr;
}

IDirect3DPixelShader9* PixelShaderObject(int32_t slot) {
    return slot >= 0 && slot < kPixelShaderSlots ? g_pixelObjects[slot] : nullptr;
}
