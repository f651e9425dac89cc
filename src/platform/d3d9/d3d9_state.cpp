#include "platform/d3d9/d3d9_state.h"

namespace d3d9 {
namespace {

struct RenderDefault {
    DWORD state;
    DWORD value;
};

// Every documented render state, with its documented start value (ZENABLE
// is set apart: it depends on the present parameters). The device draws with
// some of them; the others are kept for the program to read back.
constexpr RenderDefault kRenderDefaults[] = {
    {D3DRS_ZENABLE, D3DZB_FALSE},
    {D3DRS_FILLMODE, D3DFILL_SOLID},
    {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
    {D3DRS_ZWRITEENABLE, TRUE},
    {D3DRS_ALPHATESTENABLE, FALSE},
    {D3DRS_LASTPIXEL, TRUE},
    {D3DRS_SRCBLEND, D3DBLEND_ONE},
    {D3DRS_DESTBLEND, D3DBLEND_ZERO},
    {D3DRS_CULLMODE, D3DCULL_CCW},
    {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
    {D3DRS_ALPHAREF, 0},
    {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},
    {D3DRS_DITHERENABLE, FALSE},
    {D3DRS_ALPHABLENDENABLE, FALSE},
    {D3DRS_FOGENABLE, FALSE},
    {D3DRS_SPECULARENABLE, FALSE},
    {D3DRS_FOGCOLOR, 0},
    {D3DRS_FOGTABLEMODE, D3DFOG_NONE},
    {D3DRS_FOGSTART, 0},           // 0.0f
    {D3DRS_FOGEND, 0x3F800000},    // 1.0f
    {D3DRS_FOGDENSITY, 0x3F800000},
    {D3DRS_RANGEFOGENABLE, FALSE},
    {D3DRS_STENCILENABLE, FALSE},
    {D3DRS_STENCILFAIL, 1},  // D3DSTENCILOP_KEEP
    {D3DRS_STENCILZFAIL, 1},
    {D3DRS_STENCILPASS, 1},
    {D3DRS_STENCILFUNC, D3DCMP_ALWAYS},
    {D3DRS_STENCILREF, 0},
    {D3DRS_STENCILMASK, 0xFFFFFFFF},
    {D3DRS_STENCILWRITEMASK, 0xFFFFFFFF},
    {D3DRS_TEXTUREFACTOR, 0xFFFFFFFF},
    {D3DRS_WRAP0, 0},
    {D3DRS_WRAP1, 0},
    {D3DRS_WRAP2, 0},
    {D3DRS_WRAP3, 0},
    {D3DRS_WRAP4, 0},
    {D3DRS_WRAP5, 0},
    {D3DRS_WRAP6, 0},
    {D3DRS_WRAP7, 0},
    {D3DRS_CLIPPING, TRUE},
    {D3DRS_LIGHTING, TRUE},
    {D3DRS_AMBIENT, 0},
    {D3DRS_FOGVERTEXMODE, D3DFOG_NONE},
    {D3DRS_COLORVERTEX, TRUE},
    {D3DRS_LOCALVIEWER, TRUE},
    {D3DRS_NORMALIZENORMALS, FALSE},
    {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
    {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR2},
    {D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL},
    {D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL},
    {D3DRS_VERTEXBLEND, 0},
    {D3DRS_CLIPPLANEENABLE, 0},
    {D3DRS_POINTSIZE, 0x3F800000},
    {D3DRS_POINTSIZE_MIN, 0x3F800000},  // 1.0f
    {D3DRS_POINTSPRITEENABLE, FALSE},
    {D3DRS_POINTSCALEENABLE, FALSE},
    {D3DRS_POINTSCALE_A, 0x3F800000},
    {D3DRS_POINTSCALE_B, 0},
    {D3DRS_POINTSCALE_C, 0},
    {D3DRS_MULTISAMPLEANTIALIAS, TRUE},
    {D3DRS_MULTISAMPLEMASK, 0xFFFFFFFF},
    {D3DRS_PATCHEDGESTYLE, 0},     // D3DPATCHEDGE_DISCRETE
    {D3DRS_DEBUGMONITORTOKEN, 0},  // D3DDMT_ENABLE
    {D3DRS_POINTSIZE_MAX, 0x42800000},  // 64.0f
    {D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE},
    {D3DRS_COLORWRITEENABLE, 0xF},
    {D3DRS_TWEENFACTOR, 0},
    {D3DRS_BLENDOP, D3DBLENDOP_ADD},
    {D3DRS_POSITIONDEGREE, 3},  // D3DDEGREE_CUBIC
    {D3DRS_NORMALDEGREE, 1},    // D3DDEGREE_LINEAR
    {D3DRS_SCISSORTESTENABLE, FALSE},
    {D3DRS_SLOPESCALEDEPTHBIAS, 0},
    {D3DRS_ANTIALIASEDLINEENABLE, FALSE},
    {D3DRS_MINTESSELLATIONLEVEL, 0x3F800000},
    {D3DRS_MAXTESSELLATIONLEVEL, 0x3F800000},
    {D3DRS_ADAPTIVETESS_X, 0},
    {D3DRS_ADAPTIVETESS_Y, 0},
    {D3DRS_ADAPTIVETESS_Z, 0x3F800000},
    {D3DRS_ADAPTIVETESS_W, 0},
    {D3DRS_ENABLEADAPTIVETESSELLATION, FALSE},
    {D3DRS_TWOSIDEDSTENCILMODE, FALSE},
    {D3DRS_CCW_STENCILFAIL, 1},
    {D3DRS_CCW_STENCILZFAIL, 1},
    {D3DRS_CCW_STENCILPASS, 1},
    {D3DRS_CCW_STENCILFUNC, D3DCMP_ALWAYS},
    {D3DRS_COLORWRITEENABLE1, 0xF},
    {D3DRS_COLORWRITEENABLE2, 0xF},
    {D3DRS_COLORWRITEENABLE3, 0xF},
    {D3DRS_BLENDFACTOR, 0xFFFFFFFF},
    {D3DRS_SRGBWRITEENABLE, FALSE},
    {D3DRS_DEPTHBIAS, 0},
    {D3DRS_WRAP8, 0},
    {D3DRS_WRAP9, 0},
    {D3DRS_WRAP10, 0},
    {D3DRS_WRAP11, 0},
    {D3DRS_WRAP12, 0},
    {D3DRS_WRAP13, 0},
    {D3DRS_WRAP14, 0},
    {D3DRS_WRAP15, 0},
    {D3DRS_SEPARATEALPHABLENDENABLE, FALSE},
    {D3DRS_SRCBLENDALPHA, D3DBLEND_ONE},
    {D3DRS_DESTBLENDALPHA, D3DBLEND_ZERO},
    {D3DRS_BLENDOPALPHA, D3DBLENDOP_ADD},
};

D3DMATRIX Identity() {
    D3DMATRIX m{};
    for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
    return m;
}

void ResetStage(std::array<DWORD, kStageStateSlots>& s, int index) {
    s.fill(0);
    s[D3DTSS_COLOROP] = index == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    s[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    s[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    s[D3DTSS_ALPHAOP] = index == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    s[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    s[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    s[D3DTSS_TEXCOORDINDEX] = static_cast<DWORD>(index);
    s[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
    s[D3DTSS_COLORARG0] = D3DTA_CURRENT;
    s[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
    s[D3DTSS_RESULTARG] = D3DTA_CURRENT;
}

void ResetSampler(std::array<DWORD, kSamplerStateSlots>& s) {
    s.fill(0);
    s[D3DSAMP_ADDRESSU] = s[D3DSAMP_ADDRESSV] = s[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    s[D3DSAMP_MAGFILTER] = s[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    s[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    s[D3DSAMP_MAXANISOTROPY] = 1;
}

}  // namespace

bool IsRenderState(DWORD state) {
    for (const RenderDefault& d : kRenderDefaults)
        if (d.state == state) return true;
    return false;
}

bool IsStageState(DWORD state) {
    return (state >= D3DTSS_COLOROP && state <= D3DTSS_TEXCOORDINDEX) || state == D3DTSS_BUMPENVLSCALE ||
           state == D3DTSS_BUMPENVLOFFSET || state == D3DTSS_TEXTURETRANSFORMFLAGS ||
           (state >= D3DTSS_COLORARG0 && state <= D3DTSS_RESULTARG) || state == D3DTSS_CONSTANT;
}

bool IsSamplerState(DWORD state) { return state >= D3DSAMP_ADDRESSU && state <= D3DSAMP_DMAPOFFSET; }

int TransformSlot(DWORD state) {
    if (state == D3DTS_WORLD) return 0;
    if (state == D3DTS_VIEW) return 1;
    if (state == D3DTS_PROJECTION) return 2;
    if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) return 3 + static_cast<int>(state - D3DTS_TEXTURE0);
    return -1;
}

void ResetDeviceState(DeviceState* state, bool zEnable, UINT width, UINT height) {
    state->render.fill(0);
    for (const RenderDefault& d : kRenderDefaults) state->render[d.state] = d.value;
    state->render[D3DRS_ZENABLE] = zEnable ? D3DZB_TRUE : D3DZB_FALSE;
    for (int i = 0; i < kStages; ++i) {
        ResetStage(state->stage[i], i);
        ResetSampler(state->sampler[i]);
    }
    state->transform.fill(Identity());
    state->viewport = D3DVIEWPORT9{0, 0, width, height, 0.0f, 1.0f};
    state->scissor = RECT{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
    state->fvf = 0;
    state->material = D3DMATERIAL9{};
    state->lights.clear();
    state->lightEnabled.clear();
    state->dirty = kDirtyAll;
}

}  // namespace d3d9
