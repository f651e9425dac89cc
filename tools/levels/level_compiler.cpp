// level_compiler SOURCE.txt OUTPUT
// Turns the text of one level into its 564-byte level file. The output is
// written to a temporary file and renamed, so a failed run leaves no partial
// level behind.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "level_text.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s SOURCE.txt OUTPUT\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s: cannot read\n", argv[1]);
    return 1;
  }
  std::ostringstream text;
  text << in.rdbuf();
  LevelData level;
  std::string error;
  if (!ParseLevelText(text.str(), &level, &error)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
    return 1;
  }
  const std::string bytes = EncodeLevelFile(level);
  const std::string temporary = std::string(argv[2]) + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      std::fprintf(stderr, "%s: cannot write\n", temporary.c_str());
      std::remove(temporary.c_str());
      return 1;
    }
  }
  if (std::rename(temporary.c_str(), argv[2]) != 0) {
    std::fprintf(stderr, "%s: cannot rename to %s\n", temporary.c_str(), argv[2]);
    std::remove(temporary.c_str());
    return 1;
  }
  return 0;
}
