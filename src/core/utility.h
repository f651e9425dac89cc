// Small utilities of the library core: Shift-JIS aware text functions, byte
// fills and copies, safe numeric conversions, 128-bit arithmetic, intrusive
// lists, the ring buffer, matrices and vectors, rectangle clipping and the
// Mersenne Twister random numbers.
#pragma once

#include "platform/wintypes.h"

#include <cstddef>
#include <cstdint>

// ---- text -------------------------------------------------------------------------
// Text kinds (CodePageKind): 1 Japanese (Shift-JIS), 2 Korean, 3 traditional
// Chinese, 4 simplified Chinese.
constexpr int kTextKindJapanese = 1;

// 1 when the byte at p starts a double-byte character of the given kind, else 0.
int IsLeadByte(const void* p, int kind);
// The byte length of the character at text: 2 for a lead byte followed by a
// trail byte, else 1 (a lead byte right before the NUL stands alone); 0 at the NUL.
int CharacterBytes(const char* text, int kind = kTextKindJapanese);

// Copies source into destination (size bytes with the NUL), never splitting a
// double-byte character; returns the bytes copied without the NUL. Size 0
// copies nothing.
size_t CopyText(char* destination, size_t size, const char* source, int kind = kTextKindJapanese);
// Appends source to the text in destination the same way; returns the new length.
size_t AppendText(char* destination, size_t size, const char* source, int kind = kTextKindJapanese);
// 0 when the two texts are equal, 1 otherwise (no ordering).
int CompareTexts(const char* a, const char* b);
// The same, with ASCII letters of single-byte characters matched in either
// case (double-byte characters are compared as they stand).
int CompareTextsNoCase(const char* a, const char* b, int kind = kTextKindJapanese);
// The first / last single-byte character c of text that is not the trail byte
// of a double-byte character, or null.
const char* FindCharInText(const char* text, char c, int kind = kTextKindJapanese);
const char* FindLastCharInText(const char* text, char c, int kind = kTextKindJapanese);
// The first place where pattern starts at a character boundary of text, or
// null; an empty pattern is found at the start.
const char* FindTextInText(const char* text, const char* pattern, int kind = kTextKindJapanese);
// The number of characters (a double-byte character counts once).
size_t CountTextChars(const char* text, int kind = kTextKindJapanese);

// ---- bytes ------------------------------------------------------------------------------
void FillBytes(void* destination, int value, size_t count);
// Forward copy without overlap handling.
void CopyBytes(void* destination, const void* source, size_t count);

// ---- numbers ------------------------------------------------------------------------
int32_t AbsInt(int32_t value);  // INT32_MIN gives INT32_MAX
float AbsFloat(float value);
// Truncate toward zero; values beyond the 32-bit range saturate, NaN gives 0.
int32_t DoubleToInt(double value);
int32_t FloatToInt(float value);
double PowFloat(float base, float exponent);
void SinCosFloat(float angle, float* sine, float* cosine);

// product = a x b as four 32-bit words, low first.
void Multiply64To128(uint64_t a, uint64_t b, uint32_t product[4]);
// quotient = dividend (four 32-bit words, low first) / divisor. Returns 0; when
// the divisor is 0 or the quotient does not fit in 64 bits it stores
// UINT64_MAX and returns -1.
int Divide128By64(const uint32_t dividend[4], uint64_t divisor, uint64_t* quotient);

// ---- lists ------------------------------------------------------------------------------
struct ListNode {
    int32_t value;
    void* data;
    ListNode* prev;
    ListNode* next;
};
// Links head and sentinel to each other, both with value -1: an empty list.
// A walk starts at head->next and stops at the node whose next is null.
void InitList(ListNode* head, ListNode* sentinel);
// Links node right after head.
void InsertListNode(ListNode* head, ListNode* node, int32_t value, void* data);
// Unlinks node from its neighbours (a node not in a list is left alone).
void RemoveListNode(ListNode* node);

// ---- ring buffer ----------------------------------------------------------------------
struct RingBuffer {
    uint8_t* data;
    uint32_t readPosition;
    uint32_t writePosition;
    uint32_t storedBytes;
    uint32_t capacity;
};
// Allocates capacity bytes for an empty ring; 0, or -1 when memory is refused.
int InitRingBuffer(RingBuffer* ring, uint32_t capacity);
// Stores bytes with wrap-around; -1 (nothing stored) when they do not fit.
int WriteRingBuffer(RingBuffer* ring, const void* source, uint32_t bytes);
// Copies bytes out with wrap-around, consuming them unless peek is set; -1
// (nothing copied) when fewer are stored.
int ReadRingBuffer(RingBuffer* ring, void* destination, uint32_t bytes, int32_t peek);
// Frees the data and zeroes the record.
void FreeRingBuffer(RingBuffer* ring);

// ---- matrices and vectors ------------------------------------------------------------
// 16 floats row by row, row-vector convention; the translation is in
// elements 12 to 14 (m[3][0..2]).
struct Matrix4 {
    float m[4][4];
};
struct Vector3 {
    float x, y, z;
};
constexpr Matrix4 kIdentityMatrix = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
void TransposeMatrix(Matrix4* out, const Matrix4* in);  // out may be in
// out = a x b (row vectors: a is applied first); out may be a or b.
void MultiplyMatrix(Matrix4* out, const Matrix4* a, const Matrix4* b);
// out = vector x matrix, with the translation row; returns out (which may be vector).
Vector3* TransformVector(Vector3* out, const Vector3* vector, const Matrix4* matrix);
// (x, y, z) divided by its length; a zero (or not finite) length gives (0, 0, 0).
Vector3* MakeNormalizedVector(float x, float y, float z, Vector3* out);

// ---- rectangles -------------------------------------------------------------------------
// Clips rect (right and bottom exclusive) to clip in place: an inverted edge is
// first raised to its opposite, then every edge is clamped into clip. The result
// never has a negative width or height. Returns 0.
int ClipRect(RECT* rect, const RECT* clip);

// ---- random numbers (MT19937) ----------------------------------------------------------
struct RandomState {
    uint32_t words[624];
    int index;
};
void SeedRandomState(RandomState* state, uint32_t seed);
uint32_t NextRandom(RandomState* state);
// The library's shared generator (seeded with 5489 until SeedRandom is called).
void SeedRandom(uint32_t seed);
uint32_t GetRandom();
