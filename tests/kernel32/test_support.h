// Helpers for the KERNEL32 stand-in tests: a fresh directory per test.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/kernel32/kernel32.h"

class ScratchDirectory {
public:
    ScratchDirectory() {
        char pattern[] = "/tmp/k32testXXXXXX";
        char* made = mkdtemp(pattern);
        native_ = made ? std::filesystem::canonical(made).string() : std::string();
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        if (!native_.empty()) std::filesystem::remove_all(native_, ignored);
    }
    const std::string& Native() const { return native_; }
    // The directory as the Windows-side calls see it: Shift-JIS, '\' separators.
    std::string Windows() const { return platform::PathFromNative(native_); }
    std::string WindowsPath(const std::string& name) const { return Windows() + "\\" + name; }

private:
    std::string native_;
};

inline std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }
