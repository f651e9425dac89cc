// The packer's half of the library's compression: a greedy LZ77 parse with
// one step of lazy matching. Only matches that save bytes are taken, none
// longer than a token may make.
#include "archive_writer.h"

#include "file/archive_format.h"

#include <algorithm>

namespace {

constexpr int kHashBits = 16;
constexpr uint32_t kWindow = 1u << 20;
constexpr int kMaxChain = 64;

uint32_t NumberBytes(uint32_t v) { return 1 + (v >= 1u << 7) + (v >= 1u << 14) + (v >= 1u << 21) + (v >= 1u << 28); }

void PutNumber(std::vector<uint8_t>* out, uint32_t v) {
    while (v >= 0x80) {
        out->push_back(static_cast<uint8_t>(v | 0x80));
        v >>= 7;
    }
    out->push_back(static_cast<uint8_t>(v));
}

struct Match {
    uint32_t length = 0;
    uint32_t distance = 0;
    int32_t saving = 0;  // bytes saved against writing the bytes as literals
};

class Parser {
public:
    Parser(const uint8_t* source, uint32_t size)
        : s_(source), size_(size), head_(1u << kHashBits, -1), prev_(size, -1) {}

    // Positions before `end` enter the hash chains.
    void InsertUpTo(uint32_t end) {
        for (; inserted_ < end && inserted_ + kPackedMinMatch <= size_; ++inserted_) {
            const uint32_t h = Hash(inserted_);
            prev_[inserted_] = head_[h];
            head_[h] = static_cast<int32_t>(inserted_);
        }
    }

    Match Best(uint32_t at) {
        InsertUpTo(at);
        Match best;
        if (at + kPackedMinMatch > size_) return best;
        int32_t candidate = head_[Hash(at)];
        for (int n = 0; n < kMaxChain && candidate >= 0 && at - candidate <= kWindow; ++n) {
            const uint32_t length = Common(static_cast<uint32_t>(candidate), at);
            const uint32_t distance = at - static_cast<uint32_t>(candidate);
            if (length >= kPackedMinMatch) {
                const int32_t cost = 1 + NumberBytes(length - (kPackedMinMatch - 1)) + NumberBytes(distance - 1);
                const int32_t saving = static_cast<int32_t>(length) - cost;
                if (saving > best.saving) best = Match{length, distance, saving};
            }
            candidate = prev_[candidate];
        }
        return best;
    }

private:
    uint32_t Hash(uint32_t at) const { return (ReadLE32(s_ + at) * 2654435761u) >> (32 - kHashBits); }
    uint32_t Common(uint32_t from, uint32_t at) const {
        uint32_t n = 0;
        while (n < kPackedMaxCopy && at + n < size_ && s_[from + n] == s_[at + n]) ++n;
        return n;
    }

    const uint8_t* s_;
    uint32_t size_;
    std::vector<int32_t> head_;
    std::vector<int32_t> prev_;
    uint32_t inserted_ = 0;
};

uint8_t LeastUsedByte(const uint8_t* source, uint32_t size) {
    uint32_t counts[256] = {};
    for (uint32_t i = 0; i < size; ++i) ++counts[source[i]];
    return static_cast<uint8_t>(std::min_element(counts, counts + 256) - counts);
}

}  // namespace

std::vector<uint8_t> PackData(const uint8_t* source, uint32_t size) {
    const uint8_t escape = LeastUsedByte(source, size);
    std::vector<uint8_t> out(kPackedHeadSize);
    out.reserve(kPackedHeadSize + size + size / 256 + 16);
    Parser parser(source, size);
    uint32_t at = 0;
    while (at < size) {
        Match match = parser.Best(at);
        if (match.saving > 0 && at + 1 < size && parser.Best(at + 1).saving > match.saving) match = Match{};
        if (match.saving <= 0) {
            out.push_back(source[at]);
            if (source[at] == escape) out.push_back(0);
            ++at;
            continue;
        }
        out.push_back(escape);
        PutNumber(&out, match.length - (kPackedMinMatch - 1));
        PutNumber(&out, match.distance - 1);
        at += match.length;
    }
    WriteLE32(out.data(), size);
    WriteLE32(out.data() + 4, static_cast<uint32_t>(out.size()));
    out[8] = escape;
    return out;
}
