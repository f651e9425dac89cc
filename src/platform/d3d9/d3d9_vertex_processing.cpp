#include "platform/d3d9/d3d9_vertex_processing.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace d3d9 {
namespace {

struct Vec4 {
    float x, y, z, w;
};

Vec4 Mul(const Vec4& v, const D3DMATRIX& m) {  // row vector times matrix
    return Vec4{v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + v.w * m.m[3][0],
                v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + v.w * m.m[3][1],
                v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + v.w * m.m[3][2],
                v.x * m.m[0][3] + v.y * m.m[1][3] + v.z * m.m[2][3] + v.w * m.m[3][3]};
}

D3DMATRIX Mul(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
    return r;
}

float Dot3(const Vec4& a, const Vec4& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Vec4 Normalized(const Vec4& v) {
    float length = std::sqrt(Dot3(v, v));
    return length > 0 ? Vec4{v.x / length, v.y / length, v.z / length, 0} : Vec4{0, 0, 0, 0};
}

D3DCOLORVALUE FromColor(DWORD c) {
    return D3DCOLORVALUE{((c >> 16) & 255) / 255.0f, ((c >> 8) & 255) / 255.0f, (c & 255) / 255.0f,
                         ((c >> 24) & 255) / 255.0f};
}

DWORD ToColor(const D3DCOLORVALUE& c) {
    auto ch = [](float v) { return static_cast<DWORD>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
    return ch(c.a) << 24 | ch(c.r) << 16 | ch(c.g) << 8 | ch(c.b);
}

// A material colour from its source: the material, or a vertex colour when
// the vertex has it and D3DRS_COLORVERTEX is on.
D3DCOLORVALUE Source(const DeviceState& s, DWORD sourceState, const D3DCOLORVALUE& material, const DWORD* diffuse,
                     const DWORD* specular) {
    if (!s.render[D3DRS_COLORVERTEX]) return material;
    DWORD source = s.render[sourceState];
    if (source == D3DMCS_COLOR1 && diffuse != nullptr) return FromColor(*diffuse);
    if (source == D3DMCS_COLOR2 && specular != nullptr) return FromColor(*specular);
    return material;
}

D3DCOLORVALUE Light(const DeviceState& s, const Vec4& position, const Vec4& normal, const DWORD* diffuse,
                    const DWORD* specular) {
    const D3DMATERIAL9& m = s.material;
    D3DCOLORVALUE md = Source(s, D3DRS_DIFFUSEMATERIALSOURCE, m.Diffuse, diffuse, specular);
    D3DCOLORVALUE ma = Source(s, D3DRS_AMBIENTMATERIALSOURCE, m.Ambient, diffuse, specular);
    D3DCOLORVALUE me = Source(s, D3DRS_EMISSIVEMATERIALSOURCE, m.Emissive, diffuse, specular);
    D3DCOLORVALUE global = FromColor(s.render[D3DRS_AMBIENT]);
    D3DCOLORVALUE out{me.r + global.r * ma.r, me.g + global.g * ma.g, me.b + global.b * ma.b, md.a};
    const D3DMATRIX& view = s.transform[1];
    for (const auto& [index, enabled] : s.lightEnabled) {
        auto found = s.lights.find(index);
        if (!enabled || found == s.lights.end()) continue;
        const D3DLIGHT9& l = found->second;
        Vec4 toLight;
        float attenuation = 1.0f;
        if (l.Type == D3DLIGHT_DIRECTIONAL) {
            Vec4 d = Mul(Vec4{l.Direction.x, l.Direction.y, l.Direction.z, 0}, view);
            toLight = Normalized(Vec4{-d.x, -d.y, -d.z, 0});
        } else {  // point (a spot light lights as a point light)
            Vec4 p = Mul(Vec4{l.Position.x, l.Position.y, l.Position.z, 1}, view);
            Vec4 d{p.x - position.x, p.y - position.y, p.z - position.z, 0};
            float distance = std::sqrt(Dot3(d, d));
            if (distance > l.Range) continue;
            float denominator = l.Attenuation0 + l.Attenuation1 * distance + l.Attenuation2 * distance * distance;
            attenuation = denominator > 0 ? 1.0f / denominator : 1.0f;
            toLight = Normalized(d);
        }
        float lambert = std::max(0.0f, Dot3(normal, toLight));
        out.r += attenuation * (l.Ambient.r * ma.r + lambert * l.Diffuse.r * md.r);
        out.g += attenuation * (l.Ambient.g * ma.g + lambert * l.Diffuse.g * md.g);
        out.b += attenuation * (l.Ambient.b * ma.b + lambert * l.Diffuse.b * md.b);
    }
    return out;
}

UINT TexBytes(DWORD fvf) {
    UINT bytes = 0, sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    for (UINT i = 0; i < sets && i < 8; ++i) {
        static constexpr UINT kFloats[4] = {2, 3, 4, 1};
        bytes += kFloats[(fvf >> (16 + 2 * i)) & 3] * 4;
    }
    return bytes;
}

}  // namespace

bool IsUntransformedFvf(DWORD fvf, UINT* size) {
    if ((fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZ || (fvf & D3DFVF_PSIZE) ||
        ((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT) > 8)
        return false;
    *size = 12 + ((fvf & D3DFVF_NORMAL) ? 12 : 0) + ((fvf & D3DFVF_DIFFUSE) ? 4 : 0) +
            ((fvf & D3DFVF_SPECULAR) ? 4 : 0) + TexBytes(fvf);
    return true;
}

void ProcessVertices(const DeviceState& s, DWORD fvf, const uint8_t* vertices, UINT count, UINT stride,
                     ProcessedVertices* out) {
    const UINT tex = TexBytes(fvf);
    const bool hasSpecular = (fvf & D3DFVF_SPECULAR) != 0;
    out->fvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | (fvf & (D3DFVF_SPECULAR | D3DFVF_TEXCOUNT_MASK | 0xFFFF0000u));
    out->stride = 20 + (hasSpecular ? 4 : 0) + tex;
    out->bytes.assign(static_cast<size_t>(count) * out->stride, 0);
    out->behind.assign(count, false);
    const D3DMATRIX worldView = Mul(s.transform[0], s.transform[1]);
    const D3DMATRIX all = Mul(worldView, s.transform[2]);
    const D3DVIEWPORT9& vp = s.viewport;
    const bool lighting = s.render[D3DRS_LIGHTING] != FALSE;
    for (UINT i = 0; i < count; ++i) {
        const uint8_t* in = vertices + static_cast<size_t>(i) * stride;
        uint8_t* o = out->bytes.data() + static_cast<size_t>(i) * out->stride;
        float p[3], n[3] = {0, 0, 0};
        std::memcpy(p, in, 12);
        UINT at = 12;
        if (fvf & D3DFVF_NORMAL) std::memcpy(n, in + at, 12), at += 12;
        DWORD diffuse = 0xFFFFFFFF, specular = 0;
        const DWORD* hasDiffuse = nullptr;
        if (fvf & D3DFVF_DIFFUSE) std::memcpy(&diffuse, in + at, 4), at += 4, hasDiffuse = &diffuse;
        if (hasSpecular) std::memcpy(&specular, in + at, 4), at += 4;
        Vec4 clip = Mul(Vec4{p[0], p[1], p[2], 1}, all);
        out->behind[i] = !(clip.w > 0);
        float rhw = clip.w > 0 ? 1.0f / clip.w : 0.0f;
        float screen[4] = {vp.X + (clip.x * rhw + 1) * vp.Width * 0.5f, vp.Y + (1 - clip.y * rhw) * vp.Height * 0.5f,
                           vp.MinZ + clip.z * rhw * (vp.MaxZ - vp.MinZ), rhw};
        std::memcpy(o, screen, 16);
        if (lighting) {
            Vec4 eye = Mul(Vec4{p[0], p[1], p[2], 1}, worldView);
            Vec4 normal = Mul(Vec4{n[0], n[1], n[2], 0}, worldView);
            if (s.render[D3DRS_NORMALIZENORMALS]) normal = Normalized(normal);
            diffuse = ToColor(Light(s, eye, normal, hasDiffuse, hasSpecular ? &specular : nullptr));
        }
        std::memcpy(o + 16, &diffuse, 4);
        if (hasSpecular) std::memcpy(o + 20, &specular, 4);
        std::memcpy(o + 20 + (hasSpecular ? 4 : 0), in + at, tex);
    }
}

std::vector<uint32_t> ListWithout(D3DPRIMITIVETYPE type, const std::vector<uint32_t>& order,
                                  const std::vector<bool>& behind, D3DPRIMITIVETYPE* listType) {
    std::vector<uint32_t> list;
    auto keep = [&](std::initializer_list<uint32_t> primitive) {
        for (uint32_t v : primitive)
            if (v >= behind.size() || behind[v]) return;
        list.insert(list.end(), primitive);
    };
    const size_t n = order.size();
    *listType = type == D3DPT_POINTLIST ? D3DPT_POINTLIST
                : type == D3DPT_LINELIST || type == D3DPT_LINESTRIP ? D3DPT_LINELIST
                                                                    : D3DPT_TRIANGLELIST;
    for (size_t i = 0; i < n; ++i) {
        switch (type) {
            case D3DPT_POINTLIST: keep({order[i]}); break;
            case D3DPT_LINELIST: if (i % 2 == 0 && i + 1 < n) keep({order[i], order[i + 1]}); break;
            case D3DPT_LINESTRIP: if (i + 1 < n) keep({order[i], order[i + 1]}); break;
            case D3DPT_TRIANGLELIST: if (i % 3 == 0 && i + 2 < n) keep({order[i], order[i + 1], order[i + 2]}); break;
            case D3DPT_TRIANGLESTRIP:
                if (i + 2 < n) {
                    if (i % 2 == 0) keep({order[i], order[i + 1], order[i + 2]});
                    else keep({order[i], order[i + 2], order[i + 1]});
                }
                break;
            case D3DPT_TRIANGLEFAN: if (i >= 1 && i + 1 < n) keep({order[0], order[i], order[i + 1]}); break;
            default: break;
        }
    }
    return list;
}

}  // namespace d3d9
