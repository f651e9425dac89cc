// Utilities: Shift-JIS text functions, numbers, 128-bit arithmetic, lists,
// the ring buffer, vectors, ClipRect and the Mersenne Twister.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "core/memory.h"
#include "core/utility.h"

namespace {

// Shift-JIS samples: "表" = 95 5C and "ソ" = 83 5C (trail byte '\'),
// "ア" = 83 41 (trail byte 'A'), "ｱ" = B1 (half-width, one byte).
const char kHyou[] = "\x95\x5C";
const char kSo[] = "\x83\x5C";
const char kA[] = "\x83\x41";

TEST(ShiftJis, LeadBytesByKind) {
    const unsigned char bytes[] = {0x80, 0x81, 0x9F, 0xA0, 0xB1, 0xDF, 0xE0, 0xFC, 0xFD, 0x5C};
    const int japanese[] = {0, 1, 1, 0, 0, 0, 1, 1, 0, 0};
    for (size_t i = 0; i < sizeof bytes; ++i) {
        EXPECT_EQ(IsLeadByte(&bytes[i], 1), japanese[i]) << std::hex << int(bytes[i]);
        EXPECT_EQ(IsLeadByte(&bytes[i], 3), bytes[i] >= 0x80 ? 1 : 0);
    }
    EXPECT_EQ(IsLeadByte(nullptr, 1), 0);
}

TEST(ShiftJis, SearchesSkipTrailBytes) {
    std::string path = std::string("dir\\") + kHyou + kSo + "\\name" + kA;
    const char* text = path.c_str();
    // The '\' bytes inside the characters are not separators.
    EXPECT_EQ(FindCharInText(text, '\\'), text + 3);
    EXPECT_EQ(FindLastCharInText(text, '\\'), text + 8);
    EXPECT_EQ(FindCharInText(kSo, '\\'), nullptr);
    // 'A' is the trail byte of "ア" only.
    EXPECT_EQ(FindCharInText(text, 'A'), nullptr);
    EXPECT_EQ(FindTextInText(text, "\\name"), text + 8);
    EXPECT_EQ(FindTextInText(text, "\\"), text + 3);
    std::string trailAndNext = std::string("\x5C") + "\x83";  // the tail of 表 and the lead of ソ
    EXPECT_EQ(FindTextInText(text, trailAndNext.c_str()), nullptr) << "a match must start on a character";
    std::string cut = std::string("x") + "\x83";
    std::string withA = std::string("x") + kA;
    EXPECT_EQ(FindTextInText(withA.c_str(), cut.c_str()), nullptr) << "a match must not end inside a character";
    EXPECT_EQ(FindTextInText(text, ""), text);
    EXPECT_EQ(CountTextChars(text), 12u);
    // A lead byte before the NUL is one character and nothing past the NUL is read.
    char lone[] = {'a', '\x95', '\0', 'z'};
    EXPECT_EQ(CountTextChars(lone), 2u);
    EXPECT_EQ(CharacterBytes(lone + 1), 1);
    EXPECT_EQ(FindCharInText(lone, 'z'), nullptr);
}

TEST(ShiftJis, CopyNeverSplitsACharacter) {
    std::string source = std::string("ab") + kHyou + "c";
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(CopyText(buffer, 4, source.c_str()), 2u) << "表 would need bytes 3 and 4";
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(CopyText(buffer, 5, source.c_str()), 4u);
    EXPECT_EQ(std::string(buffer), std::string("ab") + kHyou);
    EXPECT_EQ(CopyText(buffer, sizeof buffer, source.c_str()), 5u);
    EXPECT_EQ(std::string(buffer), source);
    EXPECT_EQ(CopyText(buffer, 1, source.c_str()), 0u);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(CopyText(buffer, 0, source.c_str()), 0u);

    char joined[8] = "a";
    EXPECT_EQ(AppendText(joined, sizeof joined, (std::string(kSo) + kSo + kSo).c_str()), 7u);
    EXPECT_EQ(std::string(joined), std::string("a") + kSo + kSo + kSo);
    EXPECT_EQ(AppendText(joined, sizeof joined, "more"), 7u) << "full: nothing appended";
}

TEST(ShiftJis, Comparisons) {
    EXPECT_EQ(CompareTexts("abc", "abc"), 0);
    EXPECT_EQ(CompareTexts("abc", "abd"), 1);
    EXPECT_EQ(CompareTexts("abd", "abc"), 1) << "no ordering";
    EXPECT_EQ(CompareTexts("ab", "abc"), 1);
    EXPECT_EQ(CompareTextsNoCase("Data\\File.PNG", "data\\file.png"), 0);
    // "ア" (83 41) and "ャ" (83 61) differ only in a trail byte that looks like 'A'/'a'.
    EXPECT_EQ(CompareTextsNoCase(kA, "\x83\x61"), 1);
    EXPECT_EQ(CompareTextsNoCase("a", "ab"), 1);
}

TEST(Numbers, SaturatingConversions) {
    // {value, result}: truncation toward 0, saturation from 2^31 on, NaN as 0.
    const double doubles[][2] = {{2.9, 2}, {-2.9, -2}, {2147483647.9, INT32_MAX}, {2147483648.0, INT32_MAX},
                                 {1e300, INT32_MAX}, {-2147483648.9, INT32_MIN}, {-1e300, INT32_MIN}, {std::nan(""), 0}};
    for (const auto& c : doubles) EXPECT_EQ(DoubleToInt(c[0]), c[1]) << c[0];
    EXPECT_EQ(FloatToInt(-0.5f), 0);
    EXPECT_EQ(FloatToInt(3e9f), INT32_MAX);
    EXPECT_EQ(FloatToInt(-std::numeric_limits<float>::infinity()), INT32_MIN);
    EXPECT_EQ(AbsInt(-5), 5);
    EXPECT_EQ(AbsInt(INT32_MIN), INT32_MAX);
    EXPECT_EQ(AbsFloat(-1.5f), 1.5f);
    EXPECT_DOUBLE_EQ(PowFloat(2.0f, 10.0f), 1024.0);
    float s, c;
    SinCosFloat(0.5f, &s, &c);
    EXPECT_FLOAT_EQ(s, std::sin(0.5f));
    EXPECT_FLOAT_EQ(c, std::cos(0.5f));
}

unsigned __int128 Join(const uint32_t words[4]) {
    unsigned __int128 value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 32) | words[i];
    return value;
}

TEST(Arithmetic128, MatchesTheCompilersWideType) {
    const uint64_t samples[] = {0, 1, 2, 3, 0xFFFFFFFFull, 0x100000000ull, 0x123456789ABCDEFull,
                                0x8000000000000000ull, 0xFFFFFFFFFFFFFFFFull, 44100, 1000000007ull};
    for (uint64_t a : samples) {
        for (uint64_t b : samples) {
            uint32_t product[4];
            Multiply64To128(a, b, product);
            unsigned __int128 expected = static_cast<unsigned __int128>(a) * b;
            ASSERT_TRUE(Join(product) == expected) << a << " x " << b;
            if (b == 0) continue;
            uint64_t quotient = 0;
            unsigned __int128 exact = expected / b;  // == a
            ASSERT_EQ(Divide128By64(product, b, &quotient), 0);
            ASSERT_EQ(quotient, static_cast<uint64_t>(exact));
            // Plus a remainder below the divisor: the quotient stays a.
            unsigned __int128 padded = expected + (b - 1);
            uint32_t words[4];
            for (int i = 0; i < 4; ++i) words[i] = static_cast<uint32_t>(padded >> (32 * i));
            ASSERT_EQ(Divide128By64(words, b, &quotient), 0);
            ASSERT_EQ(quotient, a);
        }
    }
}

TEST(Arithmetic128, ZeroDivisorAndOverflowSaturate) {
    uint32_t value[4] = {5, 0, 0, 0};
    uint64_t quotient = 0;
    EXPECT_EQ(Divide128By64(value, 0, &quotient), -1);
    EXPECT_EQ(quotient, UINT64_MAX);
    uint32_t huge[4] = {0, 0, 1, 0};  // 2^64
    EXPECT_EQ(Divide128By64(huge, 1, &quotient), -1);
    EXPECT_EQ(quotient, UINT64_MAX);
    EXPECT_EQ(Divide128By64(huge, 2, &quotient), 0);
    EXPECT_EQ(quotient, 0x8000000000000000ull);
}

TEST(Lists, InsertWalkAndRemove) {
    ListNode head, sentinel, a, b, c;
    InitList(&head, &sentinel);
    EXPECT_EQ(head.value, -1);
    EXPECT_EQ(sentinel.value, -1);
    EXPECT_EQ(head.next, &sentinel);
    EXPECT_EQ(sentinel.next, nullptr);
    int payload = 0;
    InsertListNode(&head, &a, 1, &payload);
    InsertListNode(&head, &b, 2, nullptr);
    InsertListNode(&head, &c, 3, nullptr);
    auto walk = [&] {
        std::string seen;
        for (ListNode* node = head.next; node->next != nullptr; node = node->next) seen += std::to_string(node->value);
        return seen;
    };
    EXPECT_EQ(walk(), "321");
    EXPECT_EQ(a.data, &payload);
    RemoveListNode(&b);
    EXPECT_EQ(walk(), "31");
    EXPECT_EQ(c.next, &a);
    EXPECT_EQ(a.prev, &c);
    RemoveListNode(&a);
    RemoveListNode(&c);
    EXPECT_EQ(walk(), "");
    EXPECT_EQ(sentinel.prev, &head);
}

TEST(Rings, WrapPeekAndShortReads) {
    RingBuffer ring;
    ASSERT_EQ(InitRingBuffer(&ring, 8), 0);
    uint32_t blocks = AllocatedBlockCount();
    EXPECT_EQ(WriteRingBuffer(&ring, "abcdef", 6), 0);
    char out[9] = {};
    EXPECT_EQ(ReadRingBuffer(&ring, out, 4, 0), 0);
    EXPECT_STREQ(out, "abcd");
    EXPECT_EQ(WriteRingBuffer(&ring, "ghijkl", 6), 0);  // wraps
    EXPECT_EQ(WriteRingBuffer(&ring, "m", 1), -1) << "full";
    std::memset(out, 0, sizeof out);
    EXPECT_EQ(ReadRingBuffer(&ring, out, 8, 1), 0);
    EXPECT_STREQ(out, "efghijkl");
    EXPECT_EQ(ring.storedBytes, 8u) << "a peek consumes nothing";
    EXPECT_EQ(ReadRingBuffer(&ring, out, 9, 0), -1);
    EXPECT_EQ(ring.storedBytes, 8u);
    std::memset(out, 0, sizeof out);
    EXPECT_EQ(ReadRingBuffer(&ring, out, 8, 0), 0);
    EXPECT_STREQ(out, "efghijkl");
    EXPECT_EQ(ring.storedBytes, 0u);
    FreeRingBuffer(&ring);
    EXPECT_EQ(ring.data, nullptr);
    EXPECT_EQ(ring.capacity, 0u);
    EXPECT_EQ(AllocatedBlockCount(), blocks - 1);
    EXPECT_EQ(ReadRingBuffer(&ring, out, 1, 0), -1);
}

TEST(Geometry, MatricesAndVectors) {
    Matrix4 m{};
    for (int i = 0; i < 16; ++i) m.m[i / 4][i % 4] = static_cast<float>(i);
    Matrix4 t;
    TransposeMatrix(&t, &m);
    EXPECT_EQ(t.m[0][1], 4.0f);
    EXPECT_EQ(t.m[3][0], 3.0f);
    TransposeMatrix(&t, &t);  // in place
    EXPECT_EQ(std::memcmp(&t, &m, sizeof m), 0);

    Matrix4 move{};
    move.m[0][0] = move.m[1][1] = move.m[2][2] = move.m[3][3] = 2.0f;
    move.m[3][0] = 10.0f;  // translation in elements 12 to 14
    move.m[3][1] = 20.0f;
    move.m[3][2] = 30.0f;
    Vector3 v{1.0f, 2.0f, 3.0f};
    EXPECT_EQ(TransformVector(&v, &v, &move), &v);
    EXPECT_EQ(v.x, 12.0f);
    EXPECT_EQ(v.y, 24.0f);
    EXPECT_EQ(v.z, 36.0f);

    Vector3 n;
    MakeNormalizedVector(3.0f, 0.0f, 4.0f, &n);
    EXPECT_FLOAT_EQ(n.x, 0.6f);
    EXPECT_FLOAT_EQ(n.z, 0.8f);
    MakeNormalizedVector(0.0f, 0.0f, 0.0f, &n);
    EXPECT_EQ(n.x, 0.0f);
    EXPECT_EQ(n.y, 0.0f);
    EXPECT_EQ(n.z, 0.0f);
    MakeNormalizedVector(1e-30f, 0.0f, 0.0f, &n);  // the square underflows in float
    EXPECT_FLOAT_EQ(n.x, 1.0f);
}

RECT Clip(RECT rect, RECT clip) {
    ClipRect(&rect, &clip);
    return rect;
}

bool Same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(Rectangles, ClipRectRule) {
    const RECT screen{0, 0, 320, 240};
    EXPECT_TRUE(Same(Clip({10, 20, 30, 40}, screen), {10, 20, 30, 40}));
    EXPECT_TRUE(Same(Clip({-10, -20, 400, 300}, screen), {0, 0, 320, 240}));
    // Wholly outside: empty, never negative.
    EXPECT_TRUE(Same(Clip({400, 10, 500, 20}, screen), {320, 10, 320, 20}));
    EXPECT_TRUE(Same(Clip({-50, -50, -10, -10}, screen), {0, 0, 0, 0}));
    // Inverted: right raised to left and bottom to top first.
    EXPECT_TRUE(Same(Clip({50, 60, 10, 20}, screen), {50, 60, 50, 60}));
    EXPECT_TRUE(Same(Clip({500, 300, 100, 100}, screen), {320, 240, 320, 240}));
    // Even an inverted clip rectangle gives no negative size.
    RECT odd = Clip({0, 0, 100, 100}, {50, 50, 40, 40});
    EXPECT_GE(odd.right - odd.left, 0);
    EXPECT_GE(odd.bottom - odd.top, 0);
    RECT extreme{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    EXPECT_EQ(ClipRect(&extreme, &screen), 0);
    EXPECT_TRUE(Same(extreme, screen));
}

TEST(Random, MersenneTwisterReferenceValues) {
    RandomState state;
    SeedRandomState(&state, 5489u);
    EXPECT_EQ(NextRandom(&state), 3499211612u);
    EXPECT_EQ(NextRandom(&state), 581869302u);
    for (int i = 2; i < 9999; ++i) NextRandom(&state);
    EXPECT_EQ(NextRandom(&state), 4123659995u) << "the 10000th output of seed 5489";
    SeedRandom(5489u);
    EXPECT_EQ(GetRandom(), 3499211612u);
    SeedRandom(1u);
    EXPECT_EQ(GetRandom(), 1791095845u);
}

}  // namespace
