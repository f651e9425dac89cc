#include "game/resources.h"

#include "core/library.h"
#include "core/utility.h"
#include "game/library_calls.h"
#include "game/save_files.h"

#include <algorithm>
#include <cmath>

namespace {

struct ImageFile {
    int32_t slot;
    const char* name;
};

constexpr ImageFile kImageFiles[] = {
    {kImagePieces, "data\\hana.png"},      {kImageEffect, "data\\effect.png"},
    {kImageCursor, "data\\cursor2.png"},   {kImageSentaku, "data\\sentaku.png"},
    {kImageFigures, "data\\hito.png"},     {kImageFrames, "data\\fuki.png"},
    {kImageFont, "data\\moji.png"},        {kImageVolume, "data\\volume.png"},
    {kImageLogo, "data\\morvane.png"},     {kImageBackground0, "data\\haikei00.png"},
    {kImageBackground0 + 1, "data\\haikei01.png"}, {kImageBackground0 + 2, "data\\haikei02.png"},
    {kImageBackground0 + 3, "data\\haikei03.png"}, {kImageBackground0 + 4, "data\\haikei04.png"},
};

// A volume as the game uses it: 0.0 to 1.0 (not a number gives 0).
float LimitVolume(float v) {
    if (!(v >= 0.0f)) return 0.0f;
    return std::min(v, 1.0f);
}

int32_t LibraryVolume(float v) { return static_cast<int32_t>(static_cast<double>(v) * 255.0); }

void ApplyEffectVolume() {
    const int32_t volume = LibraryVolume(g_soundEffects.volume);
    for (int32_t handle : g_soundEffects.handle)
        if (handle >= 0) GameCalls().setSoundVolume(volume, handle);
}

}  // namespace

ImageTable::ImageTable() { std::fill(std::begin(handle), std::end(handle), -1); }

SoundEffectTable::SoundEffectTable() {
    std::fill(std::begin(handle), std::end(handle), -1);
    std::fill(std::begin(playedThisFrame), std::end(playedThisFrame), uint8_t{0});
}

int32_t ImageHandle(int32_t slot) {
    if (slot < 0 || slot >= kImageSlotCount) return -1;
    return g_imageTable.handle[slot];
}

void LoadResources() {
    g_imageTable.dir = ExeDirectory;
    std::fill(std::begin(g_imageTable.handle), std::end(g_imageTable.handle), -1);
    LoadImages();
    g_soundEffects.dir = ExeDirectory;
    ClearPlayedSoundEffects();
    LoadSoundEffects();
    InitMusic(ExeDirectory.c_str());
}

void LoadImages() {
    for (const ImageFile& file : kImageFiles) {
        const std::string path = g_imageTable.dir + file.name;
        g_imageTable.handle[file.slot] = GameCalls().loadImageFile(path.c_str(), 0);
    }
}

void LoadSoundEffects() {
    for (int32_t handle : g_soundEffects.handle)
        if (handle >= 0) GameCalls().deleteSound(handle, 0);
    for (int32_t n = 0; n < kLoadedSoundEffects; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "data/%02d.wav", static_cast<int>(n));
        const std::string path = g_soundEffects.dir + name;
        g_soundEffects.handle[n] = GameCalls().loadSound(path.c_str(), kSoundEffectBuffers, -1);
    }
    ApplyEffectVolume();
}

void PlaySoundEffect(int32_t n) {
    if (n < 0 || n >= kSoundEffectCount || g_soundEffects.playedThisFrame[n] != 0) return;
    if (g_soundEffects.handle[n] >= 0) GameCalls().playSoundHandle(g_soundEffects.handle[n], 1, 1);
    g_soundEffects.playedThisFrame[n] = 1;
}

void ClearPlayedSoundEffects() {
    std::fill(std::begin(g_soundEffects.playedThisFrame), std::end(g_soundEffects.playedThisFrame), uint8_t{0});
}

void SetSoundEffectVolume(float v) {
    g_soundEffects.volume = LimitVolume(v);
    ApplyEffectVolume();
}

void InitMusic(const char* dir) {
    g_music.dir = dir == nullptr ? "" : dir;
    GameCalls().tuneReady(GetMainWindow(), 2, 44100, 16, 0.1f, 1, nullptr);
    g_music.ready = 1;
}

void PlayMusic(const char* name) {
    if (g_music.ready == 0 || name == nullptr) return;
    const std::string path = g_music.dir + "data/" + name + ".ptcop";
    const GameLibraryCalls& calls = GameCalls();
    if (g_music.playing == 1 && g_music.volume > 0.0f) calls.tuneStop();
    if (g_music.loaded == 1) calls.tuneRelease();
    calls.tuneLoad(nullptr, nullptr, path.c_str());
    g_music.loaded = 1;
    calls.tuneSetVolume(g_music.volume);
    if (g_music.volume > 0.0f) calls.tuneStart(0, 0);
    CopyText(g_music.name, sizeof g_music.name, name);
    g_music.playing = 1;
}

void SetMusicVolume(float v) {
    v = LimitVolume(v);
    const GameLibraryCalls& calls = GameCalls();
    if (g_music.loaded == 1) {
        if (v == 0.0f) {
            if (g_music.playing == 1) calls.tuneStop();
        } else {
            calls.tuneSetVolume(v);
            if (g_music.playing == 1 && g_music.volume == 0.0f) calls.tuneStart(0, 0);
        }
    }
    g_music.volume = v;
}

void RunMusicExitStep() {
    const GameLibraryCalls& calls = GameCalls();
    if (g_music.playing == 1) calls.tuneStop();
    if (g_music.loaded == 1) calls.tuneRelease();
    if (g_music.ready == 1) calls.musicRelease();
}
