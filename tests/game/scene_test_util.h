// The scene tests' world: the recorded library calls of game_test_util.h with
// every image slot filled by a fake picture, sound effects and music ready, a
// pointer the test moves and clicks in logical (320x240) coordinates, level
// files written from small text grids, and runs of the game's own frame loop
// driven one frame at a time.
#pragma once

#include "game_test_util.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "game/board/board.h"
#include "game/board/game_rand.h"
#include "game/button.h"
#include "game/scenes/scene_common.h"
#include "input/input.h"

namespace game_test {

// Level cells as two-character tokens, 14 per row, 10 rows:
//   ..  empty        ##  ground block     []  plain block
//   R^ Rv R< R>  red stone facing up, down, left, right (B blue, Y yellow)
//   r* b* y*     fixed flowers             G1  a 1x1 gray stone
inline int32_t CodeOfToken(const std::string& t) {
    static const std::map<std::string, int32_t> kCodes = {
        {"..", 0}, {"##", 10}, {"[]", 1}, {"G1", 50}, {"r*", 200}, {"b*", 210}, {"y*", 220}};
    auto it = kCodes.find(t);
    if (it != kCodes.end()) return it->second;
    static const std::string kColours = "RBY", kFacing = "<^>v";
    const size_t colour = kColours.find(t[0]), facing = kFacing.find(t[1]);
    if (t.size() == 2 && colour != std::string::npos && facing != std::string::npos)
        return 100 + 10 * static_cast<int32_t>(colour) + static_cast<int32_t>(facing);
    ADD_FAILURE() << "unknown level token " << t;
    return 0;
}

// The 564 bytes of a level file from 10 rows of tokens.
inline std::vector<uint8_t> LevelBytes(const std::vector<std::string>& rows) {
    std::vector<uint8_t> bytes(kLevelFileSize, 0);
    EXPECT_EQ(rows.size(), static_cast<size_t>(kBoardRows));
    for (size_t r = 0; r < rows.size() && r < static_cast<size_t>(kBoardRows); ++r) {
        std::istringstream in(rows[r]);
        std::string token;
        for (int32_t c = 0; c < kBoardColumns && in >> token; ++c) {
            const int32_t code = CodeOfToken(token);
            std::memcpy(bytes.data() + 4 + 4 * (r * kBoardColumns + c), &code, 4);
        }
    }
    return bytes;
}

// A level that one swap clears: the red stone steps right onto its flower.
inline const std::vector<std::string> kOneSwapLevel = {
    ".. .. .. .. .. .. .. .. .. .. .. .. .. ..", ".. .. .. .. .. .. .. .. .. .. .. .. .. ..",
    ".. .. .. .. .. .. .. .. .. .. .. .. .. ..", ".. .. .. .. .. .. .. .. .. .. .. .. .. ..",
    ".. .. .. .. .. .. .. .. .. .. .. .. .. ..", "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
    "## .. .. .. .. .. .. .. .. .. .. .. .. ##", "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
    "## .. R^ .. .. .. .. .. .. .. .. .. .. ##", "## ## ## r* ## ## ## ## ## ## ## ## ## ##",
};
// Two stones: one swap blooms the red one, the blue one needs another.
inline const std::vector<std::string> kTwoSwapLevel = {
    ".. .. .. .. .. .. .. .. .. .. .. .. .. ..", ".. .. .. .. .. .. .. .. .. .. .. .. .. ..",
    ".. .. .. .. .. .. .. .. .. .. .. .. .. ..", ".. .. .. .. .. .. .. .. .. .. .. .. .. ..",
    ".. .. .. .. .. .. .. .. .. .. .. .. .. ..", "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
    "## .. .. .. .. .. .. .. .. .. .. .. .. ##", "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
    "## .. R^ .. .. B^ .. .. .. .. .. .. .. ##", "## ## ## r* ## ## b* ## ## ## ## ## ## ##",
};

// A pixel of the cursor's left cell (col, row): (col x 24 + 18, row x 24 + 12).
inline int32_t CellPixelX(int32_t col) { return col * kCellSize + 18; }
inline int32_t CellPixelY(int32_t row) { return row * kCellSize + 12; }

struct RectangleCall {
    int32_t x1, y1, x2, y2;
    uint32_t color;
    int32_t filled;
};

// "Name(a,b,c)" as the recorded calls spell a call.
template <typename... T>
std::string CallText(const char* name, T... args) {
    std::string s = std::string(name) + "(";
    ((s += std::to_string(args) + ","), ...);
    if (s.back() == ',') s.pop_back();
    return s + ")";
}

// ---- a small breadth-first solver over the board's own rules -------------------------

struct Move {
    int32_t col, row;
    bool operator==(const Move&) const = default;
};

// Plays frames until the board is idle or cleared; false when it never is.
inline bool ResolveBoard(Board& board) {
    for (int32_t frame = 0; frame < 5000; ++frame) {
        UpdateBoard(board);
        board.events.clear();
        if (board.boardState == kBoardIdle || board.boardState == kBoardCleared) return true;
    }
    return false;
}

// A settled board by where its movable pieces lie and which have bloomed.
inline std::string BoardKey(const Board& board) {
    std::string key;
    for (const Piece& p : board.pieces) {
        if (!p.movable) continue;
        key += std::to_string(p.col) + "," + std::to_string(p.row) + (p.unbloomed ? "u;" : "b;");
    }
    return key;
}

// A shortest list of swaps that clears the level of these file bytes, found
// by playing every swap frame by frame through UpdateBoard; empty when none
// was found within maxStates settled boards.
inline std::vector<Move> SolveLevel(const std::vector<uint8_t>& bytes, int32_t maxStates) {
    LevelData level;
    Board start;
    if (ParseLevelBytes(bytes.data(), bytes.size(), &level, nullptr) != 0 || LoadLevel(start, level, 0, nullptr) != 0)
        return {};
    struct Node {
        Board board;
        std::vector<Move> moves;
    };
    std::vector<Node> queue{Node{start, {}}};
    std::set<std::string> seen{BoardKey(start)};
    for (size_t i = 0; i < queue.size() && static_cast<int32_t>(seen.size()) < maxStates; ++i) {
        for (int32_t row = 0; row < kBoardRows; ++row) {
            for (int32_t col = 0; col < kBoardColumns - 1; ++col) {
                Board next = queue[i].board;
                if (!ClickBoard(next, col, row) || !ResolveBoard(next)) continue;
                std::vector<Move> moves = queue[i].moves;
                moves.push_back(Move{col, row});
                if (next.boardState == kBoardCleared) return moves;
                if (seen.insert(BoardKey(next)).second) queue.push_back(Node{std::move(next), std::move(moves)});
            }
        }
    }
    return {};
}

// A pixel that puts the cursor's left cell on (col, row) and lies on no
// button: row 9 is clicked above the bottom buttons.
inline int32_t MovePixelX(const Move& m) { return m.col * kCellSize + 18; }
inline int32_t MovePixelY(const Move& m) { return m.row == kBoardRows - 1 ? m.row * kCellSize + 1 : m.row * kCellSize + 12; }

class SceneTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        // Image and rectangle draws are also recorded in the call list (as
        // "DrawImageRect" and "DrawRectangle(...)"), rectangles with their colour.
        Base() = GameCalls();
        Rectangles().clear();
        GameCalls().drawImageRect = [](int32_t x, int32_t y, int32_t sx, int32_t sy, int32_t w, int32_t h,
                                       int32_t image, int32_t transparent, int32_t mirrored) {
            TheWorld().calls.push_back("DrawImageRect");
            return Base().drawImageRect(x, y, sx, sy, w, h, image, transparent, mirrored);
        };
        GameCalls().drawRectangle = [](int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color,
                                       int32_t filled) {
            Rectangles().push_back(RectangleCall{x1, y1, x2, y2, color, filled});
            return Base().drawRectangle(x1, y1, x2, y2, color, filled);
        };
        SeedGameRand(1);
        for (int32_t slot = 0; slot < kImageSlotCount; ++slot) {
            g_imageTable.handle[slot] = ImageOfSlot(slot);
            TheWorld().imageSizes[ImageOfSlot(slot)] = {512, 512};
        }
        for (int32_t n = 0; n < kLoadedSoundEffects; ++n) g_soundEffects.handle[n] = 2000 + n;
        g_music.ready = 1;
        g_music.volume = 0.5f;
        std::filesystem::create_directories(Native("data"));
    }

    static GameLibraryCalls& Base() {
        static GameLibraryCalls base;
        return base;
    }
    static std::vector<RectangleCall>& Rectangles() {
        static std::vector<RectangleCall> rectangles;
        return rectangles;
    }
    // The fake image handle of an image slot.
    static constexpr int32_t ImageOfSlot(int32_t slot) { return 100 + slot; }

    // The pointer in logical coordinates (the recorded calls see it doubled).
    static void PointAt(int32_t x, int32_t y) {
        TheWorld().mouseX = 2 * x;
        TheWorld().mouseY = 2 * y;
    }
    static void HoldLeft(bool down) {
        TheWorld().mouseButtons = down ? (TheWorld().mouseButtons | kMouseLeft) : (TheWorld().mouseButtons & ~kMouseLeft);
    }
    static void HoldRight(bool down) {
        TheWorld().mouseButtons =
            down ? (TheWorld().mouseButtons | kMouseRight) : (TheWorld().mouseButtons & ~kMouseRight);
    }

    // One frame of a scene as the frame loop runs it, without the hand-over.
    static void Frame(Scene& scene) {
        ClearPlayedSoundEffects();
        scene.Update();
        scene.Draw();
    }
    static void Frames(Scene& scene, int32_t n) {
        for (int32_t i = 0; i < n; ++i) Frame(scene);
    }
    // A left click at (x, y): one frame pressed, one released.
    static void ClickAt(Scene& scene, int32_t x, int32_t y) {
        PointAt(x, y);
        HoldLeft(true);
        Frame(scene);
        HoldLeft(false);
        Frame(scene);
    }
    static void RightClick(Scene& scene) {
        HoldRight(true);
        Frame(scene);
        HoldRight(false);
        Frame(scene);
    }
    // A click in the middle of a button.
    static void ClickButton(Scene& scene, const Button& b) { ClickAt(scene, b.x + b.width / 2, b.y + b.height / 2); }

    // Runs the game's frame loop from `first` (started here); after every
    // frame script(frame number from 1) decides whether to go on. Stops
    // after maxFrames frames at the latest. Returns the frames run.
    static int32_t RunLoop(Scene* first, const std::function<bool(int32_t)>& script, int32_t maxFrames) {
        g_sceneManager.current = first;
        first->Start();
        int32_t frame = 0;
        TheWorld().pump = [&]() {
            if (frame == 0) {  // the pump before the first frame
                ++frame;
                return 0;
            }
            return script(frame++) ? 0 : -1;
        };
        SetFrameLimit(maxFrames);
        RunFrameLoop();
        SetFrameLimit(0);
        TheWorld().pump = nullptr;
        return GetFramesRun();
    }

    template <typename T>
    static T* CurrentAs() {
        return dynamic_cast<T*>(g_sceneManager.current);
    }

    void WriteLevel(int32_t n, const std::vector<std::string>& rows) {
        char name[8];
        std::snprintf(name, sizeof name, "%02d", n);
        WriteBytes(Native(std::string("data/") + name), LevelBytes(rows));
    }

    // How often sound effect n was started.
    static int32_t SoundsPlayed(int32_t n) {
        const std::string call = CallText("PlaySoundHandle", 2000 + n, 1, 1);
        return static_cast<int32_t>(std::count(TheWorld().calls.begin(), TheWorld().calls.end(), call));
    }
    // The tunes loaded, by name, in order.
    static std::vector<std::string> TunesLoaded() {
        std::vector<std::string> names;
        for (const std::string& c : CallsStartingWith("pxtone_Tune_Load(")) {
            const size_t slash = c.rfind('/'), dot = c.rfind(".ptcop");
            names.push_back(c.substr(slash + 1, dot - slash - 1));
        }
        return names;
    }
    // The draws from one image slot's fake picture.
    static std::vector<DrawCall> DrawsOfSlot(int32_t slot) {
        std::vector<DrawCall> out;
        for (const DrawCall& d : TheWorld().draws)
            if (d.image == 100 + slot) out.push_back(d);
        return out;
    }
    static void ForgetCalls() {
        TheWorld().calls.clear();
        TheWorld().draws.clear();
        Rectangles().clear();
    }
};

}  // namespace game_test
