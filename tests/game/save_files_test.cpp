// The settings and save files: byte layouts read and written, defaults for
// missing, short or corrupt files, whole-file replacement, long paths, and
// the order of the steps at process exit.
#include "game_test_util.h"

#include "game/scenes/title_scene.h"
#include "platform/kernel32/kernel32.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace game_test {
namespace {

const Bytes kDefaultConfig = {0xE8, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x55, 0x55, 0xD5, 0x3E, 0, 0, 0, 0x3F};

Bytes Words(std::initializer_list<uint32_t> words) {
    Bytes b;
    for (uint32_t w : words)
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(w >> (8 * i)));
    return b;
}
uint32_t Bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

class SaveFilesTest : public GameTest {};

TEST_F(SaveFilesTest, AMissingSettingsFileGivesTheDefaultsWhichAreWrittenBack) {
    LoadConfig();
    SaveConfig();  // also creates the save directory
    EXPECT_EQ(ReadBytes(Native("save/config")), kDefaultConfig);
    EXPECT_FALSE(std::filesystem::exists(Native("save/config.tmp")));
    const Bytes stored = Words({0x04030201, 2, 1, Bits(0.25f), Bits(1.0f)});
    WriteBytes(Native("save/config"), stored);
    LoadConfig();
    EXPECT_EQ(std::make_tuple(g_config.word0, g_config.display, g_config.language, g_config.musicVolume,
                              g_config.effectVolume),
              std::make_tuple(0x04030201u, 2u, 1u, 0.25f, 1.0f));
    SaveConfig();
    EXPECT_EQ(ReadBytes(Native("save/config")), stored);
}

TEST_F(SaveFilesTest, FieldsTheSettingsFileDoesNotHoldTakeTheirDefaults) {
    struct Case {
        const char* what;
        Bytes file;
        Bytes written;  // what is written back
    };
    Bytes partial = Words({7, 2});
    partial.push_back(1);  // a piece of the third field
    const Case cases[] = {
        {"empty", {}, kDefaultConfig},
        {"one field", Words({7}), Words({7, 0, 0, Bits(kDefaultMusicVolume), Bits(0.5f)})},
        {"two fields and a piece", partial, Words({7, 2, 0, Bits(kDefaultMusicVolume), Bits(0.5f)})},
        {"no effect volume", Words({7, 2, 1, Bits(0.25f)}), Words({7, 2, 1, Bits(0.25f), Bits(0.5f)})},
    };
    for (const Case& c : cases) {
        g_config.language = 1;  // what an earlier read left
        g_config.musicVolume = g_config.effectVolume = 0.0f;
        WriteBytes(Native("save/config"), c.file);
        LoadConfig();
        SaveConfig();
        EXPECT_EQ(ReadBytes(Native("save/config")), c.written) << c.what;
    }
}

TEST_F(SaveFilesTest, ValuesTheSettingsWindowDoesNotOfferTakeTheirDefaults) {
    struct Case {
        const char* what;
        uint32_t display, language;
        float volume;
        uint32_t expectedDisplay, expectedLanguage;
        float expectedMusic, expectedEffects;
    };
    const float kMusic = kDefaultMusicVolume;
    const Case cases[] = {
        {"the last choices", 2, 1, 1.0f, 2, 1, 1.0f, 1.0f},
        {"silence", 1, 0, 0.0f, 1, 0, 0.0f, 0.0f},
        {"a display beyond the three", 3, 1, 0.25f, 0, 1, 0.25f, 0.25f},
        {"a language beyond the two", 1, 2, 0.25f, 1, 0, 0.25f, 0.25f},
        {"huge choices", 0xFFFFFFFF, 0x80000000, 0.25f, 0, 0, 0.25f, 0.25f},
        {"not a number", 0, 0, std::nanf(""), 0, 0, kMusic, 0.5f},
        {"above one", 0, 0, 1.5f, 0, 0, kMusic, 0.5f},
        {"below zero", 0, 0, -0.01f, 0, 0, kMusic, 0.5f},
        {"infinite", 0, 0, INFINITY, 0, 0, kMusic, 0.5f},
        {"tiny", 0, 0, 6.5e-37f, 0, 0, 0.0f, 0.0f},
        {"denormal", 0, 0, 1e-40f, 0, 0, 0.0f, 0.0f},
        {"just under half a step", 0, 0, 0.041f, 0, 0, 0.0f, 0.0f},
        {"just over half a step", 0, 0, 0.042f, 0, 0, 0.042f, 0.042f},
        {"a step", 0, 0, 1.0f / 12.0f, 0, 0, 1.0f / 12.0f, 1.0f / 12.0f},
    };
    for (const Case& c : cases) {
        WriteBytes(Native("save/config"), Words({1000, c.display, c.language, Bits(c.volume), Bits(c.volume)}));
        LoadConfig();
        EXPECT_EQ(std::make_tuple(g_config.display, g_config.language), std::make_tuple(c.expectedDisplay, c.expectedLanguage))
            << c.what;
        EXPECT_EQ(Bits(g_config.musicVolume), Bits(c.expectedMusic)) << c.what;
        EXPECT_EQ(Bits(g_config.effectVolume), Bits(c.expectedEffects)) << c.what;
    }
}

TEST_F(SaveFilesTest, SaveSlotsAreCheckedAsTheyAreReadAndWrittenAsTheyStand) {
    g_saveData.slot[2] = {915, 3};  // no file: kept
    WriteBytes(Native("save/save1"), Words({910, 12}));
    WriteBytes(Native("save/save2"), {0xA2, 0x03, 0, 0});  // short: empty
    EXPECT_EQ(LoadSaves(), 1);
    EXPECT_EQ((std::vector<SaveSlot>(g_saveData.slot, g_saveData.slot + 3)),
              (std::vector<SaveSlot>{{910, 12}, {930, 0}, {915, 3}}));
    for (auto [tag, level, loaded] : {std::tuple{909u, 5u, SaveSlot{930, 0}}, {931u, 5u, {930, 0}}, {930u, 50u, {930, 50}},
                                      {930u, 0xFFFFFFFFu, {930, 0}}}) {
        WriteBytes(Native("save/save2"), Words({tag, level}));
        LoadSaves();
        EXPECT_EQ(g_saveData.slot[1], loaded) << tag << " " << level;
    }
    g_saveData.slot[1].level = 50;
    EXPECT_EQ(WriteSaves(), 1);
    EXPECT_EQ(ReadBytes(Native("save/save1")), Words({910, 12})) << "tag 910 is kept";
    EXPECT_EQ(ReadBytes(Native("save/save2")), Words({930, 50}));
    EXPECT_EQ(ReadBytes(Native("save/save3")), Words({915, 3}));
}

TEST_F(SaveFilesTest, ADamagedSlotFileIsKeptBesideTheNewOne) {
    struct Case {
        const char* what;
        Bytes stored;
        bool damaged;
    };
    const Case cases[] = {
        {"short", {0xA2, 0x03, 0, 0}, true},
        {"empty", {}, true},
        {"tag out of range", Words({909, 5}), true},
        {"negative level", Words({930, 0xFFFFFFFF}), true},
        {"sound", Words({920, 7}), false},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(Native("save"));
        WriteBytes(Native("save/save2"), c.stored);
        WriteBytes(Native("save/save3"), Words({930, 4}));
        g_saveData = SaveData{};
        LoadSaves();
        EXPECT_EQ(WriteChangedSaves(), 0) << c.what << ": nothing changed";
        WriteSaves();
        WriteSaves();  // a second write keeps the copy as it was
        EXPECT_EQ(std::filesystem::exists(Native("save/save2.damaged")), c.damaged) << c.what;
        if (c.damaged) {
            EXPECT_EQ(ReadBytes(Native("save/save2.damaged")), c.stored) << c.what;
        }
        EXPECT_EQ(ReadBytes(Native("save/save2")), c.damaged ? Words({930, 0}) : c.stored) << c.what;
        EXPECT_FALSE(std::filesystem::exists(Native("save/save3.damaged"))) << c.what;
        EXPECT_FALSE(std::filesystem::exists(Native("save/save1.damaged"))) << c.what << ": no file, nothing kept";
    }
}

// A damaged settings or save file is set aside before it is replaced, and
// standard error says once which file it was and where its bytes are kept.
TEST_F(SaveFilesTest, AFileSetAsideIsSaidOnStandardError) {
    struct Case {
        const char* what;
        const char* file;
        Bytes stored;
        const char* kind;  // null: sound, nothing set aside or said
    };
    const Case cases[] = {
        {"a short settings file", "save/config", Words({1000, 1}), "settings file"},
        {"an empty settings file", "save/config", {}, "settings file"},
        {"a display beyond the three", "save/config", Words({1000, 3, 0, Bits(0.5f), Bits(0.5f)}), "settings file"},
        {"a volume above one", "save/config", Words({1000, 0, 1, Bits(0.5f), Bits(1.5f)}), "settings file"},
        {"a tiny volume is silence, not damage", "save/config", Words({1000, 0, 1, Bits(6.5e-37f), Bits(0.5f)}),
         nullptr},
        {"sound settings", "save/config", kDefaultConfig, nullptr},
        {"a short save file", "save/save2", {0xA2, 0x03, 0, 0}, "save file"},
        {"a tag out of range", "save/save2", Words({909, 5}), "save file"},
        {"a sound save file", "save/save2", Words({920, 7}), nullptr},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(Native("save"));
        WriteBytes(Native(c.file), c.stored);
        g_saveData = SaveData{};
        LoadConfig();
        LoadSaves();
        testing::internal::CaptureStderr();
        for (int run = 0; run < 2; ++run) SaveConfig(), WriteSaves();
        const std::string said = testing::internal::GetCapturedStderr();
        const std::string kept = Native(c.file) + ".damaged";
        if (c.kind == nullptr) {
            EXPECT_EQ(said, "") << c.what;
            EXPECT_FALSE(std::filesystem::exists(kept)) << c.what;
            continue;
        }
        const std::string line =
            std::string("velumi: the ") + c.kind + " " + Native(c.file) + " was damaged; its bytes are kept in " + kept;
        EXPECT_EQ(said.rfind(line, 0), 0u) << c.what << ": " << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << c.what << ": once: " << said;
        EXPECT_EQ(ReadBytes(kept), c.stored) << c.what;
    }
}

TEST_F(SaveFilesTest, ASaveFolderThatCannotBeWrittenIsSaidOnceAndTheGameGoesOn) {
    WriteBytes(Native("save"), {'x'});  // a file where the folder should be
    testing::internal::CaptureStderr();
    LoadSaves();
    g_saveData.slot[0].level = 4;
    EXPECT_EQ(WriteChangedSaves(), 0);
    EXPECT_EQ(WriteSaves(), 1);
    SaveConfig();
    g_saveData.slot[0].level = 5;
    EXPECT_EQ(WriteChangedSaves(), 0) << "the saves changed: tried once more";
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("cannot write the save folder"), std::string::npos) << said;
    EXPECT_EQ(said.find("save folder"), said.rfind("save folder")) << "once: " << said;
    EXPECT_EQ(ReadBytes(Native("save")), Bytes{'x'}) << "the file in the way is untouched";
    // Until the saves change again the frames try nothing: an attempt would
    // now make the folder.
    std::filesystem::remove(Native("save"));
    for (int frame = 0; frame < 3; ++frame) EXPECT_EQ(WriteChangedSaves(), 0) << "frame " << frame;
    EXPECT_FALSE(std::filesystem::exists(Native("save"))) << "no attempt since the last change";
    g_saveData.slot[0].level = 6;
    EXPECT_EQ(WriteChangedSaves(), 1) << "the folder can be made again";
    EXPECT_EQ(ReadBytes(Native("save/save1")), Words({930, 6}));
    std::filesystem::remove_all(Native("save"));
    seams::FailCall("CreateDirectoryA");
    testing::internal::CaptureStderr();
    EXPECT_EQ(WriteSaves(), 1);
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(std::filesystem::exists(Native("save"))) << "the system refused the folder";
}

// A level of 50 or more means every level was cleared: a slot stored with
// more is a completed game, kept as read and never rewritten as an empty one.
TEST_F(SaveFilesTest, ASlotBeyondTheLastLevelIsAFinishedGameAndStaysOnDisk) {
    WriteBytes(Native("save/save1"), Words({930, 51}));
    WriteBytes(Native("save/save2"), Words({915, 0x7FFFFFFF}));
    LoadSaves();
    EXPECT_EQ(g_saveData.slot[0], (SaveSlot{930, 51}));
    EXPECT_EQ(g_saveData.slot[1], (SaveSlot{915, 0x7FFFFFFF}));
    char label[128];
    FormatSlotLabel(0, g_saveData.slot[0].level, label, sizeof label);
    EXPECT_STREQ(label, "  SLOT1 COMPLETE");
    EXPECT_EQ(WriteChangedSaves(), 0);
    WriteSaves();
    EXPECT_EQ(ReadBytes(Native("save/save1")), Words({930, 51}));
    EXPECT_EQ(ReadBytes(Native("save/save2")), Words({915, 0x7FFFFFFF}));
}

TEST_F(SaveFilesTest, OnlyChangedSlotsAreWrittenAndOnlyOnceTheSavesAreLoaded) {
    g_saveData.slot[0].level = 3;
    EXPECT_EQ(WriteChangedSaves(), 0) << "not loaded";
    LoadSaves();
    EXPECT_EQ(WriteChangedSaves(), 0) << "nothing changed since reading";
    g_saveData.slot[0].level = 0;  // a deleted save
    g_saveData.slot[2].level = 20;
    EXPECT_EQ(WriteChangedSaves(), 2);
    EXPECT_EQ(WriteChangedSaves(), 0);
    EXPECT_EQ(ReadBytes(Native("save/save1")), Words({930, 0}));
    EXPECT_FALSE(std::filesystem::exists(Native("save/save2")));
}

TEST_F(SaveFilesTest, AFileIsReplacedWholeOrNotAtAll) {
    WriteBytes(Native("save/config"), kDefaultConfig);
    std::filesystem::create_directories(Native("save/config.tmp"));  // the temporary name is taken
    g_config.display = 2;
    SaveConfig();
    EXPECT_EQ(ReadBytes(Native("save/config")), kDefaultConfig);
    EXPECT_FALSE(ReplaceGameFile(directory_ + "\\no\\such\\file", "x", 1));
    EXPECT_FALSE(std::filesystem::exists(Native("no")));
    EXPECT_TRUE(ReplaceGameFile(directory_ + "\\save\\save1", "12345678", 8));
    EXPECT_TRUE(ReplaceGameFile(directory_ + "\\save\\save1", "ab", 2));
    EXPECT_EQ(ReadBytes(Native("save/save1")), (Bytes{'a', 'b'}));
    EXPECT_FALSE(std::filesystem::exists(Native("save/save1.tmp")));
}

TEST_F(SaveFilesTest, LongPathsWork) {
    std::string deep = directory_;
    while (deep.size() < 400) deep += "/a_rather_long_directory_name";
    std::filesystem::create_directories(deep);
    SetGameDirectory(deep.c_str());
    g_config.language = 1;
    SaveConfig();
    g_config.language = 0;
    LoadConfig();
    EXPECT_EQ(g_config.language, 1u);
    LoadSaves();
    g_saveData.slot[1].level = 8;
    EXPECT_EQ(WriteChangedSaves(), 1);
    EXPECT_EQ(ReadBytes(deep + "/save/save2"), Words({930, 8}));
}

TEST_F(SaveFilesTest, TheGameDirectoryIsThatOfTheExecutable) {
    const std::string exe = ExecutableDirectory();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.back(), '\\');
    EXPECT_TRUE(std::filesystem::exists(platform::PathToNative((exe + "test_game").c_str())));
}

// ---- process exit ---------------------------------------------------------------

// The exit steps note here what they do (plain C calls: the program's
// statics are being torn down).
char g_notes[4096];

void Note(const char* line) {
    if (std::FILE* f = std::fopen(g_notes, "a")) {
        std::fprintf(f, "%s\n", line);
        std::fclose(f);
    }
}

class NotingScene : public Scene {
public:
    void Start() override {}
    void Update() override {}
    void Draw() override {}
    ~NotingScene() override {
        const std::string save3 = std::string(g_notes, std::strlen(g_notes) - 5) + "save/save3";
        Note(std::filesystem::exists(save3) ? "scene deleted after the saves" : "scene deleted before the saves");
    }
};

class NotingBackground : public Haikei {
public:
    void Start() override {}
    void Update() override {}
    void Draw() override {}
    int32_t GetCode() override { return 0; }
    ~NotingBackground() override { Note("background deleted"); }
};

// The child process: records to tear down, then the exit.
void SetUpAndExit(const std::string& notes) {
    std::snprintf(g_notes, sizeof g_notes, "%s", notes.c_str());
    GameLibraryCalls& c = GameCalls();
    c.tuneStop = [] { return Note("pxtone_Tune_Stop"), int32_t{0}; };
    c.tuneRelease = [] { return Note("pxtone_Tune_Release"), BOOL{1}; };
    c.musicRelease = [] { return Note("pxtone_Release"), BOOL{1}; };
    g_music.ready = g_music.loaded = g_music.playing = 1;
    LoadSaves();
    g_saveData.slot[2].level = 9;
    g_sceneManager.current = new NotingScene;
    g_backgrounds.current = new NotingBackground;
    AddEffect(EffectParticle{});
    std::exit(0);
}

TEST_F(SaveFilesTest, AtExitTheSavesAreWrittenThenScenesBackgroundsAndMusicGo) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    setenv(kTestDirectoryVariable, TestDirectory().c_str(), 1);
    const std::string notes = Native("notes");
    EXPECT_EXIT(SetUpAndExit(notes), ::testing::ExitedWithCode(0), "");
    std::ifstream in(notes);
    Calls lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    EXPECT_EQ(lines, (Calls{"scene deleted after the saves", "background deleted", "pxtone_Tune_Stop",
                            "pxtone_Tune_Release", "pxtone_Release"}));
    EXPECT_EQ(ReadBytes(Native("save/save3")), Words({930, 9}));
}

}  // namespace
}  // namespace game_test
