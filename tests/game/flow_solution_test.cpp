// The shortest solution of every shipped level replayed through the puzzle
// scene in the game's own frame loop: clicks at the cursor cells of each swap,
// frames stepped one by one. Each level clears at its last swap, and the
// progress lands in the save slot and, as soon as it changes, in the slot's
// file. The solutions come from level_solutions.txt, which the build writes
// with the level solver beside data/ (one line a level: "NN SWAPS c,r ...").
#include "scene_test_util.h"

#include <fstream>

#include "game/scenes/puzzle_scene.h"

namespace game_test {
namespace {

constexpr int32_t kShippedLevels = 50;

struct Solution {
    bool solved = false;
    int32_t swaps = -1;  // as the file states it
    std::vector<Move> moves;
};

std::string LevelName(int32_t level) {
    char name[8];
    std::snprintf(name, sizeof name, "%02d", level);
    return name;
}

// The solutions file of the build by level name; empty when it is missing.
// Malformed lines are kept as unsolved entries with no moves.
const std::map<std::string, Solution>& Solutions() {
    static const std::map<std::string, Solution> solutions = [] {
        std::map<std::string, Solution> out;
        std::ifstream in(std::string(TEST_BINARY_DIR) + "/level_solutions.txt");
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream words(line);
            std::string name, count;
            if (!(words >> name >> count)) continue;
            Solution& s = out[name];
            if (count == "none") continue;
            s.swaps = std::atoi(count.c_str());
            std::string move;
            bool wellFormed = true;
            while (words >> move) {
                Move m{};
                char comma = 0, extra = 0;
                std::istringstream parts(move);
                if (!(parts >> m.col >> comma >> m.row) || comma != ',' || parts >> extra) {
                    wellFormed = false;
                    break;
                }
                s.moves.push_back(m);
            }
            s.solved = wellFormed && !s.moves.empty() && s.swaps == static_cast<int32_t>(s.moves.size());
        }
        return out;
    }();
    return solutions;
}

class SolutionFlowTest : public SceneTest {
protected:
    // The scene's state when the replay ended.
    struct Replay {
        bool cleared = false;
        int32_t clicks = 0;
        int32_t clearedAtClick = -1;  // clicks made when the board first showed cleared
        int32_t frames = 0;
        int32_t savedLevel = -1;
        std::vector<uint8_t> saveFile;
    };

    // Replays the moves on level `level` of the test's data directory through
    // the frame loop: a click whenever the wipe is done and the board idle.
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
                TheWorld().calls.clear();  // nothing here reads them; keep a long replay small
                TheWorld().draws.clear();
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
                if (puzzle->board.boardState == kBoardCleared) {
                    if (result.clearedAtClick < 0) result.clearedAtClick = result.clicks;
                    return ++clearedFrames < 40;  // past the frame the clear is saved on
                }
                if (ready) return ++idleFrames < 60;  // every move made, the level still open
                return true;
            },
            2000 + 400 * static_cast<int32_t>(moves.size()));
        auto* puzzle = CurrentAs<PuzzleScene>();
        result.cleared = puzzle != nullptr && puzzle->board.boardState == kBoardCleared;
        result.savedLevel = g_saveData.slot[0].level;
        result.saveFile = ReadBytes(Native("save/save1"));
        delete g_sceneManager.current;
        g_sceneManager.current = nullptr;
        return result;
    }
};

// The build wrote a solution for every shipped level, in order, each with as
// many moves as it says, every move a cursor position on the board.
TEST(LevelSolutionsFile, HoldsASolutionForEveryShippedLevel) {
    const std::map<std::string, Solution>& solutions = Solutions();
    ASSERT_FALSE(solutions.empty()) << TEST_BINARY_DIR "/level_solutions.txt is missing: the levels target writes it";
    EXPECT_EQ(solutions.size(), static_cast<size_t>(kShippedLevels));
    for (int32_t level = 1; level <= kShippedLevels; ++level) {
        SCOPED_TRACE("level " + LevelName(level));
        const auto found = solutions.find(LevelName(level));
        ASSERT_NE(found, solutions.end());
        EXPECT_TRUE(found->second.solved) << "no solution, or a malformed line";
        for (const Move& m : found->second.moves) {
            EXPECT_TRUE(m.col >= 0 && m.col < kBoardColumns - 1 && m.row >= 0 && m.row < kBoardRows)
                << m.col << "," << m.row;
        }
    }
}

class EveryLevelTest : public SolutionFlowTest, public ::testing::WithParamInterface<int32_t> {};

// Each shipped level is cleared by its shortest solution, at the last swap and
// not before, and a fresh slot records it on disk (tag 930, then the level).
TEST_P(EveryLevelTest, TheShortestSolutionClearsTheLevelAndRecordsTheProgress) {
    const int32_t level = GetParam();
    const std::string name = LevelName(level);
    const auto found = Solutions().find(name);
    ASSERT_NE(found, Solutions().end()) << "level_solutions.txt has no line for level " << name;
    ASSERT_TRUE(found->second.solved) << "the solver found no solution for level " << name;
    const std::vector<Move>& moves = found->second.moves;

    const std::vector<uint8_t> bytes = ReadBytes(std::string(TEST_BINARY_DIR) + "/data/" + name);
    ASSERT_EQ(bytes.size(), static_cast<size_t>(kLevelFileSize)) << "the shipped level file data/" << name;
    WriteBytes(Native("data/" + name), bytes);

    const Replay replay = Play(level, moves);
    EXPECT_EQ(replay.clicks, static_cast<int32_t>(moves.size())) << "every swap was made, on an idle board";
    EXPECT_TRUE(replay.cleared) << "after " << replay.frames << " frames";
    EXPECT_EQ(replay.clearedAtClick, static_cast<int32_t>(moves.size())) << "cleared by the last swap only";
    EXPECT_EQ(replay.savedLevel, level);
    EXPECT_EQ(replay.saveFile, (std::vector<uint8_t>{0xA2, 0x03, 0, 0, static_cast<uint8_t>(level), 0, 0, 0}))
        << "tag 930 and the level";
}

INSTANTIATE_TEST_SUITE_P(ShippedLevels, EveryLevelTest, ::testing::Range<int32_t>(1, kShippedLevels + 1),
                         [](const ::testing::TestParamInfo<int32_t>& info) { return "Level" + LevelName(info.param); });

}  // namespace
}  // namespace game_test
