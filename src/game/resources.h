// The game's images, sound effects and music: three global records that every
// scene uses, filled once by LoadResources after the library has started. The
// files are read from the "data" directory beside the executable.
#pragma once

#include <cstdint>
#include <string>

// ---- images ------------------------------------------------------------------------
inline constexpr int32_t kImageSlotCount = 256;
inline constexpr int32_t kImagePieces = 0;       // "data\hana.png", the board's pieces
inline constexpr int32_t kImageEffect = 2;       // "data\effect.png", effect particles
inline constexpr int32_t kImageCursor = 3;       // "data\cursor2.png", the pointer, frames, arrows
inline constexpr int32_t kImageSentaku = 4;      // "data\sentaku.png", level select and level arrows
inline constexpr int32_t kImageFigures = 5;      // "data\hito.png", 12x24 figures
inline constexpr int32_t kImageFrames = 49;      // "data\fuki.png", button frames
inline constexpr int32_t kImageFont = 50;        // "data\moji.png", the bitmap font
inline constexpr int32_t kImageVolume = 51;      // "data\volume.png", the volume sliders
inline constexpr int32_t kImageLogo = 52;        // "data\morvane.png", the maker's logo
inline constexpr int32_t kImageBackground0 = 100;  // "data\haikei00.png" to "data\haikei04.png": 100 to 104

struct ImageTable {
    std::string dir;  // prefixed to every image file name
    int32_t handle[kImageSlotCount];
    ImageTable();
};
extern ImageTable g_imageTable;

// The image handle of a slot; -1 for an empty slot or a slot outside 0..255.
int32_t ImageHandle(int32_t slot);

// ---- sound effects -------------------------------------------------------------------
inline constexpr int32_t kSoundEffectCount = 256;
inline constexpr int32_t kLoadedSoundEffects = 8;  // "data/00.wav" to "data/07.wav"
inline constexpr int32_t kSoundEffectBuffers = 3;  // one effect sounds up to three times at once

struct SoundEffectTable {
    int32_t handle[kSoundEffectCount];
    uint8_t playedThisFrame[kSoundEffectCount];
    float volume = 0.5f;  // 0.0 to 1.0, the common volume of all effects
    std::string dir;
    SoundEffectTable();
};
extern SoundEffectTable g_soundEffects;

// ---- music ---------------------------------------------------------------------------
struct MusicState {
    uint8_t ready = 0;    // 1 once the music library was made ready
    uint8_t playing = 0;  // 1 once a tune was chosen (stays 1 while the volume is 0)
    uint8_t loaded = 0;   // 1 once a tune was loaded into the music library
    char name[32] = {};   // the tune last chosen
    float volume = 0.5f;
    std::string dir;      // prefixed to every tune file name
};
extern MusicState g_music;

// ---- calls ---------------------------------------------------------------------------
// Images, then sound effects, then the music library, all from ExeDirectory.
void LoadResources();
void LoadImages();
// (Re)loads effects 0 to 7 and applies the volume.
void LoadSoundEffects();
// Starts effect n from its beginning unless it already started in this frame.
void PlaySoundEffect(int32_t n);
// Clears the played-this-frame flags (the frame loop, at the start of a frame).
void ClearPlayedSoundEffects();
// v from 0.0 to 1.0 (limited to it); each effect gets library volume trunc(v x 255).
void SetSoundEffectVolume(float v);
// Makes the music library ready; tunes are then read from dir.
void InitMusic(const char* dir);
// Switches to the tune of that name ("data/<name>.ptcop"): stops and releases
// the tune loaded before, loads the new one, and starts it unless the volume
// is 0. Always reloads, also for the tune that is playing.
void PlayMusic(const char* name);
// v from 0.0 to 1.0 (limited to it): 0 stops the tune, a rise from exactly 0
// starts it again, other changes only set the loudness.
void SetMusicVolume(float v);
// At process exit: stops the tune, releases it, and ends the music library.
void RunMusicExitStep();
