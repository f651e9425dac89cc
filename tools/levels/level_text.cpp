#include "level_text.h"

#include <cstdint>
#include <sstream>
#include <vector>

namespace {

constexpr const char* kContinuation = "::";

// Gray stone of w x h cells: the code whose stone has that size.
int GrayCode(int width, int height) {
  for (int code = 50; code <= 79; ++code) {
    int32_t w = 0, h = 0;
    if (GrayStoneExtent(code, &w, &h) && w == width && h == height) return code;
  }
  return -1;
}

int ColourOfLetter(char c) {
  switch (c) {
    case 'R': return 0;
    case 'B': return 1;
    case 'Y': return 2;
    default: return -1;
  }
}

int DirectionOfMark(char c) {
  switch (c) {
    case '<': return kDirectionLeft;
    case '^': return kDirectionUp;
    case '>': return kDirectionRight;
    case 'v': return kDirectionDown;
    default: return -1;
  }
}

// The code of one token, or -1 for the continuation token, or -2 when unknown.
int CodeOfToken(const std::string& token) {
  if (token == "..") return 0;
  if (token == "##") return kCodeGround;
  if (token == "[]") return 1;
  if (token == kContinuation) return -1;
  if (token.size() != 2) return -2;
  const int colour = ColourOfLetter(token[0]);
  const int direction = DirectionOfMark(token[1]);
  if (colour >= 0 && direction >= 0) return kCodeColouredFirst + 10 * colour + direction;
  if (token[1] == '*') {
    const int flowerColour = ColourOfLetter(static_cast<char>(token[0] - 'a' + 'A'));
    if (flowerColour >= 0) return kCodeFlowerFirst + 10 * flowerColour;
  }
  if (token[0] >= '1' && token[0] <= '9' && token[1] >= '1' && token[1] <= '9') {
    const int code = GrayCode(token[0] - '0', token[1] - '0');
    if (code >= 0) return code;
  }
  return -2;
}

std::vector<std::string> SplitTokens(const std::string& line) {
  std::vector<std::string> tokens;
  std::istringstream in(line);
  std::string token;
  while (in >> token) tokens.push_back(token);
  return tokens;
}

}  // namespace

bool ParseLevelText(const std::string& text, LevelData* level, std::string* error) {
  *level = LevelData{};
  std::istringstream in(text);
  std::string line;
  int lineNumber = 0, row = 0;
  int tokenLine[kBoardCells] = {};
  bool continuation[kBoardCells] = {};
  while (std::getline(in, line)) {
    ++lineNumber;
    const size_t comment = line.find(';');
    if (comment != std::string::npos) line.erase(comment);
    const std::vector<std::string> tokens = SplitTokens(line);
    if (tokens.empty()) continue;
    if (row >= kBoardRows) {
      *error = "line " + std::to_string(lineNumber) + ": more than 10 rows";
      return false;
    }
    if (tokens.size() != static_cast<size_t>(kBoardColumns)) {
      *error = "line " + std::to_string(lineNumber) + ": " + std::to_string(tokens.size()) +
               " tokens, a row has 14";
      return false;
    }
    for (int c = 0; c < kBoardColumns; ++c) {
      const int code = CodeOfToken(tokens[c]);
      if (code == -2) {
        *error = "line " + std::to_string(lineNumber) + ": unknown token '" + tokens[c] + "'";
        return false;
      }
      const int cell = row * kBoardColumns + c;
      tokenLine[cell] = lineNumber;
      continuation[cell] = code == -1;
      level->codes[cell] = code > 0 ? code : 0;
    }
    ++row;
  }
  if (row != kBoardRows) {
    *error = std::to_string(row) + " rows, a level has 10";
    return false;
  }
  // Every continuation token must be covered by exactly one gray stone, and
  // every cell a gray stone covers must be a continuation token.
  bool covered[kBoardCells] = {};
  for (int cell = 0; cell < kBoardCells; ++cell) {
    int32_t w = 0, h = 0;
    if (!GrayStoneExtent(level->codes[cell], &w, &h)) continue;
    const int c0 = cell % kBoardColumns, r0 = cell / kBoardColumns;
    for (int j = 0; j < h; ++j) {
      for (int i = 0; i < w; ++i) {
        if (i == 0 && j == 0) continue;
        const int c = c0 + i, r = r0 + j;
        if (!IsOnBoard(c, r) || !continuation[r * kBoardColumns + c] || covered[r * kBoardColumns + c]) {
          *error = "line " + std::to_string(tokenLine[cell]) + ": the gray stone at column " +
                   std::to_string(c0) + " needs '::' on every other cell it covers";
          return false;
        }
        covered[r * kBoardColumns + c] = true;
      }
    }
  }
  for (int cell = 0; cell < kBoardCells; ++cell) {
    if (continuation[cell] && !covered[cell]) {
      *error = "line " + std::to_string(tokenLine[cell]) + ": '::' at column " +
               std::to_string(cell % kBoardColumns) + " belongs to no gray stone";
      return false;
    }
  }
  LevelError check;
  if (CheckLevelCodes(*level, &check) != 0) {
    *error = "the codes do not make a board (cell " + std::to_string(check.col) + ", " +
             std::to_string(check.row) + ")";
    return false;
  }
  return true;
}

std::string EncodeLevelFile(const LevelData& level) {
  std::string bytes;
  bytes.reserve(kLevelFileSize);
  auto put = [&bytes](int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>((u >> shift) & 0xff));
  };
  put(level.headerWord);
  for (int32_t code : level.codes) put(code);
  return bytes;
}

std::string TokenOfCode(int code) {
  static const char kColours[] = "RBY";
  static const char kFlowers[] = "rby";
  static const char kMarks[] = "<^>v";
  if (code <= 0) return "..";
  if (code == kCodeGround) return "##";
  if (code >= 100 && code <= 129 && code % 10 <= 3) {
    return std::string{kColours[(code - 100) / 10], kMarks[code % 10]};
  }
  if (code >= 200 && (code / 10) % 10 <= 2) return std::string{kFlowers[(code / 10) % 10], '*'};
  int32_t w = 0, h = 0;
  if (GrayStoneExtent(code, &w, &h) && w > 0 && w <= 9 && h <= 9 && GrayCode(w, h) == code) {
    return std::string{static_cast<char>('0' + w), static_cast<char>('0' + h)};
  }
  if (code < 50 || code > 199) return "[]";
  return "??";
}
