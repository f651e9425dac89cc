// The memory of a resource: bytes that start as zeros. Large blocks come from
// the system as pages not yet touched, so a block costs nothing until it is
// written (a texture's memory is written once by its first lock or upload,
// not twice).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace d3d9 {

class ZeroedBytes {
public:
    // count zero bytes in place of what was held; false (holding nothing)
    // when the memory cannot be had.
    bool Assign(size_t count) {
        bytes_.reset(count > 0 ? static_cast<uint8_t*>(std::calloc(count, 1)) : nullptr);
        size_ = bytes_ != nullptr ? count : 0;
        return bytes_ != nullptr || count == 0;
    }
    // A copy of other's bytes, in place when the sizes match; false (holding
    // nothing) when new memory is needed and cannot be had.
    bool CopyFrom(const ZeroedBytes& other) {
        if (size_ != other.size_ && !Assign(other.size_)) return false;
        if (size_ > 0) std::memcpy(bytes_.get(), other.bytes_.get(), size_);
        return true;
    }
    uint8_t* data() { return bytes_.get(); }
    const uint8_t* data() const { return bytes_.get(); }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

private:
    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t, Free> bytes_;
    size_t size_ = 0;
};

}  // namespace d3d9
