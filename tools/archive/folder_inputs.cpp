// Reading a native folder into archive inputs, for the packer and the tests:
// paths in Shift-JIS with '\' separators, as the library names them.
#include "archive_writer.h"

#include "platform/kernel32/kernel32.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

bool ReadFolderInputs(const std::string& folder, std::vector<ArchiveInput>* inputs, std::string* error) {
    namespace fs = std::filesystem;
    std::error_code code;
    std::vector<fs::path> files;
    for (fs::recursive_directory_iterator it(folder, code), end; !code && it != end; it.increment(code))
        if (it->is_regular_file()) files.push_back(it->path());
    if (code) return *error = "cannot read " + folder + ": " + code.message(), false;
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad()) return *error = "cannot read " + file.string(), false;
        const std::string relative = fs::relative(file, folder).generic_string();
        inputs->push_back(ArchiveInput{platform::PathFromNative(relative), std::move(bytes)});
    }
    return true;
}
