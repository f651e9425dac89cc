// The graphics tests' world: the library started headless in a window with
// graphics alone (input and sound stood in for), the log and the test's files
// in a directory of their own, an exit that throws, and helpers to write PNG
// files and read screen and window pixels.
#pragma once

#include "core/library.h"
#include "core/library_hooks.h"
#include "core/log.h"
#include "core/memory.h"
#include "graphics/graphics.h"
#include "graphics/graphics_internal.h"
#include "platform/gdi32/gdi32.h"
#include "platform/seams/seams.h"
#include "platform/user32/user32.h"
#include "../temp_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace graphics_test {

struct ProcessExit {
    int code;
};

inline std::string& WorkDirectory() {
    static std::string directory;
    return directory;
}

// Every test program runs in a directory of its own (Log.txt and the files
// the tests write land there), removed at exit. The processes a test starts (a
// death test's fresh copy of the program among them, which ends without
// running exit handlers) make their temporary files inside it, and so their
// own directories go with it.
inline void EnterWorkDirectory() {
    if (!WorkDirectory().empty()) return;
    static test_temp::Folder folder("velumi-graphics");
    ASSERT_FALSE(folder.Path().empty());
    WorkDirectory() = folder.Path();
    setenv("TMPDIR", folder.Path().c_str(), 1);
    ASSERT_EQ(chdir(folder.Path().c_str()), 0);
    platform::SetWindowRegistryDirectory(WorkDirectory());
}

inline std::string LogText() {
    std::ifstream in("Log.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A picture of 0xAARRGGBB pixels, rows top-down.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    Picture() = default;
    Picture(int w, int h, uint32_t fill) : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill) {}
    uint32_t& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

inline void SavePng(const std::string& path, const Picture& p, bool alpha = false) {
    ASSERT_EQ(WritePngFile(path.c_str(), p.pixels.data(), p.width, p.height, alpha ? 1 : 0), 0) << path;
}

// Writes the picture as a PNG file and loads it as an image.
inline int32_t LoadPicture(const std::string& path, const Picture& p, bool alpha = false) {
    SavePng(path, p, alpha);
    return LoadImageFile(path.c_str(), 0);
}

// The raw pixel value at (x, y) of a MEMIMG (2 or 4 bytes).
inline uint32_t RawPixel(const MEMIMG& image, int x, int y) {
    const uint8_t* p = GetMemImgPixelAddress(&image, x, y);
    uint32_t v = 0;
    std::memcpy(&v, p, static_cast<size_t>(GetMemImgPixelByte(&image)));
    return GetMemImgPixelByte(&image) == 2 ? (v & 0xFFFF) : v;
}

// 0x00RRGGBB of the screen's pixel (X8R8G8B8 screens).
inline uint32_t ScreenPixel(int x, int y) { return RawPixel(Targets().screen, x, y) & 0x00FFFFFF; }

inline uint32_t ImagePixel(int32_t image, int x, int y) {
    ImageRecord* record = FindImage(image);
    EXPECT_NE(record, nullptr);
    return record == nullptr ? 0xDEADBEEF : RawPixel(record->memImg, x, y);
}

// The picture the main window shows.
inline Picture WindowPicture() {
    Picture p;
    EXPECT_TRUE(platform::ReadWindowPicture(GetMainWindow(), &p.pixels, &p.width, &p.height));
    return p;
}

struct ScreenMode {
    int32_t width = 320;
    int32_t height = 240;
    int32_t bits = 32;
    int32_t emulate = 0;
    int32_t window = 1;
};

// Graphics started in a window (the library core for real, input and sound
// stood in for), the back buffer as target, magenta transparent; every test
// ends with no memory block left behind.
class GraphicsTest : public ::testing::Test {
protected:
    void SetUp() override { Start(ScreenMode{}); }

    void TearDown() override {
        EndLibrary();
        seams::ClearAllCalls();
        seams::SetNoWait(false);
        ResetLibraryHooks();
        ResetGraphicsConfiguration();
        ResetLibraryConfiguration();
        EXPECT_EQ(AllocatedBlockCount(), blocksBefore_) << "memory blocks left behind";
    }

    // (Re)starts the library in the mode; prepare runs right before the start
    // (after the seams are cleared).
    void Start(const ScreenMode& mode, const std::function<void()>& prepare = {}) {
        EnterWorkDirectory();
        if (IsLibraryRunning()) EndLibrary();
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        seams::ClearAllCalls();
        seams::SetNoWait(true);
        ResetGraphicsConfiguration();
        ResetLibraryConfiguration();
        InstallHooks();
        blocksBefore_ = AllocatedBlockCount();
        EnableLogOutput(1);
        ChangeWindowMode(mode.window);
        SetWindowTitle(("graphics test " + std::to_string(++serial_)).c_str());
        ASSERT_EQ(SetScreenMode(mode.width, mode.height, mode.bits, 60), 0);
        ASSERT_EQ(SetEmulate320x240(mode.emulate), 0);
        if (prepare) prepare();
        ASSERT_EQ(InitLibrary(), 0);
        ASSERT_EQ(SetDrawTarget(kDrawTargetBack), 0);
        ASSERT_EQ(SetTransparentColor(255, 0, 255), 0);
    }

    // The log written since the mark.
    void MarkLog() { logMark_ = LogText().size(); }
    std::string NewLog() const {
        std::string all = LogText();
        return all.size() >= logMark_ ? all.substr(logMark_) : all;
    }

    static void InstallHooks() {
        ResetLibraryHooks();
        LibraryHooks& h = GetLibraryHooks();
        h.initializeInput = [] { return int32_t{0}; };
        h.terminateInput = [] { return int32_t{0}; };
        h.initializeSound = [] { return int32_t{-1}; };
        h.terminateSound = [] { return int32_t{0}; };
        h.releaseTemporaryPlayHandle = [] { return int32_t{0}; };
        h.refreshKeyboard = [] { return int32_t{0}; };
        h.updatePadVibration = [] { return int32_t{0}; };
        h.resetInputCooperativeLevel = [] { return int32_t{0}; };
        h.applyPadVibration = [] { return int32_t{0}; };
        h.processStreamSounds = [] { return int32_t{0}; };
        h.processSoftSoundPlayers = [] { return int32_t{0}; };
        h.checkMidiPlayState = [] { return int32_t{0}; };
        h.exitProcess = [](int code) { throw ProcessExit{code}; };
    }

    uint32_t blocksBefore_ = 0;
    size_t logMark_ = 0;
    static inline int serial_ = 0;
};

}  // namespace graphics_test
