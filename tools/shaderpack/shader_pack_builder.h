// Making the shader pack: the unpacked "ShaderPack.bin" (two tables of 16-bit
// slot sizes, 98,304 vertex and 41,472 pixel slots, then each slot's code
// back to back), and the packed, scrambled archive image that carries it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The code of one slot, as 32-bit tokens.
struct ShaderSlot {
    bool vertex;
    int32_t slot;
    std::vector<uint32_t> tokens;
};

// The slots this program fills: the vertex shader (version 2.0) and the pixel
// shader (version 2.0) made at every device start.
std::vector<ShaderSlot> ProgramShaderSlots();

// The unpacked pack of the slots (later ones win for the same slot).
std::vector<uint8_t> BuildShaderPack(const std::vector<ShaderSlot>& slots);

// The packed archive image holding member as "ShaderPack.bin", packed: the
// archive scrambled with the built-in key, then packed whole. memberName
// names the member otherwise (for tests).
std::vector<uint8_t> BuildShaderPackArchive(const std::vector<uint8_t>& pack,
                                            const std::string& memberName = "ShaderPack.bin");

// A C++ source defining kShaderPackArchive and kShaderPackArchiveSize.
std::string ShaderPackSource(const std::vector<uint8_t>& archive);
