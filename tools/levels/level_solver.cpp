// level_solver [--max-states N] [--markdown] [--show] [--solutions FILE] LEVELFILE...
//
// Finds a shortest solution (in swaps) of each level file, or proves that it
// has none, by breadth-first search over the settled boards the game reaches.
// Every swap is played through the game's own rule code, frame by frame with
// UpdateBoard, exactly as the puzzle scene drives it, until the board is idle
// or cleared again. A settled board is known by where its movable pieces lie
// and which stones have bloomed; identical pieces are interchangeable, so the
// positions of each kind of piece are kept as a sorted set. The solution found
// is replayed from the level's start before it is reported. With --solutions
// the moves of every level are also written to FILE, one line a level:
// "NAME SWAPS c,r c,r ..." or "NAME none" when no solution was found.
//
// Exit status: 0 when every level has a solution, 1 when one has none or the
// search hit its state limit, 2 on bad arguments or files.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "game/board/board.h"
#include "level_text.h"

namespace {

constexpr int kFrameLimit = 20000;  // far beyond any real resolution of a swap

struct Move {
  int col = 0, row = 0;
};

enum class Outcome { kSolved, kNoSolution, kLimit, kError };

struct Result {
  Outcome outcome = Outcome::kError;
  std::vector<Move> moves;
  std::vector<Move> closest;  // without a solution: the way to the board with
  int closestLeft = 0;        // the fewest closed stones, and how many are left
  long states = 0;
  long resolutions = 0;  // swaps played
  long overlaps = 0;     // settled boards on which two pieces shared a cell
  double seconds = 0;
  std::string error;
};

double Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

// Plays frames until the board is idle or cleared; false when it never is.
bool RunUntilSettled(Board& board) {
  for (int frame = 0; frame < kFrameLimit; ++frame) {
    UpdateBoard(board);
    board.events.clear();
    if (board.boardState == kBoardIdle || board.boardState == kBoardCleared) return true;
  }
  return false;
}

bool HasOverlap(const Board& board) {
  bool taken[kBoardCells] = {};
  for (const Piece& piece : board.pieces) {
    for (const PieceSubRecord& cell : piece.cells) {
      const int c = piece.col + cell.dx, r = piece.row + cell.dy;
      if (!IsOnBoard(c, r)) continue;
      if (taken[r * kBoardColumns + c]) return true;
      taken[r * kBoardColumns + c] = true;
    }
  }
  return false;
}

class Solver {
 public:
  explicit Solver(const Board& start) : start_(start) {
    std::map<std::pair<int, int>, int> groupOf;
    for (const Piece& piece : start_.pieces) {
      if (!piece.movable || piece.cells.empty()) continue;
      const auto key = std::make_pair(piece.kind, static_cast<int>(piece.hasGravity));
      auto found = groupOf.find(key);
      if (found == groupOf.end()) {
        found = groupOf.emplace(key, static_cast<int>(groups_.size())).first;
        groups_.emplace_back();
      }
      groups_[found->second].push_back(piece.index);
    }
  }

  Result Solve(long maxStates) {
    Result result;
    const double began = Now();
    Add(KeyOf(start_), -1, Move{});
    Board board, child;
    for (size_t next = 0; next < keys_.size(); ++next) {
      Restore(keys_[next], &board);
      for (int row = 0; row < kBoardRows; ++row) {
        for (int col = 0; col < kBoardColumns - 1; ++col) {
          if (!MayMove(board, col, row)) continue;
          child = board;
          if (!ClickBoard(child, col, row)) continue;
          ++result.resolutions;
          if (!RunUntilSettled(child)) {
            result.error = "a swap never settles";
            return Finish(result, began);
          }
          if (HasOverlap(child)) ++result.overlaps;
          if (child.boardState == kBoardCleared) {
            result.moves = PathTo(static_cast<int>(next));
            result.moves.push_back(Move{col, row});
            result.outcome = Outcome::kSolved;
            return Finish(result, began);
          }
          const bool added = Add(KeyOf(child), static_cast<int>(next), Move{col, row});
          if (added) {
            const int left = ClosedStones(child);
            if (result.closest.empty() || left < result.closestLeft) {
              result.closestLeft = left;
              result.closest = PathTo(static_cast<int>(keys_.size()) - 1);
            }
          }
          if (added && static_cast<long>(keys_.size()) > maxStates) {
            result.outcome = Outcome::kLimit;
            return Finish(result, began);
          }
        }
      }
    }
    result.outcome = Outcome::kNoSolution;
    return Finish(result, began);
  }

 private:
  struct Node {
    int parent;
    Move move;
  };

  Result& Finish(Result& result, double began) {
    result.states = static_cast<long>(keys_.size());
    result.seconds = Now() - began;
    return result;
  }

  static int ClosedStones(const Board& board) {
    int count = 0;
    for (const Piece& piece : board.pieces) count += piece.unbloomed;
    return count;
  }

  // A cheap filter before the swap test: a swap needs a movable piece on one
  // of the two cells, and two different pieces.
  static bool MayMove(const Board& board, int col, int row) {
    const int a = PieceAtCell(board, col, row), b = PieceAtCell(board, col + 1, row);
    if (a == b) return false;
    return (a >= 0 && board.pieces[a].movable) || (b >= 0 && board.pieces[b].movable);
  }

  std::string KeyOf(const Board& board) const {
    std::string key;
    std::vector<uint32_t> entries;
    for (const std::vector<int>& group : groups_) {
      entries.clear();
      for (int index : group) {
        const Piece& piece = board.pieces[index];
        const uint32_t col = static_cast<uint8_t>(std::clamp(piece.col + 128, 0, 255));
        const uint32_t row = static_cast<uint8_t>(std::clamp(piece.row + 128, 0, 255));
        const uint32_t bloomed = piece.colour >= 0 && !piece.unbloomed ? 1 : 0;
        entries.push_back(col << 16 | row << 8 | bloomed);
      }
      std::sort(entries.begin(), entries.end());
      for (uint32_t e : entries) {
        key.push_back(static_cast<char>(e >> 16));
        key.push_back(static_cast<char>(e >> 8));
        key.push_back(static_cast<char>(e));
      }
    }
    return key;
  }

  void Restore(const std::string& key, Board* board) const {
    *board = start_;
    size_t at = 0;
    for (const std::vector<int>& group : groups_) {
      for (int index : group) {
        const int col = static_cast<uint8_t>(key[at]) - 128;
        const int row = static_cast<uint8_t>(key[at + 1]) - 128;
        const bool bloomed = key[at + 2] != 0;
        at += 3;
        PlacePieceAtRest(board->pieces[index], col, row, bloomed);
      }
    }
    board->boardState = kBoardIdle;
    RebuildGrid(*board);
  }

  bool Add(std::string key, int parent, Move move) {
    const auto inserted = index_.emplace(key, static_cast<int>(keys_.size()));
    if (!inserted.second) return false;
    keys_.push_back(std::move(key));
    nodes_.push_back(Node{parent, move});
    return true;
  }

  std::vector<Move> PathTo(int state) const {
    std::vector<Move> path;
    for (int s = state; nodes_[s].parent >= 0; s = nodes_[s].parent) path.push_back(nodes_[s].move);
    std::reverse(path.begin(), path.end());
    return path;
  }

  Board start_;
  std::vector<std::vector<int>> groups_;
  std::vector<std::string> keys_;
  std::vector<Node> nodes_;
  std::unordered_map<std::string, int> index_;
};

// Plays the moves from the level's start as the scene would; empty when the
// last swap, and only the last, clears the level.
std::string Replay(const Board& start, const std::vector<Move>& moves) {
  Board board = start;
  for (size_t i = 0; i < moves.size(); ++i) {
    if (board.boardState != kBoardIdle) return "the board is not idle before swap " + std::to_string(i + 1);
    if (!ClickBoard(board, moves[i].col, moves[i].row)) return "swap " + std::to_string(i + 1) + " is refused";
    if (!RunUntilSettled(board)) return "swap " + std::to_string(i + 1) + " never settles";
    const bool last = i + 1 == moves.size();
    if ((board.boardState == kBoardCleared) != last) return "the level clears at the wrong swap";
  }
  return moves.empty() ? "no moves" : "";
}

std::string CellToken(const Board& board, int col, int row) {
  const int index = PieceAtCell(board, col, row);
  if (index < 0) return "..";
  const Piece& piece = board.pieces[index];
  const PieceSubRecord* cell = GridCell(board, col, row);
  if (piece.colour >= 0 && !piece.isFixedFlower) {
    static const char kLetters[] = "RBYCMGKWPO";
    static const char kMarks[] = "<^>v";
    const char letter = kLetters[piece.colour % 10];
    if (cell->isFlower) return std::string{static_cast<char>(letter - 'A' + 'a'), kMarks[piece.direction & 3]};
    return piece.unbloomed ? TokenOfCode(piece.kind) : std::string{letter, '+'};
  }
  if (piece.movable) return "GG";
  return TokenOfCode(piece.kind);
}

void PrintBoard(const Board& board) {
  for (int row = 0; row < kBoardRows; ++row) {
    std::printf("    ");
    for (int col = 0; col < kBoardColumns; ++col) std::printf("%s ", CellToken(board, col, row).c_str());
    std::printf("\n");
  }
}

void ShowSolution(const Board& start, const std::vector<Move>& moves) {
  Board board = start;
  PrintBoard(board);
  for (const Move& move : moves) {
    std::printf("  swap (%d,%d)\n", move.col, move.row);
    ClickBoard(board, move.col, move.row);
    RunUntilSettled(board);
    PrintBoard(board);
  }
}

std::string MovesText(const std::vector<Move>& moves) {
  std::string text;
  for (const Move& move : moves) {
    if (!text.empty()) text += ' ';
    text += "(" + std::to_string(move.col) + "," + std::to_string(move.row) + ")";
  }
  return text;
}

// One line of the --solutions file.
std::string SolutionLine(const std::string& name, const Result& result) {
  if (result.outcome != Outcome::kSolved) return name + " none\n";
  std::string line = name + " " + std::to_string(result.moves.size());
  for (const Move& move : result.moves) line += " " + std::to_string(move.col) + "," + std::to_string(move.row);
  return line + "\n";
}

// Writes through a temporary file, so a failed run leaves no partial file.
bool WriteWhole(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(text.data(), static_cast<std::streamsize>(text.size())) || !out.flush()) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
  long maxStates = 300000;
  bool markdown = false, show = false;
  std::string solutionsPath;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--max-states") == 0 && i + 1 < argc) {
      maxStates = std::strtol(argv[++i], nullptr, 10);
    } else if (std::strcmp(argv[i], "--markdown") == 0) {
      markdown = true;
    } else if (std::strcmp(argv[i], "--show") == 0) {
      show = true;
    } else if (std::strcmp(argv[i], "--solutions") == 0 && i + 1 < argc) {
      solutionsPath = argv[++i];
    } else if (argv[i][0] == '-') {
      std::fprintf(stderr, "usage: %s [--max-states N] [--markdown] [--show] [--solutions FILE] LEVELFILE...\n", argv[0]);
      return 2;
    } else {
      files.push_back(argv[i]);
    }
  }
  if (files.empty() || maxStates <= 0) {
    std::fprintf(stderr, "usage: %s [--max-states N] [--markdown] [--show] [--solutions FILE] LEVELFILE...\n", argv[0]);
    return 2;
  }
  int status = 0;
  std::string solutions;
  for (const std::string& file : files) {
    Board start;
    LevelError error;
    if (LoadLevelFile(start, file.c_str(), 0, &error) != 0) {
      std::fprintf(stderr, "%s: not a level file (error %d at cell %d,%d)\n", file.c_str(),
                   static_cast<int>(error.code), error.col, error.row);
      status = std::max(status, 2);
      solutions += SolutionLine(BaseName(file), Result{});
      continue;
    }
    Solver solver(start);
    Result result = solver.Solve(maxStates);
    if (result.outcome == Outcome::kSolved) {
      const std::string replayError = Replay(start, result.moves);
      if (!replayError.empty()) {
        result.outcome = Outcome::kError;
        result.error = "replay failed: " + replayError;
      }
    }
    const std::string name = BaseName(file);
    solutions += SolutionLine(name, result);
    switch (result.outcome) {
      case Outcome::kSolved:
        if (markdown) {
          std::printf("| %s | %zu | %ld | %s |\n", name.c_str(), result.moves.size(), result.states,
                      MovesText(result.moves).c_str());
        } else {
          std::printf("%s: shortest solution %zu swaps; %ld states, %ld swaps played, %.2f s: %s\n",
                      name.c_str(), result.moves.size(), result.states, result.resolutions, result.seconds,
                      MovesText(result.moves).c_str());
        }
        break;
      case Outcome::kNoSolution:
        std::printf("%s: NO SOLUTION: all %ld reachable states explored (limit %ld)\n", name.c_str(),
                    result.states, maxStates);
        status = std::max(status, 1);
        break;
      case Outcome::kLimit:
        std::printf("%s: NOT SOLVED within the limit of %ld states\n", name.c_str(), maxStates);
        status = std::max(status, 1);
        break;
      case Outcome::kError:
        std::printf("%s: ERROR: %s\n", name.c_str(), result.error.c_str());
        status = std::max(status, 1);
        break;
    }
    if (result.overlaps > 0) {
      std::printf("%s: warning: %ld settled boards had overlapping pieces\n", name.c_str(), result.overlaps);
    }
    if (show && result.outcome == Outcome::kSolved) ShowSolution(start, result.moves);
    if (show && result.outcome == Outcome::kNoSolution && !result.closest.empty()) {
      std::printf("%s: closest board, %d stones left closed: %s\n", name.c_str(), result.closestLeft,
                  MovesText(result.closest).c_str());
      ShowSolution(start, result.closest);
    }
    std::fflush(stdout);
  }
  if (!solutionsPath.empty() && !WriteWhole(solutionsPath, solutions)) {
    std::fprintf(stderr, "%s: cannot write the solutions\n", solutionsPath.c_str());
    status = std::max(status, 2);
  }
  return status;
}
