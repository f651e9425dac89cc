// Font files are read whole in blocks: every size around the block edges
// comes back byte for byte, a missing path or a directory is refused.
#include "platform/gdi32/gdi32_font.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr size_t kBlock = 65536;

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 131 + i / 251) & 0xFF);
    return bytes;
}

class FontFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ = std::filesystem::temp_directory_path() / ("font_file_test." + std::to_string(getpid()));
        std::filesystem::create_directories(directory_);
    }
    void TearDown() override { std::filesystem::remove_all(directory_); }
    std::string Write(const std::vector<uint8_t>& bytes) {
        const std::string path = (directory_ / "face.ttf").string();
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr) return "";
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        return path;
    }
    std::filesystem::path directory_;
};

TEST_F(FontFileTest, EverySizeAroundTheBlockEdgesComesBackWhole) {
    struct Case {
        const char* what;
        size_t size;
    };
    const Case cases[] = {
        {"empty", 0},           {"one byte", 1},
        {"one short of a block", kBlock - 1}, {"one block", kBlock},
        {"one past a block", kBlock + 1},     {"three blocks and a bit", 3 * kBlock + 7},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> expected = Pattern(c.size);
        const std::string path = Write(expected);
        ASSERT_FALSE(path.empty()) << c.what;
        std::vector<uint8_t> bytes{1, 2, 3};  // whatever was there goes
        EXPECT_TRUE(platform::ReadFontFile(path, &bytes)) << c.what;
        EXPECT_EQ(bytes.size(), c.size) << c.what;
        EXPECT_TRUE(bytes == expected) << c.what;
    }
}

TEST_F(FontFileTest, WhatCannotBeReadIsRefusedEmpty) {
    struct Case {
        const char* what;
        std::string path;
    };
    const Case cases[] = {
        {"missing file", (directory_ / "none.ttf").string()},
        {"a directory", directory_.string()},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes{1, 2, 3};
        EXPECT_FALSE(platform::ReadFontFile(c.path, &bytes)) << c.what;
        EXPECT_TRUE(bytes.empty()) << c.what;
    }
}

}  // namespace
