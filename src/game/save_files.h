// The game's own files in the "save" directory beside the executable: the
// settings file "save\config" (display, language, the two volumes) and one
// save file per save slot, "save\save1" to "save\save3". They are read and
// written with the run-time's buffered file calls in binary mode, and every
// file is replaced whole: written beside under a temporary name, then renamed
// over the old one, so that an interrupted write leaves the previous file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The directory of the running executable, ending in a separator ('\' as
// GetModuleFileNameA gives paths); every game path is this followed by a
// relative name. Unlimited in length.
extern std::string ExeDirectory;

// Fills ExeDirectory from the executable's path and returns it.
const char* GetExeDirectory();
// The executable's directory ("" when it cannot be found: paths are then
// relative to the current directory).
std::string ExecutableDirectory();
// Points every game path at another directory (a separator is added when it
// has none) and rebuilds the settings paths; used by tests and tools.
void SetGameDirectory(const char* directory);

// ---- settings -----------------------------------------------------------------
inline constexpr uint32_t kDefaultConfigWord0 = 1000;
inline constexpr float kDefaultMusicVolume = 5.0f / 12.0f;  // 0.41666666, bytes 55 55 D5 3E
inline constexpr float kDefaultEffectVolume = 0.5f;
inline constexpr int32_t kConfigFileSize = 20;

enum DisplayChoice : uint32_t {
    kDisplayWindow640 = 0,      // 640x480 window, picture doubled
    kDisplayFullScreen640 = 1,  // 640x480 full screen, picture doubled
    kDisplayWindow320 = 2,      // 320x240 window
};

struct ConfigRecord {
    uint32_t word0 = 0;  // read and written back, never used otherwise
    uint32_t display = 0;
    uint32_t language = 0;  // 0 Japanese, 1 English
    float musicVolume = 0.0f;
    float effectVolume = 0.0f;
    std::string path;     // ExeDirectory + "save\config"
    std::string saveDir;  // ExeDirectory + "save"
    // The file last read was damaged (short, or a value the settings window
    // does not offer): it is kept aside as "config.damaged" before it is
    // replaced.
    bool damaged = false;
};
extern ConfigRecord g_config;

// Reads "save\config". Every field the file does not hold (all of them when
// it is missing, the last ones when it is short) takes its default (1000,
// 640x480 window, Japanese, music 5/12, effects 0.5), and so does every value
// outside what the settings window offers: a display or language outside its
// choices, a volume that is not a number from 0 to 1. A volume below half a
// step of the sliders (twelfths) is 0. The first word is kept as read. A
// file that is short or holds such a value is damaged.
void LoadConfig();
// Creates the save directory when needed and replaces "save\config" with the
// five fields (20 bytes, little-endian). A damaged file is first renamed to
// "config.damaged" (replacing an older one), which is said on standard error;
// when that fails the file is not written. A failure is said on standard
// error once a run, as for the save files.
void SaveConfig();
// The 20 bytes of the settings file for the record, and the record's fields
// from such bytes (the first `size` bytes, whole fields only).
void EncodeConfig(const ConfigRecord& config, uint8_t bytes[kConfigFileSize]);
void DecodeConfig(const uint8_t* bytes, int32_t size, ConfigRecord* config);

// ---- save slots -----------------------------------------------------------------
inline constexpr int32_t kSaveSlotCount = 3;
inline constexpr int32_t kSaveTag = 930;
inline constexpr int32_t kSaveTagOldest = 910;
inline constexpr int32_t kSaveLevelComplete = 50;  // level 50: every level cleared
inline constexpr int32_t kSaveSlotFileSize = 8;

struct SaveSlot {
    int32_t tag = kSaveTag;  // valid from 910 to 930
    int32_t level = 0;       // 0 new game, 1 to 49 the level reached, 50 or more all cleared
    bool operator==(const SaveSlot&) const = default;
};

struct SaveData {
    SaveSlot slot[kSaveSlotCount];
    int32_t currentSlot = 0;  // the slot being played (0 to 2), set by the title scene
    uint8_t loaded = 0;       // 1 once LoadSaves ran: the files are kept up to date from then on
    SaveSlot onDisk[kSaveSlotCount];  // what each slot's file holds, as far as the game knows
    // The save directory and files as native paths, worked out when the saves
    // are read: the exit step writes them without converting paths (the
    // converter may already be gone while the program's statics are torn down).
    std::string nativeDirectory;
    std::string nativeFile[kSaveSlotCount];
    // A slot whose file was damaged when read: the file is kept aside as
    // "save<n>.damaged" before the slot is first written.
    bool damaged[kSaveSlotCount] = {};
    // Set once a failure to write the save folder was said on standard error.
    bool folderFailureReported = false;
    // The slots as they stood when a write of the changed ones last failed:
    // while they stay so, the frames do not try again.
    bool writeFailed = false;
    SaveSlot failedSlot[kSaveSlotCount];
};
extern SaveData g_saveData;

// "<ExeDirectory>save\save<n>" for slot number n (1 to 3).
std::string SaveFilePath(int32_t slotNumber);
// Reads the three save files (once per run, by the boot scene); returns 1. A
// missing file leaves its slot as it is; a short file, a tag outside 910 to
// 930 or a negative level is damaged and gives an empty slot {930, 0}. A
// level above 50 (a finished game) is kept as read.
int LoadSaves();
// Writes the three save files as the slots stand; returns 1. A damaged file
// is first renamed to "<file>.damaged" (replacing an older one), which is
// said on standard error; when that fails the slot is not written. When the save folder cannot be made or
// written, the first failure of the run is said on standard error and the
// game goes on.
int WriteSaves();
// Writes the file of every slot that changed since it was read or last
// written (the frame loop calls it every frame once the saves are loaded), so
// that progress is on disk as soon as it is reached. The number written.
// After a failed write nothing is tried again until a slot changes again.
int WriteChangedSaves();
// The slot being played (g_saveData.currentSlot, limited to 0..2).
SaveSlot& CurrentSaveSlot();

// ---- file helpers ------------------------------------------------------------------
// Replaces the file at path (a game path: '\' separators, Shift-JIS) with the
// bytes: written to "<path>.tmp", flushed to disk, then renamed over it. On
// any failure the old file stays and the temporary one is removed; false.
bool ReplaceGameFile(const std::string& path, const void* bytes, size_t size);
// The same for a native path ('/' separators, UTF-8).
bool ReplaceNativeFile(const std::string& nativePath, const void* bytes, size_t size);
// fopen of a game path.
std::FILE* OpenGameFile(const std::string& path, const char* mode);
