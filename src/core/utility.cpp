// Small utilities of the library core.
#include "core/utility.h"

#include "core/memory.h"

#include <cmath>
#include <cstring>
#include <mutex>

// ---- text -------------------------------------------------------------------------------

int IsLeadByte(const void* p, int kind) {
    if (p == nullptr) return 0;
    unsigned char c = *static_cast<const unsigned char*>(p);
    if (kind == 2 || kind == 3 || kind == 4) return c >= 0x80 ? 1 : 0;
    return ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) ? 1 : 0;
}

int CharacterBytes(const char* text, int kind) {
    if (text == nullptr || text[0] == '\0') return 0;
    return (IsLeadByte(text, kind) && text[1] != '\0') ? 2 : 1;
}

size_t CopyText(char* destination, size_t size, const char* source, int kind) {
    if (destination == nullptr || size == 0) return 0;
    size_t length = 0;
    if (source != nullptr) {
        for (int n; (n = CharacterBytes(source + length, kind)) > 0; length += n) {
            if (length + n > size - 1) break;
            std::memcpy(destination + length, source + length, n);
        }
    }
    destination[length] = '\0';
    return length;
}

size_t AppendText(char* destination, size_t size, const char* source, int kind) {
    if (destination == nullptr || size == 0) return 0;
    size_t length = strnlen(destination, size);
    if (length >= size) {  // no NUL inside the buffer: end it where a character ends
        size_t cut = 0;
        for (int n; cut < size - 1 && (n = IsLeadByte(destination + cut, kind) ? 2 : 1) > 0; cut += n)
            if (cut + n > size - 1) break;
        destination[cut] = '\0';
        return cut;
    }
    return length + CopyText(destination + length, size - length, source, kind);
}

int CompareTexts(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return a == b ? 0 : 1;
    return std::strcmp(a, b) == 0 ? 0 : 1;
}

int CompareTextsNoCase(const char* a, const char* b, int kind) {
    if (a == nullptr || b == nullptr) return a == b ? 0 : 1;
    for (;;) {
        int na = CharacterBytes(a, kind);
        int nb = CharacterBytes(b, kind);
        if (na != nb) return 1;
        if (na == 0) return 0;
        if (na == 1) {
            unsigned char ca = static_cast<unsigned char>(*a);
            unsigned char cb = static_cast<unsigned char>(*b);
            if (ca >= 'A' && ca <= 'Z') ca += 'a' - 'A';
            if (cb >= 'A' && cb <= 'Z') cb += 'a' - 'A';
            if (ca != cb) return 1;
        } else if (a[0] != b[0] || a[1] != b[1]) {
            return 1;
        }
        a += na;
        b += nb;
    }
}

const char* FindCharInText(const char* text, char c, int kind) {
    if (text == nullptr) return nullptr;
    for (int n; (n = CharacterBytes(text, kind)) > 0; text += n)
        if (n == 1 && *text == c) return text;
    return nullptr;
}

const char* FindLastCharInText(const char* text, char c, int kind) {
    const char* found = nullptr;
    if (text == nullptr) return nullptr;
    for (int n; (n = CharacterBytes(text, kind)) > 0; text += n)
        if (n == 1 && *text == c) found = text;
    return found;
}

const char* FindTextInText(const char* text, const char* pattern, int kind) {
    if (text == nullptr || pattern == nullptr) return nullptr;
    size_t patternLength = std::strlen(pattern);
    for (const char* start = text;; start += CharacterBytes(start, kind)) {
        if (std::strncmp(start, pattern, patternLength) == 0) {
            // The match must end where a character of text ends.
            size_t walked = 0;
            while (walked < patternLength) walked += CharacterBytes(start + walked, kind);
            if (walked == patternLength) return start;
        }
        if (*start == '\0') return nullptr;
    }
}

size_t CountTextChars(const char* text, int kind) {
    size_t count = 0;
    if (text == nullptr) return 0;
    for (int n; (n = CharacterBytes(text, kind)) > 0; text += n) ++count;
    return count;
}

// ---- bytes ------------------------------------------------------------------------------

void FillBytes(void* destination, int value, size_t count) {
    if (destination == nullptr || count == 0) return;
    std::memset(destination, value, count);
}

void CopyBytes(void* destination, const void* source, size_t count) {
    if (destination == nullptr || source == nullptr || count == 0) return;
    auto* to = static_cast<unsigned char*>(destination);
    auto* from = static_cast<const unsigned char*>(source);
    for (size_t i = 0; i < count; ++i) to[i] = from[i];
}

// ---- numbers ----------------------------------------------------------------------------

int32_t AbsInt(int32_t value) {
    if (value == INT32_MIN) return INT32_MAX;
    return value < 0 ? -value : value;
}

float AbsFloat(float value) { return std::fabs(value); }

int32_t DoubleToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0) return INT32_MAX;
    if (value <= -2147483649.0) return INT32_MIN;
    return static_cast<int32_t>(value);
}

int32_t FloatToInt(float value) { return DoubleToInt(static_cast<double>(value)); }

double PowFloat(float base, float exponent) {
    return std::pow(static_cast<double>(base), static_cast<double>(exponent));
}

void SinCosFloat(float angle, float* sine, float* cosine) {
    if (sine != nullptr) *sine = std::sin(angle);
    if (cosine != nullptr) *cosine = std::cos(angle);
}

void Multiply64To128(uint64_t a, uint64_t b, uint32_t product[4]) {
    if (product == nullptr) return;
    unsigned __int128 p = static_cast<unsigned __int128>(a) * b;
    for (int i = 0; i < 4; ++i) product[i] = static_cast<uint32_t>(p >> (32 * i));
}

int Divide128By64(const uint32_t dividend[4], uint64_t divisor, uint64_t* quotient) {
    if (dividend == nullptr || quotient == nullptr) return -1;
    unsigned __int128 value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 32) | dividend[i];
    if (divisor == 0) {
        *quotient = UINT64_MAX;
        return -1;
    }
    unsigned __int128 q = value / divisor;
    if (q > UINT64_MAX) {
        *quotient = UINT64_MAX;
        return -1;
    }
    *quotient = static_cast<uint64_t>(q);
    return 0;
}

// ---- lists ------------------------------------------------------------------------------

void InitList(ListNode* head, ListNode* sentinel) {
    head->value = -1;
    head->data = nullptr;
    head->prev = nullptr;
    head->next = sentinel;
    sentinel->value = -1;
    sentinel->data = nullptr;
    sentinel->prev = head;
    sentinel->next = nullptr;
}

void InsertListNode(ListNode* head, ListNode* node, int32_t value, void* data) {
    node->value = value;
    node->data = data;
    node->prev = head;
    node->next = head->next;
    if (head->next != nullptr) head->next->prev = node;
    head->next = node;
}

void RemoveListNode(ListNode* node) {
    if (node->prev != nullptr) node->prev->next = node->next;
    if (node->next != nullptr) node->next->prev = node->prev;
    node->prev = nullptr;
    node->next = nullptr;
}

// ---- ring buffer ------------------------------------------------------------------------

int InitRingBuffer(RingBuffer* ring, uint32_t capacity) {
    std::memset(ring, 0, sizeof *ring);
    if (capacity == 0) return -1;
    ring->data = static_cast<uint8_t*>(AllocMemory(capacity, __FILE__, __LINE__));
    if (ring->data == nullptr) return -1;
    ring->capacity = capacity;
    return 0;
}

int WriteRingBuffer(RingBuffer* ring, const void* source, uint32_t bytes) {
    if (ring == nullptr || ring->data == nullptr || bytes > ring->capacity - ring->storedBytes) return -1;
    if (bytes == 0) return 0;
    uint32_t first = ring->capacity - ring->writePosition;
    if (first > bytes) first = bytes;
    std::memcpy(ring->data + ring->writePosition, source, first);
    std::memcpy(ring->data, static_cast<const uint8_t*>(source) + first, bytes - first);
    ring->writePosition = (ring->writePosition + bytes) % ring->capacity;
    ring->storedBytes += bytes;
    return 0;
}

int ReadRingBuffer(RingBuffer* ring, void* destination, uint32_t bytes, int32_t peek) {
    if (ring == nullptr || bytes > ring->storedBytes) return -1;
    if (bytes == 0) return 0;
    uint32_t first = ring->capacity - ring->readPosition;
    if (first > bytes) first = bytes;
    std::memcpy(destination, ring->data + ring->readPosition, first);
    std::memcpy(static_cast<uint8_t*>(destination) + first, ring->data, bytes - first);
    if (!peek) {
        ring->readPosition = (ring->readPosition + bytes) % ring->capacity;
        ring->storedBytes -= bytes;
    }
    return 0;
}

void FreeRingBuffer(RingBuffer* ring) {
    if (ring == nullptr) return;
    FreeMemory(ring->data);
    std::memset(ring, 0, sizeof *ring);
}

// ---- matrices and vectors ----------------------------------------------------------------

void MultiplyMatrix(Matrix4* out, const Matrix4* a, const Matrix4* b) {
    Matrix4 result;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a->m[row][k] * b->m[k][column];
            result.m[row][column] = sum;
        }
    *out = result;
}

void TransposeMatrix(Matrix4* out, const Matrix4* in) {
    Matrix4 result;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) result.m[row][column] = in->m[column][row];
    *out = result;
}

Vector3* TransformVector(Vector3* out, const Vector3* vector, const Matrix4* matrix) {
    const float (*m)[4] = matrix->m;
    Vector3 v = *vector;
    out->x = v.x * m[0][0] + v.y * m[1][0] + v.z * m[2][0] + m[3][0];
    out->y = v.x * m[0][1] + v.y * m[1][1] + v.z * m[2][1] + m[3][1];
    out->z = v.x * m[0][2] + v.y * m[1][2] + v.z * m[2][2] + m[3][2];
    return out;
}

Vector3* MakeNormalizedVector(float x, float y, float z, Vector3* out) {
    double length = std::sqrt(static_cast<double>(x) * x + static_cast<double>(y) * y + static_cast<double>(z) * z);
    if (!(length > 0.0) || !std::isfinite(length)) {
        *out = Vector3{0.0f, 0.0f, 0.0f};
        return out;
    }
    out->x = static_cast<float>(x / length);
    out->y = static_cast<float>(y / length);
    out->z = static_cast<float>(z / length);
    return out;
}

// ---- rectangles -------------------------------------------------------------------------

static LONG ClampEdge(LONG value, LONG low, LONG high) {
    if (value < low) value = low;
    if (value > high) value = high;
    return value;
}

int ClipRect(RECT* rect, const RECT* clip) {
    if (rect->right < rect->left) rect->right = rect->left;
    if (rect->bottom < rect->top) rect->bottom = rect->top;
    rect->top = ClampEdge(rect->top, clip->top, clip->bottom);
    rect->bottom = ClampEdge(rect->bottom, clip->top, clip->bottom);
    rect->left = ClampEdge(rect->left, clip->left, clip->right);
    rect->right = ClampEdge(rect->right, clip->left, clip->right);
    return 0;
}

// ---- random numbers (MT19937) --------------------------------------------------------------

void SeedRandomState(RandomState* state, uint32_t seed) {
    state->words[0] = seed;
    for (int i = 1; i < 624; ++i) {
        uint32_t previous = state->words[i - 1];
        state->words[i] = 1812433253u * (previous ^ (previous >> 30)) + static_cast<uint32_t>(i);
    }
    state->index = 624;
}

uint32_t NextRandom(RandomState* state) {
    constexpr uint32_t kUpper = 0x80000000u, kLower = 0x7FFFFFFFu, kMatrix = 0x9908B0DFu;
    if (state->index >= 624 || state->index < 0) {
        if (state->index != 624) SeedRandomState(state, 5489u);
        for (int i = 0; i < 624; ++i) {
            uint32_t y = (state->words[i] & kUpper) | (state->words[(i + 1) % 624] & kLower);
            state->words[i] = state->words[(i + 397) % 624] ^ (y >> 1) ^ ((y & 1u) ? kMatrix : 0u);
        }
        state->index = 0;
    }
    uint32_t y = state->words[state->index++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

namespace {
std::mutex g_randomLock;
RandomState g_random;
bool g_randomSeeded = false;
}  // namespace

void SeedRandom(uint32_t seed) {
    std::lock_guard<std::mutex> lock(g_randomLock);
    SeedRandomState(&g_random, seed);
    g_randomSeeded = true;
}

uint32_t GetRandom() {
    std::lock_guard<std::mutex> lock(g_randomLock);
    if (!g_randomSeeded) {
        SeedRandomState(&g_random, 5489u);
        g_randomSeeded = true;
    }
    return NextRandom(&g_random);
}
