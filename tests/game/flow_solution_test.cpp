// A level's shortest solution replayed through the puzzle scene in the game's
// own frame loop: clicks at the cursor cells of each swap, frames stepped one
// by one. The level is cleared, the progress lands in the save slot and, as
// soon as it changes, in the slot's file.
#include "scene_test_util.h"

#include "game/scenes/puzzle_scene.h"

namespace game_test {
namespace {

class SolutionFlowTest : public SceneTest {
protected:
    // The shipped level file of that number when the build made it, else the
    // fallback level.
    static std::vector<uint8_t> ShippedOr(int32_t level, const std::vector<std::string>& fallback) {
        char name[8];
        std::snprintf(name, sizeof name, "%02d", level);
        const std::string path = std::string(TEST_BINARY_DIR) + "/data/" + name;
        std::vector<uint8_t> bytes = ReadBytes(path);
        if (bytes.size() == static_cast<size_t>(kLevelFileSize)) return bytes;
        std::printf("[ note ] %s is not built: a small level of the test stands in\n", path.c_str());
        return LevelBytes(fallback);
    }

    // Replays the moves on level `level` of the test's data directory through
    // the frame loop; returns the scene's state when the script ended.
    struct Replay {
        bool cleared = false;
        int32_t clicks = 0;
        int32_t frames = 0;
        int32_t savedLevel = -1;
        std::vector<uint8_t> saveFile;
    };
    Replay Play(int32_t level, const std::vector<Move>& moves) {
        LoadSaves();  // the slots as the boot scene leaves them: now kept on disk as they change
        Replay result;
        size_t next = 0;
        bool pressed = false;
        int32_t clearedFrames = 0, idleFrames = 0;
        auto* scene = new PuzzleScene(level);
        result.frames = RunLoop(
            scene,
            [&](int32_t) {
                auto* puzzle = CurrentAs<PuzzleScene>();
                if (puzzle == nullptr) return false;
                if (pressed) {  // a click is one frame down
                    HoldLeft(false);
                    pressed = false;
                    return true;
                }
                const bool ready = puzzle->wipe.progress == kWipeComplete && puzzle->board.boardState == kBoardIdle;
                if (ready && next < moves.size()) {
                    PointAt(MovePixelX(moves[next]), MovePixelY(moves[next]));
                    HoldLeft(true);
                    pressed = true;
                    ++next;
                    ++result.clicks;
                    return true;
                }
                if (puzzle->board.boardState == kBoardCleared) return ++clearedFrames < 40;
                if (ready) return ++idleFrames < 60;  // every move made, the level still open
                return true;
            },
            3000);
        auto* puzzle = CurrentAs<PuzzleScene>();
        result.cleared = puzzle != nullptr && puzzle->board.boardState == kBoardCleared;
        result.savedLevel = g_saveData.slot[0].level;
        result.saveFile = ReadBytes(Native("save/save1"));
        return result;
    }
};

// The tutorial levels: each is cleared by its shortest solution, and the
// slot records each in turn.
TEST_F(SolutionFlowTest, TheShortestSolutionsOfTheFirstLevelsClearThemAndRecordTheProgress) {
    for (int32_t level = 1; level <= 4; ++level) {
        SCOPED_TRACE("level " + std::to_string(level));
        const std::vector<uint8_t> bytes = ShippedOr(level, kTwoSwapLevel);
        const std::vector<Move> moves = SolveLevel(bytes, 20000);
        ASSERT_FALSE(moves.empty()) << "the level has a solution";
        char name[16];
        std::snprintf(name, sizeof name, "data/%02d", level);
        WriteBytes(Native(name), bytes);
        const Replay replay = Play(level, moves);
        EXPECT_EQ(replay.clicks, static_cast<int32_t>(moves.size()));
        EXPECT_TRUE(replay.cleared);
        EXPECT_EQ(replay.savedLevel, level);
        EXPECT_EQ(replay.saveFile, (std::vector<uint8_t>{0xA2, 0x03, 0, 0, static_cast<uint8_t>(level), 0, 0, 0}))
            << "tag 930 and the level";
        delete g_sceneManager.current;
        g_sceneManager.current = nullptr;
    }
}

}  // namespace
}  // namespace game_test
