// Brings the device and the state cache into agreement: the start values at
// graphics start, the full re-send after a device re-creation, and the reset
// of the fixed-function states they share.
#include "d3d9/d3d9_backend.h"
#include "d3d9/shader_state.h"
#include "graphics/graphics_internal.h"
#include "softrender/draw_state.h"

#include <cstring>

void BindBatchArrays();

namespace {

IDirect3DDevice9* Dev() { return Device().device; }

// z 0 and rhw 1 in every slot of the pre-transformed rows; white specular in
// the two-texture row.
void PresetBatchVertices() {
    BindBatchArrays();
    VertexBatch& b = Device().batch;
    for (int32_t row = 0; row < 3; ++row) {
        const BatchRow& r = kBatchRowTable[row];
        for (int32_t i = 0; i < r.capacity; ++i) {
            float* v = reinterpret_cast<float*>(b.rows[row] + static_cast<ptrdiff_t>(i) * r.stride);
            v[2] = 0.0f;
            v[3] = 1.0f;
            if (row == 2) {
                const uint32_t white = 0xFFFFFFFF;
                std::memcpy(b.rows[row] + static_cast<ptrdiff_t>(i) * r.stride + 20, &white, 4);
            }
        }
    }
}

constexpr int32_t kStartFilters[3] = {D3DTEXF_POINT, D3DTEXF_LINEAR, D3DTEXF_ANISOTROPIC};

void SendStartSamplers() {
    DeviceStateCache& c = Cache();
    DrawState& d = g_drawState;
    for (int32_t s = 0; s < kMaxStages; ++s) {
        if (d.addressU[s] == 0) d.addressU[s] = D3DTADDRESS_CLAMP;
        if (d.addressV[s] == 0) d.addressV[s] = D3DTADDRESS_CLAMP;
        if (d.addressW[s] == 0) d.addressW[s] = D3DTADDRESS_CLAMP;
    }
    for (int32_t s = 0; s < kMaxStages; ++s) {
        Dev()->SetSamplerState(s, D3DSAMP_ADDRESSU, d.addressU[s]);
        Dev()->SetSamplerState(s, D3DSAMP_ADDRESSV, d.addressV[s]);
        Dev()->SetSamplerState(s, D3DSAMP_ADDRESSW, d.addressW[s]);
        if (c.filterMode >= 0 && c.filterMode <= 2) {
            // The mip filter takes no anisotropic value: linear stands for it.
            const int32_t f = kStartFilters[c.filterMode];
            c.magFilter[s] = c.minFilter[s] = f;
            c.mipFilter[s] = f == D3DTEXF_ANISOTROPIC ? int32_t{D3DTEXF_LINEAR} : f;
        }
        Dev()->SetSamplerState(s, D3DSAMP_MAGFILTER, c.magFilter[s]);
        Dev()->SetSamplerState(s, D3DSAMP_MINFILTER, c.minFilter[s]);
        Dev()->SetSamplerState(s, D3DSAMP_MIPFILTER, c.mipFilter[s]);
        c.samplerAnisotropy[s] = 1;
    }
}

void SendStartRenderStates() {
    SendRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    SendRenderState(D3DRS_LIGHTING, TRUE);
    SendRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    SendRenderState(D3DRS_DITHERENABLE, FALSE);
    SendRenderState(D3DRS_SPECULARENABLE, TRUE);
    SendRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
    SendRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    SendRenderState(D3DRS_FOGENABLE, FALSE);
    SendRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_NONE);
    SendRenderState(D3DRS_FOGCOLOR, 0);
    const float zero = 0.0f, one = 1.0f;
    uint32_t bits;
    std::memcpy(&bits, &zero, 4);
    SendRenderState(D3DRS_FOGSTART, bits);
    std::memcpy(&bits, &one, 4);
    SendRenderState(D3DRS_FOGEND, bits);
}

void ClearStageRecords() {
    BlendStageSet& set = Cache().current;
    set = BlendStageSet{};
    for (DeviceStageRecord& s : set.stages) {
        s = DeviceStageRecord{};
        s.alphaArg1 = D3DTA_TEXTURE;
        s.alphaArg2 = D3DTA_DIFFUSE;
        s.alphaOp = D3DTOP_DISABLE;
        s.colorArg1 = D3DTA_TEXTURE;
        s.colorArg2 = D3DTA_DIFFUSE;
        s.colorOp = D3DTOP_DISABLE;
    }
}

void SetStartShadows() {
    DeviceStateCache& c = Cache();
    DeviceBlock& d = Device();
    const DrawState& ds = g_drawState;
    d.viewport = D3DVIEWPORT9{0, 0, static_cast<DWORD>(DeviceScreenWidth()), static_cast<DWORD>(DeviceScreenHeight()),
                              0.0f, 1.0f};
    d.batch.drawColor = 0xFFFFFFFF;
    c.blendBorderParameter = -1;
    for (int32_t s = 0; s < kMaxStages; ++s) {
        c.addressU[s] = ds.addressU[s];
        c.addressV[s] = ds.addressV[s];
        c.addressW[s] = ds.addressW[s];
    }
    c.zEnable = 1, c.zWriteEnable = 0, c.zFunc = D3DCMP_LESSEQUAL, c.depthBias = 0;
    c.fillMode = D3DFILL_SOLID, c.shadeMode = D3DSHADE_FLAT, c.cullMode = 0;
    c.specularEnable = 1, c.lighting = 1;
    c.colorModulation = 0, c.alphaModulation = 0;
    c.blendMode = 0, c.textureAlpha = 0, c.alphaTest = 0;
    c.setupDirty = 1, c.textureDirty = 0, c.drawSuppressed = 0;
    c.filterMode = 3, c.maxAnisotropy = 1;
    c.fogEnable = 0, c.fogMode = 0, c.fogColor = 0, c.fogStart = 0.0f, c.fogEnd = 1.0f;
    d.renderTarget = d.backBuffer;
    c.inScene = 0;
    c.blendTexture = nullptr;
    c.drawTexture = nullptr;
    d.batch.count = 0;
    d.batch.subKind = 1;
    d.batch.kind = 0;
    d.batch.write = d.batch.rows[1];
}

// One point at (0, 0) queued so that the first flush finds a batch open.
void QueuePoint() {
    VertexBatch& b = Device().batch;
    ReserveBatch(0, D3DPT_POINTLIST, 1);
    if (b.count != 0) {
        FlushVertexBatch();
        ReserveBatch(0, D3DPT_POINTLIST, 1);
    }
    float* v = reinterpret_cast<float*>(b.write);
    v[0] = v[1] = v[2] = 0.0f;
    CommitBatch(1);
}

}  // namespace

int InitDeviceStateCache() {
    PresetBatchVertices();
    SendStartSamplers();
    SendStartRenderStates();
    ClearStageRecords();
    SetStartShadows();
    RestoreDeviceStates();
    if (!Cache().inScene) BeginDeviceScene();
    ApplyDrawState(nullptr, nullptr, 0);
    if (Cache().setupDirty || Cache().textureDirty) SetupDeviceBlendStages(1, nullptr, 0);
    QueuePoint();
    return 0;
}

namespace {

// The camera from the draw state: world, view, then the projection calls of
// the graphics layer, which send projection x viewport.
void ReapplyCamera() {
    DrawState& d = g_drawState;
    const bool active = Screen().d3dActive != 0;
    FlushVertexBatch();
    d.combinedCurrent = 0;
    UpdateCombinedMatrices();
    if (active) {
        const D3DMATRIX world = AsDeviceMatrix(d.worldMatrix);
        Dev()->SetTransform(D3DTS_WORLD, &world);
        d.worldSent = 1;
    }
    FlushVertexBatch();
    d.combinedCurrent = 0;
    UpdateCombinedMatrices();
    if (active) {
        const D3DMATRIX view = AsDeviceMatrix(d.viewMatrix);
        SetDeviceViewMatrix(&view);
        d.viewSent = 1;
    }
    const Matrix4 projection = d.projectionMatrix, viewport = d.viewportMatrix;
    SetProjectionMatrix(&projection);
    SetViewportMatrix(&viewport);
}

}  // namespace

int ReapplyDeviceStates() {
    if (Dev() == nullptr) return -1;
    DeviceStateCache& c = Cache();
    SendRenderState(D3DRS_DITHERENABLE, FALSE);
    ForceResend() = 1;
    c.drawTexture = nullptr;
    Device().batch.count = 0;
    Device().batch.write = Device().batch.rows[Device().batch.subKind + 3 * Device().batch.kind];
    SetDeviceBlendMode(c.blendMode, c.textureAlpha, c.alphaTest);
    SetDeviceCullMode(c.cullMode);
    SetDeviceTextureFilter(c.filterMode);
    SetDeviceBlendMode(c.blendMode, c.textureAlpha, c.alphaTest);
    SendRenderState(D3DRS_SHADEMODE, static_cast<uint32_t>(c.shadeMode));
    SetDeviceMaxAnisotropy(c.maxAnisotropy);
    SetDeviceCullMode(c.cullMode);
    for (int32_t s = 0; s < kMaxStages; ++s) {
        SetDeviceAddressU(s, c.addressU[s]);
        SetDeviceAddressV(s, c.addressV[s]);
        SetDeviceAddressW(s, c.addressW[s]);
    }
    for (int32_t s = 0; s < kMaxStages; ++s) SetDeviceTextureTransform(s, c.texTransformFlag[s], &c.texTransform[s]);
    UpdateShaderVariantIndex();
    SendRenderState(D3DRS_FOGENABLE, static_cast<uint32_t>(c.fogEnable));
    SetDeviceFogMode(c.fogMode);
    SendRenderState(D3DRS_FOGCOLOR, c.fogColor);
    SetDeviceFogStartEnd(c.fogStart, c.fogEnd);
    SetDeviceFogDensity(c.fogDensity);
    FlushVertexBatch();
    SendRenderState(D3DRS_ZENABLE, c.zEnable == 1 ? 1u : 0u);
    FlushVertexBatch();
    SendRenderState(D3DRS_ZWRITEENABLE, static_cast<uint32_t>(c.zWriteEnable));
    FlushVertexBatch();
    SendRenderState(D3DRS_ZFUNC, static_cast<uint32_t>(c.zFunc));
    FlushVertexBatch();
    SendRenderState(D3DRS_DEPTHBIAS, c.depthBias);
    FlushVertexBatch();
    SendRenderState(D3DRS_FILLMODE, static_cast<uint32_t>(c.fillMode));
    ReapplyCamera();
    ReapplyLightsAndMaterial();
    SendRenderState(D3DRS_SPECULARENABLE, static_cast<uint32_t>(c.specularEnable));
    SendRenderState(D3DRS_DIFFUSEMATERIALSOURCE, c.diffuseSource ? uint32_t{D3DMCS_COLOR1} : uint32_t{D3DMCS_MATERIAL});
    SendRenderState(D3DRS_SPECULARMATERIALSOURCE, c.specularSource ? uint32_t{D3DMCS_COLOR2} : uint32_t{D3DMCS_MATERIAL});
    ReapplyAmbientColor();
    UpdateShaderVariantIndex();
    SendRenderState(D3DRS_LIGHTING, static_cast<uint32_t>(c.lighting));
    ReapplyLights();
    const DrawState& d = g_drawState;
    SetDeviceViewportRect(d.drawAreaLeft, d.drawAreaTop, d.drawAreaRight, d.drawAreaBottom);
    SetDeviceScissorRect(RECT{d.drawAreaLeft, d.drawAreaTop, d.drawAreaRight, d.drawAreaBottom});
    ResetTexCoordIndices();
    SetupDeviceBlendStages(1, nullptr, 0);
    RestoreDeviceStates();
    ForceResend() = 0;
    return 0;
}

void RestoreDeviceStates() {
    if (Dev() == nullptr) return;
    DeviceStateCache& c = Cache();
    DeviceBlock& d = Device();
    ForceResend() = 1;
    SetDeviceViewport(d.viewport);
    SetDeviceScissorRect(d.scissor);
    ResetFixedFunctionStates();
    SetDeviceTextureFilter(c.filterMode);
    SetupDeviceBlendStages(1, nullptr, 0);
    SetDeviceZEnable(c.zEnable);
    SendRenderState(D3DRS_ZWRITEENABLE, static_cast<uint32_t>(c.zWriteEnable));
    SendRenderState(D3DRS_ZFUNC, static_cast<uint32_t>(c.zFunc));
    SendRenderState(D3DRS_DEPTHBIAS, c.depthBias);
    SendRenderState(D3DRS_FILLMODE, static_cast<uint32_t>(c.fillMode));
    SetDeviceCullMode(c.cullMode);
    SendRenderState(D3DRS_SHADEMODE, static_cast<uint32_t>(c.shadeMode));
    ForceResend() = 0;
}

int ResetFixedFunctionStates() {
    if (Dev() == nullptr) return -1;
    DeviceStateCache& c = Cache();
    FlushVertexBatch();
    for (int32_t s = 0; s < 4; ++s) {
        Dev()->SetSamplerState(s, D3DSAMP_ADDRESSU, c.addressU[s]);
        Dev()->SetSamplerState(s, D3DSAMP_ADDRESSV, c.addressV[s]);
    }
    constexpr int32_t kIndices[4] = {0, 1, 1, 0};
    for (int32_t s = 0; s < 4; ++s) {
        Dev()->SetTextureStageState(s, D3DTSS_TEXCOORDINDEX, kIndices[s]);
        c.current.stages[s].texCoordIndex = kIndices[s];
    }
    if (Device().tempRegister) {
        for (int32_t s = 0; s < 4; ++s) {
            Dev()->SetTextureStageState(s, D3DTSS_RESULTARG, D3DTA_CURRENT);
            c.current.stages[s].resultTemp = 0;
        }
    }
    SendRenderState(D3DRS_SHADEMODE, static_cast<uint32_t>(c.shadeMode));
    SendRenderState(D3DRS_LIGHTING, static_cast<uint32_t>(c.lighting));
    SendRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    SendRenderState(D3DRS_DITHERENABLE, FALSE);
    SetDeviceVertexShaderConstants(0, 1, kVertexRegisterZero);
    SetDevicePixelShaderConstants(0, 1, kPixelRegisterZero);
    if (c.vertexShader != nullptr) {
        Dev()->SetVertexShader(nullptr);
        c.vertexShader = nullptr;
    }
    if (c.pixelShader != nullptr) {
        Dev()->SetPixelShader(nullptr);
        c.pixelShader = nullptr;
    }
    c.fvf = 0;
    return 0;
}
