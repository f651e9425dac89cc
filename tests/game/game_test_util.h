// The game tests' world: the game's library calls recorded (and answered)
// through GameCalls, the game's records reset around every test, and its
// files in a directory of the test's own.
#pragma once

#include "file/archive_access.h"
#include "game/background.h"
#include "game/effects.h"
#include "game/game_main.h"
#include "game/library_calls.h"
#include "game/polling.h"
#include "game/resources.h"
#include "game/save_files.h"
#include "platform/seams/seams.h"
#include "../temp_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace game_test {

using Calls = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

struct DrawCall {
    int32_t x, y, sourceX, sourceY, width, height, image, mirrored;
    bool operator==(const DrawCall&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const DrawCall& d) {
    return out << "{" << d.x << "," << d.y << " from " << d.sourceX << "," << d.sourceY << " " << d.width << "x"
               << d.height << " #" << d.image << " m" << d.mirrored << "}";
}

struct World {
    Calls calls;                  // every call but DrawImageRect, as "Name(args)"
    std::vector<DrawCall> draws;  // DrawImageRect (always transparent)
    std::map<int32_t, std::pair<int32_t, int32_t>> imageSizes;  // valid images
    int32_t nextHandle = 1000;
    std::string missing;  // loads of paths ending in this fail
    int32_t mouseX = 0, mouseY = 0, mouseButtons = 0, padState = 0;
    bool escape = false;
    std::function<int()> pump;
};

inline World& TheWorld() {
    static World world;
    return world;
}

template <typename... T>
int Record(const char* name, T... args) {
    std::string s = std::string(name) + "(";
    ((s += std::to_string(args) + ","), ...);
    if (s.back() == ',') s.pop_back();
    TheWorld().calls.push_back(s + ")");
    return 0;
}

inline int32_t Load(const char* what, const char* path) {
    TheWorld().calls.push_back(std::string(what) + "(" + path + ")");
    const std::string p = path, &m = TheWorld().missing;
    if (!m.empty() && p.size() >= m.size() && p.compare(p.size() - m.size(), m.size(), m) == 0) return -1;
    TheWorld().imageSizes[TheWorld().nextHandle] = {256, 256};
    return TheWorld().nextHandle++;
}

inline GameLibraryCalls RecordingCalls() {
    GameLibraryCalls c{};
    c.pumpMessages = [] { return Record("PumpMessages"), TheWorld().pump ? TheWorld().pump() : 0; };
    c.isKeyDown = [](int32_t key) { return int32_t{key == 1 && TheWorld().escape}; };
    c.clearDrawTarget = [](const RECT*) { return Record("ClearDrawTarget"); };
    c.presentScreen = [] { return Record("PresentScreen"); };
    c.drawImageRect = [](int32_t x, int32_t y, int32_t sx, int32_t sy, int32_t w, int32_t h, int32_t image, int32_t,
                         int32_t mirrored) {
        TheWorld().draws.push_back(DrawCall{x, y, sx, sy, w, h, image, mirrored});
        return 0;
    };
    c.drawRectangle = [](int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t, int32_t filled) {
        return Record("DrawRectangle", x1, y1, x2, y2, filled);
    };
    c.setBlendMode = [](int32_t mode, int32_t parameter) { return Record("SetBlendMode", mode, parameter); };
    c.getImageSize = [](int32_t image, int32_t* w, int32_t* h) {
        auto it = TheWorld().imageSizes.find(image);
        if (it == TheWorld().imageSizes.end()) return -1;
        *w = it->second.first;
        *h = it->second.second;
        return 0;
    };
    c.loadImageFile = [](const char* path, int32_t) { return Load("LoadImageFile", path); };
    c.getMousePosition = [](int32_t* x, int32_t* y) { return *x = TheWorld().mouseX, *y = TheWorld().mouseY, 0; };
    c.getMouseButtons = [] { return TheWorld().mouseButtons; };
    c.getPadState = [](int32_t type) { return Record("GetPadState", type), TheWorld().padState; };
    c.loadSound = [](const char* path, int32_t buffers, int32_t) {
        return buffers == 3 ? Load("LoadSound", path) : -1;
    };
    c.deleteSound = [](int32_t handle, int32_t) { return Record("DeleteSound", handle); };
    c.setSoundVolume = [](int32_t volume, int32_t handle) { return Record("SetSoundVolume", volume, handle); };
    c.playSoundHandle = [](int32_t handle, int32_t type, int32_t fromStart) {
        return Record("PlaySoundHandle", handle, type, fromStart);
    };
    c.tuneReady = [](HWND, int32_t channels, int32_t rate, int32_t bits, float seconds, BOOL ds, PXTONEPLAY_CALLBACK) {
        return Record("pxtone_Ready", channels, rate, bits, seconds, ds), BOOL{1};
    };
    c.tuneLoad = [](HMODULE, const char*, const char* path) { return Load("pxtone_Tune_Load", path), BOOL{1}; };
    c.tuneSetVolume = [](float v) { return Record("pxtone_Tune_SetVolume", v), BOOL{1}; };
    c.tuneStart = [](int32_t sample, int32_t fade) { return Record("pxtone_Tune_Start", sample, fade), BOOL{1}; };
    c.tuneStop = [] { return Record("pxtone_Tune_Stop"), int32_t{0}; };
    c.tuneRelease = [] { return Record("pxtone_Tune_Release"), BOOL{1}; };
    c.musicRelease = [] { return Record("pxtone_Release"), BOOL{1}; };
    return c;
}

// The test program's directory, removed at exit; a death test's child is
// handed its parent's through this variable.
inline constexpr const char* kTestDirectoryVariable = "VELUMI_GAME_TEST_DIR";
inline const std::string& TestDirectory() {
    static const std::string directory = [] {
        if (const char* inherited = std::getenv(kTestDirectoryVariable)) return std::string(inherited);
        static const test_temp::Folder folder("velumi-game");  // outlives the string
        return folder.Path().empty() ? std::filesystem::temp_directory_path().string() : folder.Path();
    }();
    return directory;
}

inline Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
}

// Every game record back to its start-up state, the game directory `directory`.
inline void ResetGameRecords(const std::string& directory) {
    if (g_sceneManager.next != g_sceneManager.current) delete g_sceneManager.next;
    delete g_sceneManager.current;
    g_sceneManager = SceneManager{};
    DeleteBackgrounds();
    ClearEffects();
    g_config = ConfigRecord{};
    g_imageTable = ImageTable{};
    g_soundEffects = SoundEffectTable{};
    g_music = MusicState{};
    ResetPadTable();
    g_mouse = MouseState{};
    g_saveData = SaveData{};
    SetGameDirectory(directory.c_str());
    SetProgramFolderForTest(directory.c_str());  // the game's archives are read from there
    ScreenDoubled = ScreenWindowed = UseEnglish = 1;
    SetFrameLimit(0);
}

// The game's calls recorded, its records fresh, its directory empty.
class GameTest : public ::testing::Test {
protected:
    void SetUp() override {
        TheWorld() = World{};
        GameCalls() = RecordingCalls();
        directory_ = TestDirectory() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(directory_);
        std::filesystem::create_directories(directory_);
        ResetGameRecords(directory_ + "/");
    }
    void TearDown() override {
        ResetGameRecords(directory_ + "/");
        ResetGameCalls();
        seams::ClearAllCalls();
    }
    std::string Native(const std::string& relative) const { return directory_ + "/" + relative; }
    static void FakeImage(int32_t slot, int32_t width, int32_t height) {
        g_imageTable.handle[slot] = slot;
        TheWorld().imageSizes[slot] = {width, height};
    }
    static Calls CallsStartingWith(const std::string& prefix) {
        Calls out;
        for (const std::string& c : TheWorld().calls)
            if (c.rfind(prefix, 0) == 0) out.push_back(c);
        return out;
    }

    std::string directory_;
};

}  // namespace game_test
