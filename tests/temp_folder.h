// The tests' temporary folders. Each is made under the temporary directory
// ($TMPDIR, else /tmp), where scripts/test looks for anything a test left
// behind, and a guard removes it with all it holds whichever way its test
// ends (an assertion failing included).
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace test_temp {

// A new empty folder named PREFIX-XXXXXX under the temporary directory, as a
// path without symbolic links; empty when none could be made.
inline std::string MakeFolder(const std::string& prefix) {
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) return "";
    std::string pattern = (base / (prefix + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) return "";
    const std::filesystem::path made = std::filesystem::canonical(pattern, error);
    return error ? pattern : made.string();
}

// A temporary folder removed with its contents when the guard goes.
class Folder {
public:
    explicit Folder(const std::string& prefix) : path_(MakeFolder(prefix)) {}
    ~Folder() { Remove(); }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    const std::string& Path() const { return path_; }
    void Remove() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
        path_.clear();
    }

private:
    std::string path_;
};

}  // namespace test_temp
