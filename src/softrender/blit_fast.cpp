// The common cases of the unscaled blit: copy, alpha blend, add and subtract
// from a direct source without alpha, with or without the transparent colour,
// white brightness and no blend image. Eight (16-bit) or four (32-bit) pixels
// per step with SSE2; the remaining pixels of a row go through the general
// pixel rule, so both give the same results.
#include "softrender/blit_fast.h"

#ifdef __SSE2__
#include <immintrin.h>
#endif

#include <atomic>
#include <cstdio>
#include <time.h>
#include <unistd.h>

namespace soft {
namespace {

#ifdef __SSE2__

inline __m128i LoadU(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void StoreU(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// Lanes where keep is all ones take d, the others r.
inline __m128i Select(__m128i keep, __m128i d, __m128i r) {
    return _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, r));
}

// floor(y / 255) for 16-bit lanes y (exact for every 16-bit value).
inline __m128i DivideBy255(__m128i y) { return _mm_srli_epi16(_mm_mulhi_epu16(y, _mm_set1_epi16(-32639)), 7); }

// ---- 32-bit: four pixels per step -----------------------------------------

// S[p][channel] of the three colour bytes, the fourth byte 0.
inline __m128i Scale32(__m128i s, __m128i p16) {
    __m128i zero = _mm_setzero_si128();
    __m128i lo = DivideBy255(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), p16));
    __m128i hi = DivideBy255(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), p16));
    return _mm_and_si128(_mm_packus_epi16(lo, hi), _mm_set1_epi32(0x00FFFFFF));
}

// (256 d + p (s - d)) >> 8 = (d (256 - p) + s p) >> 8 per colour byte. The
// fourth byte is weighted 256 and 0, so it comes out as the destination's.
inline __m128i Alpha32(__m128i s, __m128i d, __m128i p16, __m128i q16) {
    __m128i zero = _mm_setzero_si128();
    __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), q16),
                               _mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), p16));
    __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), q16),
                               _mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), p16));
    return _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8));
}

// p = 128: (d + s) >> 1 per colour byte, computed as (d AND s) + ((d XOR s) >> 1);
// the source's fourth byte is replaced by the destination's first.
inline __m128i Half32(__m128i s, __m128i d) {
    __m128i top = _mm_set1_epi32(static_cast<int32_t>(0xFF000000));
    s = Select(top, d, s);
    __m128i half = _mm_and_si128(_mm_srli_epi16(_mm_xor_si128(d, s), 1), _mm_set1_epi8(0x7F));
    return _mm_add_epi8(_mm_and_si128(d, s), half);
}

inline __m128i Add32(__m128i d, __m128i t) {
    __m128i m = _mm_set1_epi32(0x00FEFEFF);
    __m128i sum = _mm_add_epi32(_mm_and_si128(d, m), _mm_and_si128(t, m));
    __m128i carry = _mm_and_si128(sum, _mm_set1_epi32(0x01010100));
    __m128i low = _mm_and_si128(_mm_or_si128(d, t), _mm_set1_epi32(0x00010100));
    return _mm_or_si128(_mm_or_si128(_mm_sub_epi32(carry, _mm_srli_epi32(carry, 8)), low), sum);
}

inline __m128i Subtract32(__m128i d, __m128i t) {
    __m128i g = _mm_set1_epi32(0x01010100);
    __m128i diff = _mm_sub_epi32(_mm_or_si128(d, g), _mm_and_si128(t, _mm_set1_epi32(static_cast<int32_t>(0xFEFEFEFF))));
    __m128i guard = _mm_and_si128(diff, g);
    return _mm_and_si128(_mm_sub_epi32(guard, _mm_srli_epi32(guard, 8)), diff);
}

// ---- 16-bit: eight pixels per step -----------------------------------------

struct Fields16 {
    __m128i r, g, b;
};

inline Fields16 Split16(__m128i v) {
    __m128i m5 = _mm_set1_epi16(31), m6 = _mm_set1_epi16(63);
    return Fields16{_mm_srli_epi16(v, 11), _mm_and_si128(_mm_srli_epi16(v, 5), m6), _mm_and_si128(v, m5)};
}

inline __m128i Join16(const Fields16& f) {
    return _mm_or_si128(_mm_or_si128(_mm_slli_epi16(f.r, 11), _mm_slli_epi16(f.g, 5)), f.b);
}

// d + T_p(x - d) for 16-bit lanes of one field (|x - d| <= 63). With
// y = p (x - d), y x 16449 >> 22 is floor(y / 255) for y >= 0 and one less
// for y < 0, so adding 1 for negative y truncates toward zero.
inline __m128i Toward16(__m128i d, __m128i x, __m128i p16) {
    __m128i y = _mm_mullo_epi16(_mm_sub_epi16(x, d), p16);
    __m128i q = _mm_srai_epi16(_mm_mulhi_epi16(y, _mm_set1_epi16(16449)), 6);
    return _mm_add_epi16(d, _mm_sub_epi16(q, _mm_srai_epi16(y, 15)));
}

// p = 128: T_128(k) = trunc(128 k / 255) equals trunc(k / 2) for |k| <= 63.
inline __m128i Half16(__m128i d, __m128i x) {
    __m128i k = _mm_sub_epi16(x, d);
    return _mm_add_epi16(d, _mm_srai_epi16(_mm_add_epi16(k, _mm_srli_epi16(k, 15)), 1));
}

inline __m128i HalfAlpha16(__m128i s, __m128i d) {
    Fields16 fs = Split16(s), fd = Split16(d);
    return Join16(Fields16{Half16(fd.r, fs.r), Half16(fd.g, fs.g), Half16(fd.b, fs.b)});
}

inline __m128i Alpha16(__m128i s, __m128i d, __m128i p16) {
    Fields16 fs = Split16(s), fd = Split16(d);
    return Join16(Fields16{Toward16(fd.r, fs.r, p16), Toward16(fd.g, fs.g, p16), Toward16(fd.b, fs.b, p16)});
}

inline __m128i Scale16(__m128i s, __m128i p16) {
    Fields16 f = Split16(s);
    return Join16(Fields16{DivideBy255(_mm_mullo_epi16(f.r, p16)), DivideBy255(_mm_mullo_epi16(f.g, p16)),
                           DivideBy255(_mm_mullo_epi16(f.b, p16))});
}

// Four zero-extended pixels in 32-bit lanes back to 16-bit lanes.
inline __m128i Narrow32To16(__m128i lo, __m128i hi) {
    lo = _mm_srai_epi32(_mm_slli_epi32(lo, 16), 16);
    hi = _mm_srai_epi32(_mm_slli_epi32(hi, 16), 16);
    return _mm_packs_epi32(lo, hi);
}

inline __m128i Add16Wide(__m128i d, __m128i t) {
    __m128i m = _mm_set1_epi32(static_cast<int32_t>(0xF7DEF7DF));
    __m128i sum = _mm_add_epi32(_mm_and_si128(d, m), _mm_and_si128(t, m));
    __m128i carry = _mm_and_si128(sum, _mm_set1_epi32(0x08210820));
    __m128i low = _mm_and_si128(_mm_or_si128(d, t), _mm_set1_epi32(0x0820));
    return _mm_or_si128(_mm_or_si128(_mm_sub_epi32(carry, _mm_srli_epi32(carry, 5)), low), sum);
}

inline __m128i Subtract16Wide(__m128i d, __m128i t) {
    __m128i g = _mm_set1_epi32(0x08210820);
    __m128i diff = _mm_sub_epi32(_mm_or_si128(d, g), _mm_and_si128(t, _mm_set1_epi32(static_cast<int32_t>(0xF7DEF7DF))));
    __m128i guard = _mm_and_si128(diff, g);
    return _mm_and_si128(_mm_sub_epi32(guard, _mm_srli_epi32(guard, 5)), diff);
}

template <bool Add>
inline __m128i Packed16(__m128i d, __m128i t) {
    __m128i zero = _mm_setzero_si128();
    __m128i dl = _mm_unpacklo_epi16(d, zero), dh = _mm_unpackhi_epi16(d, zero);
    __m128i tl = _mm_unpacklo_epi16(t, zero), th = _mm_unpackhi_epi16(t, zero);
    if constexpr (Add) return Narrow32To16(Add16Wide(dl, tl), Add16Wide(dh, th));
    return Narrow32To16(Subtract16Wide(dl, tl), Subtract16Wide(dh, th));
}

// ---- row drivers ------------------------------------------------------------

// Runs step(s, d) -> new destination vector over the vector part of every row
// and the pixel rule over the rest. With Key, source pixels equal to the
// transparent colour keep the destination.
template <int Kind, int Mode, bool Key, typename Step>
void RunRows(const PixelRule& r, const BlitSpan& span, Step step) {
    constexpr bool k32 = Kind == kDirect32;
    constexpr int kPixels = k32 ? 4 : 8;
    constexpr int kBytes = k32 ? 4 : 2;
    const __m128i key = k32 ? _mm_set1_epi32(static_cast<int32_t>(r.transColor))
                            : _mm_set1_epi16(static_cast<int16_t>(r.transColor));
    const int32_t vectorEnd = span.width - span.width % kPixels;
    for (int32_t y = 0; y < span.height; ++y) {
        const uint8_t* s = span.source + y * span.sourcePitch;
        uint8_t* d = span.dest + y * span.destPitch;
        for (int32_t x = 0; x < vectorEnd; x += kPixels) {
            __m128i sv = LoadU(s + x * kBytes), dv = LoadU(d + x * kBytes);
            __m128i out = step(sv, dv);
            if constexpr (Key) {
                __m128i same = k32 ? _mm_cmpeq_epi32(sv, key) : _mm_cmpeq_epi16(sv, key);
                out = Select(same, dv, out);
            }
            StoreU(d + x * kBytes, out);
        }
        for (int32_t x = vectorEnd; x < span.width; ++x) {
            BlendImagePixel<Kind, Mode>(r, s + x * kBytes, nullptr, d + x * kBytes);
        }
    }
}

template <int Kind, int Mode, typename Step>
void RunRowsKeyed(const PixelRule& r, const BlitSpan& span, Step step) {
    if (r.trans) {
        RunRows<Kind, Mode, true>(r, span, step);
    } else {
        RunRows<Kind, Mode, false>(r, span, step);
    }
}

// Bytes of the second-level cache as the system reports it (the C library,
// else the kernel's description of the first processor), 1 MiB when neither says.
size_t SecondLevelCacheBytes() {
    static const size_t bytes = [] {
        long v = sysconf(_SC_LEVEL2_CACHE_SIZE);
        if (v > 0) return static_cast<size_t>(v);
        if (FILE* f = std::fopen("/sys/devices/system/cpu/cpu0/cache/index2/size", "r")) {
            unsigned long kib = 0;
            const bool read = std::fscanf(f, "%luK", &kib) == 1;
            std::fclose(f);
            if (read && kib > 0) return static_cast<size_t>(kib) << 10;
        }
        return size_t{1} << 20;
    }();
    return bytes;
}

// Copies with stores that bypass the cache: the destination's lines are not
// read before they are overwritten.
__attribute__((target("avx"))) void StreamCopyAvx(uint8_t* d, const uint8_t* s, size_t bytes) {
    size_t head = (32 - (reinterpret_cast<uintptr_t>(d) & 31)) & 31;
    if (head > bytes) head = bytes;
    std::memcpy(d, s, head);
    size_t i = head;
    for (; i + 128 <= bytes; i += 128) {
        __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
        __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i + 32));
        __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i + 64));
        __m256i e = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i + 96));
        _mm256_stream_si256(reinterpret_cast<__m256i*>(d + i), a);
        _mm256_stream_si256(reinterpret_cast<__m256i*>(d + i + 32), b);
        _mm256_stream_si256(reinterpret_cast<__m256i*>(d + i + 64), c);
        _mm256_stream_si256(reinterpret_cast<__m256i*>(d + i + 96), e);
    }
    std::memcpy(d + i, s + i, bytes - i);
}

void StreamCopySse(uint8_t* d, const uint8_t* s, size_t bytes) {
    size_t head = (16 - (reinterpret_cast<uintptr_t>(d) & 15)) & 15;
    if (head > bytes) head = bytes;
    std::memcpy(d, s, head);
    size_t i = head;
    for (; i + 64 <= bytes; i += 64) {
        __m128i a = LoadU(s + i), b = LoadU(s + i + 16), c = LoadU(s + i + 32), e = LoadU(s + i + 48);
        _mm_stream_si128(reinterpret_cast<__m128i*>(d + i), a);
        _mm_stream_si128(reinterpret_cast<__m128i*>(d + i + 16), b);
        _mm_stream_si128(reinterpret_cast<__m128i*>(d + i + 32), c);
        _mm_stream_si128(reinterpret_cast<__m128i*>(d + i + 48), e);
    }
    std::memcpy(d + i, s + i, bytes - i);
}

void StreamCopy(uint8_t* d, const uint8_t* s, size_t bytes) {
    static const bool avx = __builtin_cpu_supports("avx");
    if (avx) {
        StreamCopyAvx(d, s, bytes);
    } else {
        StreamCopySse(d, s, bytes);
    }
}

// Whether streaming past the cache beats an ordinary move for copies of a
// size depends on the machine (its caches' sizes and speeds), so it is
// measured there: for each power-of-two size class of copies that do not
// fit the second-level cache the machine reports, the first copies alternate
// between the two ways (both leave the same bytes), the fastest time of each
// is kept, and the faster way serves every later copy of that class.
class StreamChooser {
public:
    // 1: stream, 0: move, -1: time this copy (*stream says which way).
    int Choose(size_t bytes, bool* stream) {
        Class& c = classes_[SizeClass(bytes)];
        const int decided = c.decided.load(std::memory_order_relaxed);
        if (decided >= 0) return decided;
        const int trial = c.trials.fetch_add(1, std::memory_order_relaxed);
        if (trial >= kTrials) {
            Decide(c);
            return c.decided.load(std::memory_order_relaxed);
        }
        *stream = trial % 2 == 0;
        return -1;
    }

    void Record(size_t bytes, bool stream, uint64_t nanoseconds) {
        std::atomic<uint64_t>& best = classes_[SizeClass(bytes)].best[stream ? 1 : 0];
        uint64_t seen = best.load(std::memory_order_relaxed);
        while (nanoseconds < seen && !best.compare_exchange_weak(seen, nanoseconds, std::memory_order_relaxed)) {
        }
    }

private:
    static constexpr int kTrials = 8;
    struct Class {
        std::atomic<int> decided{-1};
        std::atomic<int> trials{0};
        std::atomic<uint64_t> best[2] = {UINT64_MAX, UINT64_MAX};  // move, stream
    };

    static int SizeClass(size_t bytes) { return 63 - __builtin_clzll(static_cast<unsigned long long>(bytes) | 1); }

    static void Decide(Class& c) {
        const uint64_t move = c.best[0].load(std::memory_order_relaxed);
        const uint64_t stream = c.best[1].load(std::memory_order_relaxed);
        c.decided.store(stream < move ? 1 : 0, std::memory_order_relaxed);
    }

    Class classes_[64];
};

StreamChooser g_streamChooser;

uint64_t Nanoseconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000000000u + static_cast<uint64_t>(t.tv_nsec);
}

// The plain copy. Rows that lie back to back in both images go as one block.
// A copy whose source and destination together fit the second-level cache
// moves (keeping the destination in the cache for the draws that follow);
// a larger one streams past the cache when the chooser found that faster on
// this machine. Overlapping copies always move (a blit within one image
// copies what was there before).
void CopyRows(const BlitSpan& span, int32_t pixelByte) {
    const size_t bytes = static_cast<size_t>(span.width) * pixelByte;
    const bool contiguous =
        span.sourcePitch == static_cast<intptr_t>(bytes) && span.destPitch == static_cast<intptr_t>(bytes);
    const int32_t rows = contiguous ? 1 : span.height;
    const size_t rowBytes = contiguous ? bytes * span.height : bytes;
    const uintptr_t s0 = reinterpret_cast<uintptr_t>(span.source), d0 = reinterpret_cast<uintptr_t>(span.dest);
    const uintptr_t sEnd = s0 + (span.height - 1) * span.sourcePitch + bytes;
    const uintptr_t dEnd = d0 + (span.height - 1) * span.destPitch + bytes;
    const bool overlap = s0 < dEnd && d0 < sEnd;
    const size_t total = 2 * bytes * span.height;
    bool stream = false;
    int choice = 0;
    if (!overlap && total > SecondLevelCacheBytes()) choice = g_streamChooser.Choose(total, &stream);
    if (choice >= 0) stream = choice == 1;
    const uint64_t start = choice < 0 ? Nanoseconds() : 0;
    for (int32_t y = 0; y < rows; ++y) {
        if (stream) {
            StreamCopy(span.dest + y * span.destPitch, span.source + y * span.sourcePitch, rowBytes);
        } else {
            std::memmove(span.dest + y * span.destPitch, span.source + y * span.sourcePitch, rowBytes);
        }
    }
    if (stream) _mm_sfence();
    if (choice < 0) g_streamChooser.Record(total, stream, Nanoseconds() - start);
}

bool Blit32(const PixelRule& r, const BlitSpan& span) {
    const __m128i p16 = _mm_set1_epi16(static_cast<int16_t>(r.p));
    const int16_t p = static_cast<int16_t>(r.p), q = static_cast<int16_t>(256 - r.p);
    const __m128i pColour = _mm_setr_epi16(p, p, p, 0, p, p, p, 0);
    const __m128i qColour = _mm_setr_epi16(q, q, q, 256, q, q, q, 256);
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    switch (r.mode) {
    case 0:
        if (!r.trans) {
            CopyRows(span, 4);
        } else {
            RunRows<kDirect32, 0, true>(r, span, [](__m128i s, __m128i) { return s; });
        }
        return true;
    case 1:
        if (r.p == 128) {
            RunRowsKeyed<kDirect32, 1>(r, span, [](__m128i s, __m128i d) { return Half32(s, d); });
        } else {
            RunRowsKeyed<kDirect32, 1>(r, span,
                                       [=](__m128i s, __m128i d) { return Alpha32(s, d, pColour, qColour); });
        }
        return true;
    case 2:
        if (r.p == 255) {
            RunRowsKeyed<kDirect32, 2>(r, span, [=](__m128i s, __m128i d) { return Add32(d, _mm_and_si128(s, colour)); });
        } else {
            RunRowsKeyed<kDirect32, 2>(r, span, [=](__m128i s, __m128i d) { return Add32(d, Scale32(s, p16)); });
        }
        return true;
    case 3:
        if (r.p == 255) {
            RunRowsKeyed<kDirect32, 3>(r, span,
                                       [=](__m128i s, __m128i d) { return Subtract32(d, _mm_and_si128(s, colour)); });
        } else {
            RunRowsKeyed<kDirect32, 3>(r, span, [=](__m128i s, __m128i d) { return Subtract32(d, Scale32(s, p16)); });
        }
        return true;
    default:
        return false;
    }
}

bool Blit16(const PixelRule& r, const BlitSpan& span) {
    const __m128i p16 = _mm_set1_epi16(static_cast<int16_t>(r.p));
    switch (r.mode) {
    case 0:
        if (!r.trans) {
            CopyRows(span, 2);
        } else {
            RunRows<kDirect16, 0, true>(r, span, [](__m128i s, __m128i) { return s; });
        }
        return true;
    case 1:
        if (r.p == 128) {
            RunRowsKeyed<kDirect16, 1>(r, span, [](__m128i s, __m128i d) { return HalfAlpha16(s, d); });
        } else {
            RunRowsKeyed<kDirect16, 1>(r, span, [=](__m128i s, __m128i d) { return Alpha16(s, d, p16); });
        }
        return true;
    case 2:
        if (r.p == 255) {
            RunRowsKeyed<kDirect16, 2>(r, span, [](__m128i s, __m128i d) { return Packed16<true>(d, s); });
        } else {
            RunRowsKeyed<kDirect16, 2>(r, span, [=](__m128i s, __m128i d) { return Packed16<true>(d, Scale16(s, p16)); });
        }
        return true;
    case 3:
        if (r.p == 255) {
            RunRowsKeyed<kDirect16, 3>(r, span, [](__m128i s, __m128i d) { return Packed16<false>(d, s); });
        } else {
            RunRowsKeyed<kDirect16, 3>(r, span,
                                       [=](__m128i s, __m128i d) { return Packed16<false>(d, Scale16(s, p16)); });
        }
        return true;
    default:
        return false;
    }
}

#endif  // __SSE2__

}  // namespace

bool BlitFast(const PixelRule& r, const BlitSpan& span) {
#ifdef __SSE2__
    if (!r.white || r.blend) return false;
    if (r.kind == kDirect32 && !r.alpha) return Blit32(r, span);
    if (r.kind == kDirect16) return Blit16(r, span);
#else
    (void)r;
    (void)span;
#endif
    return false;
}

}  // namespace soft
