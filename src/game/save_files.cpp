#include "game/save_files.h"

#include "core/utility.h"
#include "platform/kernel32/kernel32.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

uint32_t ReadU32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void WriteU32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

float ReadF32(const uint8_t* p) {
    uint32_t bits = ReadU32(p);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

void WriteF32(uint8_t* p, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    WriteU32(p, bits);
}

// The volume sliders show a volume in twelfths.
constexpr float kSliderSteps = 12.0f;

bool IsVolume(float v) { return v >= 0.0f && v <= 1.0f; }  // false for NaN

// A volume is a number from 0 to 1 (anything else takes the default); one
// that the sliders round to no step at all (a tiny or denormal number) is
// silence.
float ValidVolume(float v, float fallback) {
    if (!IsVolume(v)) return fallback;
    return std::round(v * kSliderSteps) == 0.0f ? 0.0f : v;
}

// Whether every field holds a value the settings window offers.
bool IsValidConfig(const ConfigRecord& c) {
    return c.display <= kDisplayWindow320 && c.language <= 1 && IsVolume(c.musicVolume) && IsVolume(c.effectVolume);
}

// Each field outside what the settings window offers takes its default.
void KeepValidConfig(ConfigRecord* c) {
    if (c->display > kDisplayWindow320) c->display = kDisplayWindow640;
    if (c->language > 1) c->language = 0;
    c->musicVolume = ValidVolume(c->musicVolume, kDefaultMusicVolume);
    c->effectVolume = ValidVolume(c->effectVolume, kDefaultEffectVolume);
}

void RebuildConfigPaths() {
    g_config.path = ExeDirectory + "save\\config";
    g_config.saveDir = ExeDirectory + "save";
}

void SetConfigDefaults(ConfigRecord* c) {
    c->word0 = kDefaultConfigWord0;
    c->display = kDisplayWindow640;
    c->language = 0;
    c->musicVolume = kDefaultMusicVolume;
    c->effectVolume = kDefaultEffectVolume;
}

void RememberSavePaths() {
    g_saveData.nativeDirectory = platform::PathToNative((ExeDirectory + "save").c_str());
    for (int32_t i = 0; i < kSaveSlotCount; ++i)
        g_saveData.nativeFile[i] = platform::PathToNative(SaveFilePath(i + 1).c_str());
}

void EnsureSavePaths() {
    if (g_saveData.nativeDirectory.empty()) RememberSavePaths();
}

// Says once a run that progress cannot be kept; errno holds the reason.
void ReportUnwritableSaveFolder() {
    EnsureSavePaths();
    if (g_saveData.folderFailureReported) return;
    g_saveData.folderFailureReported = true;
    std::fprintf(stderr, "velumi: cannot write the save folder %s (%s); progress is not saved\n",
                 g_saveData.nativeDirectory.c_str(), std::strerror(errno));
}

// The save directory; its failure (it exists, say) is left to the writes.
void CreateSaveDirectory() { CreateDirectoryA((ExeDirectory + "save").c_str(), nullptr); }

// Renames a damaged file (a native path) to "<file>.damaged" before it is
// replaced, and says on standard error which file went where and what takes
// its place. False when the file is there and cannot be renamed.
bool KeepDamagedFile(const std::string& file, bool* damaged, const char* kind, const char* replacement) {
    if (!*damaged) return true;
    const std::string kept = file + ".damaged";
    if (std::rename(file.c_str(), kept.c_str()) == 0) {
        std::fprintf(stderr, "velumi: the %s %s was damaged; its bytes are kept in %s and %s\n", kind, file.c_str(),
                     kept.c_str(), replacement);
    } else if (errno != ENOENT) {  // gone meanwhile: nothing to keep
        return false;
    }
    *damaged = false;
    return true;
}

// A level of 50 or more is a finished game and is kept as read (the scenes
// read it as 50); only a negative one has no meaning.
bool IsValidSlot(const SaveSlot& s) { return s.tag >= kSaveTagOldest && s.tag <= kSaveTag && s.level >= 0; }

bool WriteSaveSlotFile(int32_t index) {
    EnsureSavePaths();
    uint8_t bytes[kSaveSlotFileSize];
    WriteU32(bytes, static_cast<uint32_t>(g_saveData.slot[index].tag));
    WriteU32(bytes + 4, static_cast<uint32_t>(g_saveData.slot[index].level));
    const std::string& file = g_saveData.nativeFile[index];
    if (!KeepDamagedFile(file, &g_saveData.damaged[index], "save file", "the slot starts as a new game") ||
        !ReplaceNativeFile(file, bytes, sizeof bytes)) {
        ReportUnwritableSaveFolder();
        return false;
    }
    g_saveData.onDisk[index] = g_saveData.slot[index];
    return true;
}

}  // namespace

// ---- paths ---------------------------------------------------------------------------

std::string ExecutableDirectory() {
    char path[4096];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return std::string();
    path[length] = '\0';
    const char* backslash = FindLastCharInText(path, '\\');
    const char* slash = FindLastCharInText(path, '/');
    const char* separator = backslash;
    if (slash != nullptr && (separator == nullptr || slash > separator)) separator = slash;
    return std::string(path, separator == nullptr ? 0 : static_cast<size_t>(separator - path) + 1);
}

const char* GetExeDirectory() {
    ExeDirectory = ExecutableDirectory();
    return ExeDirectory.c_str();
}

void SetGameDirectory(const char* directory) {
    ExeDirectory = directory == nullptr ? "" : directory;
    if (!ExeDirectory.empty() && ExeDirectory.back() != '\\' && ExeDirectory.back() != '/') ExeDirectory += '\\';
    RebuildConfigPaths();
    RememberSavePaths();
}

std::FILE* OpenGameFile(const std::string& path, const char* mode) {
    return std::fopen(platform::PathToNative(path.c_str()).c_str(), mode);
}

bool ReplaceGameFile(const std::string& path, const void* bytes, size_t size) {
    return ReplaceNativeFile(platform::PathToNative(path.c_str()), bytes, size);
}

bool ReplaceNativeFile(const std::string& target, const void* bytes, size_t size) {
    const std::string temporary = target + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = std::fwrite(bytes, 1, size, file) == size;
    ok = std::fflush(file) == 0 && ok;
    ok = fsync(fileno(file)) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    if (ok) ok = std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        int error = errno;  // the reason, for the caller
        std::remove(temporary.c_str());
        errno = error;
    }
    return ok;
}

// ---- settings ---------------------------------------------------------------------

void EncodeConfig(const ConfigRecord& config, uint8_t bytes[kConfigFileSize]) {
    WriteU32(bytes, config.word0);
    WriteU32(bytes + 4, config.display);
    WriteU32(bytes + 8, config.language);
    WriteF32(bytes + 12, config.musicVolume);
    WriteF32(bytes + 16, config.effectVolume);
}

void DecodeConfig(const uint8_t* bytes, int32_t size, ConfigRecord* config) {
    if (size >= 4) config->word0 = ReadU32(bytes);
    if (size >= 8) config->display = ReadU32(bytes + 4);
    if (size >= 12) config->language = ReadU32(bytes + 8);
    if (size >= 16) config->musicVolume = ReadF32(bytes + 12);
    if (size >= 20) config->effectVolume = ReadF32(bytes + 16);
}

void LoadConfig() {
    SetConfigDefaults(&g_config);  // for every field the file does not hold
    g_config.damaged = false;
    std::FILE* file = OpenGameFile(g_config.path, "rb");
    if (file == nullptr) return;
    uint8_t bytes[kConfigFileSize];
    size_t got = std::fread(bytes, 1, sizeof bytes, file);
    std::fclose(file);
    DecodeConfig(bytes, static_cast<int32_t>(got), &g_config);
    g_config.damaged = got != sizeof bytes || !IsValidConfig(g_config);
    // The values reach the radio buttons, the sound volume (x 255), the
    // sliders (x 12) and the music library.
    KeepValidConfig(&g_config);
}

void SaveConfig() {
    CreateDirectoryA(g_config.saveDir.c_str(), nullptr);
    uint8_t bytes[kConfigFileSize];
    EncodeConfig(g_config, bytes);
    const std::string file = platform::PathToNative(g_config.path.c_str());
    if (!KeepDamagedFile(file, &g_config.damaged, "settings file",
                         "its wrong or missing values take their defaults") ||
        !ReplaceNativeFile(file, bytes, sizeof bytes))
        ReportUnwritableSaveFolder();
}

// ---- save slots ---------------------------------------------------------------------

std::string SaveFilePath(int32_t slotNumber) { return ExeDirectory + "save\\save" + std::to_string(slotNumber); }

int LoadSaves() {
    g_saveData.loaded = 1;
    RememberSavePaths();
    for (int32_t i = 0; i < kSaveSlotCount; ++i) {
        std::FILE* file = std::fopen(g_saveData.nativeFile[i].c_str(), "rb");
        if (file == nullptr) {
            g_saveData.onDisk[i] = g_saveData.slot[i];  // nothing to write until it changes
            continue;
        }
        uint8_t bytes[kSaveSlotFileSize];
        size_t got = std::fread(bytes, 1, sizeof bytes, file);
        std::fclose(file);
        SaveSlot slot;
        if (got == sizeof bytes) {
            slot.tag = static_cast<int32_t>(ReadU32(bytes));
            slot.level = static_cast<int32_t>(ReadU32(bytes + 4));
        }
        g_saveData.damaged[i] = got != sizeof bytes || !IsValidSlot(slot);
        if (g_saveData.damaged[i]) slot = SaveSlot{};
        g_saveData.slot[i] = slot;
        g_saveData.onDisk[i] = slot;
    }
    return 1;
}

int WriteSaves() {
    CreateSaveDirectory();
    for (int32_t i = 0; i < kSaveSlotCount; ++i) WriteSaveSlotFile(i);
    return 1;
}

int WriteChangedSaves() {
    SaveData& d = g_saveData;
    if (d.loaded == 0) return 0;
    if (d.writeFailed && std::equal(d.slot, d.slot + kSaveSlotCount, d.failedSlot)) return 0;
    int written = 0;
    bool tried = false, failed = false;
    for (int32_t i = 0; i < kSaveSlotCount; ++i) {
        if (d.slot[i] == d.onDisk[i]) continue;
        if (!tried) CreateSaveDirectory();
        tried = true;
        if (WriteSaveSlotFile(i))
            ++written;
        else
            failed = true;
    }
    d.writeFailed = failed;
    if (failed) std::copy(d.slot, d.slot + kSaveSlotCount, d.failedSlot);
    return written;
}

SaveSlot& CurrentSaveSlot() {
    int32_t i = g_saveData.currentSlot;
    if (i < 0 || i >= kSaveSlotCount) i = 0;
    return g_saveData.slot[i];
}
