// A reader filter over bytes in memory, offering a chosen media type, and an
// in-place filter collecting the PCM that passes it.
#pragma once

#include "platform/dshow/dshow_base.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace dshowtest {

class MemoryStream : public AsyncStream {
public:
    explicit MemoryStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    HRESULT SetPointer(LONGLONG position) override {
        if (position < 0 || position > static_cast<LONGLONG>(bytes_.size())) return S_FALSE;
        position_ = position;
        return S_OK;
    }
    HRESULT Read(BYTE* buffer, DWORD bytes, BOOL, LPDWORD read) override {
        const DWORD n = static_cast<DWORD>(std::min<LONGLONG>(bytes, bytes_.size() - position_));
        std::memcpy(buffer, bytes_.data() + position_, n);
        position_ += n;
        *read = n;
        return S_OK;
    }
    LONGLONG Size(LONGLONG* available) override {
        if (available != nullptr) *available = static_cast<LONGLONG>(bytes_.size());
        return static_cast<LONGLONG>(bytes_.size());
    }
    DWORD Alignment() override { return 1; }
    void Lock() override { lock_.Lock(); }
    void Unlock() override { lock_.Unlock(); }

private:
    std::vector<uint8_t> bytes_;
    LONGLONG position_ = 0;
    CritSec lock_;
};

class MemoryReader : public AsyncReaderFilter {
public:
    MemoryReader(AsyncStream* stream, const GUID& major, const GUID& subtype)
        : AsyncReaderFilter("Memory reader", nullptr, stream, nullptr) {
        outputType_.majortype = major;
        outputType_.subtype = subtype;
    }
};

inline const CLSID kCollectorClsid = {0x1A2B3C4E, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};

// Passes PCM audio through, keeping a copy; Transform answers `answer`.
class Collector : public InPlaceTransformFilter {
public:
    explicit Collector(HRESULT answer = S_OK)
        : InPlaceTransformFilter("Collector", nullptr, kCollectorClsid, nullptr, false), answer_(answer) {}
    HRESULT CheckInputType(const MediaTypeValue* t) override {
        return t->majortype == MEDIATYPE_Audio && t->subtype == MEDIASUBTYPE_PCM ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT Transform(IMediaSample* sample) override {
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        std::lock_guard<std::mutex> lock(mutex);
        pcm.insert(pcm.end(), data, data + sample->GetActualDataLength());
        return answer_;
    }
    WAVEFORMATEX Format() {
        WAVEFORMATEX f{};
        const MediaTypeValue& t = InputPin()->CurrentMediaType();
        if (t.cbFormat >= sizeof(f)) std::memcpy(&f, t.pbFormat, sizeof(f));
        return f;
    }
    std::mutex mutex;
    std::vector<uint8_t> pcm;

private:
    HRESULT answer_;
};

}  // namespace dshowtest
