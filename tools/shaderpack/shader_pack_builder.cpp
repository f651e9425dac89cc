// The shader pack's two shaders, written as token streams: a vertex shader
// that places the position by the projection registers and passes the
// colour on, and a pixel shader that tints the colour by the texture factor.
#include "shader_pack_builder.h"

#include "archive_writer.h"

#include <cstdio>
#include <stdexcept>

namespace {

constexpr int32_t kVertexSlots = 98304;
constexpr int32_t kPixelSlots = 41472;
constexpr uint32_t kEnd = 0x0000FFFF;

// An instruction token of version 2: its opcode and how many tokens follow.
constexpr uint32_t Op(uint32_t opcode, uint32_t length) { return opcode | length << 24; }
constexpr uint32_t kDcl = 0x1F, kMov = 0x01, kMul = 0x05, kM4x4 = 0x14;

// Register tokens: the type split over bits 28-30 and 11-12, the number in
// bits 0-10; a destination writes x, y, z, w; a source reads them in order.
constexpr uint32_t Reg(uint32_t type, uint32_t number) {
    return 0x80000000u | (type & 7) << 28 | (type >> 3) << 11 | number;
}
constexpr uint32_t Dst(uint32_t type, uint32_t number) { return Reg(type, number) | 0x000F0000u; }
constexpr uint32_t Src(uint32_t type, uint32_t number) { return Reg(type, number) | 0x00E40000u; }
constexpr uint32_t kTemp = 0, kInput = 1, kConst = 2, kRastOut = 4, kAttrOut = 5, kColorOut = 8;
// Declaration usages: position 0, colour 10.
constexpr uint32_t Usage(uint32_t usage) { return 0x80000000u | usage; }

}  // namespace

std::vector<ShaderSlot> ProgramShaderSlots() {
    // vs_2_0: dcl_position v0; dcl_color v1; m4x4 oPos, v0, c2; mov oD0, v1.
    const std::vector<uint32_t> vertex = {
        0xFFFE0200u,
        Op(kDcl, 2), Usage(0), Dst(kInput, 0),
        Op(kDcl, 2), Usage(10), Dst(kInput, 1),
        Op(kM4x4, 3), Dst(kRastOut, 0), Src(kInput, 0), Src(kConst, 2),
        Op(kMov, 2), Dst(kAttrOut, 0), Src(kInput, 1),
        kEnd};
    // ps_2_0: dcl v0; mul r0, v0, c5; mov oC0, r0.
    const std::vector<uint32_t> pixel = {
        0xFFFF0200u,
        Op(kDcl, 2), 0x80000000u, Dst(kInput, 0),
        Op(kMul, 3), Dst(kTemp, 0), Src(kInput, 0), Src(kConst, 5),
        Op(kMov, 2), Dst(kColorOut, 0), Src(kTemp, 0),
        kEnd};
    return {{true, 32774, vertex}, {false, 2454, pixel}};
}

std::vector<uint8_t> BuildShaderPack(const std::vector<ShaderSlot>& slots) {
    std::vector<std::vector<uint32_t>> vertex(kVertexSlots), pixel(kPixelSlots);
    for (const ShaderSlot& s : slots) {
        const int32_t count = s.vertex ? kVertexSlots : kPixelSlots;
        if (s.slot < 0 || s.slot >= count || s.tokens.size() * 4 > 0xFFFF) throw std::invalid_argument("bad slot");
        (s.vertex ? vertex : pixel)[s.slot] = s.tokens;
    }
    std::vector<uint8_t> pack;
    for (const auto* table : {&vertex, &pixel}) {
        for (const std::vector<uint32_t>& code : *table) {
            const auto size = static_cast<uint16_t>(code.size() * 4);
            pack.push_back(static_cast<uint8_t>(size));
            pack.push_back(static_cast<uint8_t>(size >> 8));
        }
    }
    for (const auto* table : {&vertex, &pixel}) {
        for (const std::vector<uint32_t>& code : *table) {
            for (uint32_t token : code)
                for (int b = 0; b < 4; ++b) pack.push_back(static_cast<uint8_t>(token >> (8 * b)));
        }
    }
    return pack;
}

std::vector<uint8_t> BuildShaderPackArchive(const std::vector<uint8_t>& pack, const std::string& memberName) {
    ArchiveOptions options;
    options.pack = false;  // the member is packed already
    std::vector<uint8_t> archive;
    std::string error;
    const std::vector<ArchiveInput> inputs = {{memberName, PackData(pack.data(), static_cast<uint32_t>(pack.size()))}};
    if (!BuildArchive(inputs, options, &archive, &error)) throw std::runtime_error(error);
    return PackData(archive.data(), static_cast<uint32_t>(archive.size()));
}

std::string ShaderPackSource(const std::vector<uint8_t>& archive) {
    std::string out =
        "// Made at build time by the shaderpack tool: the packed, scrambled archive\n"
        "// holding the shader pack.\n"
        "#include <cstdint>\n\n"
        "extern const uint8_t kShaderPackArchive[];\n"
        "extern const uint32_t kShaderPackArchiveSize;\n\n"
        "const uint8_t kShaderPackArchive[] = {";
    char number[16];
    for (size_t i = 0; i < archive.size(); ++i) {
        std::snprintf(number, sizeof number, "%s%u,", i % 20 == 0 ? "\n    " : "", archive[i]);
        out += number;
    }
    out += "\n};\nconst uint32_t kShaderPackArchiveSize = " + std::to_string(archive.size()) + ";\n";
    return out;
}
