// Helpers for the KERNEL32 stand-in tests: a fresh directory per test.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/kernel32/kernel32.h"
#include "../temp_folder.h"

class ScratchDirectory {
public:
    const std::string& Native() const { return folder_.Path(); }
    // The directory as the Windows-side calls see it: Shift-JIS, '\' separators.
    std::string Windows() const { return platform::PathFromNative(Native()); }
    std::string WindowsPath(const std::string& name) const { return Windows() + "\\" + name; }

private:
    test_temp::Folder folder_{"k32test"};
};

inline std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }
