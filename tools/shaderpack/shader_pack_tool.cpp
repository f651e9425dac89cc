// shaderpack source FILE: writes the C++ source of the shader pack archive
// that is built into the library. The file is replaced whole or left as it was.
#include "shader_pack_builder.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "source") != 0) {
        std::fprintf(stderr, "usage: shaderpack source FILE\n");
        return 2;
    }
    try {
        const std::string source = ShaderPackSource(BuildShaderPackArchive(BuildShaderPack(ProgramShaderSlots())));
        const std::string temporary = std::string(argv[2]) + ".part";
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << source;
        out.close();
        if (!out || std::rename(temporary.c_str(), argv[2]) != 0) {
            std::remove(temporary.c_str());
            std::fprintf(stderr, "shaderpack: cannot write %s\n", argv[2]);
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "shaderpack: %s\n", e.what());
        return 1;
    }
    return 0;
}
