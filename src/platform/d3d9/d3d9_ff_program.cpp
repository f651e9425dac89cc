#include "platform/d3d9/d3d9_ff_program.h"

#include "platform/d3d9/d3d9_gl.h"

#include <cstdio>
#include <cstring>

namespace d3d9 {
namespace {

// Operations the generator writes; the others (bump mapping, premodulate,
// unknown values) end the cascade as DISABLE does.
bool IsDrawnOp(DWORD op) {
    return op >= D3DTOP_SELECTARG1 && op <= D3DTOP_LERP && op != D3DTOP_PREMODULATE && op != D3DTOP_BUMPENVMAP &&
           op != D3DTOP_BUMPENVMAPLUMINANCE;
}

bool ReadsTexture(const StageKey& s) {
    for (int i = 0; i < 3; ++i)
        if ((s.colorArg[i] & D3DTA_SELECTMASK) == D3DTA_TEXTURE || (s.alphaArg[i] & D3DTA_SELECTMASK) == D3DTA_TEXTURE)
            return true;
    return s.colorOp == D3DTOP_BLENDTEXTUREALPHA || s.colorOp == D3DTOP_BLENDTEXTUREALPHAPM ||
           s.alphaOp == D3DTOP_BLENDTEXTUREALPHA || s.alphaOp == D3DTOP_BLENDTEXTUREALPHAPM;
}

uint8_t Arg(DWORD value) { return static_cast<uint8_t>(value & 0x3F); }

StageKey MakeStage(const std::array<DWORD, kStageStateSlots>& s, int texCoordCount, bool textureBound) {
    StageKey k;
    k.colorOp = static_cast<uint8_t>(s[D3DTSS_COLOROP]);
    k.colorArg[0] = Arg(s[D3DTSS_COLORARG0]);
    k.colorArg[1] = Arg(s[D3DTSS_COLORARG1]);
    k.colorArg[2] = Arg(s[D3DTSS_COLORARG2]);
    DWORD alphaOp = s[D3DTSS_ALPHAOP];
    k.alphaOp = IsDrawnOp(alphaOp) ? static_cast<uint8_t>(alphaOp) : 0;
    k.alphaArg[0] = Arg(s[D3DTSS_ALPHAARG0]);
    k.alphaArg[1] = Arg(s[D3DTSS_ALPHAARG1]);
    k.alphaArg[2] = Arg(s[D3DTSS_ALPHAARG2]);
    k.resultTemp = (s[D3DTSS_RESULTARG] & D3DTA_SELECTMASK) == D3DTA_TEMP ? 1 : 0;
    DWORD set = s[D3DTSS_TEXCOORDINDEX] & 0xFFFF;
    if (ReadsTexture(k)) {
        k.texture = textureBound ? 1 : 0;
        k.texCoord = set < static_cast<DWORD>(texCoordCount) ? static_cast<uint8_t>(set) : kNoTexCoord;
    }
    return k;
}

// ---- source writing -----------------------------------------------------------
std::string Source(uint8_t arg, int stage) {
    switch (arg & D3DTA_SELECTMASK) {
        case D3DTA_CURRENT: return stage == 0 ? "vDiffuse" : "c";
        case D3DTA_TEXTURE: return "t";
        case D3DTA_TFACTOR: return "uTFactor";
        case D3DTA_SPECULAR: return "vSpecular";
        case D3DTA_TEMP: return "temp";
        case D3DTA_CONSTANT: return "vec4(1.0)";
        default: return "vDiffuse";
    }
}

// The argument as a vec4 with its modifiers applied.
std::string Full(uint8_t arg, int stage) {
    std::string v = Source(arg, stage);
    if (arg & D3DTA_ALPHAREPLICATE) v = "vec4(" + v + ".a)";
    if (arg & D3DTA_COMPLEMENT) v = "(vec4(1.0) - " + v + ")";
    return v;
}

// One operation on arguments a0, a1, a2 of the swizzle (".rgb" or ".a").
std::string Operation(uint8_t op, const uint8_t args[3], int stage, const char* sw) {
    std::string a0 = Full(args[0], stage) + sw, a1 = Full(args[1], stage) + sw, a2 = Full(args[2], stage) + sw;
    std::string one = std::strcmp(sw, ".a") == 0 ? "1.0" : "vec3(1.0)";
    std::string alpha1 = Full(args[1], stage) + ".a";
    auto sat = [](const std::string& e) { return "clamp(" + e + ", 0.0, 1.0)"; };
    switch (op) {
        case D3DTOP_SELECTARG1: return a1;
        case D3DTOP_SELECTARG2: return a2;
        case D3DTOP_MODULATE: return a1 + " * " + a2;
        case D3DTOP_MODULATE2X: return sat(a1 + " * " + a2 + " * 2.0");
        case D3DTOP_MODULATE4X: return sat(a1 + " * " + a2 + " * 4.0");
        case D3DTOP_ADD: return sat(a1 + " + " + a2);
        case D3DTOP_ADDSIGNED: return sat(a1 + " + " + a2 + " - 0.5");
        case D3DTOP_ADDSIGNED2X: return sat("(" + a1 + " + " + a2 + " - 0.5) * 2.0");
        case D3DTOP_SUBTRACT: return sat(a1 + " - " + a2);
        case D3DTOP_ADDSMOOTH: return sat(a1 + " + " + a2 + " - " + a1 + " * " + a2);
        case D3DTOP_BLENDDIFFUSEALPHA: return "mix(" + a2 + ", " + a1 + ", vDiffuse.a)";
        case D3DTOP_BLENDTEXTUREALPHA: return "mix(" + a2 + ", " + a1 + ", t.a)";
        case D3DTOP_BLENDFACTORALPHA: return "mix(" + a2 + ", " + a1 + ", uTFactor.a)";
        case D3DTOP_BLENDTEXTUREALPHAPM: return sat(a1 + " + " + a2 + " * (1.0 - t.a)");
        case D3DTOP_BLENDCURRENTALPHA: return "mix(" + a2 + ", " + a1 + ", " + (stage == 0 ? "vDiffuse" : "c") + ".a)";
        case D3DTOP_MULTIPLYADD: return sat(a0 + " + " + a1 + " * " + a2);
        case D3DTOP_LERP: return "mix(" + a2 + ", " + a1 + ", " + a0 + ")";
        default: break;
    }
    if (std::strcmp(sw, ".a") == 0) return a1;  // the colour-only operations select ARG1 for alpha
    switch (op) {
        case D3DTOP_MODULATEALPHA_ADDCOLOR: return sat(a1 + " + " + alpha1 + " * " + a2);
        case D3DTOP_MODULATECOLOR_ADDALPHA: return sat(a1 + " * " + a2 + " + " + alpha1);
        case D3DTOP_MODULATEINVALPHA_ADDCOLOR: return sat("(1.0 - " + alpha1 + ") * " + a2 + " + " + a1);
        case D3DTOP_MODULATEINVCOLOR_ADDALPHA: return sat("(" + one + " - " + a1 + ") * " + a2 + " + " + alpha1);
        case D3DTOP_DOTPRODUCT3:
            return "vec3(clamp(4.0 * dot(" + a1 + " - 0.5, " + a2 + " - 0.5), 0.0, 1.0))";
        default: return a1;
    }
}

void WriteStage(std::string& out, const StageKey& s, int index) {
    char head[160];
    std::snprintf(head, sizeof head, "    // stage %d\n    {\n        vec4 c = %s;\n", index,
                  index == 0 ? "vDiffuse" : "current");
    out += head;
    if (!ReadsTexture(s))
        out += "        vec4 t = vec4(0.0, 0.0, 0.0, 1.0);\n";
    else if (s.texture == 0)
        out += "        vec4 t = vec4(0.0, 0.0, 0.0, 1.0);  // no texture bound\n";
    else if (s.texCoord == kNoTexCoord)
        out += "        vec4 t = texture(uTex" + std::to_string(index) + ", vec2(0.0));\n";
    else
        out += "        vec4 t = texture(uTex" + std::to_string(index) + ", vTex" + std::to_string(s.texCoord) +
               ".xy);\n";
    out += "        vec3 rgb = " + Operation(s.colorOp, s.colorArg, index, ".rgb") + ";\n";
    if (s.colorOp == D3DTOP_DOTPRODUCT3)
        out += "        float a = rgb.r;\n";
    else if (s.alphaOp == 0)
        out += "        float a = c.a;\n";
    else
        out += "        float a = " + Operation(s.alphaOp, s.alphaArg, index, ".a") + ";\n";
    out += s.resultTemp ? "        temp = vec4(rgb, a);\n    }\n" : "        current = vec4(rgb, a);\n    }\n";
}

const char* AlphaCompare(uint8_t func) {
    switch (func) {
        case D3DCMP_NEVER: return "false";
        case D3DCMP_LESS: return "a < uAlphaRef";
        case D3DCMP_EQUAL: return "a == uAlphaRef";
        case D3DCMP_LESSEQUAL: return "a <= uAlphaRef";
        case D3DCMP_GREATER: return "a > uAlphaRef";
        case D3DCMP_NOTEQUAL: return "a != uAlphaRef";
        case D3DCMP_GREATEREQUAL: return "a >= uAlphaRef";
        default: return "true";
    }
}

std::string Varyings(const FixedFunctionKey& key, const char* direction) {
    std::string qualifier = key.flat ? "flat " : "";
    std::string out = qualifier + direction + " vec4 vDiffuse;\n" + qualifier + direction + " vec4 vSpecular;\n";
    for (int i = 0; i < key.texCoordCount; ++i) out += std::string(direction) + " vec4 vTex" + std::to_string(i) + ";\n";
    return out;
}

}  // namespace

bool FixedFunctionKey::operator==(const FixedFunctionKey& other) const {
    return std::memcmp(this, &other, sizeof *this) == 0;
}

size_t FixedFunctionKeyHash::operator()(const FixedFunctionKey& key) const {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&key);
    size_t h = 1469598103934665603ull;
    for (size_t i = 0; i < sizeof key; ++i) h = (h ^ bytes[i]) * 1099511628211ull;
    return h;
}

FixedFunctionKey MakeFixedFunctionKey(const DeviceState& state, DWORD fvf, const bool textureBound[kStages]) {
    static_assert(sizeof(FixedFunctionKey) == 6 + 8 + kStages * sizeof(StageKey), "the key has no padding");
    FixedFunctionKey key;
    key.diffuse = (fvf & D3DFVF_DIFFUSE) ? 1 : 0;
    key.specular = (fvf & D3DFVF_SPECULAR) ? 1 : 0;
    int count = static_cast<int>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    key.texCoordCount = static_cast<uint8_t>(count > 8 ? 8 : count);
    for (int i = 0; i < key.texCoordCount; ++i) {
        static constexpr uint8_t kSizes[4] = {2, 3, 4, 1};
        key.texCoordSize[i] = kSizes[(fvf >> (16 + 2 * i)) & 3];
    }
    key.flat = state.render[D3DRS_SHADEMODE] == D3DSHADE_FLAT ? 1 : 0;
    key.specularEnable = state.render[D3DRS_SPECULARENABLE] ? 1 : 0;
    DWORD func = state.render[D3DRS_ALPHAFUNC];
    if (state.render[D3DRS_ALPHATESTENABLE] && func >= D3DCMP_NEVER && func < D3DCMP_ALWAYS)
        key.alphaFunc = static_cast<uint8_t>(func);
    for (int i = 0; i < kStages; ++i) {
        if (!IsDrawnOp(state.stage[i][D3DTSS_COLOROP])) break;
        key.stages[i] = MakeStage(state.stage[i], key.texCoordCount, textureBound[i]);
    }
    return key;
}

std::string VertexProgramSource(const FixedFunctionKey& key) {
    std::string out =
        "#version 330 core\n"
        "layout(location = 0) in vec4 aPos;\n"
        "layout(location = 1) in vec4 aDiffuse;\n"
        "layout(location = 2) in vec4 aSpecular;\n";
    for (int i = 0; i < key.texCoordCount; ++i)
        out += "layout(location = " + std::to_string(3 + i) + ") in vec4 aTex" + std::to_string(i) + ";\n";
    out += "uniform vec2 uPixelShift;\nuniform vec4 uToNdc;\n" + Varyings(key, "out");
    // Pixel centres sit on whole coordinates: gl::kScreenToNdc moves them by
    // exactly half a pixel onto GL's, and a centre on an edge goes by the
    // top-left rule (d3d9_gl_raster.cpp). rhw gives w for perspective-correct
    // attributes.
    out += std::string("void main() {\n"
                       "    float w = aPos.w > 0.0 ? 1.0 / aPos.w : 1.0;\n"
                       "    vec2 ndc = ") +
           gl::kScreenToNdc +
           ";\n"
           "    gl_Position = vec4(ndc, aPos.z * 2.0 - 1.0, 1.0) * w;\n";
    out += key.diffuse ? "    vDiffuse = aDiffuse;\n" : "    vDiffuse = vec4(1.0);\n";
    out += key.specular ? "    vSpecular = aSpecular;\n" : "    vSpecular = vec4(0.0);\n";
    for (int i = 0; i < key.texCoordCount; ++i) out += "    vTex" + std::to_string(i) + " = aTex" + std::to_string(i) + ";\n";
    out += "}\n";
    return out;
}

std::string FragmentProgramSource(const FixedFunctionKey& key) {
    std::string out = "#version 330 core\n" + Varyings(key, "in");
    for (int i = 0; i < kStages; ++i)
        if (key.stages[i].texture) out += "uniform sampler2D uTex" + std::to_string(i) + ";\n";
    out +=
        "uniform vec4 uTFactor;\n"
        "uniform float uAlphaRef;\n"
        "out vec4 fragColor;\n"
        "void main() {\n"
        "    vec4 current = vDiffuse;\n"
        "    vec4 temp = vec4(0.0);\n";
    for (int i = 0; i < kStages && key.stages[i].colorOp != 0; ++i) WriteStage(out, key.stages[i], i);
    if (key.specularEnable) out += "    current.rgb = min(current.rgb + vSpecular.rgb, vec3(1.0));\n";
    if (key.alphaFunc != 0) {
        out += "    float a = floor(current.a * 255.0 + 0.5);\n";
        out += std::string("    if (!(") + AlphaCompare(key.alphaFunc) + ")) discard;\n";
    }
    out += "    fragColor = current;\n}\n";
    return out;
}

uint32_t ProgramCache::Find(const FixedFunctionKey& key) {
    auto found = programs_.find(key);
    if (found != programs_.end()) return found->second;
    std::string log;
    uint32_t program = gl::LinkProgram(VertexProgramSource(key), FragmentProgramSource(key), &log);
    if (program == 0) std::fprintf(stderr, "d3d9: a fixed-function program did not link: %s\n", log.c_str());
    programs_.emplace(key, program);
    return program;
}

void ProgramCache::Clear() {
    for (auto& entry : programs_) gl::DeleteProgram(entry.second);
    programs_.clear();
}

}  // namespace d3d9
